// The central-directory reader: finds the archive's end record and reads every member's
// central header. It reads no member data; MemberReader does that.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/format/Entry.h"
#include "archive/io/Stream.h"

namespace archive {

struct Directory {
  std::vector<Entry> entries;
  std::string comment;
  uint64_t prefixSize = 0;     // bytes before the archive proper (a self-extractor stub)
  uint64_t centralOffset = 0;  // absolute position of the first central header
  uint64_t centralEnd = 0;     // absolute position just past the last central header
  bool zip64 = false;
};

// Reads the central directory. Throws ArchiveError: kNotZip when there is no usable end
// record, kDamaged when the central directory cannot be read, kReadFailed on I/O errors.
// Memory use is bounded by the stream's real size, never by declared counts or sizes.
// Names without the UTF-8 flag are read in `codePage`; by default the system's.
Directory ReadDirectory(Stream& in);
Directory ReadDirectory(Stream& in, const NameCodePage& codePage);

}  // namespace archive
