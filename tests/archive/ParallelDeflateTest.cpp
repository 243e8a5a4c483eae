// Compression on worker threads: chunked streams are one valid deflate stream whatever the
// chunking and the reads, within 1 % of single-threaded zlib; members up to the whole-member
// bound are libdeflate's stream, larger ones chunked; prefetched files come back in order
// with their failures; archives written this way read back byte for byte, and are the same
// whatever the number of workers.
#include <gtest/gtest.h>

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "archive/read/Directory.h"
#include "archive/io/FileFacts.h"
#include "archive/format/Names.h"
#include "archive/write/ParallelDeflate.h"
#include "archive/format/Status.h"
#include "archive/read/Unzip.h"
#include "archive/write/Writer.h"
#include "archive/write/Zip.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::ParallelDeflate;
using archive::PrefetchedFile;
using namespace testing_support;

constexpr size_t kChunk = ParallelDeflate::kChunkBytes;
constexpr size_t kWhole = ParallelDeflate::kDeflateWholeBytes;

std::string Inflate(const std::string& raw, size_t expected) {
  z_stream z{};
  inflateInit2(&z, -15);
  std::string out(expected + 1, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int result = inflate(&z, Z_FINISH);
  EXPECT_EQ(result, Z_STREAM_END) << "not one complete deflate stream";
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the stream";
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

struct Compressed {
  std::string bytes;
  archive::DeflateTotals totals;
};

// Feeds `plain` in reads of at most `piece` bytes.
Compressed CompressChunked(const std::string& plain, unsigned workers, size_t piece,
                           int level = 6) {
  ParallelDeflate engine(level, workers);
  size_t at = 0;
  Compressed c;
  c.totals = engine.Compress(
      [&](void* buffer, size_t size) {
        size_t n = std::min({size, piece, plain.size() - at});
        std::memcpy(buffer, plain.data() + at, n);
        at += n;
        return n;
      },
      [&](const unsigned char* data, size_t size) {
        c.bytes.append(reinterpret_cast<const char*>(data), size);
      });
  return c;
}

struct ChunkCase {
  size_t size;
  unsigned workers;
  size_t piece;
};

class ChunkedStreamTest : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(ChunkedStreamTest, IsOneStreamWithTheRightCrcAndSize) {
  const ChunkCase& c = GetParam();
  // Text with a stretch of noise, so that chunks end both in and out of matches.
  std::string plain = Words(c.size, 7);
  if (c.size > 200000) plain.replace(c.size / 3, 100000, Noise(100000, 3));
  Compressed out = CompressChunked(plain, c.workers, c.piece);
  EXPECT_EQ(out.totals.size, plain.size());
  EXPECT_EQ(out.totals.crc, Crc(plain));
  EXPECT_EQ(Inflate(out.bytes, plain.size()), plain);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChunkedStreamTest,
                         ::testing::Values(ChunkCase{0, 2, kChunk}, ChunkCase{1, 2, kChunk},
                                           ChunkCase{kChunk - 1, 2, kChunk},
                                           ChunkCase{kChunk, 2, kChunk},
                                           ChunkCase{kChunk + 1, 2, kChunk},
                                           ChunkCase{3 * kChunk + kChunk / 2, 1, 65536},
                                           ChunkCase{3 * kChunk + kChunk / 2, 2, 4093},
                                           ChunkCase{3 * kChunk + kChunk / 2, 4, 1 << 22},
                                           // Starved: reads of 7 bytes at most.
                                           ChunkCase{kChunk + 12345, 3, 7}));

std::string LibdeflateStream(const std::string& plain, int level) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  std::string out(libdeflate_deflate_compress_bound(c, plain.size()), '\0');
  out.resize(libdeflate_deflate_compress(c, plain.data(), plain.size(), out.data(), out.size()));
  libdeflate_free_compressor(c);
  return out;
}

// libdeflate ends each chunk with a final block whose last bit can fall anywhere in its
// byte: joined chunks of many sizes, of text and of noise (stored blocks), read back as one
// stream. Inputs too short for libdeflate are left to zlib.
TEST(DeflateChunk, JoinsWhereverTheLastBlockEnds) {
  archive::DeflateStates states(1, 6);
  std::string joined;
  std::string plain;
  std::vector<unsigned char> out;
  for (unsigned i = 0; i < 300; ++i) {
    const size_t size = 64 + i * 37;
    std::string piece = i % 5 == 4 ? Noise(size, i) : Words(size, i);
    ASSERT_TRUE(states.DeflateChunk(0, reinterpret_cast<const unsigned char*>(piece.data()),
                                    piece.size(), out))
        << size;
    joined.append(out.begin(), out.end());
    plain += piece;
  }
  joined += std::string("\x03\x00", 2);  // a final empty block
  EXPECT_TRUE(Inflate(joined, plain.size()) == plain);
  EXPECT_FALSE(
      states.DeflateChunk(0, reinterpret_cast<const unsigned char*>(plain.data()), 63, out));
}

// Chunks start without the history before them and end in an empty stored block: that must
// cost little against one libdeflate stream of the whole.
TEST(ParallelDeflateRatio, ChunksCostUnderOnePercentOverOneStream) {
  const std::string plain = Words(6 * kChunk + 1000, 11);
  for (int level : {1, 6, 9}) {
    std::string single = LibdeflateStream(plain, level);
    Compressed chunked = CompressChunked(plain, 2, kChunk, level);
    EXPECT_LE(chunked.bytes.size(), single.size() + single.size() / 100)
        << "level " << level << ": " << chunked.bytes.size() << " against " << single.size();
    EXPECT_EQ(Inflate(chunked.bytes, plain.size()), plain);
  }
}

TEST(ParallelDeflateFailures, ReadAndSinkErrorsPropagateAfterTheWorkersStop) {
  const std::string plain = Words(5 * kChunk, 5);
  ParallelDeflate engine(6, 2);
  size_t at = 0;
  auto failingRead = [&](void* buffer, size_t size) -> size_t {
    if (at >= 3 * kChunk) throw archive::ArchiveError(archive::Fault::kReadFailed, "gone");
    size_t n = std::min(size, plain.size() - at);
    std::memcpy(buffer, plain.data() + at, n);
    at += n;
    return n;
  };
  size_t written = 0;
  auto sink = [&](const unsigned char*, size_t n) { written += n; };
  try {
    engine.Compress(failingRead, sink);
    FAIL() << "the read error was swallowed";
  } catch (const archive::ArchiveError& e) {
    EXPECT_EQ(e.fault(), archive::Fault::kReadFailed);
  }

  at = 0;
  int calls = 0;
  auto read = [&](void* buffer, size_t size) {
    size_t n = std::min(size, plain.size() - at);
    std::memcpy(buffer, plain.data() + at, n);
    at += n;
    return n;
  };
  auto fullDisk = [&](const unsigned char*, size_t) {
    if (++calls == 2) throw archive::ArchiveError(archive::Fault::kDiskFull, "full");
  };
  EXPECT_THROW(engine.Compress(read, fullDisk), archive::ArchiveError);
  // The engine is still usable afterwards.
  at = 0;
  std::string bytes;
  engine.Compress(read, [&](const unsigned char* d, size_t n) {
    bytes.append(reinterpret_cast<const char*>(d), n);
  });
  EXPECT_EQ(Inflate(bytes, plain.size()), plain);
}

TEST(FilePrefetcher, DeliversEachFileInOrderWithItsOutcome) {
  TempDir dir;
  const std::string text = Words(50000, 1);
  const std::string noise = Noise(3000, 2);
  WriteFile(dir / "text.txt", text);
  WriteFile(dir / "noise.bin", noise);
  WriteFile(dir / "empty", "");
  WriteFile(dir / "grown", Words(ParallelDeflate::kDeflateWholeBytes + 10, 3));
  ParallelDeflate engine(6, 2);
  std::vector<archive::FilePrefetcher::File> files = {{1, dir / "text.txt", text.size()},
                                                      {2, dir / "missing", 10},
                                                      {4, dir / "noise.bin", 3000},
                                                      {5, dir / "empty", 0},
                                                      {7, dir / "grown", 100},
                                                      {9, dir / "text.txt", text.size()}};
  archive::FilePrefetcher prefetcher(engine, files);

  auto text1 = prefetcher.Take(1);
  ASSERT_TRUE(text1);
  EXPECT_EQ(text1->outcome, PrefetchedFile::Outcome::kReady);
  EXPECT_TRUE(text1->deflated);
  EXPECT_EQ(text1->size, text.size());
  EXPECT_EQ(text1->crc, Crc(text));
  EXPECT_EQ(Inflate(std::string(text1->data.begin(), text1->data.end()), text.size()), text);

  EXPECT_FALSE(prefetcher.Take(3)) << "3 is not in the list";  // drops 2, unread
  auto noise4 = prefetcher.Take(4);
  ASSERT_TRUE(noise4);
  EXPECT_FALSE(noise4->deflated) << "noise does not shrink: stored";
  EXPECT_EQ(std::string(noise4->data.begin(), noise4->data.end()), noise);
  EXPECT_EQ(noise4->crc, Crc(noise));

  auto empty = prefetcher.Take(5);
  ASSERT_TRUE(empty);
  EXPECT_FALSE(empty->deflated);
  EXPECT_EQ(empty->size, 0u);
  EXPECT_TRUE(empty->data.empty());

  auto grown = prefetcher.Take(7);
  ASSERT_TRUE(grown);
  EXPECT_EQ(grown->outcome, PrefetchedFile::Outcome::kTooLarge);
  EXPECT_FALSE(prefetcher.Take(7)) << "taken already";
  EXPECT_TRUE(prefetcher.Take(9));
}

TEST(FilePrefetcher, ReportsFilesThatCannotBeOpened) {
  TempDir dir;
  ParallelDeflate engine(6, 2);
  archive::FilePrefetcher prefetcher(engine, {{0, dir / "missing", 5}});
  auto missing = prefetcher.Take(0);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->outcome, PrefetchedFile::Outcome::kOpenFailed);
  EXPECT_EQ(missing->error, ENOENT);
}

