// A bound on the memory that decoders with large models hold at once across the process's
// extraction threads. Several members may be decoded side by side; a PPMd model takes up to
// 256 MiB of its own, and in a 32-bit process a few of them at once would not fit. A decoder
// takes its share before allocating and gives it back when it goes; a share that does not fit
// waits until others are returned. A share is always granted when nothing else is held, and
// at once to a thread that already holds one (it could otherwise wait on itself).
#pragma once

#include <cstdint>

#include "archive/io/Sync.h"

namespace archive {

class MemoryBudget {
 public:
  explicit MemoryBudget(uint64_t total) : total_(total) {}
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  // Held memory, given back on destruction.
  class Share {
   public:
    Share() = default;
    Share(MemoryBudget* budget, uint64_t bytes) : budget_(budget), bytes_(bytes) {}
    Share(Share&& other) noexcept : budget_(other.budget_), bytes_(other.bytes_) {
      other.budget_ = nullptr;
    }
    Share& operator=(Share&& other) noexcept;
    ~Share();

   private:
    MemoryBudget* budget_ = nullptr;
    uint64_t bytes_ = 0;
  };

  // Waits until `bytes` fit (see above) and takes them.
  Share Take(uint64_t bytes);

  uint64_t total() const { return total_; }
  uint64_t held();

 private:
  void Give(uint64_t bytes);

  Mutex mutex_;
  ConditionVariable returned_;
  const uint64_t total_;
  uint64_t held_ = 0;
};

}  // namespace archive
