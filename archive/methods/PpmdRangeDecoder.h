// PPMd's range decoder (Subbotin's carry-less coder): the model asks where the code falls in
// a total of counts, then consumes the span of the symbol it found there.
#pragma once

#include <cstdint>

namespace archive::ppmd {

class RangeDecoder {
 public:
  // Reads from [next, end); past `end` it reads zeros and counts them (Overrun), so a stream
  // cut short never reads outside the caller's bytes.
  void SetInput(const unsigned char* next, const unsigned char* end) {
    next_ = next;
    end_ = end;
  }
  const unsigned char* InputNext() const { return next_; }
  uint64_t Overrun() const { return overrun_; }

  // Reads the first four bytes; false if they cannot start a stream.
  bool Start() {
    low_ = 0;
    range_ = 0xFFFFFFFF;
    code_ = 0;
    for (int i = 0; i < 4; ++i) code_ = code_ << 8 | ReadByte();
    return code_ != 0xFFFFFFFF;
  }

  // Scales the range to `total` and says where the code falls in it. A total the range
  // cannot hold happens only in data no encoder wrote.
  bool Threshold(uint32_t total, uint32_t* count) {
    if (total == 0 || range_ < total) return false;
    range_ /= total;
    *count = code_ / range_;
    return true;
  }
  // The same for a total of 2^`bits`, which the range always holds.
  uint32_t ThresholdBits(unsigned bits) {
    range_ >>= bits;
    return code_ / range_;
  }

  // Takes the span [start, start + size) of the total last scaled to.
  void Consume(uint32_t start, uint32_t size) {
    start *= range_;
    low_ += start;
    code_ -= start;
    range_ *= size;
    for (;;) {
      if ((low_ ^ (low_ + range_)) >= kTop) {
        if (range_ >= kBot) break;
        range_ = (0 - low_) & (kBot - 1);
      }
      code_ = code_ << 8 | ReadByte();
      range_ <<= 8;
      low_ <<= 8;
    }
  }

 private:
  static constexpr uint32_t kTop = 1u << 24;
  static constexpr uint32_t kBot = 1u << 15;

  unsigned ReadByte() {
    if (next_ != end_) return *next_++;
    ++overrun_;
    return 0;
  }

  uint32_t range_ = 0;
  uint32_t code_ = 0;
  uint32_t low_ = 0;
  const unsigned char* next_ = nullptr;
  const unsigned char* end_ = nullptr;
  uint64_t overrun_ = 0;
};

}  // namespace archive::ppmd
