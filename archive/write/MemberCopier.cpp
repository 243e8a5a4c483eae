#include "archive/write/MemberCopier.h"

#include <algorithm>

#include "archive/format/Bytes.h"
#include "archive/format/Format.h"
#include "archive/format/Status.h"

namespace archive {

namespace {

using namespace format;

// Where the data of the member to copy begins, once its place in `archive` is checked.
uint64_t CopyableDataStart(Stream& archive, const Entry& entry) {
  if (!entry.damage.empty() || entry.overlaps) {
    throw ArchiveError(Fault::kDamaged,
                       "member \"" + entry.name + "\" cannot be copied: " +
                           (entry.damage.empty() ? "it overlaps another member" : entry.damage));
  }
  unsigned char header[kLocalHeaderSize];
  archive.Seek(entry.localOffset);
  if (ReadFull(archive, header, sizeof header) != sizeof header ||
      Load32(header) != kLocalSignature) {
    throw ArchiveError(Fault::kDamaged, "the local header of \"" + entry.name + "\" is damaged");
  }
  uint64_t dataStart =
      entry.localOffset + kLocalHeaderSize + Load16(header + 26) + Load16(header + 28);
  uint64_t dataEnd = dataStart + entry.compressedSize;
  if (dataEnd > entry.dataLimit || dataEnd > archive.Size()) {
    throw ArchiveError(Fault::kDamaged, "the data of \"" + entry.name + "\" is out of bounds");
  }
  return dataStart;
}

// A copied member's record, at `offset`.
MemberRecord CopiedRecord(const Entry& entry, uint64_t offset) {
  MemberRecord r;
  r.versionMadeBy = entry.versionMadeBy;
  // Encrypted members keep their data descriptor: the password check relies on the flag.
  bool descriptor = entry.IsEncrypted() && (entry.flags & kFlagDescriptor) != 0;
  r.flags = descriptor ? entry.flags : static_cast<uint16_t>(entry.flags & ~kFlagDescriptor);
  r.method = entry.method;
  r.dosTime = entry.dosTime;
  r.crc = entry.crc;
  r.compressedSize = entry.compressedSize;
  r.uncompressedSize = entry.uncompressedSize;
  r.localOffset = offset;
  r.internalAttributes = entry.internalAttributes;
  r.externalAttributes = entry.externalAttributes;
  r.name = entry.rawName;
  r.extra = entry.extra;
  r.comment = entry.comment;
  bool zip64 = r.compressedSize >= kMax32 || r.uncompressedSize >= kMax32;
  r.versionNeeded =
      zip64 ? std::max<uint16_t>(entry.versionNeeded, kVersionZip64) : entry.versionNeeded;
  return r;
}

}  // namespace

MemberCopier::MemberCopier(ArchiveOutput& out, std::span<unsigned char> piece)
    : out_(out), piece_(piece) {}

MemberRecord MemberCopier::Copy(Stream& archive, const Entry& entry) {
  const uint64_t dataStart = CopyableDataStart(archive, entry);
  MemberRecord r = CopiedRecord(entry, out_.position());
  const bool zip64 = r.compressedSize >= kMax32 || r.uncompressedSize >= kMax32;
  const bool descriptor = (r.flags & kFlagDescriptor) != 0;
  out_.Append(HeaderBytes(r, HeaderKind::kLocal, zip64 && !descriptor));
  CopyBytes(archive, dataStart, entry.compressedSize, entry.name);
  if (descriptor) out_.Append(DescriptorBytes(r, zip64));
  return r;
}

void MemberCopier::CopyBytes(Stream& archive, uint64_t from, uint64_t size,
                             const std::string& name) {
  unsigned char* piece = piece_.data();
  for (uint64_t left = size; left > 0;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, piece_.size()));
    archive.Seek(from);
    if (ReadFull(archive, piece, n) != n) {
      throw ArchiveError(Fault::kReadFailed, "the archive is cut off inside \"" + name + "\"");
    }
    out_.Append(piece, n);
    from += n;
    left -= n;
  }
}

}  // namespace archive