// Whatever a worker meets, the file it was on fails with a message and the workers go on:
// an exception escaping a task would end the program.
TEST(FilePrefetcher, TurnsAnyExceptionIntoAFailedFile) {
  TempDir dir;
  const std::string text = Words(20000, 4);
  WriteFile(dir / "good", text);
  auto open = [](const std::filesystem::path::string_type& path,
                 int* error) -> std::unique_ptr<archive::Stream> {
    std::string name = std::filesystem::path(path).filename().string();
    if (name == "logic") throw std::logic_error("broken invariant");
    if (name == "number") throw 42;
    return archive::FileStream::TryOpen(path, archive::FileStream::Mode::kRead, error);
  };
  ParallelDeflate engine(6, 2);
  archive::FilePrefetcher prefetcher(
      engine, {{0, dir / "logic", 10}, {1, dir / "number", 10}, {2, dir / "good", text.size()}},
      open);
  const struct {
    size_t key;
    const char* message;
  } kFailures[] = {{0, "unexpected failure: broken invariant"}, {1, "unexpected failure"}};
  for (const auto& f : kFailures) {
    auto failed = prefetcher.Take(f.key);
    ASSERT_TRUE(failed) << f.key;
    EXPECT_EQ(failed->outcome, PrefetchedFile::Outcome::kReadFailed) << f.key;
    EXPECT_EQ(failed->message, f.message);
  }
  auto good = prefetcher.Take(2);
  ASSERT_TRUE(good);
  EXPECT_EQ(good->outcome, PrefetchedFile::Outcome::kReady);
  EXPECT_EQ(Inflate(std::string(good->data.begin(), good->data.end()), text.size()), text);
}

