// Raw inflate (no zlib or gzip wrapper, as Zip stores it), owning its zlib state, and CRC-32.
// Deflating is ParallelDeflate's.
#pragma once

#include <cstddef>
#include <cstdint>

#include <zlib.h>

#include "archive/methods/Decoder.h"

namespace archive {

uint32_t Crc32(uint32_t crc, const void* data, size_t size);

// Method 8.
class Inflater final : public Decoder {
 public:
  Inflater();
  ~Inflater() override;
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                size_t* outSize) override;

 private:
  z_stream stream_{};
};

}  // namespace archive
