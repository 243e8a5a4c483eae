// Where extracted members go: each member's name checked and resolved to a path under the
// target folder, names that the file system would take for an earlier one refused, and the
// folders on the way created once for the whole run.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "archive/format/Entry.h"
#include "archive/format/Status.h"
#include "archive/read/Unzip.h"

namespace archive {

// A member's place under the target folder.
struct Target {
  std::vector<std::string> parts;  // the path's components under the target folder
  std::string key;                 // their folded form, to find names used twice
  std::filesystem::path path;
  bool isDirectory = false;
  bool exists = false;  // a file is there already
};

// How a member ends before its file is written: refused for `why`, or, with no reason,
// done with nothing to write.
struct EarlyEnd {
  UnzipStatus status = UnzipStatus::kOk;
  std::string why;
};

class ExtractTargets {
 public:
  explicit ExtractTargets(const UnzipRequest& request) : request_(request) {}

  // Resolves the name of `entry` into `target`, or says how the member ends.
  std::optional<EarlyEnd> Resolve(const Entry& entry, Target& target);

  // Creates the first `count` folders of `parts`, skipping those this run already made or
  // found (many members share them). Returns why it failed, or an empty text.
  std::string EnsureFolders(const std::vector<std::string>& parts, size_t count);

  // Whether the target's folder is one this run created: nothing can be in the way there.
  bool InNewFolder(const Target& target) const;

  // Whether a file of this run stands where `target` needs one of its folders.
  bool FileOnTheWay(const Target& target) const;

 private:
  const UnzipRequest& request_;
  std::set<std::string> files_;        // folded names of files written or attempted
  std::set<std::string> folders_;      // folded names of folders in the archive
  std::set<std::string> madeFolders_;  // keys of folders known to be real folders
  // Keys of the folders this run created: what is in them, this run put there.
  std::set<std::string> newFolders_;
};

}  // namespace archive
