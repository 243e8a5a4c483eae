// The Windows half of FileFacts.h, and the Windows folder listing that brings the facts
// along: they call Windows itself, because the C runtime sets neither hidden nor system, nor
// reads or sets times finer than a second.
#include "archive/io/FileFacts.h"

#include <cerrno>

#include <io.h>
#include <windows.h>

#include "archive/io/FileSystem.h"

namespace archive {

namespace {

FILETIME ToFiletime(FileTime time) {
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(time);
  t.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return t;
}

FileTime FromFiletime(const FILETIME& t) {
  return FileTime{t.dwHighDateTime} << 32 | t.dwLowDateTime;
}

bool SetHandleTimes(HANDLE handle, const FileTimes& times) {
  FILETIME modified = ToFiletime(times.modified);
  FILETIME accessed = ToFiletime(times.accessed ? times.accessed : times.modified);
  FILETIME created = ToFiletime(times.created);
  return SetFileTime(handle, times.created ? &created : nullptr,
                     times.accessed || times.modified ? &accessed : nullptr,
                     times.modified ? &modified : nullptr) != 0;
}

}  // namespace

bool SetDescriptorTimes(int descriptor, const FileTimes& times) {
  auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  return handle != INVALID_HANDLE_VALUE && SetHandleTimes(handle, times);
}

bool SetPathTimes(const std::filesystem::path& path, const FileTimes& times) {
  // Backup semantics open folders; the reparse flag keeps a link from being followed.
  HANDLE handle = CreateFileW(
      path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool done = SetHandleTimes(handle, times);
  CloseHandle(handle);
  return done;
}

bool SetDosAttributes(const std::filesystem::path& path, uint32_t attributes, bool isFolder) {
  DWORD wanted = attributes & kRestoredAttributes;
  if (!isFolder) wanted |= FILE_ATTRIBUTE_ARCHIVE;
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesW(path.c_str(), wanted) != 0;
}

std::optional<FileFacts> ReadFileFacts(const std::filesystem::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  FileFacts facts;
  facts.attributes = data.dwFileAttributes;
  facts.times = {FromFiletime(data.ftLastWriteTime), FromFiletime(data.ftLastAccessTime),
                 FromFiletime(data.ftCreationTime)};
  return facts;
}

std::vector<FolderChild> ListFolder(const std::filesystem::path& folder, std::error_code& ec) {
  ec.clear();
  std::vector<FolderChild> children;
  WIN32_FIND_DATAW found;
  // The basic level skips the short names, which nothing here needs.
  HANDLE search = FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    // An empty folder has "." at least; only a folder that cannot be read gets here.
    ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
    return children;
  }
  do {
    std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderChild child;
    child.name = std::wstring(name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      child.kind = FolderChild::Kind::kLink;
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      child.kind = FolderChild::Kind::kFolder;
    } else {
      child.kind = FolderChild::Kind::kFile;
      child.size = uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow;
    }
    child.attributes = found.dwFileAttributes;
    child.times = {FromFiletime(found.ftLastWriteTime), FromFiletime(found.ftLastAccessTime),
                   FromFiletime(found.ftCreationTime)};
    child.modified = FileTimeToUnix(child.times.modified);
    children.push_back(std::move(child));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return children;
}

}  // namespace archive
