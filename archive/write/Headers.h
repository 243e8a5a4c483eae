// What the writer knows of each member, and the one place its headers are built from that.
#pragma once

#include <cstdint>
#include <string>

#include "archive/format/Times.h"

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

// A length for a 16-bit field; a longer one is refused rather than cut, which would write
// an archive whose headers no longer lead to its data. `member` empty: the archive's own.
uint16_t Length16(size_t size, const char* what, const std::string& member);
// A value for a 32-bit field, all ones when a Zip64 field holds it.
uint32_t Clamp32(uint64_t v);

}  // namespace archive
