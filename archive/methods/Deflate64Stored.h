// A Deflate64 stored block: LEN and NLEN from the next byte boundary, then LEN bytes as they
// are, read as the input comes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "archive/methods/Deflate64Bits.h"
#include "archive/methods/Deflate64Window.h"

namespace archive::deflate64 {

class StoredBlock {
 public:
  enum class Outcome : uint8_t { kStarved, kFull, kDone, kCorrupt };

  // After the block's 3 header bits.
  void Start(BitReader& bits) {
    bits.DropToByte();
    lengthRead_ = false;
  }

  // Reads on where the last call stopped; kFull when the window has no room.
  Outcome Read(BitReader& bits, Window& window, const unsigned char*& next,
               const unsigned char* end) {
    if (!lengthRead_) {
      if (!bits.Need(32, next, end)) return Outcome::kStarved;
      uint32_t length = bits.Field(0, 16);
      uint32_t complement = bits.Field(16, 16);
      bits.Drop(32);
      if (length != (~complement & 0xFFFF)) return Outcome::kCorrupt;
      left_ = length;
      lengthRead_ = true;
    }
    while (left_ > 0) {
      if (window.Full()) return Outcome::kFull;
      // Whole bytes already read into the bits come first.
      unsigned char byte;
      if (bits.TakeByte(byte)) {
        window.Put(byte);
        --left_;
        continue;
      }
      size_t n = std::min({size_t{left_}, window.Room(), static_cast<size_t>(end - next)});
      if (n == 0) return Outcome::kStarved;
      window.Append(next, n);
      next += n;
      left_ -= static_cast<uint32_t>(n);
    }
    return Outcome::kDone;
  }

 private:
  bool lengthRead_ = false;
  uint32_t left_ = 0;  // bytes of the block still to copy
};

}  // namespace archive::deflate64
