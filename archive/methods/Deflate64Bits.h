// The Deflate64 decoder's input as bits: Deflate sends them lowest first, and codes and extra
// bits may straddle the pieces of input a caller hands over.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace archive::deflate64 {

// The low `bits` bits set, for `bits` from 0 to 63.
inline uint64_t LowBits(unsigned bits) { return (uint64_t{1} << bits) - 1; }

// Unused input bits, the next one lowest, nothing above the count. Bytes come in only as a
// read needs them, so a decoder starved in the middle of a code keeps what it has and
// resumes with the next piece of input.
class BitReader {
 public:
  uint64_t Bits() const { return bits_; }
  unsigned Count() const { return count_; }

  // The `bits` bits after the first `skip` (together at most the count).
  uint32_t Field(unsigned skip, unsigned bits) const {
    return static_cast<uint32_t>((bits_ >> skip) & LowBits(bits));
  }

  // Makes at least `bits` bits (at most 57) available; false if the input runs out first.
  bool Need(unsigned bits, const unsigned char*& next, const unsigned char* end) {
    while (count_ < bits) {
      if (next == end) return false;
      bits_ |= uint64_t{*next++} << count_;
      count_ += 8;
    }
    return true;
  }

  // Finds the entry for the code at the front of the bits, reading only as many bytes as that
  // code needs: missing bits read as zeros, and a code found that way is right if it is no
  // longer than the bits there are.
  template <typename Table, typename Entry>
  bool Peek(const Table& table, Entry& entry, const unsigned char*& next,
            const unsigned char* end) {
    for (;;) {
      entry = table.Find(bits_);
      if (entry.bits <= count_) return true;
      if (next == end) return false;
      bits_ |= uint64_t{*next++} << count_;
      count_ += 8;
    }
  }

  void Drop(unsigned bits) {
    bits_ >>= bits;
    count_ -= bits;
  }

  // Skips to the next byte boundary of the input, as a stored block starts there.
  void DropToByte() { Drop(count_ % 8); }

  // A whole byte held back after a stored block's lengths; false if none is.
  bool TakeByte(unsigned char& byte) {
    if (count_ < 8) return false;
    byte = static_cast<unsigned char>(bits_);
    Drop(8);
    return true;
  }

  // Whole bytes held that came in since `start` go back to the input: they may belong to
  // whatever follows the stream.
  void GiveBack(const unsigned char*& next, const unsigned char* start) {
    size_t back = std::min<size_t>(count_ / 8, static_cast<size_t>(next - start));
    next -= back;
    count_ -= static_cast<unsigned>(8 * back);
    bits_ &= LowBits(count_);
  }

  // For the fast loop, which keeps the bits in registers and may leave bytes' bits above the
  // count: takes them back, clearing those.
  void Set(uint64_t bits, unsigned count) {
    bits_ = bits & LowBits(count);
    count_ = count;
  }

 private:
  uint64_t bits_ = 0;
  unsigned count_ = 0;
};

}  // namespace archive::deflate64
