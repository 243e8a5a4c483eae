#include "archive/crypto/Secret.h"

#include <cstring>
#include <utility>

#include <nettle/memops.h>

namespace archive::crypto {

void Wipe(void* data, size_t size) {
  // Stores through a volatile pointer are side effects the optimiser must keep, even into
  // memory that is freed right after.
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) p[i] = 0;
}

bool ConstantTimeEqual(const void* a, const void* b, size_t size) {
  return nettle_memeql_sec(a, b, size) != 0;
}

Secret::Secret(size_t size) : bytes_(size ? new unsigned char[size]() : nullptr), size_(size) {}

Secret::Secret(const void* bytes, size_t size) : Secret(size) {
  if (size) std::memcpy(bytes_.get(), bytes, size);
}

Secret::Secret(Secret&& other) noexcept
    : bytes_(std::move(other.bytes_)), size_(std::exchange(other.size_, 0)) {}

Secret& Secret::operator=(const Secret& other) {
  if (this != &other) *this = Secret(other);
  return *this;
}

Secret& Secret::operator=(Secret&& other) noexcept {
  if (this != &other) {
    Clear();
    bytes_ = std::move(other.bytes_);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

bool Secret::operator==(const Secret& other) const {
  return size_ == other.size_ && (size_ == 0 || ConstantTimeEqual(data(), other.data(), size_));
}

void Secret::Clear() {
  if (bytes_) Wipe(bytes_.get(), size_);
  bytes_.reset();
  size_ = 0;
}

}  // namespace archive::crypto
