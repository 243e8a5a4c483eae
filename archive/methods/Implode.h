// Implode (Zip method 6): LZ77 over a 4 KiB or 8 KiB window (general-purpose bit 1), its
// symbols in Shannon-Fano codes stored at the start of the data as run-length lists of code
// lengths: a literal code over all 256 bytes when bit 2 is set, then a length code and a
// distance code of 64 symbols each. Each item starts with a bit: 1 for a literal (coded, or
// 8 plain bits without the literal code), 0 for a match: 6 (4 KiB) or 7 (8 KiB) plain low
// distance bits, the coded high 6, the coded length from 2 (3 with the literal code), and 8
// plain bits more for the longest length code. Codes come most significant bit first,
// inverted. The stream ends at the member's size; zeros stand before its start.
#pragma once

#include <cstdint>
#include <memory>

#include "archive/methods/Decoder.h"

namespace archive {

struct Entry;

constexpr uint16_t kMethodImplode = 6;

// The longest match, 63 + 3 + 255 = 321 bytes, costs at least 17 bits (the 0 bit, 6 plain
// distance bits, 1-bit distance and length codes and the 8 more length bits): 321 * 8 / 17
// = 151.1 bytes per compressed byte.
constexpr uint64_t kMaxImplodeRatio = 152;

// Most memory a decoder holds, whatever the stream: the three codes' tables (7 KiB), the
// 8 KiB window and 64 KiB of output buffer.
constexpr uint64_t kImplodeMemory = 88u << 10;

// A decoder for `entry`'s data, by its window and codes as its flags say. Decode ends (kEnd)
// once the declared size is out; a code list that does not add up to its symbols or to a
// complete code is kCorrupt, final.
std::unique_ptr<Decoder> MakeImplodeDecoder(const Entry& entry);

}  // namespace archive
