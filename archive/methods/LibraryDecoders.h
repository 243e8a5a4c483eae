// Decoders over the packaged libraries: libbz2 for bzip2 (12), liblzma for LZMA (14) and
// xz (95), libzstd for Zstandard (93, and 20, its earlier number).
#pragma once

#include <memory>

#include "archive/methods/Decoder.h"

namespace archive {

struct Entry;

std::unique_ptr<Decoder> MakeBzip2Decoder(const Entry& entry);
std::unique_ptr<Decoder> MakeLzmaDecoder(const Entry& entry);
std::unique_ptr<Decoder> MakeXzDecoder(const Entry& entry);
std::unique_ptr<Decoder> MakeZstdDecoder(const Entry& entry);

}  // namespace archive
