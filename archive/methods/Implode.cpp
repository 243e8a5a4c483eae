#include "archive/methods/Implode.h"

#include <iterator>

#include "archive/format/Entry.h"
#include "archive/methods/LegacyStream.h"

namespace archive {

namespace {

using legacy::Stop;

constexpr unsigned kMaxCodeBits = 16;
constexpr unsigned kRootBits = 10;
constexpr unsigned kInvalid = 0xFF;
constexpr unsigned kLengthSymbols = 64;
constexpr unsigned kLongLength = 63;  // the length symbol followed by 8 more bits
// The most bits one item takes: the 0 bit, 7 low distance bits, two codes, 8 more bits.
constexpr unsigned kMaxItemBits = 1 + 7 + 2 * kMaxCodeBits + 8;

constexpr uint16_t kFlagLargeWindow = 0x0002;
constexpr uint16_t kFlagLiteralCode = 0x0004;

// One of the stored Shannon-Fano codes. Implode gives the longest codes the lowest values,
// which for a complete code makes each code the bitwise inverse of the canonical (Deflate
// style) code of the same lengths; decoding inverts the input bits and decodes canonically.
class Code {
 public:
  // False unless the lengths (1 to 16) make a complete code: anything else has unused or
  // clashing codes, which no writer produces.
  bool Build(const uint8_t* lengths, unsigned symbols) {
    unsigned counts[kMaxCodeBits + 1] = {};
    for (unsigned s = 0; s < symbols; ++s) ++counts[lengths[s]];
    uint32_t space = 0;
    for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
      space += counts[bits] << (kMaxCodeBits - bits);
    }
    if (space != uint32_t{1} << kMaxCodeBits) return false;

    unsigned offsets[kMaxCodeBits + 2] = {};
    unsigned next[kMaxCodeBits + 1] = {};
    for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
      offsets[bits + 1] = offsets[bits] + counts[bits];
      next[bits] = (next[bits - 1] + counts[bits - 1]) << 1;
      counts_[bits] = static_cast<uint16_t>(counts[bits]);
    }
    std::fill(std::begin(table_), std::end(table_), uint16_t{0});
    for (unsigned s = 0; s < symbols; ++s) {
      unsigned bits = lengths[s];
      sorted_[offsets[bits]++] = static_cast<uint8_t>(s);
      unsigned code = next[bits]++;
      if (bits > kRootBits) continue;
      unsigned reversed = 0;
      for (unsigned i = 0; i < bits; ++i) reversed |= ((code >> i) & 1) << (bits - 1 - i);
      for (unsigned slot = reversed; slot < (1u << kRootBits); slot += 1u << bits) {
        table_[slot] = static_cast<uint16_t>(s << 5 | bits);
      }
    }
    return true;
  }

  // The code at the front of `bits`, of which `count` are the stream's: its length with the
  // symbol in `symbol`, 0 when more bits are needed.
  unsigned Decode(uint64_t bits, unsigned count, unsigned& symbol) const {
    uint64_t inverted = ~bits;
    uint16_t entry = table_[inverted & ((1u << kRootBits) - 1)];
    if (entry != 0) {
      unsigned length = entry & 31;
      if (length > count) return 0;
      symbol = entry >> 5;
      return length;
    }
    // Longer than the table: canonically, a bit at a time.
    int code = 0;
    int first = 0;
    int index = 0;
    for (unsigned length = 1; length <= kMaxCodeBits; ++length) {
      if (length > count) return 0;
      code |= static_cast<int>((inverted >> (length - 1)) & 1);
      int n = counts_[length];
      if (code - first < n) {
        symbol = sorted_[index + code - first];
        return length;
      }
      index += n;
      first = (first + n) << 1;
      code <<= 1;
    }
    return kInvalid;  // not reached for a complete code
  }

 private:
  uint16_t table_[1u << kRootBits] = {};  // symbol << 5 | length; 0 for longer codes
  uint16_t counts_[kMaxCodeBits + 1] = {};
  uint8_t sorted_[256] = {};  // symbols by length, then value
};

