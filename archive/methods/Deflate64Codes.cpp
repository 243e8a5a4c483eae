#include "archive/methods/Deflate64Codes.h"

#include <algorithm>

namespace archive::deflate64 {

namespace {

constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kMaxLiteralCodes = 286;  // 286 and 287 exist only in the fixed code

// Length symbols 257 to 285. 285 is Deflate64's: 16 extra bits on a base of 3.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr uint16_t kDistanceBase[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                        17,   25,   33,   49,    65,    97,    129,   193,
                                        257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                        4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr uint8_t kDistanceExtra[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                        7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// The order in which a dynamic block lists the code-length code's lengths.
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

// What each symbol of the three alphabets means, in table-entry form.
struct Meanings {
  Entry literals[288];
  Entry distances[32];
  Entry codeLengths[19];
  constexpr Meanings() : literals(), distances(), codeLengths() {
    for (unsigned s = 0; s < 256; ++s) literals[s] = {static_cast<uint16_t>(s), kLiteral, 0};
    literals[256] = {0, kEndOfBlock, 0};
    for (unsigned s = 257; s < 286; ++s) {
      literals[s] = {kLengthBase[s - 257], kLengthExtra[s - 257], 0};
    }
    literals[286] = literals[287] = {0, kInvalid, 0};
    for (unsigned s = 0; s < 32; ++s) distances[s] = {kDistanceBase[s], kDistanceExtra[s], 0};
    for (unsigned s = 0; s < 19; ++s) codeLengths[s] = {static_cast<uint16_t>(s), 0, 0};
  }
};
constexpr Meanings kMeanings;

struct ReversedBytes {
  uint8_t of[256];
  constexpr ReversedBytes() : of() {
    for (unsigned b = 0; b < 256; ++b) {
      for (unsigned i = 0; i < 8; ++i) {
        of[b] = static_cast<uint8_t>(of[b] | (((b >> i) & 1) << (7 - i)));
      }
    }
  }
};
constexpr ReversedBytes kReversed;

// A code of up to 15 bits in the order the stream sends it.
inline unsigned Reverse(unsigned code, unsigned bits) {
  return ((unsigned{kReversed.of[code & 0xFF]} << 8) | kReversed.of[code >> 8]) >> (16 - bits);
}

}  // namespace

bool BuildTable(const uint8_t* lengths, unsigned count, const Entry* meanings, unsigned rootBits,
                Entry* table, size_t capacity, bool allowLone) {
  unsigned counts[kMaxCodeBits + 1] = {};
  for (unsigned s = 0; s < count; ++s) ++counts[lengths[s]];
  counts[0] = 0;
  int left = 1;
  unsigned maxBits = 0;
  for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
    left = (left << 1) - static_cast<int>(counts[bits]);
    if (left < 0) return false;
    if (counts[bits] > 0) maxBits = bits;
  }
  if (left > 0 && !(allowLone && maxBits <= 1)) return false;

  // Symbols in canonical order: by length, then by symbol.
  unsigned offsets[kMaxCodeBits + 2] = {};
  for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
    offsets[bits + 1] = offsets[bits] + counts[bits];
  }
  uint16_t sorted[288];
  for (unsigned s = 0; s < count; ++s) {
    if (lengths[s] != 0) sorted[offsets[lengths[s]]++] = static_cast<uint16_t>(s);
  }
  unsigned codes = 0;
  for (unsigned s = 0; s < count; ++s) codes += lengths[s] != 0;

  const size_t rootSize = size_t{1} << rootBits;
  // Slots left invalid are those of an incomplete code, whose codes are one bit at most, so
  // a bad code shows after as many bits.
  std::fill(table, table + rootSize, Entry{0, kInvalid, static_cast<uint8_t>(maxBits)});
  size_t used = rootSize;
  unsigned code = 0;  // the canonical code, most significant bit first
  unsigned bits = 0;
  unsigned remaining[kMaxCodeBits + 1];
  std::copy(counts, counts + kMaxCodeBits + 1, remaining);
  size_t subTable = 0;
  unsigned subBits = 0;
  size_t prefix = rootSize;  // the primary slot of the current sub-table; none yet
  for (unsigned i = 0; i < codes; ++i) {
    unsigned symbol = sorted[i];
    unsigned length = lengths[symbol];
    if (i > 0) ++code;
    code <<= length - bits;
    bits = length;
    Entry entry = meanings[symbol];
    entry.bits = static_cast<uint8_t>(length);
    unsigned reversed = Reverse(code, length);
    if (length <= rootBits) {
      for (size_t slot = reversed; slot < rootSize; slot += size_t{1} << length) {
        table[slot] = entry;
      }
    } else {
      size_t root = reversed & (rootSize - 1);
      if (root != prefix) {
        // A new sub-table, just deep enough for the codes that share this prefix: they are
        // the next ones in canonical order.
        prefix = root;
        subBits = length - rootBits;
        int room = 1 << subBits;
        while (subBits + rootBits < maxBits) {
          room -= static_cast<int>(remaining[subBits + rootBits]);
          if (room <= 0) break;
          ++subBits;
          room <<= 1;
        }
        subTable = used;
        used += size_t{1} << subBits;
        if (used > capacity) return false;
        std::fill(table + subTable, table + used,
                  Entry{0, kInvalid, static_cast<uint8_t>(rootBits + subBits)});
        table[root] = {static_cast<uint16_t>(subTable), static_cast<uint8_t>(kLink | subBits),
                       static_cast<uint8_t>(rootBits)};
      }
      for (size_t slot = reversed >> rootBits; slot < (size_t{1} << subBits);
           slot += size_t{1} << (length - rootBits)) {
        table[subTable + slot] = entry;
      }
    }
    --remaining[length];
  }
  return true;
}

