#include "archive/read/MemberReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include <libdeflate.h>

#include "archive/format/Bytes.h"
#include "archive/format/Format.h"
#include "archive/methods/Methods.h"
#include "archive/format/Status.h"
#include "archive/methods/Zlib.h"

namespace archive {

namespace {

using namespace format;

constexpr size_t kInputBufferSize = 64 * 1024;
// Whole-member inflation holds the member's compressed and uncompressed bytes at once, on
// each extraction worker (up to 8): 2 MiB keeps that within 32 MiB, and covers the members
// that dominate ordinary archives (source files, documents, libraries of a few MB); larger
// members stream, where the call overhead that whole inflation saves matters little.
constexpr uint64_t kInflateWholeBytes = 2 << 20;

[[noreturn]] void Bad(const std::string& why) { throw ArchiveError(Fault::kBadMember, why); }

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

}  // namespace

void CheckReadable(const Entry& entry) {
  if (!entry.damage.empty()) Bad(entry.damage);
  if (entry.IsEncrypted()) {
    throw ArchiveError(Fault::kUnsupported, "it is encrypted, which is not supported");
  }
  if (!IsReadableMethod(entry.method)) {
    std::string name = MethodName(entry.method);
    throw ArchiveError(Fault::kUnsupported, "compression method " + std::to_string(entry.method) +
                                                (name.empty() ? "" : " (" + name + ")") +
                                                " is not supported");
  }
  if (entry.overlaps) {
    throw ArchiveError(Fault::kUnsafe,
                       "its data overlaps another member or the central directory "
                       "(a possible zip bomb)");
  }
  if (entry.method == kMethodStored && entry.compressedSize != entry.uncompressedSize) {
    Bad("it is stored, but its two sizes differ");
  }
  std::optional<uint64_t> ratio = MaxRatio(entry.method);
  if (ratio && entry.uncompressedSize > kRatioSlackBytes &&
      (entry.uncompressedSize - kRatioSlackBytes) / *ratio > entry.compressedSize) {
    throw ArchiveError(Fault::kUnsafe, "its declared size is more than " + std::to_string(*ratio) +
                                           " times its compressed size, which " +
                                           MethodName(entry.method) + " cannot reach");
  }
}

MemberReader::MemberReader(Stream& archive, const Entry& entry) : archive_(archive), entry_(entry) {
  CheckReadable(entry);
  unsigned char header[kLocalHeaderSize];
  archive_.Seek(entry.localOffset);
  if (ReadFull(archive_, header, sizeof header) != sizeof header)
    Bad("its local header is cut off");
  ByteCursor h(header, sizeof header);
  if (h.U32() != kLocalSignature) Bad("its local header is missing or damaged");
  h.U16();
  uint16_t flags = h.U16();
  uint16_t method = h.U16();
  h.U32();
  uint32_t crc = h.U32();
  uint32_t compressed = h.U32();
  uint32_t uncompressed = h.U32();
  uint16_t nameSize = h.U16();
  uint16_t extraSize = h.U16();

  std::string name(nameSize, '\0');
  if (ReadFull(archive_, name.data(), nameSize) != nameSize) Bad("its local header is cut off");
  // The two headers agree when they store the same bytes or mean the same name.
  if (name != entry.rawName) {
    std::string extra(extraSize, '\0');
    if (ReadFull(archive_, extra.data(), extraSize) != extraSize ||
        DecideMemberName({name, flags, entry.versionMadeBy, extra}, entry.nameCodePage).text !=
            entry.name) {
      Bad("its local header gives a different name");
    }
  }
  if (method != entry.method) Bad("its local header gives a different compression method");
  if ((flags & kFlagEncrypted) != 0) {
    throw ArchiveError(Fault::kUnsupported, "it is encrypted, which is not supported");
  }
  bool descriptor = ((flags | entry.flags) & kFlagDescriptor) != 0;
  if (!descriptor) {
    auto differs = [](uint32_t local, uint64_t central) {
      return local != kMax32 && local != central;
    };
    if (crc != entry.crc || differs(compressed, entry.compressedSize) ||
        differs(uncompressed, entry.uncompressedSize)) {
      Bad("its local header gives a different CRC or size");
    }
  }

  uint64_t dataStart = entry.localOffset + kLocalHeaderSize + nameSize + extraSize;
  uint64_t dataEnd = dataStart + entry.compressedSize;
  if (dataEnd < dataStart || dataEnd > entry.dataLimit) {
    throw ArchiveError(Fault::kUnsafe,
                       "its data runs into another member or the central directory");
  }
  if (dataEnd > archive_.Size()) Bad("the archive is cut off inside its data");
  inputPosition_ = dataStart;
  inputRemaining_ = entry.compressedSize;
  if (entry.method != kMethodStored) {
    decoder_ = MakeDecoder(entry);
    input_.resize(static_cast<size_t>(std::min<uint64_t>(kInputBufferSize, inputRemaining_ + 1)));
  }
}

MemberReader::~MemberReader() = default;

size_t MemberReader::Read(void* buffer, size_t size) {
  if (done_ || size == 0) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  if (entry_.method == kMethodStored) return ReadStored(out, size);
  if (!wholeTried_) {
    wholeTried_ = true;
    if (InflateWhole()) return ReadWhole(out, size);
  }
  return whole_.empty() ? ReadDecoded(out, size) : ReadWhole(out, size);
}

bool MemberReader::InflateWhole() {
  if (entry_.method != kMethodDeflated || entry_.uncompressedSize == 0 ||
      entry_.uncompressedSize > kInflateWholeBytes || entry_.compressedSize > kInflateWholeBytes) {
    return false;
  }
  std::vector<unsigned char> in(static_cast<size_t>(entry_.compressedSize));
  std::vector<unsigned char> out(static_cast<size_t>(entry_.uncompressedSize));
  archive_.Seek(inputPosition_);
  if (ReadFull(archive_, in.data(), in.size()) != in.size()) return false;
  std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
  if (!inflater) throw std::bad_alloc();
  size_t used = 0;
  size_t made = 0;
  libdeflate_result result = libdeflate_deflate_decompress_ex(inflater.get(), in.data(), in.size(),
                                                              out.data(), out.size(), &used, &made);
  if (result != LIBDEFLATE_SUCCESS || made != out.size()) return false;
  if (Crc32(0, out.data(), out.size()) != entry_.crc) return false;
  whole_ = std::move(out);
  inputPosition_ += in.size();
  inputRemaining_ = 0;
  crc_ = entry_.crc;
  return true;
}

size_t MemberReader::ReadWhole(unsigned char* out, size_t size) {
  size_t n = std::min(size, whole_.size() - wholeNext_);
  if (n == 0) {
    Finish();
    return 0;
  }
  std::memcpy(out, whole_.data() + wholeNext_, n);
  wholeNext_ += n;
  produced_ += n;
  return n;
}

size_t MemberReader::ReadStored(unsigned char* out, size_t size) {
  size_t n = static_cast<size_t>(std::min<uint64_t>(size, inputRemaining_));
  if (n == 0) {
    Finish();
    return 0;
  }
  archive_.Seek(inputPosition_);
  if (ReadFull(archive_, out, n) != n) Bad("the archive is cut off inside its data");
  inputPosition_ += n;
  inputRemaining_ -= n;
  produced_ += n;
  crc_ = Crc32(crc_, out, n);
  return n;
}

size_t MemberReader::FillInput() {
  size_t n = static_cast<size_t>(std::min<uint64_t>(input_.size(), inputRemaining_));
  archive_.Seek(inputPosition_);
  if (ReadFull(archive_, input_.data(), n) != n) Bad("the archive is cut off inside its data");
  inputPosition_ += n;
  inputRemaining_ -= n;
  inputNext_ = input_.data();
  inputAvailable_ = n;
  return n;
}

size_t MemberReader::ReadDecoded(unsigned char* out, size_t size) {
  for (;;) {
    uint64_t left = entry_.uncompressedSize - produced_;
    // Once the declared size is reached, one more byte of room tells whether the stream
    // would go on; that byte is never handed out.
    unsigned char probe;
    unsigned char* target = left > 0 ? out : &probe;
    size_t room = left > 0 ? static_cast<size_t>(std::min<uint64_t>(size, left)) : 1;
    if (inputAvailable_ == 0 && inputRemaining_ > 0) FillInput();

    const unsigned char* in = inputNext_;
    size_t inAvailable = inputAvailable_;
    unsigned char* next = target;
    size_t outAvailable = room;
    Decoder::Result result = decoder_->Decode(&in, &inAvailable, &next, &outAvailable);
    inputNext_ = in;
    inputAvailable_ = inAvailable;
    size_t got = room - outAvailable;

    if (result == Decoder::Result::kCorrupt) Bad("its compressed data is corrupt");
    if (left == 0 && got > 0) Bad("it holds more data than its declared size");
    if (got > 0) {
      crc_ = Crc32(crc_, out, got);
      produced_ += got;
      return got;
    }
    if (result == Decoder::Result::kEnd) {
      Finish();
      return 0;
    }
    if (inputAvailable_ == 0 && inputRemaining_ == 0) {
      // All compressed bytes are used. An unterminated stream that gave exactly the
      // declared bytes is accepted: the CRC still has to prove them.
      if (left == 0) {
        Finish();
        return 0;
      }
      Bad("its compressed data ends before its stream does");
    }
  }
}

void MemberReader::Finish() {
  if (produced_ != entry_.uncompressedSize) Bad("it is shorter than its declared size");
  if (crc_ != entry_.crc) {
    Bad("CRC error: the data gives " + Hex(crc_) + ", the archive says " + Hex(entry_.crc));
  }
  done_ = true;
}

}  // namespace archive
