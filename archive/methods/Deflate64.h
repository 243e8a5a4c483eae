// Deflate64 (Zip method 9), decoded by our own code since no packaged library reads it.
// It is Deflate with three changes: a 64 KiB window, length code 285 carrying 16 extra bits
// on a base of 3 (lengths 3 to 65538), and distance codes 30 and 31 (bases 32769 and 49153,
// 14 extra bits each).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/methods/Decoder.h"

namespace archive {

// Method 9. Streaming: input and room may come in pieces of any size, down to one byte.
// Decoded bytes go first into a fixed buffer that also holds the 64 KiB window, so a piece of
// output room never has to fit a whole match. Memory is that buffer plus the code tables,
// whatever the stream says.
//
// Decode returns kEnd once the final block is complete and every byte has been handed out;
// whole bytes it read beyond the final block are given back through `*in`. Afterwards it
// returns kEnd and consumes nothing. kCorrupt is final: every later call returns it.
class Deflate64Decoder final : public Decoder {
 public:
  Deflate64Decoder();
  ~Deflate64Decoder() override;
  Deflate64Decoder(const Deflate64Decoder&) = delete;
  Deflate64Decoder& operator=(const Deflate64Decoder&) = delete;

  Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                size_t* outSize) override;

  // One slot of a decoding table: what the code found there means and how long it is.
  struct Entry {
    uint16_t value;  // literal byte, length or distance base, or a sub-table's offset
    uint8_t op;      // extra bits (0 to 16) for a length or distance, else one of the kinds
    uint8_t bits;    // code length; for a sub-table link, the primary table's bits
  };

  // Primary table bits; longer codes go through a sub-table.
  static constexpr unsigned kLiteralBits = 10;
  static constexpr unsigned kDistanceBits = 8;
  static constexpr unsigned kCodeLengthBits = 7;

 private:
  enum class State : uint8_t {
    kHeader,          // the 3 bits that start a block
    kStoredLengths,   // LEN and NLEN of a stored block
    kStored,          // a stored block's bytes
    kTableSizes,      // HLIT, HDIST, HCLEN of a dynamic block
    kCodeLengthCode,  // the code-length code's 3-bit lengths
    kCodeLengths,     // the literal/length and distance code lengths
    kLiteral,         // a literal, a length or the end of the block
    kDistance,        // the distance of a match whose length is known
    kCopy,            // a match being copied
    kEnd,
    kCorrupt,
  };
  enum class Stop : uint8_t { kStarved, kFull, kFinished, kCorrupt };

  Stop Run(const unsigned char*& next, const unsigned char* end);
  Stop Fast(const unsigned char*& next, const unsigned char* end);
  Stop Fail();
  bool Need(unsigned bits, const unsigned char*& next, const unsigned char* end);
  bool Peek(const Entry* table, unsigned rootBits, Entry& entry, const unsigned char*& next,
            const unsigned char* end);
  void Drop(unsigned bits);
  void EndBlock();
  void UseFixedCodes();
  bool BuildDynamicCodes();
  void Flush(unsigned char** out, size_t* outSize);

  std::unique_ptr<unsigned char[]> buffer_;  // the window, then bytes decoded ahead
  size_t pos_ = 0;                           // where the next decoded byte goes
  size_t flushed_ = 0;                       // bytes before this are handed out

  uint64_t bitBuffer_ = 0;  // unused input bits, the next one lowest; nothing above bitCount_
  unsigned bitCount_ = 0;

  State state_ = State::kHeader;
  bool finalBlock_ = false;
  bool fixedLoaded_ = false;  // the tables hold the fixed codes
  uint32_t stored_ = 0;       // bytes left in a stored block
  uint32_t matchLength_ = 0;
  uint32_t matchDistance_ = 0;

  // A dynamic block's header as it is read.
  unsigned literalCount_ = 0;
  unsigned distanceCount_ = 0;
  unsigned codeLengthCount_ = 0;
  unsigned index_ = 0;
  uint8_t lengths_[288 + 32] = {};

  // Sized for the largest tables a complete code can need (see Deflate64.cpp).
  Entry literals_[(1u << kLiteralBits) + 1536];
  Entry distances_[(1u << kDistanceBits) + 512];
  Entry codeLengths_[1u << kCodeLengthBits];
};

}  // namespace archive
