// Deflate64 (Zip method 9), decoded by our own code since no packaged library reads it.
// It is Deflate with three changes: a 64 KiB window, length code 285 carrying 16 extra bits
// on a base of 3 (lengths 3 to 65538), and distance codes 30 and 31 (bases 32769 and 49153,
// 14 extra bits each).
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/methods/Decoder.h"
#include "archive/methods/Deflate64Bits.h"
#include "archive/methods/Deflate64Codes.h"
#include "archive/methods/Deflate64Stored.h"
#include "archive/methods/Deflate64Window.h"

namespace archive {

// Method 9. Streaming: input and room may come in pieces of any size, down to one byte.
// Decoded bytes go first into a fixed buffer that also holds the 64 KiB window (Window), so a
// piece of output room never has to fit a whole match. Memory is that buffer plus the code
// tables, whatever the stream says.
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

 private:
  enum class State : uint8_t {
    kHeader,         // the 3 bits that start a block
    kStored,         // a stored block's lengths and bytes
    kDynamicHeader,  // a dynamic block's code lengths
    kLiteral,        // a literal, a length or the end of the block
    kDistance,       // the distance of a match whose length is known
    kCopy,           // a match being copied
    kEnd,
    kCorrupt,
  };
  enum class Stop : uint8_t { kStarved, kFull, kFinished, kCorrupt };

  Stop Run(const unsigned char*& next, const unsigned char* end);
  Stop Fast(const unsigned char*& next, const unsigned char* end);
  Stop Fail();
  void EndBlock();

  deflate64::Window window_;
  deflate64::BitReader bits_;
  deflate64::Codes codes_;
  deflate64::StoredBlock stored_;
  deflate64::DynamicHeader header_;

  State state_ = State::kHeader;
  bool finalBlock_ = false;
  uint32_t matchLength_ = 0;
  uint32_t matchDistance_ = 0;
};

}  // namespace archive
