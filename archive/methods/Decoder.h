// One member's decompressor, whatever its method: MemberReader feeds it compressed bytes and
// takes uncompressed ones, and does every check (sizes, CRC, bounds) itself.
#pragma once

#include <cstddef>

namespace archive {

class Decoder {
 public:
  virtual ~Decoder() = default;

  enum class Result {
    kProgress,  // consumed or produced something, or needs more input or more room
    kEnd,       // the stream ended properly; nothing more will come
    kCorrupt,   // the data is not a valid stream of this method
  };

  // Decodes from `*in` into `*out`, advancing both and shrinking the sizes. Either size may
  // be 0. A decoder never writes past `*outSize` and never allocates from a size it read
  // from the stream beyond its method's fixed window or block size. Throws std::bad_alloc
  // when memory runs out; every other fault is kCorrupt.
  virtual Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                        size_t* outSize) = 0;
};

}  // namespace archive
