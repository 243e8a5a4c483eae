// Progress as an exact 64-bit count of bytes, shown on a bar whose range is 32 bits: scaled so
// that totals over 2 GiB fit, and kept exact so that small files are not lost to the bar's
// whole-percent read-back.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

class ByteProgress {
 public:
  explicit ByteProgress(uint64_t totalBytes = 0);
  // The bar's Max for the total: at least 1.
  int32_t Max() const;
  // The bar's Value for the bytes done so far.
  int32_t Value() const;
  // Counts more bytes done, never beyond the total; returns the new Value.
  int32_t Advance(uint64_t bytes);

 private:
  uint64_t total_ = 0, done_ = 0, scale_ = 1;
};

// The length of a file in bytes; nothing for a folder or a file whose length cannot be read.
std::optional<uint64_t> FileLength(const std::string& path);
