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

crypto::Encryption EncryptionOf(const Entry& entry) {
  return crypto::DescribeEncryption(entry.flags, entry.method, entry.crc, entry.dosTime.time,
                                    entry.extra);
}

void CheckReadable(const Entry& entry) {
  if (!entry.damage.empty()) Bad(entry.damage);
  uint16_t method = entry.method;
  uint64_t compressed = entry.compressedSize;
  if (entry.IsEncrypted()) {
    crypto::Encryption encryption = EncryptionOf(entry);
    if (compressed < encryption.Overhead()) Bad("it is too short to hold its encryption header");
    method = encryption.method;
    compressed -= encryption.Overhead();
  }
  if (!IsReadableMethod(method)) {
    std::string name = MethodName(method);
    throw ArchiveError(Fault::kUnsupported, "compression method " + std::to_string(method) +
                                                (name.empty() ? "" : " (" + name + ")") +
                                                " is not supported");
  }
  if (entry.overlaps) {
    throw ArchiveError(Fault::kUnsafe,
                       "its data overlaps another member or the central directory "
                       "(a possible zip bomb)");
  }
  if (method == kMethodStored && compressed != entry.uncompressedSize) {
    Bad("it is stored, but its two sizes differ");
  }
  std::optional<uint64_t> ratio = MaxRatio(method);
  if (ratio && entry.uncompressedSize > kRatioSlackBytes &&
      (entry.uncompressedSize - kRatioSlackBytes) / *ratio > compressed) {
    throw ArchiveError(Fault::kUnsafe, "its declared size is more than " + std::to_string(*ratio) +
                                           " times its compressed size, which " +
                                           MethodName(method) + " cannot reach");
  }
}

