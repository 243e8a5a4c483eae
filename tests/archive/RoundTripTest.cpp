// The writer and the reader against each other, in memory, with starved streams, and the
// byte layout of what the writer produces.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "archive/format/Bytes.h"
#include "archive/read/Directory.h"
#include "archive/read/MemberReader.h"
#include "archive/format/Status.h"
#include "archive/io/Stream.h"
#include "archive/write/Writer.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::Load16;
using archive::Load32;
using archive::MemoryStream;
using archive::Stream;

// Hands out at most one byte per read and writes one byte at a time, to shake out code
// that assumes whole records arrive at once.
class StarvedStream : public Stream {
 public:
  explicit StarvedStream(Stream& inner) : inner_(inner) {}
  size_t Read(void* buffer, size_t size) override { return inner_.Read(buffer, size > 0 ? 1 : 0); }
  void Write(const void* data, size_t size) override {
    for (size_t i = 0; i < size; ++i) inner_.Write(static_cast<const char*>(data) + i, 1);
  }
  void Seek(uint64_t position) override { inner_.Seek(position); }
  uint64_t Tell() const override { return inner_.Tell(); }
  uint64_t Size() override { return inner_.Size(); }
  void Truncate(uint64_t size) override { inner_.Truncate(size); }

 private:
  Stream& inner_;
};

// Keeps only the pages written with something other than zeros; the rest read as zeros.
// Lets archives sit beyond 4 GiB, or hold 4 GiB of zeros, without 4 GiB of memory.
class SparseStream : public Stream {
 public:
  static constexpr uint64_t kPage = 64 * 1024;
  size_t Read(void* buffer, size_t size) override {
    if (position_ >= size_) return 0;
    size = static_cast<size_t>(std::min<uint64_t>(size, size_ - position_));
    auto* out = static_cast<unsigned char*>(buffer);
    for (size_t done = 0, n; done < size; done += n, position_ += n) {
      n = static_cast<size_t>(std::min<uint64_t>(size - done, kPage - position_ % kPage));
      auto page = pages_.find(position_ / kPage);
      if (page == pages_.end()) {
        std::memset(out + done, 0, n);
      } else {
        std::memcpy(out + done, page->second.data() + position_ % kPage, n);
      }
    }
    return size;
  }
  void Write(const void* data, size_t size) override {
    const auto* in = static_cast<const unsigned char*>(data);
    for (size_t done = 0, n; done < size; done += n, position_ += n) {
      n = static_cast<size_t>(std::min<uint64_t>(size - done, kPage - position_ % kPage));
      auto page = pages_.find(position_ / kPage);
      if (page == pages_.end()) {
        const bool zeros = in[done] == 0 && std::memcmp(in + done, in + done + 1, n - 1) == 0;
        if (zeros) continue;  // a hole reads as zeros already
        page = pages_.emplace(position_ / kPage, std::vector<unsigned char>(kPage)).first;
      }
      std::memcpy(page->second.data() + position_ % kPage, in + done, n);
    }
    size_ = std::max(size_, position_);
  }
  void Seek(uint64_t position) override { position_ = position; }
  uint64_t Tell() const override { return position_; }
  uint64_t Size() override { return size_; }
  void Truncate(uint64_t size) override { size_ = std::min(size_, size); }

 private:
  std::map<uint64_t, std::vector<unsigned char>> pages_;
  uint64_t position_ = 0;
  uint64_t size_ = 0;
};

std::string ReadMember(Stream& in, const archive::Entry& entry, size_t piece) {
  archive::MemberReader reader(in, entry);
  std::string out;
  std::string buffer(piece, '\0');
  for (size_t n; (n = reader.Read(buffer.data(), buffer.size())) > 0;) out.append(buffer, 0, n);
  return out;
}

struct Source {
  std::string name;
  std::string content;
  bool directory;
};

