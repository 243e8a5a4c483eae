// Raw deflate and inflate (no zlib or gzip wrapper, as Zip stores them) and CRC-32, each
// owning its zlib state.
#pragma once

#include <cstddef>
#include <cstdint>

#include <zlib.h>

#include "archive/Decoder.h"

namespace archive {

uint32_t Crc32(uint32_t crc, const void* data, size_t size);

class Deflater {
 public:
  explicit Deflater(int level);
  ~Deflater();
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Starts a new stream with the same settings, keeping the allocated state.
  void Reset();

  // Compresses all of `in` (at most 1 GiB), handing compressed bytes to
  // `sink(const unsigned char*, size_t)` as they come; `finish` ends the stream.
  template <typename Sink>
  void Compress(const void* in, size_t inSize, bool finish, Sink&& sink) {
    stream_.next_in = const_cast<Bytef*>(static_cast<const Bytef*>(in));
    stream_.avail_in = static_cast<uInt>(inSize);
    for (;;) {
      stream_.next_out = out_;
      stream_.avail_out = sizeof out_;
      int result = deflate(&stream_, finish ? Z_FINISH : Z_NO_FLUSH);
      if (result == Z_STREAM_ERROR) Fail();
      size_t produced = sizeof out_ - stream_.avail_out;
      if (produced > 0) sink(out_, produced);
      if (finish ? result == Z_STREAM_END : (stream_.avail_in == 0 && stream_.avail_out != 0)) {
        break;
      }
    }
  }

 private:
  [[noreturn]] static void Fail();

  z_stream stream_{};
  unsigned char out_[64 * 1024];
};

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
