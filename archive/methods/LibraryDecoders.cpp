#include "archive/methods/LibraryDecoders.h"

#include <algorithm>
#include <climits>
#include <new>

#include <bzlib.h>
#include <lzma.h>
#include <zstd.h>
#include <zstd_errors.h>

#include "archive/format/Entry.h"
#include "archive/format/Format.h"
#include "archive/format/Status.h"
#include "archive/methods/Methods.h"

namespace archive {

namespace {

using namespace format;

// The libraries count in unsigned int; feed them pieces that fit everywhere.
constexpr size_t kMaxPiece = 1u << 30;

[[noreturn]] void TooBig(const std::string& what) {
  throw ArchiveError(Fault::kUnsupported, what + " needs more than " +
                                              std::to_string(kMaxDecoderMemory >> 20) +
                                              " MiB of memory, more than this program allows");
}

// Moves the caller's cursors past what a library consumed and produced.
void Advance(const unsigned char** in, size_t* inSize, size_t consumed, unsigned char** out,
             size_t* outSize, size_t produced) {
  *in += consumed;
  *inSize -= consumed;
  *out += produced;
  *outSize -= produced;
}

// Method 12: one bzip2 stream. Its memory is fixed by the block size, at most 900 kB blocks.
class Bzip2Decoder final : public Decoder {
 public:
  Bzip2Decoder() {
    int result = BZ2_bzDecompressInit(&stream_, 0, 0);
    if (result == BZ_MEM_ERROR) throw std::bad_alloc();
    if (result != BZ_OK) throw ArchiveError(Fault::kBadMember, "cannot start bzip2");
  }
  ~Bzip2Decoder() override { BZ2_bzDecompressEnd(&stream_); }
  Bzip2Decoder(const Bzip2Decoder&) = delete;
  Bzip2Decoder& operator=(const Bzip2Decoder&) = delete;

  Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                size_t* outSize) override {
    if (ended_) return Result::kEnd;
    unsigned inPiece = static_cast<unsigned>(std::min(*inSize, kMaxPiece));
    unsigned outPiece = static_cast<unsigned>(std::min(*outSize, kMaxPiece));
    // bzip2 refuses a call with no room at all; there is nothing to do then anyway.
    if (outPiece == 0) return Result::kProgress;
    stream_.next_in = const_cast<char*>(reinterpret_cast<const char*>(*in));
    stream_.avail_in = inPiece;
    stream_.next_out = reinterpret_cast<char*>(*out);
    stream_.avail_out = outPiece;
    int result = BZ2_bzDecompress(&stream_);
    Advance(in, inSize, inPiece - stream_.avail_in, out, outSize, outPiece - stream_.avail_out);
    switch (result) {
      case BZ_OK:
        return Result::kProgress;
      case BZ_STREAM_END:
        ended_ = true;
        return Result::kEnd;
      case BZ_MEM_ERROR:
        throw std::bad_alloc();
      default:
        return Result::kCorrupt;
    }
  }

 private:
  bz_stream stream_{};
  bool ended_ = false;
};

// The part liblzma plays for methods 14 and 95.
class LzmaStream {
 public:
  LzmaStream() = default;
  ~LzmaStream() { lzma_end(&stream_); }
  LzmaStream(const LzmaStream&) = delete;
  LzmaStream& operator=(const LzmaStream&) = delete;

  lzma_stream* get() { return &stream_; }

  Decoder::Result Run(const unsigned char** in, size_t* inSize, unsigned char** out,
                      size_t* outSize, const char* method) {
    stream_.next_in = *in;
    stream_.avail_in = *inSize;
    stream_.next_out = *out;
    stream_.avail_out = *outSize;
    lzma_ret result = lzma_code(&stream_, LZMA_RUN);
    Advance(in, inSize, *inSize - stream_.avail_in, out, outSize, *outSize - stream_.avail_out);
    switch (result) {
      case LZMA_OK:
        return Decoder::Result::kProgress;
      case LZMA_BUF_ERROR:
        return Decoder::Result::kProgress;  // the caller decides
      case LZMA_STREAM_END:
        return Decoder::Result::kEnd;
      case LZMA_MEM_ERROR:
        throw std::bad_alloc();
      case LZMA_MEMLIMIT_ERROR:
        TooBig(std::string("its ") + method + " stream");
      case LZMA_OPTIONS_ERROR:
        throw ArchiveError(
            Fault::kUnsupported,
            std::string("its ") + method + " stream uses options this program does not read");
      default:
        return Decoder::Result::kCorrupt;
    }
  }