namespace {

// Checks the local header of `entry` against the central one and that its data lies inside
// the member's bounds; returns where the data starts.
uint64_t LocateData(Stream& archive, const Entry& entry) {
  unsigned char header[kLocalHeaderSize];
  archive.Seek(entry.localOffset);
  if (ReadFull(archive, header, sizeof header) != sizeof header) Bad("its local header is cut off");
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
  if (ReadFull(archive, name.data(), nameSize) != nameSize) Bad("its local header is cut off");
  // The two headers agree when they store the same bytes or mean the same name.
  if (name != entry.rawName) {
    std::string extra(extraSize, '\0');
    if (ReadFull(archive, extra.data(), extraSize) != extraSize ||
        DecideMemberName({name, flags, entry.versionMadeBy, extra}, entry.nameCodePage).text !=
            entry.name) {
      Bad("its local header gives a different name");
    }
  }
  if (method != entry.method) Bad("its local header gives a different compression method");
  if ((flags ^ entry.flags) & kFlagEncrypted) {
    Bad("its local header and its central header differ on whether it is encrypted");
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
  if (dataEnd > archive.Size()) Bad("the archive is cut off inside its data");
  return dataStart;
}

}  // namespace

std::vector<unsigned char> ReadEncryptionHeader(Stream& archive, const Entry& entry) {
  CheckReadable(entry);
  std::vector<unsigned char> header(EncryptionOf(entry).headerSize);
  archive.Seek(LocateData(archive, entry));
  if (ReadFull(archive, header.data(), header.size()) != header.size()) {
    Bad("the archive is cut off inside its data");
  }
  return header;
}

MemberInput::MemberInput(Stream& archive, uint64_t start, uint64_t size,
                         std::unique_ptr<crypto::Decryption> decryption, size_t trailerSize)
    : archive_(archive),
      position_(start),
      remaining_(size),
      decryption_(std::move(decryption)),
      trailerSize_(trailerSize) {}

void MemberInput::Read(unsigned char* out, size_t n) {
  archive_.Seek(position_);
  if (ReadFull(archive_, out, n) != n) Bad("the archive is cut off inside its data");
  if (decryption_) decryption_->Decrypt(out, n);
  position_ += n;
  remaining_ -= n;
}

bool MemberInput::ReadRest(std::vector<unsigned char>& out) {
  out.resize(static_cast<size_t>(remaining_));
  archive_.Seek(position_);
  if (ReadFull(archive_, out.data(), out.size()) != out.size()) return false;
  if (decryption_) decryption_->Decrypt(out.data(), out.size());
  position_ += out.size();
  remaining_ = 0;
  return true;
}

void MemberInput::Unread(std::vector<unsigned char> bytes) {
  piece_ = std::move(bytes);
  next_ = piece_.data();
  available_ = piece_.size();
}

void MemberInput::Refill() {
  if (available_ > 0 || remaining_ == 0) return;
  size_t n = static_cast<size_t>(std::min<uint64_t>(piece_.size(), remaining_));
  Read(piece_.data(), n);
  next_ = piece_.data();
  available_ = n;
}

bool MemberInput::Authentic() {
  while (remaining_ > 0 && !piece_.empty()) {
    available_ = 0;
    Refill();
  }
  unsigned char trailer[crypto::kAesAuthSize];
  if (trailerSize_ > sizeof trailer) Bad("its encryption trailer is too long");
  archive_.Seek(position_);
  if (ReadFull(archive_, trailer, trailerSize_) != trailerSize_) {
    Bad("the archive is cut off inside its data");
  }
  return decryption_->Authentic(trailer);
}

MemberReader::MemberReader(Stream& archive, const Entry& entry,
                           std::unique_ptr<crypto::Decryption> decryption)
    : entry_(entry), method_(entry.method), compressedSize_(entry.compressedSize) {
  CheckReadable(entry);
  uint64_t dataStart = LocateData(archive, entry);
  size_t trailerSize = 0;
  if (entry.IsEncrypted()) {
    if (!decryption) throw ArchiveError(Fault::kBadPassword, crypto::kNoPasswordReason);
    crypto::Encryption encryption = EncryptionOf(entry);
    method_ = encryption.method;
    compressedSize_ -= encryption.Overhead();
    dataStart += encryption.headerSize;
    checkCrc_ = encryption.hasCrc;
    trailerSize = encryption.trailerSize;
  }
  input_ = std::make_unique<MemberInput>(archive, dataStart, compressedSize_, std::move(decryption),
                                         trailerSize);
  if (method_ != kMethodStored) {
    Entry inner = entry;
    inner.method = method_;
    inner.compressedSize = compressedSize_;
    decoder_ = MakeDecoder(inner);
    input_->UsePieces(
        static_cast<size_t>(std::min<uint64_t>(kInputBufferSize, compressedSize_ + 1)));
  }
}

MemberReader::~MemberReader() = default;

size_t MemberReader::Read(void* buffer, size_t size) {
  if (done_ || size == 0) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  if (method_ == kMethodStored) return ReadStored(out, size);
  if (!wholeTried_) {
    wholeTried_ = true;
    if (InflateWhole()) return ReadWhole(out, size);
  }
  return whole_.empty() ? ReadDecoded(out, size) : ReadWhole(out, size);
}

bool MemberReader::InflateWhole() {
  if (method_ != kMethodDeflated || entry_.uncompressedSize == 0 ||
      entry_.uncompressedSize > kInflateWholeBytes || compressedSize_ > kInflateWholeBytes) {
    return false;
  }
  std::vector<unsigned char> in;
  if (!input_->ReadRest(in)) return false;
  std::vector<unsigned char> out(static_cast<size_t>(entry_.uncompressedSize));
  std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
  if (!inflater) throw std::bad_alloc();
  size_t used = 0;
  size_t made = 0;
  libdeflate_result result = libdeflate_deflate_decompress_ex(inflater.get(), in.data(), in.size(),
                                                              out.data(), out.size(), &used, &made);
  if (result != LIBDEFLATE_SUCCESS || made != out.size() ||
      (checkCrc_ && Crc32(0, out.data(), out.size()) != entry_.crc)) {
    // Read (and decrypted) once: the streaming path takes the bytes from here.
    input_->Unread(std::move(in));
    return false;
  }
  whole_ = std::move(out);
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
  size_t n = static_cast<size_t>(std::min<uint64_t>(size, input_->remaining()));
  if (n == 0) {
    Finish();
    return 0;
  }
  input_->Read(out, n);
  produced_ += n;
  crc_ = Crc32(crc_, out, n);
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
    input_->Refill();

    const unsigned char* in = input_->next();
    size_t inAvailable = input_->available();
    unsigned char* next = target;
    size_t outAvailable = room;
    Decoder::Result result = decoder_->Decode(&in, &inAvailable, &next, &outAvailable);
    input_->Left(in, inAvailable);
    size_t got = room - outAvailable;

    if (result == Decoder::Result::kCorrupt) DataFault("its compressed data is corrupt");
    if (left == 0 && got > 0) DataFault("it holds more data than its declared size");
    if (got > 0) {
      crc_ = Crc32(crc_, out, got);
      produced_ += got;
      return got;
    }
    if (result == Decoder::Result::kEnd) {
      Finish();
      return 0;
    }
    if (input_->exhausted()) {
      // All compressed bytes are used. An unterminated stream that gave exactly the
      // declared bytes is accepted: the CRC still has to prove them.
      if (left == 0) {
        Finish();
        return 0;
      }
      DataFault("its compressed data ends before its stream does");
    }
  }
}

void MemberReader::Finish() {
  if (produced_ != entry_.uncompressedSize) DataFault("it is shorter than its declared size");
  if (checkCrc_ && crc_ != entry_.crc) {
    DataFault("CRC error: the data gives " + Hex(crc_) + ", the archive says " + Hex(entry_.crc));
  }
  // The authentication code covers every byte of the data, also those after the end of a
  // stream that stopped early.
  if (input_->encrypted() && !input_->Authentic()) {
    DataFault("its authentication code does not match");
  }
  done_ = true;
}

void MemberReader::DataFault(const std::string& why) const {
  if (input_->encrypted()) throw ArchiveError(Fault::kBadPassword, crypto::kWrongPasswordReason);
  Bad(why);
}

}  // namespace archive