class ImplodeDecoder final : public Decoder {
 public:
  ImplodeDecoder(uint64_t size, uint16_t flags)
      : output_((flags & kFlagLargeWindow) ? 8192 : 4096, kLongLength + 3 + 255, size),
        lowBits_((flags & kFlagLargeWindow) ? 7 : 6),
        literalCode_((flags & kFlagLiteralCode) != 0),
        minMatch_(literalCode_ ? 3 : 2),
        code_(literalCode_ ? 0 : 1) {}

  Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                size_t* outSize) override {
    return legacy::DecodeWith(
        output_, bits_, corrupt_, [this](auto& next, auto end) { return Run(next, end); }, in,
        inSize, out, outSize);
  }

 private:
  Stop Run(const unsigned char*& next, const unsigned char* end) {
    if (code_ < 3) {
      Stop stop = ReadCodes(next, end);
      if (stop != Stop::kFinished) return stop;
    }
    const unsigned lowMask = (1u << lowBits_) - 1;
    while (output_.left() > 0) {
      if (!output_.Room()) return Stop::kFull;
      bits_.Need(kMaxItemBits, next, end);
      uint64_t bits = bits_.bits();
      unsigned count = bits_.count();
      if (count == 0) return Stop::kStarved;
      unsigned symbol;
      if (bits & 1) {
        if (literalCode_) {
          unsigned length = literals_.Decode(bits >> 1, count - 1, symbol);
          if (length == 0) return Stop::kStarved;
          if (length == kInvalid) return Stop::kCorrupt;
          bits_.Drop(1 + length);
        } else {
          if (count < 9) return Stop::kStarved;
          symbol = (bits >> 1) & 0xFF;
          bits_.Drop(9);
        }
        output_.Put(static_cast<unsigned char>(symbol));
        continue;
      }
      unsigned used = 1 + lowBits_;
      if (count < used) return Stop::kStarved;
      size_t distance = (bits >> 1) & lowMask;
      unsigned length = distances_.Decode(bits >> used, count - used, symbol);
      if (length == 0) return Stop::kStarved;
      if (length == kInvalid) return Stop::kCorrupt;
      used += length;
      distance |= size_t{symbol} << lowBits_;
      length = lengths_.Decode(bits >> used, count - used, symbol);
      if (length == 0) return Stop::kStarved;
      if (length == kInvalid) return Stop::kCorrupt;
      used += length;
      size_t matchLength = symbol + minMatch_;
      if (symbol == kLongLength) {
        if (count < used + 8) return Stop::kStarved;
        matchLength += (bits >> used) & 0xFF;
        used += 8;
      }
      bits_.Drop(used);
      output_.Copy(distance + 1, matchLength);
    }
    return Stop::kFinished;
  }

  // The codes' lists, byte-aligned at the start: a byte giving the list's bytes less one,
  // then bytes of (symbols with this length - 1) << 4 | (length - 1), in symbol order.
  Stop ReadCodes(const unsigned char*& next, const unsigned char* end) {
    Code* const codes[3] = {&literals_, &lengths_, &distances_};
    for (; code_ < 3; ++code_, listBytes_ = -1) {
      unsigned symbols = code_ == 0 ? 256 : kLengthSymbols;
      if (listBytes_ < 0) {
        if (!bits_.Need(8, next, end)) return Stop::kStarved;
        listBytes_ = static_cast<int>(bits_.Peek(8)) + 1;
        bits_.Drop(8);
        filled_ = 0;
      }
      for (; listBytes_ > 0; --listBytes_) {
        if (!bits_.Need(8, next, end)) return Stop::kStarved;
        unsigned byte = bits_.Peek(8);
        bits_.Drop(8);
        unsigned n = (byte >> 4) + 1;
        if (n > symbols - filled_) return Stop::kCorrupt;
        std::fill(lengthList_ + filled_, lengthList_ + filled_ + n,
                  static_cast<uint8_t>((byte & 15) + 1));
        filled_ += n;
      }
      if (filled_ != symbols || !codes[code_]->Build(lengthList_, symbols)) return Stop::kCorrupt;
    }
    return Stop::kFinished;
  }

  legacy::Output output_;
  legacy::BitReader bits_;
  bool corrupt_ = false;
  unsigned lowBits_;
  bool literalCode_;
  unsigned minMatch_;
  unsigned code_;        // the code whose list is being read: 0 literals, 1 lengths, 2 distances
  int listBytes_ = -1;   // bytes of its list still to read; -1 before its first byte
  unsigned filled_ = 0;  // symbols it gave lengths so far
  uint8_t lengthList_[256] = {};
  Code literals_;
  Code lengths_;
  Code distances_;
};

static_assert(sizeof(ImplodeDecoder) + legacy::Output::Bytes(8192, kLongLength + 3 + 255) <=
              kImplodeMemory);

}  // namespace

std::unique_ptr<Decoder> MakeImplodeDecoder(const Entry& entry) {
  return std::make_unique<ImplodeDecoder>(entry.uncompressedSize, entry.flags);
}

}  // namespace archive
