#include "archive/Zlib.h"

#include <algorithm>
#include <new>

#include "archive/Status.h"

namespace archive {

namespace {
// zlib counts in uInt; feed it in pieces that fit on every platform.
constexpr size_t kMaxPiece = 1u << 30;
}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  const auto* bytes = static_cast<const Bytef*>(data);
  while (size > 0) {
    size_t piece = std::min(size, kMaxPiece);
    crc = static_cast<uint32_t>(::crc32(crc, bytes, static_cast<uInt>(piece)));
    bytes += piece;
    size -= piece;
  }
  return crc;
}

Deflater::Deflater(int level) {
  // Raw deflate (negative window bits), 32 KiB window, default memory level.
  int result = deflateInit2(&stream_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result != Z_OK) throw ArchiveError(Fault::kWriteFailed, "cannot start deflate");
}

Deflater::~Deflater() { deflateEnd(&stream_); }

void Deflater::Reset() {
  if (deflateReset(&stream_) != Z_OK) Fail();
}

void Deflater::Fail() { throw ArchiveError(Fault::kWriteFailed, "deflate failed"); }

Inflater::Inflater() {
  int result = inflateInit2(&stream_, -15);
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  if (result != Z_OK) throw ArchiveError(Fault::kBadMember, "cannot start inflate");
}

Inflater::~Inflater() { inflateEnd(&stream_); }

Decoder::Result Inflater::Decode(const unsigned char** in, size_t* inSize, unsigned char** out,
                                 size_t* outSize) {
  uInt inPiece = static_cast<uInt>(std::min(*inSize, kMaxPiece));
  uInt outPiece = static_cast<uInt>(std::min(*outSize, kMaxPiece));
  stream_.next_in = const_cast<Bytef*>(*in);
  stream_.avail_in = inPiece;
  stream_.next_out = *out;
  stream_.avail_out = outPiece;
  int result = inflate(&stream_, Z_NO_FLUSH);
  size_t consumed = inPiece - stream_.avail_in;
  size_t produced = outPiece - stream_.avail_out;
  *in += consumed;
  *inSize -= consumed;
  *out += produced;
  *outSize -= produced;
  switch (result) {
    case Z_STREAM_END: return Result::kEnd;
    case Z_OK: return Result::kProgress;
    case Z_BUF_ERROR: return Result::kProgress;  // no room or no input: the caller decides
    case Z_MEM_ERROR: throw std::bad_alloc();
    default: return Result::kCorrupt;
  }
}

}  // namespace archive
