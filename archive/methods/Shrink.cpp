#include "archive/methods/Shrink.h"

#include <bit>

#include "archive/format/Entry.h"
#include "archive/methods/LegacyStream.h"

namespace archive {

namespace {

using legacy::Stop;

constexpr unsigned kCodes = 8192;
constexpr unsigned kControl = 256;
constexpr unsigned kFirstString = 257;
constexpr uint16_t kFree = 0xFFFF;  // a string code not in use
constexpr unsigned kMinBits = 9;
constexpr unsigned kMaxBits = 13;
// The longest string: a byte under a chain of every string code.
constexpr size_t kMaxString = kCodes - kFirstString + 1;

class ShrinkDecoder final : public Decoder {
 public:
  explicit ShrinkDecoder(uint64_t size) : output_(0, kMaxString, size) {
    std::fill(parent_ + kFirstString, parent_ + kCodes, kFree);
    for (unsigned c = kFirstString; c < kCodes; ++c) free_[c / 64] |= uint64_t{1} << (c % 64);
  }

  Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                size_t* outSize) override {
    return legacy::DecodeWith(
        output_, bits_, corrupt_, [this](auto& next, auto end) { return Run(next, end); }, in,
        inSize, out, outSize);
  }

 private:
  Stop Run(const unsigned char*& next, const unsigned char* end) {
    while (output_.left() > 0) {
      if (!output_.Room()) return Stop::kFull;
      // A control code and its subcode are taken together, so that a pause between them
      // never needs a state of its own.
      bits_.Need(2 * codeBits_, next, end);
      if (bits_.count() < codeBits_) return Stop::kStarved;
      unsigned code = bits_.Peek(codeBits_);
      if (code != kControl) {
        bits_.Drop(codeBits_);
        if (!Emit(code)) return Stop::kCorrupt;
        continue;
      }
      if (bits_.count() < 2 * codeBits_) return Stop::kStarved;
      unsigned subcode = bits_.Peek(2 * codeBits_) >> codeBits_;
      bits_.Drop(2 * codeBits_);
      if (subcode == 1) {
        if (codeBits_ == kMaxBits) return Stop::kCorrupt;
        ++codeBits_;
      } else if (subcode == 2) {
        PartialClear();
      } else {
        return Stop::kCorrupt;
      }
    }
    return Stop::kFinished;
  }

  // Writes the string of `code`, then defines the string the previous code started plus
  // this one's first byte, as the writer did one step earlier.
  bool Emit(unsigned code) {
    unsigned char* const stringEnd = scratch_ + kMaxString;
    unsigned char* p = stringEnd;
    unsigned walk = code;
    bool ahead = false;
    if (code >= kFirstString && parent_[code] == kFree) {
      // The writer may use the string it is about to define: the previous string plus its
      // own first byte. That can only be the next code given out.
      if (code != nextFree_ || previous_ == kNoCode) return false;
      walk = previous_;
      ahead = true;
      --p;
    }
    while (walk >= kFirstString) {
      // A freed string, or a chain longer than any the table can hold (a cycle through
      // codes given out again).
      if (parent_[walk] == kFree || p == scratch_ + 1) return false;
      *--p = value_[walk];
      walk = parent_[walk];
    }
    *--p = static_cast<unsigned char>(walk);
    if (ahead) stringEnd[-1] = *p;
    if (previous_ != kNoCode && nextFree_ < kCodes) Add(previous_, *p);
    previous_ = code;
    output_.Append(p, static_cast<size_t>(stringEnd - p));
    return true;
  }

  void Add(unsigned parent, unsigned char value) {
    unsigned code = nextFree_;
    parent_[code] = static_cast<uint16_t>(parent);
    value_[code] = value;
    free_[code / 64] &= ~(uint64_t{1} << (code % 64));
    ++children_[parent];
    // Codes given out again may already have strings hanging from them (built on the
    // string they held before), which keep them from being leaves.
    if (children_[code] == 0) leaves_[leafCount_++] = static_cast<uint16_t>(code);
    FindFree(code + 1);
  }

  // Frees the strings that no other string extends; the bytes and the strings others are
  // built on stay. Only the strings that were leaves when they were made or became leaves
  // since are looked at, so that a stream of clearings costs no more than the strings it
  // makes.
  void PartialClear() {
    unsigned freed = 0;
    for (unsigned i = 0; i < leafCount_; ++i) {
      unsigned code = leaves_[i];
      if (parent_[code] != kFree && children_[code] == 0) leaves_[freed++] = leaves_[i];
    }
    leafCount_ = 0;
    unsigned lowest = nextFree_;
    // Strings left without any extension become leaves for the next clearing, not this one;
    // they go where freed entries were already read.
    for (unsigned i = 0; i < freed; ++i) {
      unsigned code = leaves_[i];
      unsigned parent = parent_[code];
      parent_[code] = kFree;
      free_[code / 64] |= uint64_t{1} << (code % 64);
      lowest = std::min(lowest, code);
      if (--children_[parent] == 0 && parent >= kFirstString && parent_[parent] != kFree) {
        leaves_[leafCount_++] = static_cast<uint16_t>(parent);
      }
    }
    nextFree_ = lowest;
  }

  void FindFree(unsigned from) {
    for (unsigned word = from / 64; word < kCodes / 64; ++word) {
      uint64_t bits =
          free_[word] & (word == from / 64 ? ~uint64_t{0} << (from % 64) : ~uint64_t{0});
      if (bits != 0) {
        nextFree_ = word * 64 + static_cast<unsigned>(std::countr_zero(bits));
        return;
      }
    }
    nextFree_ = kCodes;
  }

  static constexpr unsigned kNoCode = kCodes;

  legacy::Output output_;
  legacy::BitReader bits_;
  bool corrupt_ = false;
  unsigned codeBits_ = kMinBits;
  unsigned previous_ = kNoCode;
  unsigned nextFree_ = kFirstString;
  uint16_t parent_[kCodes] = {};      // the string a code extends; kFree if unused
  unsigned char value_[kCodes] = {};  // the byte it adds
  uint16_t children_[kCodes] = {};    // strings in use that extend it
  uint64_t free_[kCodes / 64] = {};   // a bit set for each string code not in use
  // Every string that is a leaf (one no string extends) is in here, with some that no
  // longer are.
  uint16_t leaves_[kCodes] = {};
  unsigned leafCount_ = 0;
  unsigned char scratch_[kMaxString] = {};
};

static_assert(sizeof(ShrinkDecoder) + legacy::Output::Bytes(0, kMaxString) <= kShrinkMemory);

}  // namespace

std::unique_ptr<Decoder> MakeShrinkDecoder(const Entry& entry) {
  return std::make_unique<ShrinkDecoder>(entry.uncompressedSize);
}

}  // namespace archive
