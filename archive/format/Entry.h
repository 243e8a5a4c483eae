// One member as the central directory describes it: the facts every room reads (the method
// table, file facts, extraction) and the central-directory reader fills in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "archive/format/Times.h"
#include "archive/format/Names.h"

namespace archive {

struct Entry {
  std::string name;     // UTF-8, what the writer meant by `rawName` (see DecideMemberName)
  std::string rawName;  // the bytes stored in the archive
  bool nameValid = true;
  NameCodePage nameCodePage;  // what names without the UTF-8 flag were read in
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  DosDateTime dosTime;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localOffset = 0;  // absolute position of the local header in the stream
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  std::optional<int64_t> modifiedUnix;  // from the extended-timestamp extra
  // From the NTFS extra field, in 100 ns steps since 1601 (see FileFacts.h); 0 = absent.
  uint64_t ntfsModified = 0;
  uint64_t ntfsAccessed = 0;
  uint64_t ntfsCreated = 0;
  std::string extra;  // central extra fields other than Zip64, kept for copying
  std::string comment;
  // Set when the header is unusable: a Zip64 field missing, an extra field that runs past
  // its block. Such a member is listed but never extracted.
  std::string damage;
  // Set when the member's bytes overlap another member's or the central directory (the
  // construction of "zip bombs" that reuse one compressed stream many times).
  bool overlaps = false;
  // Where this member's local header, data and descriptor must end: the next member's
  // local header or the central directory.
  uint64_t dataLimit = 0;

  // A name ending in '/', or an empty member that its attributes mark as a folder (some
  // writers leave the slash off).
  bool IsDirectory() const;
  bool IsEncrypted() const;
  bool IsSymlink() const;
  // Modification time in Unix seconds: the extended timestamp, else the DOS time.
  std::optional<int64_t> ModifiedUnix() const;
};

}  // namespace archive
