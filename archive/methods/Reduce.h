// Reduce (Zip methods 2 to 5, compression factors 1 to 4), in two layers. Outside, each byte
// comes either as 8 plain bits or, after a 0 bit, as an index into the "follower set" of the
// byte before it: up to 32 bytes per byte value, listed at the start of the data (255
// first). Inside, byte 144 (DLE) starts a repeat: DLE 0 stands for 144 itself; DLE V [L] D
// copies a run of V's low bits + 3 bytes (plus L when those bits are all ones) from up to
// 256 << factor bytes back, zeros before the start. The stream ends at the member's size.
#pragma once

#include <cstdint>
#include <memory>

#include "archive/methods/Decoder.h"

namespace archive {

struct Entry;

// Methods 2 to 5, factors 1 to 4.
constexpr uint16_t kMethodReduce1 = 2;

// The longest repeat, by factor: the low 7, 6, 5 or 4 bits of V all ones, plus 255, plus 3:
// 385, 321, 289 or 273 bytes, from four inner bytes (DLE, V, L, D), each at least 2 bits
// (a 0 bit and a 1-bit index into a follower set of one or two): one compressed byte.
constexpr uint64_t kMaxReduceRatio[4] = {385, 321, 289, 273};

// Most memory a decoder holds, whatever the stream: the follower sets (8 KiB), the 4 KiB
// window and 64 KiB of output buffer.
constexpr uint64_t kReduceMemory = 80u << 10;

// A decoder for `entry`'s data, by its method's factor. Decode ends (kEnd) once the declared
// size is out; a follower set over 32, or an index beyond its set, is kCorrupt, final.
std::unique_ptr<Decoder> MakeReduceDecoder(const Entry& entry);

}  // namespace archive
