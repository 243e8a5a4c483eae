// The stream an archive is written to, as the writer sees it: bytes go after the last ones
// written, which may lie before the stream's end (a member abandoned, a stored member written
// over its deflated bytes), and Cut ends the stream there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/io/Stream.h"

namespace archive {

class ArchiveOutput {
 public:
  // Writes from the stream's current position on.
  explicit ArchiveOutput(Stream& out);

  uint64_t position() const { return position_; }
  void Append(const void* data, size_t size);
  void Append(const std::string& bytes) { Append(bytes.data(), bytes.size()); }
  // Writes `bytes` again at `at`, over what was appended there; the position stays.
  void WriteAt(uint64_t at, const std::string& bytes);
  // Moves the position back to `at`: what follows it is written over, or cut.
  void Rewind(uint64_t at) { position_ = at; }
  // Cuts the stream after the position and flushes it.
  void Cut();

 private:
  Stream& out_;
  uint64_t position_;
  uint64_t highWater_;  // the furthest byte written: beyond the position, it must be cut
};

}  // namespace archive
