// How fast the decoders of the first Zip tools' methods are: made-up data (text, records of
// numbers, some noise) encoded by the tests' encoders with Shrink, Reduce (factors 1 and 4)
// and Implode (4 KiB with two codes, 8 KiB with three), each decoded in 64 KiB pieces of
// input and output as the member reader feeds it. Prints MB/s of decoded data, the best of
// several rounds, by the clock and by the process's CPU time, and checks every output.
//
//   legacy_bench [MiB of made-up data, default 16] [rounds, default 3]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "archive/methods/Methods.h"
#include "archive/read/Directory.h"
#include "bench/MadeUpData.h"
#include "tests/archive/TestSupport.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Decodes `stream` as the reader does; false if the output differs from `plain`.
bool DecodeOnce(const archive::Entry& entry, const std::string& stream, const std::string& plain) {
  constexpr size_t kPiece = 64 * 1024;
  auto decoder = archive::MakeDecoder(entry);
  std::vector<unsigned char> out(kPiece);
  size_t at = 0, made = 0;
  bool same = true;
  for (;;) {
    size_t offered = std::min(kPiece, stream.size() - at), inSize = offered;
    const auto* in = reinterpret_cast<const unsigned char*>(stream.data()) + at;
    unsigned char* next = out.data();
    size_t outSize = out.size();
    auto result = decoder->Decode(&in, &inSize, &next, &outSize);
    at += offered - inSize;
    size_t got = out.size() - outSize;
    same = same && made + got <= plain.size() &&
           std::memcmp(out.data(), plain.data() + made, got) == 0;
    made += got;
    if (result != archive::Decoder::Result::kProgress) {
      return same && result == archive::Decoder::Result::kEnd && made == plain.size();
    }
    if (got == 0 && offered == inSize) return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const std::string plain = bench::MadeUpData(mib << 20, {7, false, 2048});
  struct Case {
    const char* name;
    uint16_t method, flags;
    std::function<std::string(const std::string&)> encode;
  };
  const Case cases[] = {
      {"Shrink", 1, 0, [](auto& p) { return testing_support::Shrink(p); }},
      {"Reduce factor 1", 2, 0, [](auto& p) { return testing_support::Reduce(p, 1); }},
      {"Reduce factor 4", 5, 0, [](auto& p) { return testing_support::Reduce(p, 4); }},
      {"Implode 4K, 2 codes", 6, 0,
       [](auto& p) { return testing_support::Implode(p, false, false); }},
      {"Implode 8K, 3 codes", 6, 6,
       [](auto& p) { return testing_support::Implode(p, true, true); }},
  };
  std::printf("%zu MiB of made-up data, best of %d rounds\n", mib, rounds);
  int status = 0;
  for (const Case& c : cases) {
    std::string stream = c.encode(plain);
    archive::Entry entry;
    entry.method = c.method;
    entry.flags = c.flags;
    entry.uncompressedSize = plain.size();
    double best = 1e9, bestCpu = 1e9;
    bool ok = true;
    for (int r = 0; r < rounds; ++r) {
      auto start = std::chrono::steady_clock::now();
      double cpu = CpuSeconds();
      ok = DecodeOnce(entry, stream, plain) && ok;
      best = std::min(best, Seconds(start));
      bestCpu = std::min(bestCpu, CpuSeconds() - cpu);
    }
    double mb = static_cast<double>(plain.size()) / 1e6;
    std::printf("%-20s %5.1f%% of the data  %7.1f MB/s  %7.1f MB/s of CPU  %s\n", c.name,
                100.0 * static_cast<double>(stream.size()) / static_cast<double>(plain.size()),
                mb / best, mb / bestCpu, ok ? "ok" : "WRONG OUTPUT");
    if (!ok) status = 1;
  }
  return status;
}
