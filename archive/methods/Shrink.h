// Shrink (Zip method 1): the LZW of the first Zip tools. Codes of 9 to 13 bits, packed from
// each byte's low end; 0-255 are bytes, 257-8191 strings added as they are met (each a
// former string plus one byte). Code 256 is followed by a subcode: 1 widens the codes by a
// bit, 2 frees every string no other extends (a partial clearing), and freed codes are
// given out again lowest first. The stream has no end marker: it ends at the member's size.
#pragma once

#include <cstdint>
#include <memory>

#include "archive/methods/Decoder.h"

namespace archive {

struct Entry;

constexpr uint16_t kMethodShrink = 1;

// The longest string a code can stand for: one byte under a chain through all 7,935 string
// codes, 7,936 bytes, and no code is shorter than 9 bits: 7,936 * 8 / 9 = 7,054.2 bytes per
// compressed byte at most.
constexpr uint64_t kMaxShrinkRatio = 7055;

// Most memory a decoder holds, whatever the stream: the code table (8 bytes a code) and its
// output buffer.
constexpr uint64_t kShrinkMemory = 144u << 10;

// A decoder for `entry`'s data. Decode ends (kEnd) once the declared size is out; every
// inconsistency (a code not yet defined, a widening past 13 bits, an unknown subcode) is
// kCorrupt, final.
std::unique_ptr<Decoder> MakeShrinkDecoder(const Entry& entry);

}  // namespace archive
