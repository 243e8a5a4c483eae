// Members of every method beyond deflate, encoded here with the methods' own libraries:
// they extract byte for byte, and each way a stream can lie is refused with the member's
// file absent and the rest extracted.
#include <gtest/gtest.h>

#include <functional>

#include "archive/format/Format.h"
#include "archive/read/Unzip.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::UnzipStatus;
using namespace testing_support;
using namespace archive::format;

struct Method {
  const char* name;
  uint16_t number;
  uint16_t flags;
  std::function<std::string(const std::string&)> encode;
};

const Method kMethods[] = {
    {"bzip2", kMethodBzip2, 0, Bzip2},
    {"lzma_marker", kMethodLzma, kFlagLzmaEndMarker, [](auto& p) { return ZipLzma(p, true); }},
    {"lzma_no_marker", kMethodLzma, 0, [](auto& p) { return ZipLzma(p, false); }},
    {"xz", kMethodXz, 0, Xz},
    {"zstd", kMethodZstd, 0, Zstd},
};

RawMember Encoded(const Method& method, const std::string& name, const std::string& plain) {
  return Packed(name, plain, method.number, method.encode(plain), method.flags);
}

class MethodTest : public ::testing::TestWithParam<Method> {
 protected:
  UnzipStatus Extract(const std::vector<RawMember>& members) {
    RawArchive zip;
    zip.members = members;
    return ExtractBytes(dir, zip.Build(), recorder);
  }

  TempDir dir;
  Recorder recorder;
};

TEST_P(MethodTest, ExtractsByteForByte) {
  // Empty, tiny, and larger than the reader's output buffer and (bzip2) one block.
  const std::string big = Sample(1 << 20);
  EXPECT_EQ(Extract({Encoded(GetParam(), "empty", ""), Encoded(GetParam(), "tiny", "x"),
                     Encoded(GetParam(), "big.txt", big)}),
            UnzipStatus::kOk)
      << recorder.messages;
  EXPECT_EQ(Tree(dir / "out"), (Files{{"empty", ""}, {"tiny", "x"}, {"big.txt", big}}));
}

TEST_P(MethodTest, ALyingStreamIsRefusedAndTheRestExtracted) {
  const std::string plain = Sample(200000);
  const std::string stream = GetParam().encode(plain);
  struct Lie {
    const char* what;
    std::function<void(RawMember&)> apply;
  };
  const Lie lies[] = {
      {"truncated", [&](RawMember& m) { m.data = stream.substr(0, stream.size() / 2); }},
      {"corrupt",
       [&](RawMember& m) {
         std::string bad = stream;
         for (size_t i = bad.size() / 3; i < bad.size() / 3 + 64; ++i) bad[i] ^= 0x5A;
         m.data = bad;
       }},
      // The CRC fits the bytes up to the declared size, so only the length can tell.
      {"longer than declared",
       [&](RawMember& m) {
         m.uncompressedSize = plain.size() - 1000;
         m.crc = Crc(plain.substr(0, plain.size() - 1000));
       }},
      {"declared larger than the stream",
       [&](RawMember& m) { m.uncompressedSize = plain.size() + 1000; }},
  };
  for (const Lie& lie : lies) {
    SCOPED_TRACE(lie.what);
    RawMember member = Encoded(GetParam(), "lie.txt", plain);
    lie.apply(member);
    Recorder fresh;
    recorder = fresh;
    fs::remove_all(dir / "out");
    UnzipStatus status = Extract({member, Stored("ok", "ok")});
    EXPECT_EQ(status, UnzipStatus::kMemberError) << recorder.messages;
    EXPECT_NE(recorder.messages.find("lie.txt"), std::string::npos) << recorder.messages;
    EXPECT_EQ(Tree(dir / "out"), (Files{{"ok", "ok"}}));
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, MethodTest, ::testing::ValuesIn(kMethods),
                         [](const ::testing::TestParamInfo<Method>& p) { return p.param.name; });

TEST(MethodLimits, RefusedMethodsSayWhich) {
  TempDir dir;
  RawArchive zip;
  RawMember ppmd = Stored("p.txt", "ok");
  ppmd.method = kMethodPpmd;
  RawMember unknown = Stored("u.txt", "ok");
  unknown.method = 77;
  zip.members = {ppmd, unknown, Stored("ok", "ok")};
  Recorder recorder;
  EXPECT_EQ(ExtractBytes(dir, zip.Build(), recorder), UnzipStatus::kUnsupported);
  // "ok" as PPMd properties: restoration method 6, which the format does not have.
  EXPECT_NE(recorder.messages.find("p.txt: its PPMd restoration method 6 is none of"),
            std::string::npos)
      << recorder.messages;
  EXPECT_NE(recorder.messages.find("u.txt: compression method 77 is not supported"),
            std::string::npos);
  EXPECT_EQ(Tree(dir / "out"), (Files{{"ok", "ok"}}));
}

TEST(MethodLimits, HighlyCompressedMembersAreNotTakenForBombs) {
  // 16 MiB of zeros shrink far beyond deflate's ratio; only the declared size bounds them.
  const std::string zeros(16 << 20, '\0');
  for (const Method& method : {kMethods[0], kMethods[3], kMethods[4]}) {
    SCOPED_TRACE(method.name);
    TempDir dir;
    RawArchive zip;
    zip.members = {Encoded(method, "zeros", zeros)};
    ASSERT_GT(zeros.size() / zip.members[0].data->size(), archive::format::kMaxDeflateRatio);
    Recorder recorder;
    EXPECT_EQ(ExtractBytes(dir, zip.Build(), recorder), UnzipStatus::kOk) << recorder.messages;
    EXPECT_EQ(fs::file_size(dir / "out/zeros"), zeros.size());
  }
}

TEST(MethodLimits, AMarkerlessLzmaStreamEndsAtItsDeclaredSizeWhateverPaddingFollows) {
  // Some writers pad the compressed data; without a marker only the declared size ends the
  // stream, so the padding must never be taken for more of it.
  const std::string plain = Sample(100000);
  RawMember member = Encoded(kMethods[2], "padded.txt", plain);
  member.data->append(16, '\0');
  TempDir dir;
  RawArchive zip;
  zip.members = {member};
  Recorder recorder;
  EXPECT_EQ(ExtractBytes(dir, zip.Build(), recorder), UnzipStatus::kOk) << recorder.messages;
  EXPECT_EQ(Tree(dir / "out"), (Files{{"padded.txt", plain}}));
}

TEST(MethodLimits, AnLzmaDictionaryBeyondTheLimitIsRefusedNotAllocated) {
  const std::string plain = Sample(300u << 20 >> 8);
  RawMember member = Encoded(kMethods[1], "wide.txt", plain);
  // A 1 GiB dictionary for a member that declares 256 MiB: more than any member needs.
  (*member.data)[5] = 0;
  (*member.data)[6] = 0;
  (*member.data)[7] = 0;
  (*member.data)[8] = 0x40;
  member.uncompressedSize = 256u << 20;
  TempDir dir;
  RawArchive zip;
  zip.members = {member, Stored("ok", "ok")};
  Recorder recorder;
  EXPECT_EQ(ExtractBytes(dir, zip.Build(), recorder), UnzipStatus::kUnsupported);
  EXPECT_NE(recorder.messages.find("MiB of memory"), std::string::npos) << recorder.messages;
  EXPECT_EQ(Tree(dir / "out"), (Files{{"ok", "ok"}}));
}

}  // namespace

