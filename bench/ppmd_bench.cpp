// How fast the PPMd decoder is beside 7-Zip's on the same member: a text corpus packed by
// `7z a -tzip -mm=PPMd`, decoded here in 64 KiB pieces of input and output as the member
// reader feeds it, and by `7z x -so -mmt1` (one thread, to /dev/null). Prints MB/s of decoded
// data for both, the best of several rounds, by the clock and by CPU time (which a busy shared
// machine disturbs less), and the ratio; checks our output against the original.
//
//   ppmd_bench [file to use as the data | MiB of made-up text, default 64] [rounds, default 3]
//              [7z options for the member, default "-mo=6 -mmem=16m"]
//
// Made-up text: sentences from a few thousand words of skewed frequency, with numbers and
// punctuation, like a folder of documents. Needs 7z on the path.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "archive/format/Bytes.h"
#include "archive/io/Stream.h"
#include "archive/methods/Ppmd.h"
#include "archive/read/Directory.h"

namespace {

namespace fs = std::filesystem;

std::string MadeUp(size_t size) {
  std::mt19937 random(1);
  const char* syllables[] = {"ar",  "chi", "ve",  "de", "pre",  "dic", "tion", "con", "text", "mo",
                             "del", "sym", "bol", "es", "cape", "or",  "der",  "in",  "the"};
  std::vector<std::string> words(4000);
  for (std::string& w : words) {
    for (unsigned n = 1 + random() % 4; n > 0; --n) w += syllables[random() % std::size(syllables)];
  }
  std::string data;
  data.reserve(size + 4096);
  while (data.size() < size) {
    for (unsigned n = 3 + random() % 15; n > 0; --n) {
      // Skewed: low indexes far more often, as in real text.
      size_t w = random() % words.size();
      data += words[w % (1 + random() % words.size())];
      if (random() % 23 == 0) data += " " + std::to_string(random() % 10000);
      data += random() % 9 == 0 ? ", " : " ";
    }
    data.back() = '.';
    data += random() % 5 == 0 ? "\n\n" : " ";
  }
  data.resize(size);
  return data;
}

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing {
  double wall = 1e30;
  double cpu = 1e30;
};

}  // namespace

int main(int argc, char** argv) {
  std::string data;
  if (argc > 1 && fs::is_regular_file(argv[1])) {
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    data = s.str();
  } else {
    data = MadeUp(static_cast<size_t>(argc > 1 ? std::atoi(argv[1]) : 64) << 20);
  }
  int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  std::string options = argc > 3 ? argv[3] : "-mo=6 -mmem=16m";

  fs::path dir = fs::temp_directory_path() / ("ppmd_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  { std::ofstream(dir / "corpus.txt", std::ios::binary) << data; }
  std::string pack = "cd '" + dir.string() + "' && 7z a -tzip -mm=PPMd -mmt1 " + options +
                     " a.zip corpus.txt >/dev/null";
  if (std::system(pack.c_str()) != 0) {
    std::fprintf(stderr, "7z failed\n");
    return 1;
  }
  std::string zip;
  {
    std::ifstream in(dir / "a.zip", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    zip = s.str();
  }
  archive::MemoryStream stream(zip);
  archive::Entry entry = archive::ReadDirectory(stream).entries.at(0);
  const auto* local = reinterpret_cast<const unsigned char*>(zip.data()) + entry.localOffset;
  std::string member =
      zip.substr(entry.localOffset + 30 + archive::Load16(local + 26) + archive::Load16(local + 28),
                 entry.compressedSize);
  unsigned properties = archive::Load16(reinterpret_cast<const unsigned char*>(member.data()));
  std::printf("%zu bytes of text, member %zu bytes (%.3f), order %u, model %u MiB\n", data.size(),
              member.size(), double(member.size()) / data.size(), (properties & 15) + 1,
              ((properties >> 4) & 0xFF) + 1);

  Timing ours, theirs;
  std::vector<unsigned char> out(64 * 1024);
  for (int round = 0; round < rounds; ++round) {
    auto start = std::chrono::steady_clock::now();
    double cpu = CpuSeconds(RUSAGE_SELF);
    archive::PpmdDecoder decoder(member.size());
    const auto* next = reinterpret_cast<const unsigned char*>(member.data());
    size_t left = member.size();
    size_t produced = 0;
    bool same = true;
    archive::Decoder::Result result = archive::Decoder::Result::kProgress;
    while (result == archive::Decoder::Result::kProgress) {
      size_t inSize = std::min<size_t>(left, 64 * 1024);
      size_t given = inSize;
      unsigned char* to = out.data();
      size_t room = out.size();
      result = decoder.Decode(&next, &inSize, &to, &room);
      left -= given - inSize;
      size_t got = out.size() - room;
      same = same && produced + got <= data.size() &&
             std::memcmp(out.data(), data.data() + produced, got) == 0;
      produced += got;
      if (got == 0 && given == inSize && result == archive::Decoder::Result::kProgress) break;
    }
    ours.cpu = std::min(ours.cpu, CpuSeconds(RUSAGE_SELF) - cpu);
    ours.wall = std::min(
        ours.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (result != archive::Decoder::Result::kEnd || produced != data.size() || !same) {
      std::fprintf(stderr, "our output differs from the text\n");
      return 1;
    }

    std::string test = "7z x -so -mmt1 '" + (dir / "a.zip").string() + "' >/dev/null";
    start = std::chrono::steady_clock::now();
    cpu = CpuSeconds(RUSAGE_CHILDREN);
    if (std::system(test.c_str()) != 0) {
      std::fprintf(stderr, "7z x failed\n");
      return 1;
    }
    theirs.cpu = std::min(theirs.cpu, CpuSeconds(RUSAGE_CHILDREN) - cpu);
    theirs.wall =
        std::min(theirs.wall,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  fs::remove_all(dir);

  double mb = data.size() / 1e6;
  std::printf("ours: %.1f MB/s (%.2f s), CPU %.1f MB/s (%.2f s)\n", mb / ours.wall, ours.wall,
              mb / ours.cpu, ours.cpu);
  std::printf("7z:   %.1f MB/s (%.2f s), CPU %.1f MB/s (%.2f s)\n", mb / theirs.wall, theirs.wall,
              mb / theirs.cpu, theirs.cpu);
  std::printf("ours / 7z time: %.2f by the clock, %.2f by CPU\n", ours.wall / theirs.wall,
              ours.cpu / theirs.cpu);
  return 0;
}
