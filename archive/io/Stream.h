// The engine's byte-stream seam: archives are read from and written to a `Stream`, so the
// same reader and writer work on files, on memory, and on test streams that starve them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/io/FileHandle.h"

namespace archive {

struct FileTimes;

class Stream {
 public:
  virtual ~Stream() = default;

  // Reads up to `size` bytes at the current position and advances past them. May return
  // fewer bytes than asked; returns 0 only at the end of the stream. Throws
  // ArchiveError(kReadFailed) on an I/O error.
  virtual size_t Read(void* buffer, size_t size) = 0;
  // Writes all `size` bytes at the current position. Throws ArchiveError(kWriteFailed or
  // kDiskFull).
  virtual void Write(const void* data, size_t size) = 0;
  // Moves to an absolute position; positions past the end are allowed for writing.
  virtual void Seek(uint64_t position) = 0;
  virtual uint64_t Tell() const = 0;
  virtual uint64_t Size() = 0;
  // Cuts the stream at `size` bytes.
  virtual void Truncate(uint64_t size) = 0;
  // Pushes buffered bytes to the underlying store.
  virtual void Flush() {}
};

// Reads until `size` bytes or the end of the stream; returns the bytes read.
size_t ReadFull(Stream& in, void* buffer, size_t size);

// A stream over a byte vector that grows as it is written.
class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::string bytes);

  size_t Read(void* buffer, size_t size) override;
  void Write(const void* data, size_t size) override;
  void Seek(uint64_t position) override { position_ = position; }
  uint64_t Tell() const override { return position_; }
  uint64_t Size() override { return bytes_.size(); }
  void Truncate(uint64_t size) override;

  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  uint64_t position_ = 0;
};

// A buffered file, for reading or for writing (see FileHandle for the paths it opens).
class FileStream : public Stream {
 public:
  using Mode = FileMode;

  // Throws ArchiveError(kNotFound) when the file cannot be opened for reading and
  // ArchiveError(kWriteFailed) when it cannot be created.
  FileStream(const std::filesystem::path& path, Mode mode);
  // Flushes without reporting, for the error paths; the handle closes itself.
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Opens without throwing; returns nullptr and sets `errorNumber` on failure.
  static std::unique_ptr<FileStream> TryOpen(const std::filesystem::path& path, Mode mode,
                                             int* errorNumber);

  size_t Read(void* buffer, size_t size) override;
  void Write(const void* data, size_t size) override;
  void Seek(uint64_t position) override { position_ = position; }
  uint64_t Tell() const override { return position_; }
  uint64_t Size() override;
  void Truncate(uint64_t size) override;
  void Flush() override;
  // Flushes and sets the file's known times through the open file: cheaper than setting
  // them by name afterwards. Returns false when the system refuses.
  bool SetTimes(const FileTimes& times);
  // Flushes and closes; throws when the last bytes cannot be written.
  void Close();

 private:
  explicit FileStream(FileHandle file);
  // Read-ahead for readers, write-behind for writers: one window of the file.
  // Allocated on first use and never zero-filled: many small files pass through here.
  unsigned char* Buffer();

  FileHandle file_;
  uint64_t position_ = 0;
  std::unique_ptr<unsigned char[]> buffer_;
  uint64_t bufferStart_ = 0;
  size_t bufferLength_ = 0;
  bool bufferDirty_ = false;
};

}  // namespace archive