TEST(FilePrefetcher, DroppedWhileBusyWaitsForItsWork) {
  TempDir dir;
  std::vector<archive::FilePrefetcher::File> files;
  for (size_t i = 0; i < 40; ++i) {
    WriteFile(dir / ("f" + std::to_string(i)), Words(20000 + i, static_cast<unsigned>(i)));
    files.push_back({i, dir / ("f" + std::to_string(i)), 20000 + i});
  }
  ParallelDeflate engine(6, 2);
  {
    archive::FilePrefetcher prefetcher(engine, files);
    EXPECT_TRUE(prefetcher.Take(0));
  }  // the rest in flight: the destructor must not leave workers writing into freed slots
  archive::FilePrefetcher again(engine, files);
  for (size_t i = 0; i < files.size(); ++i) {
    auto f = again.Take(i);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size, 20000 + i);
  }
}

// Through RunZip: small files prefetched, large ones chunked, and a file that vanishes
// between listing and reading, all in one archive that reads back byte for byte.
TEST(ParallelZip, ArchiveReadsBackByteForByteInListOrder) {
  TempDir dir;
  std::map<std::string, std::string> files;
  for (int i = 0; i < 30; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "src/f%02d.txt", i);
    files[name] = i % 5 == 0 ? Noise(1000 + i, i) : Words(5000 + 997 * i, i);
  }
  files["src/big1.bin"] = Words(3 * kChunk + 5, 40);
  files["src/big2.bin"] = Noise(kChunk + 7, 41);  // stored: deflate cannot shrink it
  files["src/zero"] = "";
  for (const auto& [name, content] : files) WriteFile(dir / name, content);

  archive::ZipRequest request;
  request.archive = dir / "out.zip";
  request.rootDir = dir.path();
  request.names = {"src"};
  request.recurse = true;
  Recorder recorder;
  ASSERT_EQ(archive::RunZip(request, recorder), archive::ZipStatus::kOk) << recorder.messages;
  // FileDone comes once per file, in the order of the members.
  std::vector<std::string> expectedOrder;
  for (const auto& [name, content] : files) expectedOrder.push_back(name);
  std::vector<std::string> order;
  for (const auto& [path, size] : recorder.added) {
    order.push_back("src/" + path.filename().string());
    EXPECT_EQ(size, files[order.back()].size()) << order.back();
  }
  EXPECT_EQ(order, expectedOrder);
  EXPECT_NE(recorder.messages.find("adding: src/big2.bin (stored 0%)"), std::string::npos);
  EXPECT_NE(recorder.messages.find("adding: src/big1.bin (deflated"), std::string::npos);

  Files expected = {{"src/", ""}};
  for (const auto& [name, content] : files) expected[name] = content;
  EXPECT_EQ(ExtractArchive(dir / "out.zip", dir / "back"), expected);
}

