#include "archive/io/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include "archive/format/Names.h"
#include "archive/format/Status.h"

namespace archive {

namespace fs = std::filesystem;

std::string EnsureFolders(const fs::path& root, const std::vector<std::string>& parts, size_t count,
                          size_t* existing) {
  fs::path at = root;
  bool creating = false;
  if (existing) *existing = 0;
  for (size_t i = 0; i < count && i < parts.size(); ++i) {
    at /= Utf8ToPath(parts[i]);
    std::error_code ec;
    fs::file_status status = fs::symlink_status(at, ec);
    if (status.type() == fs::file_type::not_found) {
      if (fs::create_directory(at, ec)) creating = true;
      status = fs::symlink_status(at, ec);
    }
    if (existing && !creating) *existing = i + 1;
    if (fs::is_symlink(status)) return "a link is in the way at " + Quoted(at);
    if (!fs::exists(status)) return "cannot create the folder " + Quoted(at);
    if (!fs::is_directory(status)) return "a file is in the way at " + Quoted(at);
  }
  return {};
}

std::unique_ptr<FileStream> CreateTempBeside(const fs::path& target, fs::path* tempPath) {
  static std::atomic<unsigned> counter{0};
  unsigned seed =
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFFF);
  int lastError = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, ".pz%05x%03x.tmp", seed, (counter++) & 0xFFF);
    fs::path candidate = target.parent_path() / name;
    auto file = FileStream::TryOpen(candidate, FileStream::Mode::kCreateNew, &lastError);
    if (file) {
      *tempPath = candidate;
      return file;
    }
    if (lastError != EEXIST) break;
  }
  throw ArchiveError(lastError == ENOSPC ? Fault::kDiskFull : Fault::kWriteFailed,
                     "cannot create a temporary file beside " + Quoted(target));
}

namespace {
ReplaceWithOverride::Move replacingMove = MoveReplacing;  // a test's, while it overrides
}  // namespace

bool ReplaceWith(const fs::path& from, const fs::path& to, std::error_code& ec) {
  return replacingMove(from, to, ec);
}

ReplaceWithOverride::ReplaceWithOverride(Move move) : previous_(replacingMove) {
  replacingMove = move;
}

ReplaceWithOverride::~ReplaceWithOverride() { replacingMove = previous_; }

#ifndef _WIN32  // Windows: FileSystemWin32.cpp

bool MoveReplacing(const fs::path& from, const fs::path& to, std::error_code& ec) {
  ec.clear();
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  ec = std::error_code(errno, std::generic_category());
  return false;
}

#endif

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

#ifndef _WIN32  // Windows: FileFactsWin32.cpp, where the listing brings the facts

std::vector<FolderChild> ListFolder(const fs::path& folder, std::error_code& ec) {
  ec.clear();
  std::vector<FolderChild> children;
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    ec = std::error_code(errno, std::generic_category());
    return children;
  }
  const int descriptor = dirfd(dir);
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (!entry) {
      if (errno != 0) ec = std::error_code(errno, std::generic_category());
      break;
    }
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderChild child;
    child.name = std::string(name);
    struct stat info;
    if (fstatat(descriptor, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone
    if (S_ISLNK(info.st_mode)) {
      child.kind = FolderChild::Kind::kLink;
    } else if (S_ISDIR(info.st_mode)) {
      child.kind = FolderChild::Kind::kFolder;
    } else if (S_ISREG(info.st_mode)) {
      child.kind = FolderChild::Kind::kFile;
      child.size = static_cast<uint64_t>(info.st_size);
    }
    child.modified = info.st_mtime;
    children.push_back(std::move(child));
  }
  closedir(dir);
  return children;
}

#endif

bool PathTooLong(const fs::path& path) {
#ifdef _WIN32
  return path.native().size() > 259;
#else
  return path.native().size() > 4095;
#endif
}

}  // namespace archive
