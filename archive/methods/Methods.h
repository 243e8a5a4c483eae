// The compression methods this engine reads, what each is called, and a decoder for each.
//
// Every method is read streaming, through a Decoder, with memory fixed by the method and
// never by a size the member declares (see kMaxDecoderMemory). Writing stays stored and
// deflate, which every reader reads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "archive/methods/Decoder.h"

namespace archive {

struct Entry;

// Whether members of `method` can be listed, tested and extracted.
bool IsReadableMethod(uint16_t method);

// The method's usual short name ("Stored", "Deflate", "Deflate64", "BZip2", "LZMA", "Zstd",
// "XZ", "PPMd", ...), or an empty string for a number without one.
std::string MethodName(uint16_t method);

// The largest expansion the method can reach from its compressed size, where the format
// itself bounds it (deflate and Deflate64); none for the methods that legitimately
// compress without bound (a gigabyte of zeros becomes kilobytes).
std::optional<uint64_t> MaxRatio(uint16_t method);

// Most memory one member's decoder may take: the LZMA dictionary, the xz memory limit and
// the Zstandard window. Writers' defaults stay well below (7-Zip's and xz's strongest
// presets use 64 MiB). A member that needs more is refused as unsupported.
constexpr uint64_t kMaxDecoderMemory = 128u << 20;
// PPMd (98) is the one exception: its model takes the 1 to 256 MiB its properties declare,
// since the format lets writers choose any of them, and the models of all members decoded at
// once stay within kPpmdModelsInFlight (256 MiB, Ppmd.h). It has no ratio limit either: the
// free-space check bounds what its members may claim.

// A fresh decoder for the data of `entry`, whose method IsReadableMethod and is not
// stored. Decoders throw ArchiveError(kUnsupported) for a valid stream beyond the limits
// above.
std::unique_ptr<Decoder> MakeDecoder(const Entry& entry);

}  // namespace archive
