// Text that must not outlive its use: a password on its way to a library. Its room is taken
// once, so no growth leaves a copy behind, and it is wiped with SecureZeroMemory (which the
// compiler may not drop) when it goes.
#pragma once
#include <windows.h>

#include <cstring>
#include <memory>
#include <string_view>

namespace tk {

class SecretText {
 public:
  // Room for capacity - 1 characters and the terminating NUL; at least one byte.
  explicit SecretText(size_t capacity)
      : capacity_(capacity ? capacity : 1), text_(new char[capacity_]()) {}
  ~SecretText() { Wipe(); }
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;

  char* Data() { return text_.get(); }
  size_t Capacity() const { return capacity_; }
  // The text up to its NUL (never past the room).
  std::string_view View() const { return {text_.get(), strnlen(text_.get(), capacity_)}; }
  void Wipe() { SecureZeroMemory(text_.get(), capacity_); }

 private:
  size_t capacity_;
  std::unique_ptr<char[]> text_;
};

}  // namespace tk
