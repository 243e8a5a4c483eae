#include "archive/methods/Methods.h"

#include <algorithm>

#include "archive/format/Entry.h"
#include "archive/format/Format.h"
#include "archive/format/Status.h"
#include "archive/methods/Deflate64.h"
#include "archive/methods/Implode.h"
#include "archive/methods/LibraryDecoders.h"
#include "archive/methods/Ppmd.h"
#include "archive/methods/Reduce.h"
#include "archive/methods/Shrink.h"
#include "archive/methods/Zlib.h"

namespace archive {

namespace {

using namespace format;

template <typename T>
std::unique_ptr<Decoder> Make(const Entry&) {
  return std::make_unique<T>();
}

std::unique_ptr<Decoder> MakePpmd(const Entry& entry) {
  return std::make_unique<PpmdDecoder>(entry.compressedSize);
}

// bzip2's decoder at its largest blocks (900 kB) without the small-memory mode.
constexpr uint64_t kBzip2Memory = 3700u << 10;
// zlib's inflate state with its 32 KiB window; Deflate64's 64 KiB window and tables.
constexpr uint64_t kInflateMemory = 48u << 10;
constexpr uint64_t kDeflate64Memory = 80u << 10;

// clang-format off: one row a line
constexpr Method kMethods[] = {
  // number                name         decoder                 ratio limit         memory
  {kMethodStored,          "Stored",    nullptr,                1,                  0},  // copied
  {kMethodShrink,          "Shrunk",    MakeShrinkDecoder,      kMaxShrinkRatio,    kShrinkMemory},
  {kMethodReduce1,         "Reduce1",   MakeReduceDecoder,      kMaxReduceRatio[0], kReduceMemory},
  {kMethodReduce1 + 1,     "Reduce2",   MakeReduceDecoder,      kMaxReduceRatio[1], kReduceMemory},
  {kMethodReduce1 + 2,     "Reduce3",   MakeReduceDecoder,      kMaxReduceRatio[2], kReduceMemory},
  {kMethodReduce1 + 3,     "Reduce4",   MakeReduceDecoder,      kMaxReduceRatio[3], kReduceMemory},
  {kMethodImplode,         "Implode",   MakeImplodeDecoder,     kMaxImplodeRatio,   kImplodeMemory},
  {kMethodDeflated,        "Deflate",   Make<Inflater>,         kMaxDeflateRatio,   kInflateMemory},
  {kMethodDeflate64,       "Deflate64", Make<Deflate64Decoder>, kMaxDeflate64Ratio, kDeflate64Memory},
  {kMethodBzip2,           "BZip2",     MakeBzip2Decoder,       kNoRatioLimit,      kBzip2Memory},
  {kMethodLzma,            "LZMA",      MakeLzmaDecoder,        kNoRatioLimit,      kMaxDecoderMemory},
  {kMethodZstdDeprecated,  "Zstd",      MakeZstdDecoder,        kNoRatioLimit,      kMaxDecoderMemory},
  {kMethodZstd,            "Zstd",      MakeZstdDecoder,        kNoRatioLimit,      kMaxDecoderMemory},
  {kMethodXz,              "XZ",        MakeXzDecoder,          kNoRatioLimit,      kMaxDecoderMemory},
  {kMethodPpmd,            "PPMd",      MakePpmd,               kNoRatioLimit,      kPpmdModelsInFlight},
};
// clang-format on

static_assert(std::is_sorted(std::begin(kMethods), std::end(kMethods),
                             [](const Method& a, const Method& b) { return a.number < b.number; }),
              "rows in the order of their numbers");

}  // namespace

std::span<const Method> MethodTable() { return kMethods; }

const Method* FindMethod(uint16_t number) {
  auto row = std::lower_bound(std::begin(kMethods), std::end(kMethods), number,
                              [](const Method& m, uint16_t n) { return m.number < n; });
  return row != std::end(kMethods) && row->number == number ? row : nullptr;
}

bool IsReadableMethod(uint16_t method) {
  return FindMethod(method) != nullptr;
}

std::string MethodName(uint16_t method) {
  const Method* row = FindMethod(method);
  return row ? row->name : "";
}

std::optional<uint64_t> MaxRatio(uint16_t method) {
  const Method* row = FindMethod(method);
  if (!row || row->maxRatio == kNoRatioLimit) return std::nullopt;
  return row->maxRatio;
}

std::unique_ptr<Decoder> MakeDecoder(const Entry& entry) {
  const Method* row = FindMethod(entry.method);
  if (!row || !row->makeDecoder) {
    throw ArchiveError(Fault::kUnsupported, "compression method " + std::to_string(entry.method) +
                                                " is not supported");
  }
  return row->makeDecoder(entry);
}

}  // namespace archive