 private:
  lzma_stream stream_ = LZMA_STREAM_INIT;
};

void Started(lzma_ret result) {
  if (result == LZMA_MEM_ERROR) throw std::bad_alloc();
  if (result == LZMA_OPTIONS_ERROR) {
    throw ArchiveError(Fault::kUnsupported, "its LZMA settings are not supported");
  }
  if (result != LZMA_OK) throw ArchiveError(Fault::kBadMember, "cannot start LZMA");
}

// Method 14: raw LZMA behind the Zip's own header (version, 2 bytes; size of the properties,
// 2 bytes, always 5; then the 5 property bytes). General-purpose bit 1 says the stream ends
// with an end marker; otherwise it ends after exactly the declared size.
class LzmaDecoder final : public Decoder {
 public:
  LzmaDecoder(uint64_t declaredSize, bool endMarker)
      : declaredSize_(declaredSize), endMarker_(endMarker) {}

  Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                size_t* outSize) override {
    while (headerSize_ < sizeof header_) {
      if (*inSize == 0) return Result::kProgress;
      header_[headerSize_++] = **in;
      ++*in;
      --*inSize;
      if (headerSize_ == 4 && (header_[2] | header_[3] << 8) != 5) return Result::kCorrupt;
      if (headerSize_ == sizeof header_ && !Start()) return Result::kCorrupt;
    }
    return stream_.Run(in, inSize, out, outSize, "LZMA");
  }

 private:
  bool Start() {
    const unsigned char* props = header_ + 4;
    unsigned bits = props[0];
    if (bits >= 9 * 5 * 5) return false;
    lzma_options_lzma options{};
    options.lc = bits % 9;
    options.lp = bits / 9 % 5;
    options.pb = bits / 45;
    uint32_t dictionary = props[1] | props[2] << 8 | props[3] << 16 | uint32_t{props[4]} << 24;
    // No match reaches farther back than the member's own size: a larger dictionary
    // would only be allocated, never used.
    uint64_t needed =
        std::max<uint64_t>(LZMA_DICT_SIZE_MIN, std::min<uint64_t>(dictionary, declaredSize_ + 1));
    if (needed > kMaxDecoderMemory) TooBig("its LZMA dictionary");
    options.dict_size = static_cast<uint32_t>(needed);
    // With the size known the decoder stops exactly there, marker or not; with a marker
    // promised, it must be there, and output beyond the declared size shows as such.
    if (endMarker_) {
      lzma_set_ext_size(options, UINT64_MAX);
    } else {
      options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
      lzma_set_ext_size(options, declaredSize_);
    }
    lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_ret result = lzma_raw_decoder(stream_.get(), filters);
    if (result == LZMA_OPTIONS_ERROR) return false;
    Started(result);
    return true;
  }

  uint64_t declaredSize_;
  bool endMarker_;
  unsigned char header_[9] = {};
  size_t headerSize_ = 0;
  LzmaStream stream_;
};

// Method 95: one whole .xz stream, its own checks included.
class XzDecoder final : public Decoder {
 public:
  XzDecoder() { Started(lzma_stream_decoder(stream_.get(), kMaxDecoderMemory, 0)); }

  Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                size_t* outSize) override {
    return stream_.Run(in, inSize, out, outSize, "xz");
  }

 private:
  LzmaStream stream_;
};

// Methods 93 and 20: Zstandard frames. A frame's end is not the member's: writers may store several
// frames, so the reader's own end rules apply (all compressed bytes used, the declared size
// reached).
class ZstdDecoder final : public Decoder {
 public:
  ZstdDecoder() : context_(ZSTD_createDCtx()) {
    if (!context_) throw std::bad_alloc();
    int windowLog = 0;
    while ((uint64_t{1} << (windowLog + 1)) <= kMaxDecoderMemory) ++windowLog;
    ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, windowLog);
  }
  ~ZstdDecoder() override { ZSTD_freeDCtx(context_); }
  ZstdDecoder(const ZstdDecoder&) = delete;
  ZstdDecoder& operator=(const ZstdDecoder&) = delete;

  Result Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                size_t* outSize) override {
    ZSTD_inBuffer input{*in, *inSize, 0};
    ZSTD_outBuffer output{*out, *outSize, 0};
    size_t result = ZSTD_decompressStream(context_, &output, &input);
    Advance(in, inSize, input.pos, out, outSize, output.pos);
    if (!ZSTD_isError(result)) return Result::kProgress;
    switch (ZSTD_getErrorCode(result)) {
      case ZSTD_error_memory_allocation:
        throw std::bad_alloc();
      case ZSTD_error_frameParameter_windowTooLarge:
        TooBig("its Zstandard window");
      default:
        return Result::kCorrupt;
    }
  }

 private:
  ZSTD_DCtx* context_;
};

}  // namespace

std::unique_ptr<Decoder> MakeBzip2Decoder(const Entry&) { return std::make_unique<Bzip2Decoder>(); }

std::unique_ptr<Decoder> MakeLzmaDecoder(const Entry& entry) {
  return std::make_unique<LzmaDecoder>(entry.uncompressedSize,
                                       (entry.flags & format::kFlagLzmaEndMarker) != 0);
}

std::unique_ptr<Decoder> MakeXzDecoder(const Entry&) { return std::make_unique<XzDecoder>(); }

std::unique_ptr<Decoder> MakeZstdDecoder(const Entry&) { return std::make_unique<ZstdDecoder>(); }

}  // namespace archive
