#include "archive/methods/Deflate64.h"

#include <algorithm>
#include <cstring>

#include "archive/format/Bytes.h"

namespace archive {

namespace {

using Entry = Deflate64Decoder::Entry;

constexpr size_t kWindow = 64 * 1024;  // the farthest a distance reaches (49153 + 16383)
// Bytes decoded ahead of the window before it slides; large enough that sliding (one 64 KiB
// move) is rare and that most matches, even 65538 long, fit whole.
constexpr size_t kAhead = 192 * 1024;
constexpr size_t kCapacity = kWindow + kAhead;
// Match copies in 16-byte pieces may write this far past a match's end.
constexpr size_t kSlack = 16;

// Entry kinds; any op below kLink is a length or distance with that many extra bits.
constexpr uint8_t kLink = 0x20;  // low 5 bits: the sub-table's bits
constexpr uint8_t kEndOfBlock = 0x40;
constexpr uint8_t kLiteral = 0x80;
constexpr uint8_t kInvalid = 0xC0;

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

// Fills `table` for the canonical code with these lengths, codes up to `rootBits` long
// directly, longer ones through sub-tables of just the size their codes need. Returns false
// for an over-subscribed code, and for an incomplete one unless `allowLone` and it has at most
// one code, of one bit (what an encoder writes for a block with a single distance, or none).
//
// Capacity: the primary table plus, for each sub-table of d bits, 2^d slots. A complete code
// with a d-bit sub-table has at least d + 1 codes under it, so with n symbols and d at most
// 15 - rootBits the sub-tables need at most n * 2^d / (d + 1) slots: 1536 for 288 literal
// symbols at 10 bits, 512 for 32 distances at 8 bits, none for code lengths at 7 bits.
bool Build(const uint8_t* lengths, unsigned count, const Entry* meanings, unsigned rootBits,
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

inline Entry Lookup(const Entry* table, unsigned rootBits, uint64_t bits) {
  Entry entry = table[bits & ((1u << rootBits) - 1)];
  if (entry.op & kLink) {
    entry = table[entry.value + ((bits >> rootBits) & ((1u << (entry.op & 0x1F)) - 1))];
  }
  return entry;
}

// The low `bits` bits set, for `bits` from 0 to 63.
inline uint64_t LowBits(unsigned bits) { return (uint64_t{1} << bits) - 1; }

// Copies a match forward (it may overlap its own output), exactly `length` bytes.
void CopyMatch(unsigned char* to, size_t distance, size_t length) {
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

}  // namespace

Deflate64Decoder::Deflate64Decoder() : buffer_(new unsigned char[kCapacity + kSlack]) {}

Deflate64Decoder::~Deflate64Decoder() = default;

Decoder::Result Deflate64Decoder::Decode(const unsigned char** in, size_t* inSize,
                                         unsigned char** out, size_t* outSize) {
  if (state_ == State::kCorrupt) return Result::kCorrupt;
  const unsigned char* start = *in;
  const unsigned char* next = start;
  const unsigned char* end = start + *inSize;
  Stop stop = Stop::kFinished;
  for (;;) {
    Flush(out, outSize);
    if (state_ == State::kEnd) {
      stop = Stop::kFinished;
      break;
    }
    if (pos_ == kCapacity) {
      if (flushed_ < pos_) {
        stop = Stop::kFull;
        break;
      }
      std::memmove(buffer_.get(), buffer_.get() + pos_ - kWindow, kWindow);
      pos_ = flushed_ = kWindow;
    }
    stop = Run(next, end);
    if (stop == Stop::kCorrupt) break;
    if (stop == Stop::kStarved) {
      Flush(out, outSize);
      break;
    }
  }
  // A starved decoder needs every bit it holds for the next symbol. Otherwise whole bytes it
  // read ahead go back: they may belong to whatever follows the stream. They all came in
  // during this call, as the bits kept over from a starved call are used up first.
  if (stop != Stop::kStarved) {
    size_t back = std::min<size_t>(bitCount_ / 8, static_cast<size_t>(next - start));
    next -= back;
    bitCount_ -= static_cast<unsigned>(8 * back);
    bitBuffer_ &= LowBits(bitCount_);
  }
  *inSize -= static_cast<size_t>(next - start);
  *in = next;
  if (stop == Stop::kCorrupt) return Result::kCorrupt;
  return state_ == State::kEnd && flushed_ == pos_ ? Result::kEnd : Result::kProgress;
}

void Deflate64Decoder::Flush(unsigned char** out, size_t* outSize) {
  size_t n = std::min(pos_ - flushed_, *outSize);
  if (n == 0) return;
  std::memcpy(*out, buffer_.get() + flushed_, n);
  flushed_ += n;
  *out += n;
  *outSize -= n;
}

Deflate64Decoder::Stop Deflate64Decoder::Fail() {
  state_ = State::kCorrupt;
  return Stop::kCorrupt;
}

bool Deflate64Decoder::Need(unsigned bits, const unsigned char*& next, const unsigned char* end) {
  while (bitCount_ < bits) {
    if (next == end) return false;
    bitBuffer_ |= uint64_t{*next++} << bitCount_;
    bitCount_ += 8;
  }
  return true;
}

// Finds the entry for the code at the front of the bits, reading only as many bytes as that
// code needs: missing bits read as zeros, and a code found that way is right if it is no
// longer than the bits there are.
bool Deflate64Decoder::Peek(const Entry* table, unsigned rootBits, Entry& entry,
                            const unsigned char*& next, const unsigned char* end) {
  for (;;) {
    entry = Lookup(table, rootBits, bitBuffer_);
    if (entry.bits <= bitCount_) return true;
    if (next == end) return false;
    bitBuffer_ |= uint64_t{*next++} << bitCount_;
    bitCount_ += 8;
  }
}

void Deflate64Decoder::Drop(unsigned bits) {
  bitBuffer_ >>= bits;
  bitCount_ -= bits;
}

void Deflate64Decoder::EndBlock() { state_ = finalBlock_ ? State::kEnd : State::kHeader; }

void Deflate64Decoder::UseFixedCodes() {
  if (fixedLoaded_) return;
  uint8_t lengths[288];
  std::fill(lengths, lengths + 144, uint8_t{8});
  std::fill(lengths + 144, lengths + 256, uint8_t{9});
  std::fill(lengths + 256, lengths + 280, uint8_t{7});
  std::fill(lengths + 280, lengths + 288, uint8_t{8});
  Build(lengths, 288, kMeanings.literals, kLiteralBits, literals_, std::size(literals_), false);
  std::fill(lengths, lengths + 32, uint8_t{5});
  Build(lengths, 32, kMeanings.distances, kDistanceBits, distances_, std::size(distances_), false);
  fixedLoaded_ = true;
}

bool Deflate64Decoder::BuildDynamicCodes() {
  fixedLoaded_ = false;
  if (lengths_[256] == 0) return false;  // a block must be able to end
  return Build(lengths_, literalCount_, kMeanings.literals, kLiteralBits, literals_,
               std::size(literals_), true) &&
         Build(lengths_ + literalCount_, distanceCount_, kMeanings.distances, kDistanceBits,
               distances_, std::size(distances_), true);
}

Deflate64Decoder::Stop Deflate64Decoder::Run(const unsigned char*& next, const unsigned char* end) {
  unsigned char* buffer = buffer_.get();
  for (;;) {
    switch (state_) {
      case State::kHeader: {
        if (!Need(3, next, end)) return Stop::kStarved;
        finalBlock_ = bitBuffer_ & 1;
        unsigned type = (bitBuffer_ >> 1) & 3;
        Drop(3);
        if (type == 0) {
          Drop(bitCount_ % 8);
          state_ = State::kStoredLengths;
        } else if (type == 1) {
          UseFixedCodes();
          state_ = State::kLiteral;
        } else if (type == 2) {
          state_ = State::kTableSizes;
        } else {
          return Fail();
        }
        break;
      }
      case State::kStoredLengths: {
        if (!Need(32, next, end)) return Stop::kStarved;
        uint32_t length = bitBuffer_ & 0xFFFF;
        uint32_t complement = (bitBuffer_ >> 16) & 0xFFFF;
        Drop(32);
        if (length != (~complement & 0xFFFF)) return Fail();
        stored_ = length;
        state_ = State::kStored;
        break;
      }
      case State::kStored: {
        while (stored_ > 0) {
          if (pos_ == kCapacity) return Stop::kFull;
          if (bitCount_ >= 8) {
            buffer[pos_++] = static_cast<unsigned char>(bitBuffer_);
            Drop(8);
            --stored_;
            continue;
          }
          size_t n = std::min({size_t{stored_}, kCapacity - pos_, static_cast<size_t>(end - next)});
          if (n == 0) return Stop::kStarved;
          std::memcpy(buffer + pos_, next, n);
          pos_ += n;
          next += n;
          stored_ -= static_cast<uint32_t>(n);
        }
        EndBlock();
        break;
      }
      case State::kTableSizes: {
        if (!Need(14, next, end)) return Stop::kStarved;
        literalCount_ = 257 + (bitBuffer_ & 0x1F);
        distanceCount_ = 1 + ((bitBuffer_ >> 5) & 0x1F);
        codeLengthCount_ = 4 + ((bitBuffer_ >> 10) & 0xF);
        Drop(14);
        if (literalCount_ > kMaxLiteralCodes) return Fail();
        index_ = 0;
        state_ = State::kCodeLengthCode;
        break;
      }
      case State::kCodeLengthCode: {
        for (; index_ < codeLengthCount_; ++index_) {
          if (!Need(3, next, end)) return Stop::kStarved;
          lengths_[kCodeLengthOrder[index_]] = bitBuffer_ & 7;
          Drop(3);
        }
        for (; index_ < 19; ++index_) lengths_[kCodeLengthOrder[index_]] = 0;
        if (!Build(lengths_, 19, kMeanings.codeLengths, kCodeLengthBits, codeLengths_,
                   std::size(codeLengths_), false)) {
          return Fail();
        }
        index_ = 0;
        state_ = State::kCodeLengths;
        break;
      }
      case State::kCodeLengths: {
        unsigned total = literalCount_ + distanceCount_;
        while (index_ < total) {
          Entry entry;
          if (!Peek(codeLengths_, kCodeLengthBits, entry, next, end)) return Stop::kStarved;
          if (entry.op == kInvalid) return Fail();
          unsigned symbol = entry.value;
          if (symbol < 16) {
            Drop(entry.bits);
            lengths_[index_++] = static_cast<uint8_t>(symbol);
            continue;
          }
          // 16 repeats the previous length 3 to 6 times; 17 and 18 give runs of zeros.
          unsigned extra = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
          if (!Need(entry.bits + extra, next, end)) return Stop::kStarved;
          unsigned run = (symbol == 18 ? 11 : 3) +
                         static_cast<unsigned>((bitBuffer_ >> entry.bits) & ((1u << extra) - 1));
          Drop(entry.bits + extra);
          uint8_t value = 0;
          if (symbol == 16) {
            if (index_ == 0) return Fail();
            value = lengths_[index_ - 1];
          }
          if (run > total - index_) return Fail();
          std::fill(lengths_ + index_, lengths_ + index_ + run, value);
          index_ += run;
        }
        if (!BuildDynamicCodes()) return Fail();
        state_ = State::kLiteral;
        break;
      }
      case State::kLiteral: {
        if (end - next >= 16 && pos_ < kCapacity) {
          Stop stop = Fast(next, end);
          if (stop == Stop::kCorrupt) return stop;
          if (state_ != State::kLiteral) break;
        }
        Entry entry;
        if (!Peek(literals_, kLiteralBits, entry, next, end)) return Stop::kStarved;
        if (entry.op == kLiteral) {
          if (pos_ == kCapacity) return Stop::kFull;
          buffer[pos_++] = static_cast<unsigned char>(entry.value);
          Drop(entry.bits);
        } else if (entry.op == kEndOfBlock) {
          Drop(entry.bits);
          EndBlock();
        } else if (entry.op == kInvalid) {
          return Fail();
        } else {
          if (!Need(entry.bits + entry.op, next, end)) return Stop::kStarved;
          matchLength_ = entry.value +
                         static_cast<uint32_t>((bitBuffer_ >> entry.bits) & ((1u << entry.op) - 1));
          Drop(entry.bits + entry.op);
          state_ = State::kDistance;
        }
        break;
      }
      case State::kDistance: {
        Entry entry;
        if (!Peek(distances_, kDistanceBits, entry, next, end)) return Stop::kStarved;
        if (entry.op == kInvalid) return Fail();
        if (!Need(entry.bits + entry.op, next, end)) return Stop::kStarved;
        matchDistance_ = entry.value +
                         static_cast<uint32_t>((bitBuffer_ >> entry.bits) & ((1u << entry.op) - 1));
        Drop(entry.bits + entry.op);
        // Before the first slide everything decoded is in the buffer; after it the whole
        // window is.
        if (matchDistance_ > pos_) return Fail();
        state_ = State::kCopy;
        break;
      }
      case State::kCopy: {
        size_t n = std::min(size_t{matchLength_}, kCapacity - pos_);
        CopyMatch(buffer + pos_, matchDistance_, n);
        pos_ += n;
        matchLength_ -= static_cast<uint32_t>(n);
        if (matchLength_ > 0) return Stop::kFull;
        state_ = State::kLiteral;
        break;
      }
      case State::kEnd:
        return Stop::kFinished;
      case State::kCorrupt:
        return Stop::kCorrupt;
    }
  }
}

// The literal/length loop for when at least 16 input bytes are there: it refills 64 bits at
// a time and needs no checks for running out of input in between. It stops at the end of a
// block, at a match that does not fit the buffer, and when the buffer or the input runs low.
Deflate64Decoder::Stop Deflate64Decoder::Fast(const unsigned char*& next,
                                              const unsigned char* end) {
  unsigned char* const buffer = buffer_.get();
  const unsigned char* in = next;
  uint64_t bitBuffer = bitBuffer_;
  unsigned bitCount = bitCount_;
  size_t pos = pos_;
  Stop stop = Stop::kFull;
  bool blockEnded = false;
  // Adds whole bytes up to at least 56 bits. Bits above the count are the next bytes' own
  // bits, so OR-ing them in again changes nothing.
  auto refill = [&] {
    bitBuffer |= Load64(in) << bitCount;
    in += (63 - bitCount) >> 3;
    bitCount |= 56;
  };
  constexpr uint64_t kLiteralMask = (1u << kLiteralBits) - 1;
  constexpr uint64_t kDistanceMask = (1u << kDistanceBits) - 1;
  auto literal = [&] {
    Entry entry = literals_[bitBuffer & kLiteralMask];
    if (entry.op & kLink) {
      entry =
          literals_[entry.value + ((bitBuffer >> kLiteralBits) & ((1u << (entry.op & 0x1F)) - 1))];
    }
    return entry;
  };
  while (end - in >= 16 && kCapacity - pos >= 3) {
    refill();
    Entry entry = literal();
    if (entry.op == kLiteral) {
      // Up to three literals per refill: 56 bits hold three codes of 15.
      for (int i = 0;;) {
        bitBuffer >>= entry.bits;
        bitCount -= entry.bits;
        buffer[pos++] = static_cast<unsigned char>(entry.value);
        if (++i == 3) break;
        entry = literal();
        if (entry.op != kLiteral) break;
      }
      continue;
    }
    bitBuffer >>= entry.bits;
    bitCount -= entry.bits;
    if (entry.op >= kEndOfBlock) {
      if (entry.op != kEndOfBlock) {
        stop = Stop::kCorrupt;
        break;
      }
      blockEnded = true;
      break;
    }
    size_t length = entry.value + static_cast<size_t>(bitBuffer & ((1u << entry.op) - 1));
    bitBuffer >>= entry.op;
    bitCount -= entry.op;
    if (bitCount < 32) refill();
    entry = distances_[bitBuffer & kDistanceMask];
    if (entry.op & kLink) {
      entry = distances_[entry.value +
                         ((bitBuffer >> kDistanceBits) & ((1u << (entry.op & 0x1F)) - 1))];
    }
    if (entry.op == kInvalid) {
      stop = Stop::kCorrupt;
      break;
    }
    bitBuffer >>= entry.bits;
    bitCount -= entry.bits;
    size_t distance = entry.value + static_cast<size_t>(bitBuffer & ((1u << entry.op) - 1));
    bitBuffer >>= entry.op;
    bitCount -= entry.op;
    if (distance > pos) {
      stop = Stop::kCorrupt;
      break;
    }
    if (length > kCapacity - pos) {
      matchLength_ = static_cast<uint32_t>(length);
      matchDistance_ = static_cast<uint32_t>(distance);
      state_ = State::kCopy;
      break;
    }
    unsigned char* to = buffer + pos;
    const unsigned char* from = to - distance;
    pos += length;
    if (distance >= 16) {
      // Each piece reads only bytes already written; the last may run into kSlack.
      unsigned char* const stopAt = buffer + pos;
      do {
        std::memcpy(to, from, 16);
        to += 16;
        from += 16;
      } while (to < stopAt);
    } else if (distance >= 8) {
      unsigned char* const stopAt = buffer + pos;
      do {
        std::memcpy(to, from, 8);
        to += 8;
        from += 8;
      } while (to < stopAt);
    } else {
      CopyMatch(to, distance, length);
    }
  }
  next = in;
  bitBuffer_ = bitBuffer & LowBits(bitCount);
  bitCount_ = bitCount;
  pos_ = pos;
  if (stop == Stop::kCorrupt) return Fail();
  if (blockEnded) EndBlock();
  return stop;
}

}  // namespace archive
