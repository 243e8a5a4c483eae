#include "archive/write/Writer.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "archive/format/Bytes.h"
#include "archive/format/Format.h"
#include "archive/format/Names.h"
#include "archive/write/MemberCopier.h"
#include "archive/write/ParallelDeflate.h"
#include "archive/format/Status.h"
#include "archive/methods/Zlib.h"

namespace archive {

namespace {

using namespace format;

constexpr size_t kReadPiece = 256 * 1024;

std::string TimestampExtra(int64_t modifiedUnix) {
  if (modifiedUnix < std::numeric_limits<int32_t>::min() ||
      modifiedUnix > std::numeric_limits<int32_t>::max()) {
    return {};
  }
  ByteBuilder b;
  b.U16(kExtraTimestamp)
      .U16(5)
      .U8(1)
      .U32(static_cast<uint32_t>(static_cast<int32_t>(modifiedUnix)));
  return b.str();
}

// The NTFS extra field: its reserved word, then the one attribute holding the three times.
std::string NtfsExtra(const FileTimes& times) {
  if (times.modified == 0) return {};
  ByteBuilder b;
  b.U16(kExtraNtfs).U16(32).U32(0).U16(kNtfsTimesTag).U16(24);
  b.U64(times.modified).U64(times.accessed).U64(times.created);
  return b.str();
}

uint16_t NameFlags(const std::string& name) { return IsAscii(name) ? 0 : kFlagUtf8; }

// Reads from a source whose failures must be told apart from the output's.
size_t ReadSource(Stream& source, void* buffer, size_t size) {
  try {
    return source.Read(buffer, size);
  } catch (const ArchiveError& e) {
    throw ArchiveError(Fault::kReadFailed, e.what());
  }
}

// The record of a member added now, at `offset`; versions for no Zip64.
MemberRecord NewRecord(const NewMember& member, uint16_t method, uint32_t externalAttributes,
                       uint64_t offset) {
  MemberRecord r;
  r.versionMadeBy = kVersionDefault;
  r.versionNeeded = kVersionDefault;
  r.flags = NameFlags(member.name);
  r.method = method;
  r.dosTime = UnixToDos(member.modifiedUnix);
  r.localOffset = offset;
  // Known attributes replace the default archive bit; the folder bit stays the writer's.
  r.externalAttributes = member.attributes == 0 ? externalAttributes
                                                : (externalAttributes & kDosDirectory) |
                                                      (member.attributes & kStoredAttributes);
  r.name = member.name;
  r.extra = TimestampExtra(member.modifiedUnix);
  r.centralExtra = NtfsExtra(member.times);
  return r;
}

}  // namespace

ZipWriter::ZipWriter(Stream& out, int level, unsigned workers)
    : out_(out),
      level_(std::clamp(level, 0, 9)),
      workers_(workers),
      piece_(new unsigned char[kReadPiece]) {}

ZipWriter::~ZipWriter() = default;

// ---- New members -----------------------------------------------------------------------

void ZipWriter::AddDirectory(const NewMember& member) {
  MemberRecord r = NewRecord(member, kMethodStored, kDosDirectory, out_.position());
  out_.Append(HeaderBytes(r, HeaderKind::kLocal));
  central_.Add(std::move(r));
}

void ZipWriter::AddFile(const NewMember& member, Stream& source, uint64_t sizeHint) {
  if (level_ > 0 && sizeHint <= ParallelDeflate::kDeflateWholeBytes &&
      AddWhole(member, source, sizeHint)) {
    return;
  }
  const uint64_t start = out_.position();
  // The sizes are known once the data is written: the header goes out with zeros (and a
  // Zip64 field if the file may need one) and is written again then. The output is
  // seekable, so no data descriptor is needed.
  const bool zip64 = sizeHint >= kMax32;
  MemberRecord r =
      NewRecord(member, level_ > 0 ? kMethodDeflated : kMethodStored, kDosArchive, out_.position());
  if (zip64) r.versionMadeBy = r.versionNeeded = kVersionZip64;
  out_.Append(HeaderBytes(r, HeaderKind::kLocal, zip64));
  const uint64_t dataStart = out_.position();
  DeflateTotals totals;
  try {
    source.Seek(0);
    totals = r.method == kMethodDeflated ? DeflateOrStore(source, dataStart, r) : StoreFrom(source);
    if (!zip64 && totals.size >= kMax32) {
      throw ArchiveError(Fault::kReadFailed, "the file grew past 4 GiB while it was being read");
    }
  } catch (const ArchiveError& e) {
    if (e.fault() == Fault::kReadFailed) out_.Rewind(start);  // abandon the member
    throw;
  }
  r.crc = totals.crc;
  r.uncompressedSize = totals.size;
  r.compressedSize = out_.position() - dataStart;
  out_.WriteAt(start, HeaderBytes(r, HeaderKind::kLocal, zip64));
  last_ = Result{r.method, r.compressedSize, r.uncompressedSize};
  central_.Add(std::move(r));
}

bool ZipWriter::AddWhole(const NewMember& member, Stream& source, uint64_t sizeHint) {
  // Compressed on this thread, as the prefetcher would have.
  PrefetchedFile whole;
  bool fits = false;
  try {
    source.Seek(0);
    fits = Parallel()->CompressWhole(Parallel()->callerWorker(), source, sizeHint, whole);
  } catch (const ArchiveError& e) {
    throw ArchiveError(Fault::kReadFailed, e.what());
  }
  if (fits) AddCompressed(member, whole);
  return fits;
}

DeflateTotals ZipWriter::DeflateOrStore(Stream& source, uint64_t dataStart, MemberRecord& r) {
  DeflateTotals totals = DeflateFrom(source);
  if (out_.position() - dataStart < totals.size) return totals;
  // Deflate did not shrink it: store it instead, over the deflated bytes.
  r.method = kMethodStored;
  out_.Rewind(dataStart);
  source.Seek(0);
  DeflateTotals again = StoreFrom(source);
  if (again.crc != totals.crc || again.size != totals.size) {
    throw ArchiveError(Fault::kReadFailed, "the file changed while it was being read");
  }
  return again;
}

DeflateTotals ZipWriter::DeflateFrom(Stream& source) {
  return Parallel()->Compress(
      [&source](void* buffer, size_t n) { return ReadSource(source, buffer, n); },
      [this](const unsigned char* data, size_t n) { out_.Append(data, n); });
}

DeflateTotals ZipWriter::StoreFrom(Stream& source) {
  DeflateTotals totals;
  unsigned char* piece = piece_.get();
  for (size_t n; (n = ReadSource(source, piece, kReadPiece)) > 0;) {
    totals.crc = Crc32(totals.crc, piece, n);
    totals.size += n;
    out_.Append(piece, n);
  }
  return totals;
}

ParallelDeflate* ZipWriter::Parallel() {
  if (!parallel_ && level_ > 0) {
    parallel_ = std::make_unique<ParallelDeflate>(level_, workers_);
  }
  return parallel_.get();
}

void ZipWriter::AddCompressed(const NewMember& member, const PrefetchedFile& file) {
  MemberRecord r = NewRecord(member, file.deflated ? kMethodDeflated : kMethodStored, kDosArchive,
                             out_.position());
  r.crc = file.crc;
  r.compressedSize = file.data.size();  // at most kDeflateWholeBytes: no Zip64 fields
  r.uncompressedSize = file.size;
  out_.Append(HeaderBytes(r, HeaderKind::kLocal));
  out_.Append(file.data.data(), file.data.size());
  last_ = Result{r.method, r.compressedSize, r.uncompressedSize};
  central_.Add(std::move(r));
}

void ZipWriter::CopyMember(Stream& archive, const Entry& entry) {
  central_.Add(MemberCopier(out_, {piece_.get(), kReadPiece}).Copy(archive, entry));
}

void ZipWriter::Finish(std::string_view comment) {
  central_.Write(out_, comment);
  out_.Cut();
}

}  // namespace archive
