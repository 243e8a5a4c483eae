#include "archive/methods/Ppmd.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "archive/format/Status.h"
#include "archive/methods/PpmdModel.h"

namespace archive {

namespace {

constexpr size_t kBufferSize = 64 * 1024;
// More than one symbol can read (each of at most 17 contexts' steps reads up to 5 bytes):
// below this many buffered bytes, and more input to come, decoding waits for input, since a
// symbol cannot stop halfway.
constexpr size_t kLookahead = 512;

}  // namespace

PpmdDecoder::PpmdDecoder(uint64_t compressedSize)
    : compressedSize_(compressedSize), buffer_(kBufferSize) {}

PpmdDecoder::~PpmdDecoder() = default;

MemoryBudget& PpmdDecoder::Budget() {
  static MemoryBudget budget(kPpmdModelsInFlight);
  return budget;
}

void PpmdDecoder::Take(const unsigned char** in, size_t* inSize) {
  if (*inSize == 0) return;
  if (next_ > 0 && filled_ + kLookahead > buffer_.size()) {
    std::memmove(buffer_.data(), buffer_.data() + next_, filled_ - next_);
    filled_ -= next_;
    next_ = 0;
  }
  size_t n = std::min(*inSize, buffer_.size() - filled_);
  n = static_cast<size_t>(std::min<uint64_t>(n, compressedSize_ - received_));
  std::memcpy(buffer_.data() + filled_, *in, n);
  filled_ += n;
  received_ += n;
  *in += n;
  *inSize -= n;
}

void PpmdDecoder::Start(unsigned properties) {
  unsigned order = (properties & 0xF) + 1;
  unsigned megabytes = ((properties >> 4) & 0xFF) + 1;
  unsigned restoration = properties >> 12;
  if (order < ppmd::kMinOrder) {
    throw ArchiveError(Fault::kUnsupported, "its PPMd model order " + std::to_string(order) +
                                                " is below the format's least, 2");
  }
  if (restoration > ppmd::kFreeze) {
    throw ArchiveError(Fault::kUnsupported,
                       "its PPMd restoration method " + std::to_string(restoration) +
                           " is none of 0 (restart), 1 (cut-off) and 2 (freeze)");
  }
  uint32_t size = uint32_t{megabytes} << 20;
  share_ = Budget().Take(size);
  model_ = std::make_unique<ppmd::Model>(size);
  model_->Start(order, restoration);
}

Decoder::Result PpmdDecoder::Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                                    size_t* outSize) {
  switch (state_) {
    case State::kEnd:
      return Result::kEnd;
    case State::kCorrupt:
      return Result::kCorrupt;
    case State::kStarved:
      return Result::kProgress;
    default:
      break;
  }
  Take(in, inSize);

  if (state_ == State::kProperties) {
    if (Buffered() < 2) {
      if (AllIn()) state_ = State::kStarved;
      return Result::kProgress;
    }
    Start(buffer_[next_] | buffer_[next_ + 1] << 8);
    next_ += 2;
    state_ = State::kCoder;
  }
  if (state_ == State::kCoder) {
    if (Buffered() < 4) {
      if (AllIn()) state_ = State::kStarved;
      return Result::kProgress;
    }
    model_->Coder().SetInput(buffer_.data() + next_, buffer_.data() + filled_);
    if (!model_->Coder().Start()) {
      state_ = State::kCorrupt;
      return Result::kCorrupt;
    }
    next_ += 4;
    state_ = State::kSymbols;
  }

  const unsigned char* end = buffer_.data() + filled_;
  const unsigned char* safe = end - std::min(Buffered(), kLookahead);
  model_->Coder().SetInput(buffer_.data() + next_, end);
  unsigned char* to = *out;
  unsigned char* toEnd = to + *outSize;
  Result result = Result::kProgress;
  // With every byte in, symbols are decoded to the end; past it the decoder reads zeros.
  while (to != toEnd && (AllIn() || model_->Coder().InputNext() < safe)) {
    int symbol = model_->DecodeSymbol();
    if (model_->Coder().Overrun() != 0) {
      // Past the data: whatever came out was not written.
      state_ = State::kStarved;
      break;
    }
    if (symbol < 0) {
      state_ = symbol == -1 ? State::kEnd : State::kCorrupt;
      result = symbol == -1 ? Result::kEnd : Result::kCorrupt;
      break;
    }
    *to++ = static_cast<unsigned char>(symbol);
  }
  next_ = static_cast<size_t>(model_->Coder().InputNext() - buffer_.data());
  *outSize -= static_cast<size_t>(to - *out);
  *out = to;
  return result;
}

}  // namespace archive
