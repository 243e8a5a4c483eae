// Creating and updating an archive from files: what zip32.dll does, without Windows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/format/Status.h"

namespace archive {

struct ZipRequest {
  std::filesystem::path archive;
  // Files and folders to add (or, with deleteEntries, member-name patterns to remove). The
  // last part of a name may hold the wildcards * and ?.
  std::vector<std::filesystem::path> names;
  std::filesystem::path rootDir;  // relative names are taken from here; empty = current
  int level = 6;                  // 1-9 deflate level, 0 stores
  bool junkPaths = false;         // store bare file names, without their folders
  bool recurse = false;           // add what listed folders contain
  bool noDirEntries = false;      // add no folder members
  bool deleteEntries = false;     // remove the members matching `names`
  bool update = false;            // add new files, replace members only with newer files
  bool freshen = false;           // replace members only with newer files; add nothing new
  bool encrypt = false;           // refused: this engine does not encrypt
  bool quiet = false;             // no progress lines
  bool askComment = false;        // ask ZipEvents::Comment for the archive comment
  unsigned workers = 0;           // compressing threads, 0 = by the cores; same bytes either way
};

class ZipEvents {
 public:
  virtual ~ZipEvents() = default;
  // One line of text, UTF-8, ending in a newline.
  virtual void Message(std::string_view text) { (void)text; }
  // After each file is added, with its path and size. Returning false stops: the archive
  // is then left as it was.
  virtual bool FileDone(const std::filesystem::path& file, uint64_t size) {
    (void)file;
    (void)size;
    return true;
  }
  // With askComment: the new archive comment, given the current one; nullopt keeps it.
  virtual std::optional<std::string> Comment(std::string_view current) {
    (void)current;
    return std::nullopt;
  }
};

// Runs the request. The archive is written to a temporary file beside it and renamed over
// it only when complete; on every failure the previous archive is untouched and the
// temporary file removed. Updating keeps the members that are not replaced, in their
// order, and those whose file cannot be read by its turn; replacements take the place of
// the member they replace, new members follow. An update none of whose files can be read
// leaves the archive as it was.
// Returns the status of zip32.h, whose codes (ZIP32_*) say what each ZipStatus means.
ZipStatus RunZip(const ZipRequest& request, ZipEvents& events);

}  // namespace archive