void Codes::UseFixed() {
  if (fixedLoaded_) return;
  uint8_t lengths[288];
  std::fill(lengths, lengths + 144, uint8_t{8});
  std::fill(lengths + 144, lengths + 256, uint8_t{9});
  std::fill(lengths + 256, lengths + 280, uint8_t{7});
  std::fill(lengths + 280, lengths + 288, uint8_t{8});
  literals_.Build(lengths, 288, kMeanings.literals, false);
  std::fill(lengths, lengths + 32, uint8_t{5});
  distances_.Build(lengths, 32, kMeanings.distances, false);
  fixedLoaded_ = true;
}

bool Codes::UseDynamic(const uint8_t* lengths, unsigned literalCount, unsigned distanceCount) {
  fixedLoaded_ = false;
  if (lengths[256] == 0) return false;  // a block must be able to end
  return literals_.Build(lengths, literalCount, kMeanings.literals, true) &&
         distances_.Build(lengths + literalCount, distanceCount, kMeanings.distances, true);
}

DynamicHeader::Outcome DynamicHeader::Read(BitReader& bits, const unsigned char*& next,
                                           const unsigned char* end, Codes& codes) {
  switch (step_) {
    case Step::kTableSizes:
      if (!bits.Need(14, next, end)) return Outcome::kStarved;
      literalCount_ = 257 + bits.Field(0, 5);
      distanceCount_ = 1 + bits.Field(5, 5);
      codeLengthCount_ = 4 + bits.Field(10, 4);
      bits.Drop(14);
      if (literalCount_ > kMaxLiteralCodes) return Outcome::kCorrupt;
      index_ = 0;
      step_ = Step::kCodeLengthCode;
      [[fallthrough]];
    case Step::kCodeLengthCode:
      for (; index_ < codeLengthCount_; ++index_) {
        if (!bits.Need(3, next, end)) return Outcome::kStarved;
        lengths_[kCodeLengthOrder[index_]] = static_cast<uint8_t>(bits.Field(0, 3));
        bits.Drop(3);
      }
      for (; index_ < 19; ++index_) lengths_[kCodeLengthOrder[index_]] = 0;
      if (!codeLengths_.Build(lengths_, 19, kMeanings.codeLengths, false)) {
        return Outcome::kCorrupt;
      }
      index_ = 0;
      step_ = Step::kCodeLengths;
      [[fallthrough]];
    case Step::kCodeLengths:
      break;
  }
  unsigned total = literalCount_ + distanceCount_;
  while (index_ < total) {
    Entry entry;
    if (!bits.Peek(codeLengths_, entry, next, end)) return Outcome::kStarved;
    if (entry.op == kInvalid) return Outcome::kCorrupt;
    unsigned symbol = entry.value;
    if (symbol < 16) {
      bits.Drop(entry.bits);
      lengths_[index_++] = static_cast<uint8_t>(symbol);
      continue;
    }
    // 16 repeats the previous length 3 to 6 times; 17 and 18 give runs of zeros.
    unsigned extra = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
    if (!bits.Need(entry.bits + extra, next, end)) return Outcome::kStarved;
    unsigned run = (symbol == 18 ? 11 : 3) + bits.Field(entry.bits, extra);
    bits.Drop(entry.bits + extra);
    uint8_t value = 0;
    if (symbol == 16) {
      if (index_ == 0) return Outcome::kCorrupt;
      value = lengths_[index_ - 1];
    }
    if (run > total - index_) return Outcome::kCorrupt;
    std::fill(lengths_ + index_, lengths_ + index_ + run, value);
    index_ += run;
  }
  return codes.UseDynamic(lengths_, literalCount_, distanceCount_) ? Outcome::kDone
                                                                   : Outcome::kCorrupt;
}

}  // namespace archive::deflate64