struct BoundCase {
  size_t size;
  bool whole;  // compressed in one call with libdeflate, else in chunks
};

class WholeMemberBoundTest : public ::testing::TestWithParam<BoundCase> {};

// Read by the writer itself and by the prefetcher, a member up to the bound is libdeflate's
// stream; one byte more and it is the chunked stream. Either way it reads back.
TEST_P(WholeMemberBoundTest, TakesItsPathBySizeAlone) {
  const BoundCase& c = GetParam();
  const std::string plain = Words(c.size, 21);
  const std::string expected =
      c.whole ? LibdeflateStream(plain, 6) : CompressChunked(plain, 2, kChunk, 6).bytes;

  archive::MemoryStream out;
  {
    archive::ZipWriter writer(out, 6, 2);
    archive::MemoryStream source(plain);
    writer.AddFile({"direct", 0}, source, plain.size());
    TempDir dir;
    WriteFile(dir / "f", plain);
    archive::FilePrefetcher prefetcher(*writer.Parallel(), {{0, dir / "f", plain.size()}});
    auto ready = prefetcher.Take(0);
    ASSERT_TRUE(ready);
    ASSERT_EQ(ready->outcome,
              c.whole ? PrefetchedFile::Outcome::kReady : PrefetchedFile::Outcome::kTooLarge);
    if (c.whole) writer.AddCompressed({"prefetched", 0}, *ready);
    writer.Finish("");
  }
  archive::Directory dir = archive::ReadDirectory(out);
  ASSERT_EQ(dir.entries.size(), c.whole ? 2u : 1u);
  for (const archive::Entry& e : dir.entries) {
    EXPECT_EQ(e.method, 8) << e.name;
    EXPECT_EQ(e.crc, Crc(plain)) << e.name;
    std::string data = StoredData(out.bytes(), e);
    EXPECT_TRUE(data == expected) << e.name << ": " << data.size() << " bytes against "
                                  << expected.size();
    EXPECT_EQ(Inflate(data, plain.size()), plain) << e.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Edges, WholeMemberBoundTest,
                         ::testing::Values(BoundCase{1000, true}, BoundCase{kWhole - 1, true},
                                           BoundCase{kWhole, true}, BoundCase{kWhole + 1, false}));

// Which member goes which way depends on its size, never on the workers or the timing: the
// same files make the same archive with one worker or several.
TEST(ParallelZip, SameBytesWhateverTheWorkers) {
  TempDir dir;
  const std::map<std::string, std::string> files = {
      {"src/a.txt", Words(70000, 1)},        {"src/b.bin", Noise(5000, 2)},
      {"src/c/below", Words(kWhole - 1, 3)}, {"src/c/at", Words(kWhole, 4)},
      {"src/c/above", Words(kWhole + 1, 5)}, {"src/d.big", Words(3 * kChunk + 17, 6)},
      {"src/e.noise", Noise(kChunk + 3, 7)}, {"src/empty", ""}};
  for (const auto& [name, content] : files) WriteFile(dir / name, content);
  std::vector<std::string> archives;
  for (unsigned workers : {1u, 2u, 5u}) {
    // Reading a file or listing a folder may move its access time, which packing on Windows
    // stores: the same files here means the same times too.
    const archive::FileTime when = archive::UnixToFileTime(1600000000);
    std::vector<fs::path> paths = {dir / "src"};  // listed first: a listing moves them too
    for (const auto& item : fs::recursive_directory_iterator(dir / "src"))
      paths.push_back(item.path());
    for (const auto& path : paths) archive::SetPathTimes(path, {when, when, 0});
    archive::ZipRequest request;
    request.archive = dir / ("out" + std::to_string(workers) + ".zip");
    request.rootDir = dir.path();
    request.names = {"src"};
    request.recurse = true;
    request.workers = workers;
    Recorder recorder;
    ASSERT_EQ(archive::RunZip(request, recorder), archive::ZipStatus::kOk) << recorder.messages;
    archives.push_back(ReadFile(request.archive));
  }
  EXPECT_TRUE(archives[0] == archives[1]) << "1 and 2 workers";
  EXPECT_TRUE(archives[0] == archives[2]) << "1 and 5 workers";

  Files expected = {{"src/", ""}, {"src/c/", ""}};
  for (const auto& [name, content] : files) expected[name] = content;
  EXPECT_EQ(ExtractArchive(dir / "out5.zip", dir / "back"), expected);
}

// A new archive is written while its folders are still walked: its temporary file, in a
// folder being walked, must not become a member, nor must the archive when updated.
TEST(ParallelZip, TheArchiveAndItsTemporaryFileAreLeftOutOfTheirFolder) {
  TempDir dir;
  for (int i = 0; i < 40; ++i) WriteFile(dir / ("src/f" + std::to_string(i)), Words(3000 + i, i));
  archive::ZipRequest request;
  request.archive = dir / "src/out.zip";
  request.rootDir = dir.path();
  request.names = {"src"};
  request.recurse = true;
  for (const char* run : {"new", "updated"}) {
    Recorder recorder;
    ASSERT_EQ(archive::RunZip(request, recorder), archive::ZipStatus::kOk)
        << run << recorder.messages;
    archive::FileStream in(request.archive, archive::FileStream::Mode::kRead);
    archive::Directory zip = archive::ReadDirectory(in);
    EXPECT_EQ(zip.entries.size(), 41u) << run;  // the folder and its 40 files
    for (const archive::Entry& e : zip.entries) {
      EXPECT_EQ(e.name.find(".tmp"), std::string::npos) << run << ": " << e.name;
      EXPECT_NE(e.name, "src/out.zip") << run;
    }
  }
}

// Two files under one name found deep in the walk, after members were written: nothing is
// written all the same, and the message names both files.
TEST(ParallelZip, ANameConflictFoundLateStillWritesNothing) {
  TempDir dir;
  for (int i = 0; i < 30; ++i) WriteFile(dir / ("a/f" + std::to_string(i)), Words(2000, i));
  WriteFile(dir / "b/z/f7", "another f7");
  archive::ZipRequest request;
  request.archive = dir / "out.zip";
  request.rootDir = dir.path();
  request.names = {"a", "b"};
  request.recurse = true;
  request.junkPaths = true;
  Recorder recorder;
  EXPECT_EQ(archive::RunZip(request, recorder), archive::ZipStatus::kBadParameters);
  EXPECT_FALSE(std::filesystem::exists(request.archive));
  size_t error = recorder.messages.find("error: two files would be stored under one name \"f7\"");
  ASSERT_NE(error, std::string::npos) << recorder.messages;
  std::string line = recorder.messages.substr(error, recorder.messages.find('\n', error) - error);
  EXPECT_NE(line.find(archive::PathToUtf8(std::filesystem::path("a") / "f7")), std::string::npos)
      << line;
  EXPECT_NE(line.find(archive::PathToUtf8(std::filesystem::path("z") / "f7")), std::string::npos)
      << line;
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    entries += e.is_regular_file();
  EXPECT_EQ(entries, 0u) << "a temporary file was left behind";
}

}  // namespace
