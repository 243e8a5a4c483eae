#include "archive/io/FileHandle.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <unistd.h>
#else
#include <unistd.h>
#endif

#include "archive/format/Status.h"
#include "archive/io/FileFacts.h"

namespace archive {

namespace {

constexpr size_t kSystemCallBytes = 1 << 30;  // the most one read or write is asked for

std::string Describe(int errorNumber) { return std::strerror(errorNumber); }

int OpenDescriptor(const std::filesystem::path& path, FileMode mode) {
  int flags = 0;
  switch (mode) {
    case FileMode::kRead:
      flags = O_RDONLY;
      break;
    case FileMode::kCreateNew:
      flags = O_RDWR | O_CREAT | O_EXCL;
      break;
    case FileMode::kCreateOrReplace:
      flags = O_RDWR | O_CREAT | O_TRUNC;
      break;
  }
#ifdef _WIN32
  int descriptor = -1;
  errno_t err = _wsopen_s(&descriptor, path.c_str(), flags | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                          _S_IREAD | _S_IWRITE);
  if (err != 0) {
    errno = err;
    return -1;
  }
  return descriptor;
#else
  return ::open(path.c_str(), flags | O_CLOEXEC, 0644);
#endif
}

uint64_t DescriptorSize(int descriptor) {
#ifdef _WIN32
  struct _stati64 info;
  if (_fstati64(descriptor, &info) == 0) return static_cast<uint64_t>(info.st_size);
#else
  struct stat info;
  if (::fstat(descriptor, &info) == 0) return static_cast<uint64_t>(info.st_size);
#endif
  return 0;
}

int CloseDescriptor(int descriptor) {
#ifdef _WIN32
  return _close(descriptor);
#else
  return ::close(descriptor);
#endif
}

}  // namespace

// Files opened for writing are new or emptied: their size is known without asking.
FileHandle::FileHandle(const std::filesystem::path& path, FileMode mode, int* errorNumber)
    : descriptor_(OpenDescriptor(path, mode)), writable_(mode != FileMode::kRead) {
  if (descriptor_ < 0) {
    if (errorNumber) *errorNumber = errno;
    return;
  }
  size_ = writable_ ? 0 : DescriptorSize(descriptor_);
}

FileHandle::~FileHandle() {
  if (descriptor_ >= 0) CloseDescriptor(descriptor_);
}

void FileHandle::Close() {
  if (descriptor_ < 0) return;
  int result = CloseDescriptor(descriptor_);
  descriptor_ = -1;
  if (result != 0 && writable_) {
    int err = errno;
    throw ArchiveError(err == ENOSPC ? Fault::kDiskFull : Fault::kWriteFailed,
                       "cannot close file: " + Describe(err));
  }
}

size_t FileHandle::ReadAt(uint64_t offset, void* buffer, size_t size) {
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
#ifdef _WIN32
  if (_lseeki64(descriptor_, static_cast<__int64>(offset), SEEK_SET) < 0) {
    throw ArchiveError(Fault::kReadFailed, "cannot seek: " + Describe(errno));
  }
#endif
  while (done < size) {
    size_t chunk = std::min<size_t>(size - done, kSystemCallBytes);
#ifdef _WIN32
    int n = _read(descriptor_, out + done, static_cast<unsigned>(chunk));
#else
    ssize_t n = ::pread(descriptor_, out + done, chunk, static_cast<off_t>(offset + done));
#endif
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ArchiveError(Fault::kReadFailed, "cannot read: " + Describe(errno));
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void FileHandle::WriteAt(uint64_t offset, const void* data, size_t size) {
  const auto* in = static_cast<const unsigned char*>(data);
  size_t done = 0;
#ifdef _WIN32
  if (_lseeki64(descriptor_, static_cast<__int64>(offset), SEEK_SET) < 0) {
    throw ArchiveError(Fault::kWriteFailed, "cannot seek: " + Describe(errno));
  }
#endif
  while (done < size) {
    size_t chunk = std::min<size_t>(size - done, kSystemCallBytes);
#ifdef _WIN32
    int n = _write(descriptor_, in + done, static_cast<unsigned>(chunk));
#else
    ssize_t n = ::pwrite(descriptor_, in + done, chunk, static_cast<off_t>(offset + done));
#endif
    if (n <= 0) {
      int err = n < 0 ? errno : ENOSPC;
      if (n < 0 && err == EINTR) continue;
      throw ArchiveError(err == ENOSPC ? Fault::kDiskFull : Fault::kWriteFailed,
                         "cannot write: " + Describe(err));
    }
    done += static_cast<size_t>(n);
  }
  size_ = std::max(size_, offset + size);
}

bool FileHandle::SetTimes(const FileTimes& times) { return SetDescriptorTimes(descriptor_, times); }

void FileHandle::Truncate(uint64_t size) {
#ifdef _WIN32
  // mingw-w64's ftruncate64 sets the end of file with 64-bit sizes; _chsize_s stops at 2 GiB.
  int result = ftruncate64(descriptor_, static_cast<off64_t>(size));
#else
  int result = ::ftruncate(descriptor_, static_cast<off_t>(size));
#endif
  if (result != 0) throw ArchiveError(Fault::kWriteFailed, "cannot truncate: " + Describe(errno));
  size_ = size;
}

}  // namespace archive