std::vector<Source> Sources() {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i % 97) + " of a text\n";
  return {
      {"empty.txt", "", false},
      {"empty folder/", "", true},
      {"docs/", "", true},
      {"docs/readme.txt", text, false},
      {"docs/random.bin", testing_support::Noise(100000, 7), false},
      {"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.txt", "unicode name", false},
      {"one.byte", "x", false},
  };
}

std::string WriteArchive(const std::vector<Source>& sources, int level, bool starve) {
  MemoryStream memory;
  StarvedStream starved(memory);
  Stream& out = starve ? static_cast<Stream&>(starved) : memory;
  archive::ZipWriter writer(out, level);
  for (const auto& s : sources) {
    archive::NewMember m{s.name, 1600000000};
    if (s.directory) {
      writer.AddDirectory(m);
    } else {
      MemoryStream content(s.content);
      StarvedStream starvedContent(content);
      writer.AddFile(m, starve ? static_cast<Stream&>(starvedContent) : content, s.content.size());
    }
  }
  writer.Finish("archive comment");
  return memory.bytes();
}

class RoundTripTest : public ::testing::TestWithParam<bool> {};

TEST_P(RoundTripTest, EveryMemberComesBackExactly) {
  const bool starve = GetParam();
  auto sources = Sources();
  MemoryStream memory(WriteArchive(sources, 6, starve));
  StarvedStream starved(memory);
  Stream& in = starve ? static_cast<Stream&>(starved) : memory;
  archive::Directory dir = archive::ReadDirectory(in);
  ASSERT_EQ(dir.entries.size(), sources.size());
  EXPECT_EQ(dir.comment, "archive comment");
  EXPECT_FALSE(dir.zip64);
  for (size_t i = 0; i < sources.size(); ++i) {
    const auto& e = dir.entries[i];
    EXPECT_EQ(e.name, sources[i].name);
    EXPECT_EQ(e.IsDirectory(), sources[i].directory);
    EXPECT_EQ(e.uncompressedSize, sources[i].content.size());
    EXPECT_EQ(e.modifiedUnix, 1600000000);
    EXPECT_EQ(ReadMember(in, e, starve ? 1 : 65536), sources[i].content) << e.name;
  }
}

INSTANTIATE_TEST_SUITE_P(FullAndStarved, RoundTripTest, ::testing::Bool());

TEST(WriterTest, ChoosesStoredWhereDeflateDoesNotShrink) {
  auto sources = Sources();
  MemoryStream memory(WriteArchive(sources, 6, false));
  archive::Directory dir = archive::ReadDirectory(memory);
  std::map<std::string, uint16_t> method;
  for (const auto& e : dir.entries) method[e.name] = e.method;
  EXPECT_EQ(method["empty.txt"], 0);
  EXPECT_EQ(method["docs/random.bin"], 0);
  EXPECT_EQ(method["one.byte"], 0);
  EXPECT_EQ(method["docs/readme.txt"], 8);
  // The stored fallback rewrote the data in place; no stale deflate bytes remain between
  // members, so every local header starts where the previous member ended.
  for (size_t i = 0; i + 1 < dir.entries.size(); ++i) {
    const auto& e = dir.entries[i];
    uint64_t end = e.localOffset + 30 + e.rawName.size() + 9 + e.compressedSize;  // UT extra: 9
    EXPECT_EQ(end, dir.entries[i + 1].localOffset) << e.name;
  }
  EXPECT_EQ(memory.bytes().size(), dir.centralEnd + 22 + 15);  // end record and comment
}

TEST(WriterTest, LevelZeroStoresEverything) {
  MemoryStream memory(WriteArchive(Sources(), 0, false));
  for (const auto& e : archive::ReadDirectory(memory).entries) EXPECT_EQ(e.method, 0) << e.name;
}

