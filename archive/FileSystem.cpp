#include "archive/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "archive/Names.h"
#include "archive/Status.h"

namespace archive {

namespace fs = std::filesystem;

std::string EnsureFolders(const fs::path& root, const std::vector<std::string>& parts,
                          size_t count) {
  fs::path at = root;
  for (size_t i = 0; i < count && i < parts.size(); ++i) {
    at /= Utf8ToPath(parts[i]);
    std::error_code ec;
    fs::file_status status = fs::symlink_status(at, ec);
    if (status.type() == fs::file_type::not_found) {
      fs::create_directory(at, ec);
      status = fs::symlink_status(at, ec);
    }
    if (fs::is_symlink(status)) return "a link is in the way at " + Quoted(at);
    if (!fs::exists(status)) return "cannot create the folder " + Quoted(at);
    if (!fs::is_directory(status)) return "a file is in the way at " + Quoted(at);
  }
  return {};
}

std::unique_ptr<FileStream> CreateTempBeside(const fs::path& target, fs::path* tempPath) {
  static std::atomic<unsigned> counter{0};
  unsigned seed = static_cast<unsigned>(
      std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFFF);
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

bool ReplaceWith(const fs::path& from, const fs::path& to, std::error_code& ec) {
  fs::rename(from, to, ec);
  if (!ec) return true;
  // Some runtimes refuse to rename over an existing file; then remove it first.
  std::error_code statusError;
  if (fs::is_regular_file(fs::symlink_status(to, statusError))) {
    std::error_code removeError;
    if (fs::remove(to, removeError)) {
      ec.clear();
      fs::rename(from, to, ec);
      return !ec;
    }
  }
  return false;
}

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

bool PathTooLong(const fs::path& path) {
#ifdef _WIN32
  return path.native().size() > 259;
#else
  return path.native().size() > 4095;
#endif
}

}  // namespace archive
