// File-system steps that must not be fooled: folders created one level at a time without
// following links, temporary files created exclusively beside their target, and the
// replacing rename that publishes a finished file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "archive/io/FileFacts.h"
#include "archive/io/Stream.h"

namespace archive {

// Creates `root`/`parts[0]`/.../`parts[count-1]` folder by folder. Returns an empty string on
// success, else why not: a link or a file is in the way, or a folder cannot be created.
// `existing` receives how many of the folders were there already; the rest were created.
std::string EnsureFolders(const std::filesystem::path& root, const std::vector<std::string>& parts,
                          size_t count, size_t* existing = nullptr);

// Creates a new, empty file in the folder of `target` under a name of its own and returns
// it with its path. Throws ArchiveError(kWriteFailed) when no such file can be created.
std::unique_ptr<FileStream> CreateTempBeside(const std::filesystem::path& target,
                                             std::filesystem::path* tempPath);

// Moves `from` over `to` in one step, replacing a file that is there. When that fails,
// `to` is as it was: it is never removed first, so that a failed replacement cannot lose
// the file it was to replace.
bool ReplaceWith(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::error_code& ec);

// The platform's replacing move, which ReplaceWith makes: rename() natively, MoveFileExW
// with MOVEFILE_REPLACE_EXISTING on Windows (FileSystemWin32.cpp).
bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::error_code& ec);

// Tests only: while one lives, ReplaceWith moves with `move` instead of MoveReplacing, so
// that a test can make the move fail.
class ReplaceWithOverride {
 public:
  using Move = bool (*)(const std::filesystem::path& from, const std::filesystem::path& to,
                        std::error_code& ec);
  explicit ReplaceWithOverride(Move move);
  ~ReplaceWithOverride();
  ReplaceWithOverride(const ReplaceWithOverride&) = delete;
  ReplaceWithOverride& operator=(const ReplaceWithOverride&) = delete;

 private:
  Move previous_;
};

// Removes a file, ignoring failures; for cleaning up after an error.
void RemoveQuietly(const std::filesystem::path& path);

// What a folder holds, as one listing reads it: kind, size and modification time come with
// the names, where asking for them file by file would cost a call each (under Wine a
// round trip to its server).
struct FolderChild {
  enum class Kind { kFile, kFolder, kLink, kOther };
  std::filesystem::path name;  // the child's own name, without the folder
  Kind kind = Kind::kOther;
  uint64_t size = 0;     // for files
  int64_t modified = 0;  // Unix seconds, for files and folders
  // On Windows: the DOS attributes and the three times, as packing stores them.
  uint32_t attributes = 0;
  FileTimes times;
};

// The children of `folder` ("." and ".." left out), in the order the system gives them.
// A link (on Windows any reparse point) is reported as kLink, not followed.
std::vector<FolderChild> ListFolder(const std::filesystem::path& folder, std::error_code& ec);

// Longest path the platform opens without special prefixes: 259 UTF-16 units on Windows,
// 4095 bytes elsewhere.
bool PathTooLong(const std::filesystem::path& path);

}  // namespace archive
