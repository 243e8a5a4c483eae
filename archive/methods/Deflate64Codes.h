// Deflate64's Huffman codes as decoding tables: the fixed codes, a dynamic block's codes, and
// the dynamic block's header that sends them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "archive/methods/Deflate64Bits.h"

namespace archive::deflate64 {

// One slot of a decoding table: what the code found there means and how long it is.
struct Entry {
  uint16_t value;  // literal byte, length or distance base, or a sub-table's offset
  uint8_t op;      // extra bits (0 to 16) for a length or distance, else one of the kinds
  uint8_t bits;    // code length; for a sub-table link, the primary table's bits
};

// Entry kinds; any op below kLink is a length or distance with that many extra bits.
constexpr uint8_t kLink = 0x20;  // low 5 bits: the sub-table's bits
constexpr uint8_t kEndOfBlock = 0x40;
constexpr uint8_t kLiteral = 0x80;
constexpr uint8_t kInvalid = 0xC0;

// Fills `table` for the canonical code with these lengths, codes up to `rootBits` long
// directly, longer ones through sub-tables of just the size their codes need. Returns false
// for an over-subscribed code, and for an incomplete one unless `allowLone` and it has at most
// one code, of one bit (what an encoder writes for a block with a single distance, or none).
bool BuildTable(const uint8_t* lengths, unsigned count, const Entry* meanings, unsigned rootBits,
                Entry* table, size_t capacity, bool allowLone);

// A decoding table: codes up to `RootBits` long are found in one look, longer ones through a
// sub-table. `SubSlots` is the most the sub-tables of a complete code can need: for each of d
// bits 2^d slots, and such a sub-table has at least d + 1 codes under it, so with n symbols
// and d at most 15 - RootBits they need at most n * 2^d / (d + 1).
template <unsigned RootBits, size_t SubSlots>
struct Table {
  static constexpr unsigned kRootBits = RootBits;
  Entry slots[(size_t{1} << RootBits) + SubSlots];

  Entry Find(uint64_t bits) const {
    Entry entry = slots[bits & ((1u << RootBits) - 1)];
    if (entry.op & kLink) {
      entry = slots[entry.value + ((bits >> RootBits) & ((1u << (entry.op & 0x1F)) - 1))];
    }
    return entry;
  }
  bool Build(const uint8_t* lengths, unsigned count, const Entry* meanings, bool allowLone) {
    return BuildTable(lengths, count, meanings, RootBits, slots, std::size(slots), allowLone);
  }
};

using LiteralTable = Table<10, 1536>;  // 288 symbols
using DistanceTable = Table<8, 512>;   // 32 symbols
using CodeLengthTable = Table<7, 0>;   // 19 symbols of at most 7 bits

// The literal/length and distance codes the current block is decoded with.
class Codes {
 public:
  const LiteralTable& Literals() const { return literals_; }
  const DistanceTable& Distances() const { return distances_; }

  // Block type 1's codes; built once and kept until a dynamic block replaces them.
  void UseFixed();
  // A dynamic block's codes: `literalCount` literal/length code lengths, then `distanceCount`
  // distance code lengths. False if they make no usable code.
  bool UseDynamic(const uint8_t* lengths, unsigned literalCount, unsigned distanceCount);

 private:
  bool fixedLoaded_ = false;  // the tables hold the fixed codes
  LiteralTable literals_;
  DistanceTable distances_;
};

// A dynamic block's header, read as the input comes: the table sizes, the code-length code,
// then the code lengths sent with it, which become the block's codes.
class DynamicHeader {
 public:
  enum class Outcome : uint8_t { kStarved, kDone, kCorrupt };

  void Start() { step_ = Step::kTableSizes; }
  // Reads on where the last call stopped; on kDone `codes` holds the block's codes.
  Outcome Read(BitReader& bits, const unsigned char*& next, const unsigned char* end, Codes& codes);

 private:
  enum class Step : uint8_t {
    kTableSizes,      // HLIT, HDIST, HCLEN
    kCodeLengthCode,  // the code-length code's 3-bit lengths
    kCodeLengths,     // the literal/length and distance code lengths
  };

  Step step_ = Step::kTableSizes;
  unsigned literalCount_ = 0;
  unsigned distanceCount_ = 0;
  unsigned codeLengthCount_ = 0;
  unsigned index_ = 0;
  uint8_t lengths_[288 + 32] = {};
  CodeLengthTable codeLengths_;
};

}  // namespace archive::deflate64
