// An open file, unbuffered: reads and writes at the offsets given, through the system's
// descriptor, which it owns. FileStream buffers on top of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <utility>

namespace archive {

struct FileTimes;

enum class FileMode {
  kRead,            // an existing file, read only
  kCreateNew,       // a new file; fails if the name exists (temporary files)
  kCreateOrReplace  // a new or emptied file
};

class FileHandle {
 public:
  // Opens `path`; on failure the handle is not open() and `*errorNumber` (unless null)
  // holds the system's reason. Paths are std::filesystem::path, which carries wide names
  // on Windows, so every Unicode name can be opened.
  FileHandle(const std::filesystem::path& path, FileMode mode, int* errorNumber);
  ~FileHandle();  // closes without reporting, for the error paths
  FileHandle(FileHandle&& other) noexcept
      : descriptor_(std::exchange(other.descriptor_, -1)),
        writable_(other.writable_),
        size_(other.size_) {}
  FileHandle& operator=(FileHandle&&) = delete;

  bool open() const { return descriptor_ >= 0; }
  bool writable() const { return writable_; }
  // The size on disk, as far as this handle knows.
  uint64_t size() const { return size_; }

  // Reads up to `size` bytes at `offset`; fewer only at the end of the file. Throws
  // ArchiveError(kReadFailed).
  size_t ReadAt(uint64_t offset, void* buffer, size_t size);
  // Throws ArchiveError(kWriteFailed or kDiskFull).
  void WriteAt(uint64_t offset, const void* data, size_t size);
  void Truncate(uint64_t size);
  // Returns false when the system refuses.
  bool SetTimes(const FileTimes& times);
  // Throws, for a file written, when the system reports that its last bytes were lost.
  void Close();

 private:
  int descriptor_ = -1;
  bool writable_ = false;
  uint64_t size_ = 0;
};

}  // namespace archive
