// The Deflate64 decoder's output: one fixed buffer holding the 64 KiB window that matches
// copy from and, after it, the bytes decoded ahead and not yet handed out. A piece of output
// room therefore never has to fit a whole match.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

namespace archive::deflate64 {

class Window {
 public:
  static constexpr size_t kWindow = 64 * 1024;  // the farthest a distance reaches (49153 + 16383)
  // Bytes decoded ahead of the window before it slides; large enough that sliding (one 64 KiB
  // move) is rare and that most matches, even 65538 long, fit whole.
  static constexpr size_t kAhead = 192 * 1024;
  static constexpr size_t kCapacity = kWindow + kAhead;
  // Match copies in 16-byte pieces may write this far past a match's end.
  static constexpr size_t kSlack = 16;

  Window() : buffer_(new unsigned char[kCapacity + kSlack]) {}

  bool Full() const { return pos_ == kCapacity; }
  size_t Room() const { return kCapacity - pos_; }
  bool AllOut() const { return flushed_ == pos_; }
  // Bytes decoded so far, up to the first slide; after it, more than any distance.
  size_t Pos() const { return pos_; }

  void Put(unsigned char byte) { buffer_[pos_++] = byte; }
  void Append(const unsigned char* bytes, size_t n) {
    std::memcpy(buffer_.get() + pos_, bytes, n);
    pos_ += n;
  }
  // A match of `length` bytes (at most Room()) at `distance` (at most Pos()).
  void Repeat(size_t distance, size_t length) {
    CopyMatch(buffer_.get() + pos_, distance, length);
    pos_ += length;
  }

  // Hands out decoded bytes, as many as fit the room.
  void Flush(unsigned char** out, size_t* outSize) {
    size_t n = std::min(pos_ - flushed_, *outSize);
    if (n == 0) return;
    std::memcpy(*out, buffer_.get() + flushed_, n);
    flushed_ += n;
    *out += n;
    *outSize -= n;
  }

  // Once full and handed out, keeps only the window; false while bytes wait to go out.
  bool Slide() {
    if (flushed_ < pos_) return false;
    std::memmove(buffer_.get(), buffer_.get() + pos_ - kWindow, kWindow);
    pos_ = flushed_ = kWindow;
    return true;
  }

  // For the fast loop, which keeps the position in a register.
  unsigned char* Bytes() const { return buffer_.get(); }
  void SetPos(size_t pos) { pos_ = pos; }

  // Copies a match forward (it may overlap its own output), exactly `length` bytes.
  static void CopyMatch(unsigned char* to, size_t distance, size_t length) {
    if (distance == 1) {
      std::memset(to, to[-1], length);
      return;
    }
    while (length > 0) {
      size_t piece = std::min(length, distance);
      std::memcpy(to, to - distance, piece);
      to += piece;
      length -= piece;
    }
  }

 private:
  std::unique_ptr<unsigned char[]> buffer_;
  size_t pos_ = 0;      // where the next decoded byte goes
  size_t flushed_ = 0;  // bytes before this are handed out
};

}  // namespace archive::deflate64
