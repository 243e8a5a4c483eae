#include "app/Progress.h"

#include <windows.h>

#include <algorithm>
#include <limits>

ByteProgress::ByteProgress(uint64_t totalBytes) : total_(totalBytes) {
  constexpr uint64_t kLimit = std::numeric_limits<int32_t>::max();
  scale_ = totalBytes > kLimit ? (totalBytes + kLimit - 1) / kLimit : 1;
}

int32_t ByteProgress::Max() const {
  return static_cast<int32_t>(std::max<uint64_t>(1, total_ / scale_));
}

int32_t ByteProgress::Value() const { return static_cast<int32_t>(done_ / scale_); }

int32_t ByteProgress::Advance(uint64_t bytes) {
  done_ = total_ - done_ < bytes ? total_ : done_ + bytes;
  return Value();
}

std::optional<uint64_t> FileLength(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}
