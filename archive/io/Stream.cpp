#include "archive/io/Stream.h"

#include "archive/io/FileFacts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

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

#include "archive/format/Names.h"
#include "archive/format/Status.h"

namespace archive {

namespace {

constexpr size_t kFileBufferSize = 256 * 1024;

std::string Describe(int errorNumber) { return std::strerror(errorNumber); }

int OpenDescriptor(const std::filesystem::path& path, FileStream::Mode mode) {
  int flags = 0;
  switch (mode) {
    case FileStream::Mode::kRead:
      flags = O_RDONLY;
      break;
    case FileStream::Mode::kCreateNew:
      flags = O_RDWR | O_CREAT | O_EXCL;
      break;
    case FileStream::Mode::kCreateOrReplace:
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

}  // namespace

size_t ReadFull(Stream& in, void* buffer, size_t size) {
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < size) {
    size_t n = in.Read(out + done, size - done);
    if (n == 0) break;
    done += n;
  }
  return done;
}

MemoryStream::MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

size_t MemoryStream::Read(void* buffer, size_t size) {
  if (position_ >= bytes_.size()) return 0;
  size_t n = static_cast<size_t>(std::min<uint64_t>(size, bytes_.size() - position_));
  std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

void MemoryStream::Write(const void* data, size_t size) {
  if (size == 0) return;
  uint64_t end = position_ + size;
  if (end > bytes_.size()) bytes_.resize(static_cast<size_t>(end));
  std::memcpy(bytes_.data() + position_, data, size);
  position_ = end;
}

void MemoryStream::Truncate(uint64_t size) {
  if (size < bytes_.size()) bytes_.resize(static_cast<size_t>(size));
}

// Files opened for writing are new or emptied: their size is known without asking.
FileStream::FileStream(Opened, int descriptor, bool writable)
    : descriptor_(descriptor),
      writable_(writable),
      fileSize_(writable ? 0 : DescriptorSize(descriptor)) {}

FileStream::FileStream(const std::filesystem::path& path, Mode mode)
    : descriptor_(OpenDescriptor(path, mode)), writable_(mode != Mode::kRead) {
  if (descriptor_ < 0) {
    int err = errno;
    throw ArchiveError(mode == Mode::kRead ? Fault::kNotFound : Fault::kWriteFailed,
                       "cannot open " + Quoted(path) + ": " + Describe(err));
  }
  fileSize_ = writable_ ? 0 : DescriptorSize(descriptor_);
}

std::unique_ptr<FileStream> FileStream::TryOpen(const std::filesystem::path& path, Mode mode,
                                                int* errorNumber) {
  int descriptor = OpenDescriptor(path, mode);
  if (descriptor < 0) {
    if (errorNumber) *errorNumber = errno;
    return nullptr;
  }
  return std::unique_ptr<FileStream>(new FileStream(Opened{}, descriptor, mode != Mode::kRead));
}

FileStream::~FileStream() {
  if (descriptor_ < 0) return;
  try {
    Flush();
  } catch (...) {
    // Destruction is the error path; the caller already knows the stream failed.
  }
#ifdef _WIN32
  _close(descriptor_);
#else
  ::close(descriptor_);
#endif
}

void FileStream::Close() {
  if (descriptor_ < 0) return;
  Flush();
#ifdef _WIN32
  int result = _close(descriptor_);
#else
  int result = ::close(descriptor_);
#endif
  descriptor_ = -1;
  if (result != 0 && writable_) {
    int err = errno;
    throw ArchiveError(err == ENOSPC ? Fault::kDiskFull : Fault::kWriteFailed,
                       "cannot close file: " + Describe(err));
  }
}

void FileStream::ReadAt(uint64_t offset, void* buffer, size_t size, size_t* got) {
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
#ifdef _WIN32
  if (_lseeki64(descriptor_, static_cast<__int64>(offset), SEEK_SET) < 0) {
    throw ArchiveError(Fault::kReadFailed, "cannot seek: " + Describe(errno));
  }
#endif
  while (done < size) {
    size_t chunk = std::min<size_t>(size - done, 1 << 30);
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
  *got = done;
}

void FileStream::WriteAt(uint64_t offset, const void* data, size_t size) {
  const auto* in = static_cast<const unsigned char*>(data);
  size_t done = 0;
#ifdef _WIN32
  if (_lseeki64(descriptor_, static_cast<__int64>(offset), SEEK_SET) < 0) {
    throw ArchiveError(Fault::kWriteFailed, "cannot seek: " + Describe(errno));
  }
#endif
  while (done < size) {
    size_t chunk = std::min<size_t>(size - done, 1 << 30);
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
  fileSize_ = std::max(fileSize_, offset + size);
}

unsigned char* FileStream::Buffer() {
  if (!buffer_) buffer_.reset(new unsigned char[kFileBufferSize]);
  return buffer_.get();
}

size_t FileStream::Read(void* buffer, size_t size) {
  if (bufferDirty_) Flush();
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < size) {
    if (position_ >= bufferStart_ && position_ < bufferStart_ + bufferLength_) {
      size_t at = static_cast<size_t>(position_ - bufferStart_);
      size_t n = std::min(size - done, bufferLength_ - at);
      std::memcpy(out + done, Buffer() + at, n);
      done += n;
      position_ += n;
      continue;
    }
    size_t want = size - done;
    // Large reads, and reads that take the rest of the file as far as it is known (a small
    // file read whole), go straight to the caller: no buffer to fill or allocate.
    if (want >= kFileBufferSize || position_ + want >= fileSize_) {
      size_t got = 0;
      ReadAt(position_, out + done, want, &got);
      done += got;
      position_ += got;
      break;
    }
    bufferStart_ = position_;
    bufferLength_ = 0;
    ReadAt(position_, Buffer(), kFileBufferSize, &bufferLength_);
    if (bufferLength_ == 0) break;
  }
  return done;
}

void FileStream::Write(const void* data, size_t size) {
  if (!writable_) throw ArchiveError(Fault::kWriteFailed, "stream is read-only");
  if (size == 0) return;
  if (!bufferDirty_) bufferLength_ = 0;  // drop any read-ahead
  bool inWindow = bufferLength_ > 0 && position_ >= bufferStart_ &&
                  position_ <= bufferStart_ + bufferLength_ &&
                  position_ - bufferStart_ + size <= kFileBufferSize;
  if (!inWindow) {
    Flush();
    if (size >= kFileBufferSize) {
      WriteAt(position_, data, size);
      position_ += size;
      return;
    }
    bufferStart_ = position_;
    bufferLength_ = 0;
  }
  size_t at = static_cast<size_t>(position_ - bufferStart_);
  std::memcpy(Buffer() + at, data, size);
  bufferLength_ = std::max(bufferLength_, at + size);
  bufferDirty_ = true;
  position_ += size;
}

void FileStream::Flush() {
  if (!bufferDirty_) return;
  bufferDirty_ = false;
  size_t length = bufferLength_;
  bufferLength_ = 0;
  WriteAt(bufferStart_, Buffer(), length);
}

bool FileStream::SetTimes(const FileTimes& times) {
  Flush();
  return SetDescriptorTimes(descriptor_, times);
}

uint64_t FileStream::Size() {
  uint64_t size = fileSize_;
  if (bufferDirty_) size = std::max(size, bufferStart_ + bufferLength_);
  return size;
}

void FileStream::Truncate(uint64_t size) {
  Flush();
  bufferLength_ = 0;
#ifdef _WIN32
  // mingw-w64's ftruncate64 sets the end of file with 64-bit sizes; _chsize_s stops at 2 GiB.
  int result = ftruncate64(descriptor_, static_cast<off64_t>(size));
#else
  int result = ::ftruncate(descriptor_, static_cast<off_t>(size));
#endif
  if (result != 0) throw ArchiveError(Fault::kWriteFailed, "cannot truncate: " + Describe(errno));
  fileSize_ = size;
}

}  // namespace archive
