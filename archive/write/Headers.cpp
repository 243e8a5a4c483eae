#include "archive/write/Headers.h"

#include <algorithm>

#include "archive/format/Bytes.h"
#include "archive/format/Format.h"
#include "archive/format/Status.h"

namespace archive {

namespace {

using namespace format;

// A length for a 16-bit field; a longer one is refused rather than cut, which would write
// an archive whose headers no longer lead to its data. `member` empty: the archive's own.
uint16_t Length16(size_t size, const char* what, const std::string& member) {
  if (size > kMax16) {
    std::string whose = member.empty()
                            ? std::string("the archive's ") + what
                            : std::string("the ") + what + " of \"" + member.substr(0, 200) + "\"";
    throw ArchiveError(Fault::kWriteFailed, whose + " would take " + std::to_string(size) +
                                                " bytes, more than the 65,535 a Zip header holds");
  }
  return static_cast<uint16_t>(size);
}

uint32_t Clamp32(uint64_t v) { return v >= kMax32 ? kMax32 : static_cast<uint32_t>(v); }

}  // namespace

std::string HeaderBytes(const MemberRecord& r, HeaderKind kind, bool localZip64) {
  ByteBuilder h;
  if (kind == HeaderKind::kLocal) {
    const bool descriptor = (r.flags & kFlagDescriptor) != 0;
    std::string extra = r.extra;
    if (localZip64) {
      extra += ByteBuilder()
                   .U16(kExtraZip64)
                   .U16(16)
                   .U64(r.uncompressedSize)
                   .U64(r.compressedSize)
                   .str();
    }
    h.U32(kLocalSignature).U16(r.versionNeeded).U16(r.flags).U16(r.method);
    h.U16(r.dosTime.time).U16(r.dosTime.date);
    if (descriptor) {
      h.U32(0).U32(0).U32(0);
    } else {
      h.U32(r.crc);
      h.U32(localZip64 ? kMax32 : static_cast<uint32_t>(r.compressedSize));
      h.U32(localZip64 ? kMax32 : static_cast<uint32_t>(r.uncompressedSize));
    }
    h.U16(Length16(r.name.size(), "name", r.name));
    h.U16(Length16(extra.size(), "extra fields", r.name));
    h.Bytes(r.name).Bytes(extra);
    return h.str();
  }
  ByteBuilder zip64;
  if (r.uncompressedSize >= kMax32) zip64.U64(r.uncompressedSize);
  if (r.compressedSize >= kMax32) zip64.U64(r.compressedSize);
  if (r.localOffset >= kMax32) zip64.U64(r.localOffset);
  std::string extra = r.extra + r.centralExtra;
  uint16_t needed = r.versionNeeded;
  uint16_t madeBy = r.versionMadeBy;
  if (zip64.size() > 0) {
    ByteBuilder field;
    field.U16(kExtraZip64).U16(static_cast<uint16_t>(zip64.size())).Bytes(zip64.str());
    extra = field.str() + extra;
    needed = std::max<uint16_t>(needed, kVersionZip64);
    if ((madeBy & 0xFF) < kVersionZip64) {
      madeBy = static_cast<uint16_t>((madeBy & 0xFF00) | kVersionZip64);
    }
  }
  h.U32(kCentralSignature).U16(madeBy).U16(needed).U16(r.flags).U16(r.method);
  h.U16(r.dosTime.time).U16(r.dosTime.date).U32(r.crc);
  h.U32(Clamp32(r.compressedSize)).U32(Clamp32(r.uncompressedSize));
  h.U16(Length16(r.name.size(), "name", r.name));
  h.U16(Length16(extra.size(), "extra fields", r.name));
  h.U16(Length16(r.comment.size(), "comment", r.name)).U16(0).U16(r.internalAttributes);
  h.U32(r.externalAttributes).U32(Clamp32(r.localOffset));
  h.Bytes(r.name).Bytes(extra).Bytes(r.comment);
  return h.str();
}

std::string DescriptorBytes(const MemberRecord& r, bool zip64) {
  ByteBuilder d;
  d.U32(kDescriptorSignature).U32(r.crc);
  if (zip64) {
    d.U64(r.compressedSize).U64(r.uncompressedSize);
  } else {
    d.U32(static_cast<uint32_t>(r.compressedSize)).U32(static_cast<uint32_t>(r.uncompressedSize));
  }
  return d.str();
}

void CentralDirectory::Write(ArchiveOutput& out, std::string_view comment) const {
  const uint16_t commentSize = Length16(comment.size(), "comment", {});
  const uint64_t centralStart = out.position();
  for (const auto& record : records_) out.Append(HeaderBytes(record, HeaderKind::kCentral));
  const uint64_t centralSize = out.position() - centralStart;
  const uint64_t count = records_.size();
  const bool zip64 = count >= kMax16 || centralStart >= kMax32 || centralSize >= kMax32;
  if (zip64) {
    const uint64_t recordAt = out.position();
    ByteBuilder z;
    z.U32(kZip64EndSignature).U64(kZip64EndSize - 12).U16(kVersionZip64).U16(kVersionZip64);
    z.U32(0).U32(0).U64(count).U64(count).U64(centralSize).U64(centralStart);
    z.U32(kZip64LocatorSignature).U32(0).U64(recordAt).U32(1);
    out.Append(z.str().data(), z.size());
  }
  auto clamp16 = [](uint64_t v) { return v >= kMax16 ? kMax16 : static_cast<uint16_t>(v); };
  ByteBuilder end;
  end.U32(kEndSignature).U16(0).U16(0).U16(clamp16(count)).U16(clamp16(count));
  end.U32(Clamp32(centralSize)).U32(Clamp32(centralStart));
  end.U16(commentSize).Bytes(comment);
  out.Append(end.str().data(), end.size());
}

}  // namespace archive
