// PPMd variant I revision 1 (Zip method 98), decoded by our own code (PpmdModel.h).
//
// The member's data starts with two little-endian property bytes: bits 0-3 the model order
// minus 1 (orders 2 to 16), bits 4-11 the model size in MiB minus 1 (1 to 256 MiB), bits
// 12-15 the restoration method (0 restart, 1 cut-off, 2 freeze). The range-coded symbols
// follow, normally closed by an end marker.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/methods/Decoder.h"
#include "archive/methods/MemoryBudget.h"

namespace archive {

namespace ppmd {
class Model;
}

// The models of all PPMd members being decoded at once, across threads, stay within this;
// a member whose model does not fit waits for others to finish. One member alone always
// runs, so every model size the format allows (up to 256 MiB) is read.
constexpr uint64_t kPpmdModelsInFlight = 256u << 20;

// Method 98. Streaming: input and room may come in pieces of any size. Memory is the
// model block the properties declare, taken from the budget above, plus a 64 KiB input
// buffer. Properties outside the ranges above throw ArchiveError(kUnsupported).
//
// Decode returns kEnd at the end marker. When the data runs out without one (a writer may
// stop after the member's declared size), it returns kProgress with nothing produced, and
// the reader's own checks decide. kCorrupt is final.
class PpmdDecoder final : public Decoder {
 public:
  // `compressedSize`: the member's data, properties included; the decoder reads its last
  // bytes only once it has them all.
  explicit PpmdDecoder(uint64_t compressedSize);
  ~PpmdDecoder() override;
  PpmdDecoder(const PpmdDecoder&) = delete;
  PpmdDecoder& operator=(const PpmdDecoder&) = delete;

  Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                size_t* outSize) override;

  // The process's budget for PPMd models (kPpmdModelsInFlight).
  static MemoryBudget& Budget();

 private:
  enum class State : uint8_t { kProperties, kCoder, kSymbols, kStarved, kEnd, kCorrupt };

  void Take(const unsigned char** in, size_t* inSize);
  bool AllIn() const { return received_ == compressedSize_; }
  size_t Buffered() const { return filled_ - next_; }
  void Start(unsigned properties);

  uint64_t compressedSize_;
  uint64_t received_ = 0;
  std::vector<unsigned char> buffer_;
  size_t next_ = 0;    // the next unread byte in buffer_
  size_t filled_ = 0;  // bytes in buffer_
  State state_ = State::kProperties;
  MemoryBudget::Share share_;  // before model_: given back after the model is freed
  std::unique_ptr<ppmd::Model> model_;
};

}  // namespace archive
