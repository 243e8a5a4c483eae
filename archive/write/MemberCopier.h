// Copying a member of an existing archive, unchanged, into the archive being written.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "archive/format/Entry.h"
#include "archive/io/Stream.h"
#include "archive/write/ArchiveOutput.h"
#include "archive/write/Headers.h"

namespace archive {

class MemberCopier {
 public:
  // The member's bytes pass through `piece`, a piece at a time.
  MemberCopier(ArchiveOutput& out, std::span<unsigned char> piece);

  // Appends `entry` of `archive` to `out`: its compressed bytes, times, attributes and extra
  // fields; returns its record. Throws ArchiveError(kDamaged) when the member's bytes
  // cannot be located safely, ArchiveError(kReadFailed) when the archive ends inside them.
  MemberRecord Copy(Stream& archive, const Entry& entry);

 private:
  void CopyBytes(Stream& archive, uint64_t from, uint64_t size, const std::string& name);

  ArchiveOutput& out_;
  std::span<unsigned char> piece_;
};

}  // namespace archive
