#include "archive/io/Stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "archive/format/Names.h"
#include "archive/format/Status.h"

namespace archive {

namespace {

constexpr size_t kFileBufferSize = 256 * 1024;

FileHandle OpenOrThrow(const std::filesystem::path& path, FileMode mode) {
  int error = 0;
  FileHandle file(path, mode, &error);
  if (!file.open()) {
    throw ArchiveError(mode == FileMode::kRead ? Fault::kNotFound : Fault::kWriteFailed,
                       "cannot open " + Quoted(path) + ": " + std::strerror(error));
  }
  return file;
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

FileStream::FileStream(FileHandle file) : file_(std::move(file)) {}

FileStream::FileStream(const std::filesystem::path& path, Mode mode)
    : FileStream(OpenOrThrow(path, mode)) {}

std::unique_ptr<FileStream> FileStream::TryOpen(const std::filesystem::path& path, Mode mode,
                                                int* errorNumber) {
  FileHandle file(path, mode, errorNumber);
  if (!file.open()) return nullptr;
  return std::unique_ptr<FileStream>(new FileStream(std::move(file)));
}

FileStream::~FileStream() {
  if (!file_.open()) return;
  try {
    Flush();
  } catch (...) {
    // Destruction is the error path; the caller already knows the stream failed.
  }
}

void FileStream::Close() {
  if (!file_.open()) return;
  Flush();
  file_.Close();
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
    if (want >= kFileBufferSize || position_ + want >= file_.size()) {
      size_t got = file_.ReadAt(position_, out + done, want);
      done += got;
      position_ += got;
      break;
    }
    bufferStart_ = position_;
    bufferLength_ = 0;
    bufferLength_ = file_.ReadAt(position_, Buffer(), kFileBufferSize);
    if (bufferLength_ == 0) break;
  }
  return done;
}

void FileStream::Write(const void* data, size_t size) {
  if (!file_.writable()) throw ArchiveError(Fault::kWriteFailed, "stream is read-only");
  if (size == 0) return;
  if (!bufferDirty_) bufferLength_ = 0;  // drop any read-ahead
  bool inWindow = bufferLength_ > 0 && position_ >= bufferStart_ &&
                  position_ <= bufferStart_ + bufferLength_ &&
                  position_ - bufferStart_ + size <= kFileBufferSize;
  if (!inWindow) {
    Flush();
    if (size >= kFileBufferSize) {
      file_.WriteAt(position_, data, size);
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
  file_.WriteAt(bufferStart_, Buffer(), length);
}

bool FileStream::SetTimes(const FileTimes& times) {
  Flush();
  return file_.SetTimes(times);
}

uint64_t FileStream::Size() {
  uint64_t size = file_.size();
  if (bufferDirty_) size = std::max(size, bufferStart_ + bufferLength_);
  return size;
}

void FileStream::Truncate(uint64_t size) {
  Flush();
  bufferLength_ = 0;
  file_.Truncate(size);
}

}  // namespace archive
