// The compression methods this engine knows: one table, one row per method number, from which
// the dispatch, the limits and the names all come. Adding a method is adding a row.
//
// Every method is read streaming, through a Decoder, with memory fixed by the method and
// never by a size the member declares. Writing stays stored and deflate, which every reader
// reads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "archive/methods/Decoder.h"

namespace archive {

struct Entry;

// Most memory one member's decoder may take where the stream chooses it: the LZMA
// dictionary, the xz memory limit and the Zstandard window. Writers' defaults stay well below
// (7-Zip's and xz's strongest presets use 64 MiB). A member that needs more is refused as
// unsupported.
constexpr uint64_t kMaxDecoderMemory = 128u << 20;
// PPMd (98) is the one exception: its model takes the 1 to 256 MiB its properties declare,
// since the format lets writers choose any of them, and the models of all members decoded at
// once stay within kPpmdModelsInFlight (256 MiB, Ppmd.h).

// A method's ratio column where the format sets no bound: such members are held to the
// free space of the target instead.
constexpr uint64_t kNoRatioLimit = 0;

struct Method {
  uint16_t number;
  // The usual short name, which listing shows ("Stored", "Deflate", "BZip2", ...).
  const char* name;
  // A fresh decoder for a member's data; null for Stored, whose bytes are copied as they are.
  std::unique_ptr<Decoder> (*makeDecoder)(const Entry& entry);
  // The largest expansion the format can reach per compressed byte, or kNoRatioLimit.
  uint64_t maxRatio;
  // The most memory one decoder holds, in bytes (its window, tables or model).
  uint64_t maxMemory;
};

// Every row, in the order of the method numbers.
std::span<const Method> MethodTable();

// The row of `number`, or null for a number this engine does not know.
const Method* FindMethod(uint16_t number);

// Whether members of `method` can be listed, tested and extracted: whether it has a row.
bool IsReadableMethod(uint16_t method);

// The row's name, or an empty string for a number without a row.
std::string MethodName(uint16_t method);

// The row's ratio limit; none where the method has no bound (or no row).
std::optional<uint64_t> MaxRatio(uint16_t method);

// A fresh decoder for the data of `entry`, whose method IsReadableMethod and is not
// stored. Decoders throw ArchiveError(kUnsupported) for a valid stream beyond the limits
// above.
std::unique_ptr<Decoder> MakeDecoder(const Entry& entry);

}  // namespace archive
