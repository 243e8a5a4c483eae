#include "archive/methods/MemoryBudget.h"

#include <algorithm>
#include <mutex>

namespace archive {

namespace {
// Shares the current thread holds, of any budget.
thread_local unsigned sharesHeld = 0;
}  // namespace

MemoryBudget::Share MemoryBudget::Take(uint64_t bytes) {
  std::unique_lock<Mutex> lock(mutex_);
  if (sharesHeld == 0) {
    returned_.wait(lock, [&] { return held_ == 0 || bytes <= total_ - std::min(held_, total_); });
  }
  held_ += bytes;
  ++sharesHeld;
  return Share(this, bytes);
}

uint64_t MemoryBudget::held() {
  std::lock_guard<Mutex> lock(mutex_);
  return held_;
}

void MemoryBudget::Give(uint64_t bytes) {
  {
    std::lock_guard<Mutex> lock(mutex_);
    held_ -= bytes;
    --sharesHeld;
  }
  returned_.notify_all();
}

MemoryBudget::Share& MemoryBudget::Share::operator=(Share&& other) noexcept {
  if (this != &other) {
    if (budget_ != nullptr) budget_->Give(bytes_);
    budget_ = other.budget_;
    bytes_ = other.bytes_;
    other.budget_ = nullptr;
  }
  return *this;
}

MemoryBudget::Share::~Share() {
  if (budget_ != nullptr) budget_->Give(bytes_);
}

}  // namespace archive
