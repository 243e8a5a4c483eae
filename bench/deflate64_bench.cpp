// How fast the Deflate64 decoder is beside zlib's inflate: the same data as a Deflate64
// member made by 7z and as raw deflate made by zlib (level 6), each decoded in 64 KiB pieces
// of input and output as the member reader feeds it. Prints MB/s of decoded data, the best of
// several rounds, by the clock and by the process's CPU time (which a busy shared machine
// disturbs less), and checks both outputs against the original.
//
//   deflate64_bench [file to use as the data | MiB of made-up data, default 128]
//                   [rounds, default 3]
//
// Made-up data is a mix like a folder of documents and programs: text from a few thousand
// words, records of small numbers, and a tenth random bytes. Needs 7z on the path.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>
#include <zlib.h>

#include "archive/format/Bytes.h"
#include "archive/methods/Deflate64.h"
#include "archive/read/Directory.h"
#include "archive/io/Stream.h"
#include "archive/methods/Zlib.h"
#include "bench/MadeUpData.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// The one member's raw data in a zip that 7z makes of `data` with Deflate64.
std::string SevenZipDeflate64(const std::string& data) {
  fs::path dir = fs::temp_directory_path() / ("deflate64-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "data", std::ios::binary)
      .write(data.data(), static_cast<std::streamsize>(data.size()));
  std::string command =
      "cd '" + dir.string() + "' && 7z a -tzip -mm=Deflate64 a.zip data >/dev/null";
  int status = std::system(command.c_str());
  std::string zip = ReadAll(dir / "a.zip");
  fs::remove_all(dir);
  if (status != 0 || zip.empty()) {
    std::fprintf(stderr, "7z failed\n");
    std::exit(1);
  }
  archive::MemoryStream stream(zip);
  archive::Entry entry = archive::ReadDirectory(stream).entries.at(0);
  if (entry.method != 9) {
    std::fprintf(stderr, "7z stored the data with method %u\n", entry.method);
    std::exit(1);
  }
  const auto* local = reinterpret_cast<const unsigned char*>(zip.data()) + entry.localOffset;
  return zip.substr(
      entry.localOffset + 30 + archive::Load16(local + 26) + archive::Load16(local + 28),
      entry.compressedSize);
}

// Raw deflate by zlib at level 6, in one piece (the data stays below 4 GiB).
std::string ZlibDeflate(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
    std::fprintf(stderr, "zlib's deflate failed\n");
    std::exit(1);
  }
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

struct Seconds {
  double wall, cpu;
};

// Decodes `stream` in 64 KiB pieces; returns the time taken, or negative times if the output
// is not `expected`.
Seconds Time(archive::Decoder& decoder, const std::string& stream, const std::string& expected) {
  constexpr size_t kPiece = 64 * 1024;
  std::vector<unsigned char> out(kPiece);
  size_t at = 0, checked = 0;
  bool same = true;
  auto start = std::chrono::steady_clock::now();
  std::clock_t startCpu = std::clock();
  for (;;) {
    const auto* in = reinterpret_cast<const unsigned char*>(stream.data()) + at;
    size_t inSize = std::min(kPiece, stream.size() - at);
    size_t offered = inSize;
    unsigned char* next = out.data();
    size_t room = out.size();
    archive::Decoder::Result result = decoder.Decode(&in, &inSize, &next, &room);
    at += offered - inSize;
    size_t got = out.size() - room;
    same = same && checked + got <= expected.size() &&
           std::memcmp(out.data(), expected.data() + checked, got) == 0;
    checked += got;
    if (result != archive::Decoder::Result::kProgress) {
      same = same && result == archive::Decoder::Result::kEnd;
      break;
    }
    if (got == 0 && offered == inSize) {
      same = false;
      break;
    }
  }
  Seconds taken{std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                static_cast<double>(std::clock() - startCpu) / CLOCKS_PER_SEC};
  return same && checked == expected.size() ? taken : Seconds{-1, -1};
}

}  // namespace

int main(int argc, char** argv) {
  std::string data;
  std::string what;
  if (argc > 1 && fs::is_regular_file(argv[1])) {
    data = ReadAll(argv[1]);
    what = argv[1];
    if (data.size() >= (size_t{1} << 32)) {
      std::fprintf(stderr, "the data must stay below 4 GiB\n");
      return 1;
    }
  } else {
    size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 128;
    data = bench::MadeUpData(mib << 20, {6, true, 4096});
    what = "made-up data";
  }
  int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  std::printf("%s: %.1f MB\n", what.c_str(), data.size() / 1e6);
  std::string deflate64 = SevenZipDeflate64(data);
  std::string deflate = ZlibDeflate(data);
  std::printf("Deflate64 by 7z: %.1f MB (%.1f%%); deflate by zlib 6: %.1f MB (%.1f%%)\n",
              deflate64.size() / 1e6, 100.0 * deflate64.size() / data.size(), deflate.size() / 1e6,
              100.0 * deflate.size() / data.size());
  Seconds best64{1e9, 1e9}, bestZlib{1e9, 1e9};
  for (int round = 0; round < rounds; ++round) {
    archive::Deflate64Decoder deflate64Decoder;
    archive::Inflater inflater;
    Seconds seconds64 = Time(deflate64Decoder, deflate64, data);
    Seconds secondsZlib = Time(inflater, deflate, data);
    if (seconds64.wall < 0 || secondsZlib.wall < 0) {
      std::fprintf(stderr, "%s decoded wrongly\n", seconds64.wall < 0 ? "Deflate64" : "zlib");
      return 1;
    }
    best64 = {std::min(best64.wall, seconds64.wall), std::min(best64.cpu, seconds64.cpu)};
    bestZlib = {std::min(bestZlib.wall, secondsZlib.wall), std::min(bestZlib.cpu, secondsZlib.cpu)};
  }
  double mb = data.size() / 1e6;
  std::printf("                  by the clock   by CPU time\n");
  std::printf("Deflate64Decoder: %7.1f MB/s   %7.1f MB/s\n", mb / best64.wall, mb / best64.cpu);
  std::printf("zlib inflate:     %7.1f MB/s   %7.1f MB/s\n", mb / bestZlib.wall, mb / bestZlib.cpu);
  return 0;
}
