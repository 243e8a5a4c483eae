// What the decoders of the first Zip tools' methods (Shrink, Reduce, Implode) share: input
// bits taken from each byte's low end first, and output that stops at the member's declared
// size, since none of these streams marks its own end.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "archive/format/Bytes.h"
#include "archive/methods/Decoder.h"

namespace archive::legacy {

// Up to 64 input bits, the next one lowest. Bits above count() are zeros or the next
// input bytes' own bits, so a lookup may use them as long as it trusts only count() bits.
class BitReader {
 public:
  // Takes whole bytes until at least `n` bits (at most 56) are held, or the input is used
  // up; says whether there are `n` now.
  bool Need(unsigned n, const unsigned char*& next, const unsigned char* end) {
    if (count_ >= n) return true;
    if (end - next >= 8) {
      bits_ |= Load64(next) << count_;
      next += (63 - count_) >> 3;
      count_ |= 56;
      return true;
    }
    while (count_ < n) {
      if (next == end) return false;
      bits_ |= uint64_t{*next++} << count_;
      count_ += 8;
    }
    return true;
  }
  uint64_t bits() const { return bits_; }
  unsigned count() const { return count_; }
  uint32_t Peek(unsigned n) const {
    return static_cast<uint32_t>(bits_ & ((uint64_t{1} << n) - 1));
  }
  void Drop(unsigned n) {
    bits_ >>= n;
    count_ -= n;
  }
  // Forgets bits beyond count(): the input they came from is the caller's again.
  void Trim() { bits_ &= (uint64_t{1} << count_) - 1; }

 private:
  uint64_t bits_ = 0;
  unsigned count_ = 0;
};

// Decoded bytes on their way to the caller, in one fixed buffer: the `window` bytes that
// matches reach back into (zeros before the data starts, as Reduce and Implode define it),
// then bytes decoded ahead. Never holds more than the declared size in all.
class Output {
 public:
  // `longest`: the most one decoding step may add.
  Output(size_t window, size_t longest, uint64_t declared)
      : window_(window),
        longest_(longest),
        capacity_(Bytes(window, longest)),
        buffer_(std::make_unique<unsigned char[]>(capacity_)),
        pos_(window),
        flushed_(window),
        left_(declared) {}

  // The buffer's size for these arguments.
  static constexpr size_t Bytes(size_t window, size_t longest) { return window + kAhead + longest; }

  uint64_t left() const { return left_; }
  bool Done() const { return left_ == 0 && flushed_ == pos_; }

  // Makes room for one more step, sliding the window down once everything ahead of it
  // went out; false while the caller still has to take bytes.
  bool Room() {
    if (capacity_ - pos_ >= longest_) return true;
    if (flushed_ < pos_) return false;
    std::memmove(buffer_.get(), buffer_.get() + pos_ - window_, window_);
    pos_ = flushed_ = window_;
    return true;
  }

  void Put(unsigned char byte) {
    buffer_[pos_++] = byte;
    --left_;
  }
  // Bytes beyond the declared size are dropped: the reader's checks decide about those.
  void Append(const unsigned char* bytes, size_t n) {
    n = static_cast<size_t>(std::min<uint64_t>(n, left_));
    std::memcpy(buffer_.get() + pos_, bytes, n);
    pos_ += n;
    left_ -= n;
  }
  // Copies `length` bytes from `distance` back (at most the window), overlapping forward.
  void Copy(size_t distance, size_t length) {
    length = static_cast<size_t>(std::min<uint64_t>(length, left_));
    unsigned char* to = buffer_.get() + pos_;
    const unsigned char* from = to - distance;
    if (distance >= length) {
      std::memcpy(to, from, length);
    } else if (distance == 1) {
      std::memset(to, *from, length);
    } else {
      for (size_t i = 0; i < length; ++i) to[i] = from[i];
    }
    pos_ += length;
    left_ -= length;
  }

  void Flush(unsigned char** out, size_t* outSize) {
    size_t n = std::min(pos_ - flushed_, *outSize);
    if (n == 0) return;
    std::memcpy(*out, buffer_.get() + flushed_, n);
    flushed_ += n;
    *out += n;
    *outSize -= n;
  }

 private:
  static constexpr size_t kAhead = 64 * 1024;

  size_t window_;
  size_t longest_;
  size_t capacity_;
  std::unique_ptr<unsigned char[]> buffer_;
  size_t pos_;
  size_t flushed_;
  uint64_t left_;
};

// How a decoding pass ended.
enum class Stop { kStarved, kFull, kFinished, kCorrupt };

// The Decode loop the three decoders share: hands out what is decoded, makes room, and lets
// `run(next, end)` decode until it starves, fills the buffer, finishes or finds corruption.
template <typename Run>
Decoder::Result DecodeWith(Output& output, BitReader& bits, bool& corrupt, Run run,
                           const unsigned char** in, size_t* inSize, unsigned char** out,
                           size_t* outSize) {
  if (corrupt) return Decoder::Result::kCorrupt;
  const unsigned char* next = *in;
  const unsigned char* end = next + *inSize;
  for (;;) {
    output.Flush(out, outSize);
    if (output.left() == 0 || !output.Room()) break;
    Stop stop = run(next, end);
    if (stop == Stop::kCorrupt) {
      corrupt = true;
      break;
    }
    if (stop == Stop::kStarved) {
      output.Flush(out, outSize);
      break;
    }
  }
  bits.Trim();
  *inSize -= static_cast<size_t>(next - *in);
  *in = next;
  if (corrupt) return Decoder::Result::kCorrupt;
  return output.Done() ? Decoder::Result::kEnd : Decoder::Result::kProgress;
}

}  // namespace archive::legacy