TEST(WriterTest, HeaderFieldsFollowTheFormat) {
  std::string bytes = WriteArchive(
      {{"a.txt", "hello hello hello hello", false}, {"\xC3\xA9.txt", "x", false}}, 6, false);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  ASSERT_EQ(Load32(p), 0x04034b50u);
  EXPECT_EQ(Load16(p + 6) & 0x0808, 0);  // ASCII name: no UTF-8 flag, no descriptor
  EXPECT_EQ(Load16(p + 8), 8);           // deflated
  EXPECT_EQ(Load32(p + 14), testing_support::Crc("hello hello hello hello"));
  EXPECT_EQ(Load32(p + 22), 23u);
  EXPECT_EQ(Load16(p + 26), 5);  // name length
  EXPECT_EQ(Load16(p + 28), 9);  // extended timestamp only
  EXPECT_EQ(Load16(p + 30 + 5), 0x5455);
  // The end record closes the file and counts both members.
  const unsigned char* end = p + bytes.size() - 22 - 15;
  ASSERT_EQ(Load32(end), 0x06054b50u);
  EXPECT_EQ(Load16(end + 10), 2);
  // The second member's name is not ASCII: flag bit 11.
  MemoryStream memory(bytes);
  auto dir = archive::ReadDirectory(memory);
  EXPECT_EQ(dir.entries[1].flags & 0x0800, 0x0800);
  EXPECT_EQ(dir.entries[0].flags & 0x0800, 0);
}

TEST(WriterTest, ZeroMemberArchiveIsJustTheEndRecord) {
  MemoryStream memory;
  archive::ZipWriter writer(memory, 6);
  writer.Finish("");
  ASSERT_EQ(memory.bytes().size(), 22u);
  EXPECT_EQ(Load32(reinterpret_cast<const unsigned char*>(memory.bytes().data())), 0x06054b50u);
  EXPECT_TRUE(archive::ReadDirectory(memory).entries.empty());
}

TEST(WriterTest, SeventyThousandMembersUseZip64EndRecords) {
  MemoryStream memory;
  archive::ZipWriter writer(memory, 0);
  const size_t kCount = 70000;
  for (size_t i = 0; i < kCount; ++i) {
    MemoryStream content(std::to_string(i));
    writer.AddFile({"f" + std::to_string(i), 0}, content, content.Size());
  }
  writer.Finish("");
  const std::string& bytes = memory.bytes();
  const auto* tail = reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size();
  ASSERT_EQ(Load32(tail - 22), 0x06054b50u);
  EXPECT_EQ(Load16(tail - 22 + 10), 0xFFFF);  // the count says: see Zip64
  EXPECT_EQ(Load32(tail - 42), 0x07064b50u);  // locator right before it
  archive::Directory dir = archive::ReadDirectory(memory);
  EXPECT_TRUE(dir.zip64);
  ASSERT_EQ(dir.entries.size(), kCount);
  EXPECT_EQ(dir.entries[69999].name, "f69999");
  EXPECT_EQ(ReadMember(memory, dir.entries[69999], 100), "69999");
}

TEST(WriterTest, OffsetsBeyondFourGiBUseZip64Fields) {
  SparseStream sparse;
  const uint64_t kStart = 5ull << 30;  // as if 5 GiB of other members came first
  sparse.Seek(kStart);
  archive::ZipWriter writer(sparse, 6);
  MemoryStream content(std::string(1000, 'z'));
  writer.AddFile({"far.txt", 0}, content, 1000);
  writer.Finish("");
  archive::Directory dir = archive::ReadDirectory(sparse);
  EXPECT_TRUE(dir.zip64);
  ASSERT_EQ(dir.entries.size(), 1u);
  EXPECT_EQ(dir.entries[0].localOffset, kStart);
  EXPECT_EQ(ReadMember(sparse, dir.entries[0], 4096), std::string(1000, 'z'));
}

