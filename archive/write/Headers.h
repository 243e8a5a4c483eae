// What the writer knows of each member, the one place its headers are built from that, and
// the central directory written from the records at the end.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>

#include "archive/format/Times.h"
#include "archive/write/ArchiveOutput.h"

namespace archive {

// A member's facts as its headers give them; versions for no Zip64 (the headers add it).
struct MemberRecord {
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  DosDateTime dosTime;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localOffset = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  std::string name;
  std::string extra;  // without Zip64; the central header adds it where needed
  // Written in the central header only: the NTFS times, which readers take from there;
  // in every local header too they would cost 36 more bytes a member.
  std::string centralExtra;
  std::string comment;
};

enum class HeaderKind { kLocal, kCentral };

// The one place a member's header is built, local or central, from its record. A local
// header gives the CRC and sizes (zeros where a data descriptor follows the data); with
// `localZip64` it holds a Zip64 field with both sizes, its 32-bit ones then all ones. A
// central header holds a Zip64 field with each value that needs one, and the central-only
// extra fields. Throws ArchiveError(kWriteFailed), before anything is written, when the
// name, the extra fields or the comment would not fit their 16-bit lengths.
std::string HeaderBytes(const MemberRecord& r, HeaderKind kind, bool localZip64 = false);
// The data descriptor after a member's data, with its signature; sizes of 64 bits with
// `zip64`.
std::string DescriptorBytes(const MemberRecord& r, bool zip64);

// The records of the members written so far, kept for the central directory.
class CentralDirectory {
 public:
  void Add(MemberRecord record) { records_.push_back(std::move(record)); }
  size_t size() const { return records_.size(); }
  // Appends the central directory and the end records (Zip64 ones when more than 65,534
  // members or offsets beyond 4 GiB need them). A header that does not fit its lengths
  // (see HeaderBytes) or a comment over 65,535 bytes throws ArchiveError(kWriteFailed);
  // the comment is checked before anything is written.
  void Write(ArchiveOutput& out, std::string_view comment) const;

 private:
  // A deque grows without moving what it holds: a vector of 70,000 records would at times
  // hold twice their room, and briefly the old copy besides.
  std::deque<MemberRecord> records_;
};

}  // namespace archive
