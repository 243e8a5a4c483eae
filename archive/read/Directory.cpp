#include "archive/read/Directory.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "archive/format/Bytes.h"
#include "archive/format/Format.h"
#include "archive/format/Names.h"
#include "archive/format/Status.h"
#include "archive/io/CodePage.h"

namespace archive {

namespace {

using namespace format;

// How far from the end we look for the end record: a full comment, a Zip64 locator and
// some trailing junk.
constexpr uint64_t kEndSearchWindow = 128 * 1024;

[[noreturn]] void Damaged(const std::string& why) { throw ArchiveError(Fault::kDamaged, why); }

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max()
                                                      : a + b;
}

bool SignatureAt(Stream& in, uint64_t position, uint32_t signature) {
  unsigned char bytes[4];
  in.Seek(position);
  return ReadFull(in, bytes, 4) == 4 && Load32(bytes) == signature;
}

// One end record found near the end of the stream, with the layout it implies.
struct EndCandidate {
  uint64_t position = 0;
  bool valid = false;
  bool exact = false;    // offsets are right as stored (no prefix to account for)
  std::string error;     // why it was not usable
  bool damaged = false;  // unusable in a way that condemns the archive, not just this record
  uint64_t count = 0;
  uint64_t centralStart = 0;
  uint64_t centralLimit = 0;  // the end record, or the Zip64 end record
  uint64_t base = 0;
  bool zip64 = false;
  // Set when the Zip64 end record was found shifted from where the locator says: the
  // prefix's length, which must then place the central directory too.
  std::optional<uint64_t> prefixShift;
  std::string comment;
};

// What an end record (or the Zip64 end record that replaces it) says about the central
// directory.
struct EndFields {
  uint32_t disk = 0;
  uint32_t centralDisk = 0;
  uint64_t count = 0;
  uint64_t centralSize = 0;
  uint64_t centralOffset = 0;
};

// Reads the classic end record at `record` and the comment after it.
EndFields ReadEndRecord(const unsigned char* record, size_t available, std::string* comment) {
  EndFields f;
  ByteCursor end(record, std::min<size_t>(available, kEndSize));
  end.U32();
  f.disk = end.U16();
  f.centralDisk = end.U16();
  end.U16();
  f.count = end.U16();
  f.centralSize = end.U32();
  f.centralOffset = end.U32();
  uint16_t commentSize = end.U16();
  // A comment that runs past the end of the file is cut short, as the common tools do.
  comment->assign(reinterpret_cast<const char*>(record + kEndSize),
                  std::min<size_t>(commentSize, available - kEndSize));
  return f;
}

// Looks for a Zip64 locator right before the end record at `c.position`; where one leads to
// a Zip64 end record, its fields replace `fields` and the central directory ends there.
// Returns false (with `c` marked damaged) when a locator leads nowhere.
bool FollowZip64Locator(Stream& in, EndCandidate& c, EndFields& fields) {
  const uint64_t position = c.position;
  unsigned char locator[kZip64LocatorSize];
  if (position < kZip64LocatorSize) return true;
  in.Seek(position - kZip64LocatorSize);
  if (ReadFull(in, locator, sizeof locator) != sizeof locator ||
      Load32(locator) != kZip64LocatorSignature) {
    return true;
  }
  uint64_t locatorPosition = position - kZip64LocatorSize;
  uint64_t declared = Load64(locator + 8);
  // The record usually sits right before the locator; with a prefix its stored offset
  // is short by the prefix's length. Found there and nowhere else, it counts only as a
  // prefix's shift: below the record, and the same shift must place the central directory.
  // A locator pointing anywhere else is a second archive for readers that follow it.
  uint64_t expected = locatorPosition >= kZip64EndSize ? locatorPosition - kZip64EndSize : 0;
  for (uint64_t at : {declared, expected}) {
    if (at + kZip64EndSize > locatorPosition || !SignatureAt(in, at, kZip64EndSignature)) {
      continue;
    }
    if (at != declared) {
      if (declared > at) break;
      c.prefixShift = at - declared;
    }
    unsigned char z[kZip64EndSize];
    in.Seek(at);
    if (ReadFull(in, z, sizeof z) != sizeof z) Damaged("the Zip64 end record is cut off");
    ByteCursor r(z, sizeof z);
    r.Skip(16);
    fields.disk = r.U32();
    fields.centralDisk = r.U32();
    r.U64();
    fields.count = r.U64();
    fields.centralSize = r.U64();
    fields.centralOffset = r.U64();
    c.zip64 = true;
    c.centralLimit = at;
    return true;
  }
  // A locator that leads nowhere is damage even where the classic record would do:
  // readers that follow it and readers that ignore it would see different archives.
  c.error = declared + kZip64EndSize > locatorPosition
                ? "the Zip64 end locator points outside the archive"
                : "the Zip64 end locator does not point at a Zip64 end record";
  c.damaged = true;
  return false;
}

// Finds the first central header: at the offset as stored, else shifted by a prefix the
// writer did not know about. Marks `c` valid when one of the two holds.
void PlaceCentralDirectory(Stream& in, EndCandidate& c, const EndFields& fields) {
  std::vector<uint64_t> bases = {0};
  if (c.prefixShift) {
    bases = {*c.prefixShift};
  } else if (c.centralLimit >= fields.centralSize &&
             c.centralLimit - fields.centralSize > fields.centralOffset) {
    bases.push_back(c.centralLimit - fields.centralSize - fields.centralOffset);
  }
  for (uint64_t base : bases) {
    uint64_t start = SaturatingAdd(fields.centralOffset, base);
    if (start > c.centralLimit) continue;
    if (fields.count > 0 &&
        (start + 4 > c.centralLimit || !SignatureAt(in, start, kCentralSignature))) {
      continue;
    }
    c.valid = true;
    c.exact = base == 0;
    c.base = base;
    c.centralStart = start;
    return;
  }
  c.error = "the central directory is not where the end record says";
}

// Judges the end record found at `position`: the layout it implies and whether it holds.
EndCandidate ReadEndCandidate(Stream& in, uint64_t position, const unsigned char* record,
                              size_t available) {
  EndCandidate c;
  c.position = position;
  c.centralLimit = position;
  EndFields fields = ReadEndRecord(record, available, &c.comment);
  if (!FollowZip64Locator(in, c, fields)) return c;
  if (fields.disk != 0 || fields.centralDisk != 0) {
    c.error = "archives split over several disks are not supported";
    return c;
  }
  c.count = fields.count;
  PlaceCentralDirectory(in, c, fields);
  return c;
}

EndCandidate FindEnd(Stream& in) {
  uint64_t size = in.Size();
  if (size < kEndSize)
    throw ArchiveError(Fault::kNotZip, "the file is too short for a Zip archive");
  uint64_t windowStart = size > kEndSearchWindow ? size - kEndSearchWindow : 0;
  std::vector<unsigned char> window(static_cast<size_t>(size - windowStart));
  in.Seek(windowStart);
  if (ReadFull(in, window.data(), window.size()) != window.size()) {
    throw ArchiveError(Fault::kReadFailed, "cannot read the end of the archive");
  }
  std::vector<EndCandidate> candidates;
  for (size_t i = window.size() - kEndSize + 1; i-- > 0;) {
    if (Load32(window.data() + i) != kEndSignature) continue;
    candidates.push_back(
        ReadEndCandidate(in, windowStart + i, window.data() + i, window.size() - i));
  }
  if (candidates.empty()) {
    throw ArchiveError(Fault::kNotZip, "no end-of-central-directory record: not a Zip archive");
  }
  if (candidates.front().damaged) Damaged(candidates.front().error);
  // Candidates run from the end of the file backwards. Offsets that are right as stored
  // beat offsets that need a prefix; among equals the record nearest the end wins. This
  // one reading is used for listing and extracting alike.
  for (bool wantExact : {true, false}) {
    for (const auto& c : candidates) {
      if (c.valid && c.exact == wantExact) return c;
    }
  }
  Damaged(candidates.front().error);
}

void ParseExtra(std::string_view extra, Entry& entry, bool needUncompressed, bool needCompressed,
                bool needOffset, bool needDisk, uint32_t* disk) {
  ByteCursor fields(extra);
  while (fields.remaining() >= 4) {
    size_t start = fields.position();
    uint16_t id = fields.U16();
    uint16_t size = fields.U16();
    if (size > fields.remaining()) {
      entry.damage = "an extra field runs past the end of its block";
      return;
    }
    ByteCursor field(fields.Bytes(size));
    if (id == kExtraZip64) {
      if (needUncompressed) entry.uncompressedSize = field.U64();
      if (needCompressed) entry.compressedSize = field.U64();
      if (needOffset) entry.localOffset = field.U64();
      if (needDisk) *disk = field.U32();
      if (field.overrun()) entry.damage = "the Zip64 extra field lacks a size or offset";
      continue;
    }
    if (id == kExtraNtfs && size >= 4) {
      field.Skip(4);  // reserved
      while (field.remaining() >= 4) {
        uint16_t tag = field.U16();
        uint16_t tagSize = field.U16();
        if (tagSize > field.remaining()) break;
        ByteCursor value(field.Bytes(tagSize));
        if (tag == kNtfsTimesTag && tagSize >= 24) {
          entry.ntfsModified = value.U64();
          entry.ntfsAccessed = value.U64();
          entry.ntfsCreated = value.U64();
        }
      }
    }
    if (id == kExtraTimestamp && size >= 5) {
      uint8_t present = field.U8();
      if (present & 1) entry.modifiedUnix = static_cast<int32_t>(field.U32());
    }
    entry.extra.append(extra.substr(start, 4 + size));
  }
  // Fewer than four bytes left over: alignment padding, as zipalign leaves it.
}

// Reads the central header at `*position` (the stream stands there), with its name, extra
// fields and comment, and moves `*position` past it. `variable` is reused between calls.
Entry ReadCentralHeader(Stream& in, const EndCandidate& end, const NameCodePage& codePage,
                        uint64_t* position, std::string& variable) {
  unsigned char header[kCentralHeaderSize];
  if (*position + kCentralHeaderSize > end.centralLimit ||
      ReadFull(in, header, sizeof header) != sizeof header) {
    Damaged("the central directory is cut off");
  }
  ByteCursor h(header, sizeof header);
  if (h.U32() != kCentralSignature) Damaged("a central directory header is damaged");
  Entry e;
  e.versionMadeBy = h.U16();
  e.versionNeeded = h.U16();
  e.flags = h.U16();
  e.method = h.U16();
  e.dosTime.time = h.U16();
  e.dosTime.date = h.U16();
  e.crc = h.U32();
  uint32_t compressed32 = h.U32();
  uint32_t uncompressed32 = h.U32();
  uint16_t nameSize = h.U16();
  uint16_t extraSize = h.U16();
  uint16_t commentSize = h.U16();
  uint32_t disk = h.U16();
  e.internalAttributes = h.U16();
  e.externalAttributes = h.U32();
  uint32_t offset32 = h.U32();
  *position += kCentralHeaderSize;

  size_t variableSize = size_t{nameSize} + extraSize + commentSize;
  if (*position + variableSize > end.centralLimit) {
    Damaged("a central directory header runs past the end of the directory");
  }
  variable.resize(variableSize);
  if (ReadFull(in, variable.data(), variableSize) != variableSize) {
    Damaged("the central directory is cut off");
  }
  *position += variableSize;
  std::string_view fields(variable);
  e.rawName.assign(fields.substr(0, nameSize));
  e.comment.assign(fields.substr(size_t{nameSize} + extraSize, commentSize));
  std::string_view extra = fields.substr(nameSize, extraSize);
  MemberName name = DecideMemberName({e.rawName, e.flags, e.versionMadeBy, extra}, codePage);
  e.name = std::move(name.text);
  e.nameValid = name.valid;
  e.nameCodePage = codePage;

  e.compressedSize = compressed32;
  e.uncompressedSize = uncompressed32;
  e.localOffset = offset32;
  ParseExtra(extra, e, uncompressed32 == kMax32, compressed32 == kMax32, offset32 == kMax32,
             disk == kMax16, &disk);
  if (disk != 0 && e.damage.empty()) e.damage = "the member is on another disk";
  e.localOffset = SaturatingAdd(e.localOffset, end.base);
  return e;
}

// Each member's bytes must end before the next member's local header starts, and the last
// before the central directory. Members that share bytes are marked; they are refused later.
void MarkBounds(std::vector<Entry>& entries, uint64_t centralStart) {
  std::vector<size_t> order(entries.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return entries[a].localOffset < entries[b].localOffset; });
  for (size_t k = 0; k < order.size(); ++k) {
    Entry& e = entries[order[k]];
    uint64_t limit = centralStart;
    bool shared = false;
    if (k + 1 < order.size()) {
      uint64_t next = entries[order[k + 1]].localOffset;
      if (next == e.localOffset) {
        shared = true;
      } else {
        limit = std::min(limit, next);
      }
    }
    if (k > 0 && entries[order[k - 1]].localOffset == e.localOffset) shared = true;
    uint64_t minimumEnd = SaturatingAdd(
        SaturatingAdd(e.localOffset, kLocalHeaderSize + e.rawName.size()), e.compressedSize);
    e.dataLimit = limit;
    if (e.localOffset >= centralStart) {
      if (e.damage.empty()) e.damage = "its local header offset points past the member data";
    } else {
      e.overlaps = shared || minimumEnd > limit;
    }
  }
}

}  // namespace

Directory ReadDirectory(Stream& in) { return ReadDirectory(in, SystemNameCodePage()); }

Directory ReadDirectory(Stream& in, const NameCodePage& codePage) {
  EndCandidate end = FindEnd(in);
  Directory dir;
  dir.comment = std::move(end.comment);
  dir.prefixSize = end.base;
  dir.centralOffset = end.centralStart;
  dir.zip64 = end.zip64;

  uint64_t room = end.centralLimit - end.centralStart;
  if (end.count > room / kCentralHeaderSize) {
    Damaged("the member count is larger than the central directory can hold");
  }
  dir.entries.reserve(static_cast<size_t>(end.count));  // bounded by the real bytes above

  in.Seek(end.centralStart);
  uint64_t position = end.centralStart;
  std::string variable;
  for (uint64_t i = 0; i < end.count; ++i) {
    dir.entries.push_back(ReadCentralHeader(in, end, codePage, &position, variable));
  }
  dir.centralEnd = position;
  MarkBounds(dir.entries, end.centralStart);
  return dir;
}

}  // namespace archive