// 0xFFFFFFFF in a 32-bit size means "see the Zip64 field": a file of exactly that many
// bytes needs Zip64 sizes as much as a larger one. Stored, from a sparse file, into a
// sparse archive, so that 4 GiB cost neither memory nor disk.
TEST(WriterTest, AFileOfExactlyFourGiBLessOneByteTakesZip64Sizes) {
  constexpr uint64_t kSize = 0xFFFFFFFF;
  testing_support::TempDir temp;
  testing_support::WriteFile(temp / "huge", "");
  std::filesystem::resize_file(temp / "huge", kSize);
  archive::FileStream source(temp / "huge", archive::FileStream::Mode::kRead);
  SparseStream out;
  archive::ZipWriter writer(out, 0);
  writer.AddFile({"huge", 0}, source, kSize);
  writer.Finish("");
  archive::Directory dir = archive::ReadDirectory(out);
  ASSERT_EQ(dir.entries.size(), 1u);
  EXPECT_EQ(dir.entries[0].uncompressedSize, kSize);
  EXPECT_EQ(dir.entries[0].compressedSize, kSize);
  // Read back whole: the reader checks the size and the CRC at the end.
  archive::MemberReader reader(out, dir.entries[0]);
  std::vector<unsigned char> buffer(1 << 20);
  uint64_t total = 0;
  for (size_t n; (n = reader.Read(buffer.data(), buffer.size())) > 0;) total += n;
  EXPECT_EQ(total, kSize);
}

TEST(WriterTest, CopiedMembersKeepTheirBytes) {
  MemoryStream original(WriteArchive(Sources(), 6, false));
  archive::Directory dir = archive::ReadDirectory(original);
  MemoryStream copy;
  archive::ZipWriter writer(copy, 6);
  for (const auto& e : dir.entries) writer.CopyMember(original, e);
  writer.Finish(dir.comment);
  archive::Directory again = archive::ReadDirectory(copy);
  ASSERT_EQ(again.entries.size(), dir.entries.size());
  for (size_t i = 0; i < dir.entries.size(); ++i) {
    EXPECT_EQ(again.entries[i].rawName, dir.entries[i].rawName);
    EXPECT_EQ(again.entries[i].method, dir.entries[i].method);
    EXPECT_EQ(again.entries[i].crc, dir.entries[i].crc);
    EXPECT_EQ(again.entries[i].extra, dir.entries[i].extra);
    EXPECT_EQ(ReadMember(copy, again.entries[i], 4096), ReadMember(original, dir.entries[i], 4096));
  }
}

// A source whose reads fail halfway: the member is abandoned and the archive stays valid.
class FailingSource : public MemoryStream {
 public:
  using MemoryStream::MemoryStream;
  size_t Read(void* buffer, size_t size) override {
    if (Tell() > 0) throw archive::ArchiveError(archive::Fault::kReadFailed, "device error");
    return MemoryStream::Read(buffer, std::min<size_t>(size, 10));
  }
};

TEST(WriterTest, SourceFailureAbandonsOnlyThatMember) {
  MemoryStream memory;
  archive::ZipWriter writer(memory, 6);
  MemoryStream first(std::string(5000, 'a'));
  writer.AddFile({"first", 0}, first, 5000);
  FailingSource broken(std::string(5000, 'b'));
  try {
    writer.AddFile({"broken", 0}, broken, 5000);
    FAIL() << "no error";
  } catch (const archive::ArchiveError& e) {
    EXPECT_EQ(e.fault(), archive::Fault::kReadFailed);
  }
  MemoryStream last(std::string(3000, 'c'));
  writer.AddFile({"last", 0}, last, 3000);
  writer.Finish("");
  archive::Directory dir = archive::ReadDirectory(memory);
  ASSERT_EQ(dir.entries.size(), 2u);
  EXPECT_EQ(dir.entries[1].name, "last");
  EXPECT_EQ(ReadMember(memory, dir.entries[1], 4096), std::string(3000, 'c'));
}

}  // namespace
