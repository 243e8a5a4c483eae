#include "archive/methods/Reduce.h"

#include "archive/format/Entry.h"
#include "archive/methods/LegacyStream.h"

namespace archive {

namespace {

using legacy::Stop;

constexpr unsigned kMaxFollowers = 32;
constexpr unsigned char kDle = 144;
constexpr size_t kLongest = 127 + 255 + 3;

class ReduceDecoder final : public Decoder {
 public:
  ReduceDecoder(uint64_t size, unsigned factor)
      : output_(size_t{256} << factor, kLongest, size),
        factor_(factor),
        lowMask_(0xFFu >> factor) {}

  Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                size_t* outSize) override {
    return legacy::DecodeWith(
        output_, bits_, corrupt_, [this](auto& next, auto end) { return Run(next, end); }, in,
        inSize, out, outSize);
  }

 private:
  enum class State : uint8_t { kPlain, kEscape, kMoreLength, kDistance };

  Stop Run(const unsigned char*& next, const unsigned char* end) {
    if (set_ >= 0) {
      Stop stop = ReadSets(next, end);
      if (stop != Stop::kFinished) return stop;
    }
    while (output_.left() > 0) {
      if (!output_.Room()) return Stop::kFull;
      // The most one inner byte takes: a 1 bit and 8 plain ones.
      bits_.Need(9, next, end);
      unsigned count = bits_.count();
      unsigned followers = counts_[last_];
      unsigned byte;
      if (followers == 0) {
        if (count < 8) return Stop::kStarved;
        byte = bits_.Peek(8);
        bits_.Drop(8);
      } else if (count == 0) {
        return Stop::kStarved;
      } else if (bits_.bits() & 1) {
        if (count < 9) return Stop::kStarved;
        byte = bits_.Peek(9) >> 1;
        bits_.Drop(9);
      } else {
        unsigned width = 1 + indexBits_[last_];
        if (count < width) return Stop::kStarved;
        unsigned index = bits_.Peek(width) >> 1;
        if (index >= followers) return Stop::kCorrupt;
        byte = sets_[last_][index];
        bits_.Drop(width);
      }
      last_ = static_cast<unsigned char>(byte);
      Expand(static_cast<unsigned char>(byte));
    }
    return Stop::kFinished;
  }

  void Expand(unsigned char byte) {
    switch (state_) {
      case State::kPlain:
        if (byte == kDle) {
          state_ = State::kEscape;
        } else {
          output_.Put(byte);
        }
        break;
      case State::kEscape:
        if (byte == 0) {
          output_.Put(kDle);
          state_ = State::kPlain;
        } else {
          high_ = byte >> (8 - factor_);
          length_ = byte & lowMask_;
          state_ = length_ == lowMask_ ? State::kMoreLength : State::kDistance;
        }
        break;
      case State::kMoreLength:
        length_ += byte;
        state_ = State::kDistance;
        break;
      case State::kDistance:
        output_.Copy((size_t{high_} << 8) + byte + 1, length_ + 3);
        state_ = State::kPlain;
        break;
    }
  }

  // The follower sets, for byte 255 first: a 6-bit count, then that many bytes.
  Stop ReadSets(const unsigned char*& next, const unsigned char* end) {
    for (; set_ >= 0; --set_, item_ = -1) {
      if (item_ < 0) {
        if (!bits_.Need(6, next, end)) return Stop::kStarved;
        unsigned count = bits_.Peek(6);
        bits_.Drop(6);
        if (count > kMaxFollowers) return Stop::kCorrupt;
        counts_[set_] = static_cast<uint8_t>(count);
        unsigned width = 1;
        while ((1u << width) < count) ++width;
        indexBits_[set_] = static_cast<uint8_t>(width);
        item_ = 0;
      }
      for (; item_ < counts_[set_]; ++item_) {
        if (!bits_.Need(8, next, end)) return Stop::kStarved;
        sets_[set_][item_] = static_cast<unsigned char>(bits_.Peek(8));
        bits_.Drop(8);
      }
    }
    return Stop::kFinished;
  }

  legacy::Output output_;
  legacy::BitReader bits_;
  bool corrupt_ = false;
  unsigned factor_;
  unsigned lowMask_;
  int set_ = 255;  // the follower set being read; -1 once all are
  int item_ = -1;  // its byte being read; -1 for its count
  State state_ = State::kPlain;
  unsigned char last_ = 0;
  unsigned high_ = 0;
  unsigned length_ = 0;
  uint8_t counts_[256] = {};
  uint8_t indexBits_[256] = {};
  unsigned char sets_[256][kMaxFollowers] = {};
};

static_assert(sizeof(ReduceDecoder) + legacy::Output::Bytes(4096, kLongest) <= kReduceMemory);

}  // namespace

std::unique_ptr<Decoder> MakeReduceDecoder(const Entry& entry) {
  return std::make_unique<ReduceDecoder>(entry.uncompressedSize, entry.method - kMethodReduce1 + 1);
}

}  // namespace archive