namespace {

TEST(MethodLimits, DeclaredSizesBeyondTheFreeSpaceStopTheRunBeforeAnyWrite) {
  // Zstandard has no ratio to lie against: only the target's free space bounds the claim.
  RawMember huge = Encoded(kMethods[4], "huge", "tiny");
  huge.uncompressedSize = uint64_t{1} << 60;
  huge.zip64 = true;
  TempDir dir;
  RawArchive zip;
  zip.members = {Stored("ok", "ok"), huge};
  Recorder recorder;
  EXPECT_EQ(ExtractBytes(dir, zip.Build(), recorder), UnzipStatus::kDiskFull);
  EXPECT_NE(recorder.messages.find("the members need 1152921504606846978 bytes"), std::string::npos)
      << recorder.messages;
  EXPECT_EQ(Tree(dir / "out"), Files{});
}

}  // namespace

namespace {

// Deflated members up to 2 MiB are inflated whole, larger ones stream: both sides of the
// bound give the same bytes and the same verdicts.
TEST(DeflateWholeOrStreamed, BothSidesOfTheBoundAgree) {
  constexpr size_t kBound = 2 << 20;
  for (size_t size : {kBound - 1, kBound, kBound + 1}) {
    SCOPED_TRACE(size);
    const std::string plain = Sample(size);
    RawMember good = Deflated("good", plain);
    RawMember longer = good;  // the stream goes on past the declared size
    longer.name = "longer";
    longer.uncompressedSize = size - 100;
    longer.crc = Crc(plain.substr(0, size - 100));
    RawMember cut = good;  // the stream lacks its end, and the bytes are short
    cut.name = "cut";
    cut.data = Deflate(plain).substr(0, Deflate(plain).size() - 20);
    TempDir dir;
    RawArchive zip;
    zip.members = {good, longer, cut};
    Recorder recorder;
    EXPECT_EQ(ExtractBytes(dir, zip.Build(), recorder), UnzipStatus::kMemberError);
    EXPECT_NE(recorder.messages.find("longer: it holds more data than its declared size"),
              std::string::npos)
        << recorder.messages;
    EXPECT_NE(recorder.messages.find("cut: "), std::string::npos) << recorder.messages;
    EXPECT_EQ(Tree(dir / "out"), (Files{{"good", plain}}));
  }
}

}  // namespace
