// Passwords and keys: bytes that live only while needed and are wiped when they go.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace archive::crypto {

// Overwrites `size` bytes at `data` with zeros in a way the compiler may not leave out.
void Wipe(void* data, size_t size);

// Whether the two runs of `size` bytes are equal, taking the same time wherever they differ
// (for authentication codes: a comparison that stops early tells an attacker how much of a
// forged code was right).
bool ConstantTimeEqual(const void* a, const void* b, size_t size);

// A fixed-size run of secret bytes on the heap, wiped when it is destroyed or replaced.
// Copies are deliberate and wiped in turn.
class Secret {
 public:
  Secret() = default;
  explicit Secret(size_t size);
  Secret(const void* bytes, size_t size);
  explicit Secret(std::string_view text) : Secret(text.data(), text.size()) {}
  Secret(const Secret& other) : Secret(other.data(), other.size()) {}
  Secret(Secret&& other) noexcept;
  Secret& operator=(const Secret& other);
  Secret& operator=(Secret&& other) noexcept;
  ~Secret() { Clear(); }

  unsigned char* data() { return bytes_.get(); }
  const unsigned char* data() const { return bytes_.get(); }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Constant time in the contents (not in the sizes, which are no secret here).
  bool operator==(const Secret& other) const;

  void Clear();

 private:
  std::unique_ptr<unsigned char[]> bytes_;
  size_t size_ = 0;
};

}  // namespace archive::crypto
