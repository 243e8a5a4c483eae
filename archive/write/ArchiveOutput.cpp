#include "archive/write/ArchiveOutput.h"

#include <algorithm>

namespace archive {

ArchiveOutput::ArchiveOutput(Stream& out)
    : out_(out), position_(out.Tell()), highWater_(position_) {}

void ArchiveOutput::Append(const void* data, size_t size) {
  out_.Seek(position_);
  out_.Write(data, size);
  position_ += size;
  highWater_ = std::max(highWater_, position_);
}

void ArchiveOutput::WriteAt(uint64_t at, const std::string& bytes) {
  out_.Seek(at);
  out_.Write(bytes.data(), bytes.size());
  out_.Seek(position_);
}

void ArchiveOutput::Cut() {
  if (highWater_ > position_) out_.Truncate(position_);
  out_.Seek(position_);
  out_.Flush();
}

}  // namespace archive
