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

class MethodTest : public ::testing::TestWithParam<Method> {};

TEST_P(MethodTest, ExtractsByteForByte) {
  // Empty, tiny, and larger than the reader's output buffer and (bzip2) one block.
  const std::string big = Sample(1 << 20);
  Extracted run =
      ExtractMembers({Encoded(GetParam(), "empty", ""), Encoded(GetParam(), "tiny", "x"),
                      Encoded(GetParam(), "big.txt", big)});
  EXPECT_EQ(run.status, UnzipStatus::kOk) << run.messages;
  EXPECT_EQ(run.files, (Files{{"empty", ""}, {"tiny", "x"}, {"big.txt", big}}));
}

TEST_P(MethodTest, ALyingStreamIsRefusedAndTheRestExtracted) {
  const std::string plain = Sample(200000);
  const std::string stream = GetParam().encode(plain);
  ExpectEachLieRefused(
      Packed("lie.txt", plain, GetParam().number, stream, GetParam().flags),
      {
          {"truncated", [&](RawMember& m) { m.data = stream.substr(0, stream.size() / 2); }},
          {"corrupt",
           [&](RawMember& m) {
             for (size_t i = stream.size() / 3; i < stream.size() / 3 + 64; ++i)
               (*m.data)[i] ^= 0x5A;
           }},
          // The CRC fits the bytes up to the declared size, so only the length can tell.
          {"longer than declared",
           [&](RawMember& m) {
             m.uncompressedSize = plain.size() - 1000;
             m.crc = Crc(plain.substr(0, plain.size() - 1000));
           }},
          {"declared larger than the stream",
           [&](RawMember& m) { m.uncompressedSize = plain.size() + 1000; }},
      });
}

INSTANTIATE_TEST_SUITE_P(Methods, MethodTest, ::testing::ValuesIn(kMethods),
                         [](const ::testing::TestParamInfo<Method>& p) { return p.param.name; });

// What bounds a member's size and memory beyond its stream, and the stream's end: each row an
// archive, the status, the messages and the files written.
TEST(MethodLimits, SizesMemoryAndEndsAsDeclared) {
  auto check = [](const std::string& what, std::vector<RawMember> members, UnzipStatus status,
                  std::vector<std::string> says, const Files& files) {
    SCOPED_TRACE(what);
    Extracted run = ExtractMembers(std::move(members));
    EXPECT_EQ(run.status, status) << run.messages;
    for (const std::string& part : says) {
      EXPECT_NE(run.messages.find(part), std::string::npos) << run.messages;
    }
    EXPECT_EQ(run.files, files);
  };
  // "ok" as PPMd properties: restoration method 6, which the format does not have.
  check("refused methods say which",
        {Packed("p.txt", "ok", kMethodPpmd, "ok"), Packed("u.txt", "ok", 77, "ok"),
         Stored("ok", "ok")},
        UnzipStatus::kUnsupported,
        {"p.txt: its PPMd restoration method 6 is none of",
         "u.txt: compression method 77 is not supported"},
        {{"ok", "ok"}});
  // 16 MiB of zeros shrink far beyond deflate's ratio; only the declared size bounds them.
  const std::string zeros(16 << 20, '\0');
  for (const Method& method : {kMethods[0], kMethods[3], kMethods[4]}) {
    RawMember member = Encoded(method, "zeros", zeros);
    EXPECT_GT(zeros.size() / member.data->size(), archive::format::kMaxDeflateRatio);
    check(std::string("highly compressed ") + method.name + " is no bomb", {member},
          UnzipStatus::kOk, {}, {{"zeros", zeros}});
  }
  // Some writers pad the compressed data; without a marker only the declared size ends the
  // stream, so the padding must never be taken for more of it.
  const std::string plain = Sample(100000);
  RawMember padded = Encoded(kMethods[2], "padded.txt", plain);
  padded.data->append(16, '\0');
  check("a markerless LZMA stream with padding after it", {padded}, UnzipStatus::kOk, {},
        {{"padded.txt", plain}});
  // A 1 GiB dictionary for a member that declares 256 MiB: more than any member needs.
  RawMember wide = Encoded(kMethods[1], "wide.txt", Sample(300u << 20 >> 8));
  wide.data->replace(5, 4, std::string("\0\0\0\x40", 4));
  wide.uncompressedSize = 256u << 20;
  check("an LZMA dictionary beyond the limit is refused, not allocated", {wide, Stored("ok", "ok")},
        UnzipStatus::kUnsupported, {"MiB of memory"}, {{"ok", "ok"}});
  // Zstandard has no ratio to lie against: only the target's free space bounds the claim.
  RawMember huge = Encoded(kMethods[4], "huge", "tiny");
  huge.uncompressedSize = uint64_t{1} << 60;
  huge.zip64 = true;
  check("declared sizes beyond the free space stop the run before any write",
        {Stored("ok", "ok"), huge}, UnzipStatus::kDiskFull,
        {"the members need 1152921504606846978 bytes"}, {});
  // Deflated members up to 2 MiB are inflated whole, larger ones stream: both sides of the
  // bound give the same bytes and the same verdicts.
  constexpr size_t kBound = 2 << 20;
  for (size_t size : {kBound - 1, kBound, kBound + 1}) {
    const std::string text = Sample(size);
    RawMember longer = Deflated("longer", text);  // the stream goes on past the declared size
    longer.uncompressedSize = size - 100;
    longer.crc = Crc(text.substr(0, size - 100));
    RawMember cut = Deflated("cut", text);  // the stream lacks its end, and the bytes are short
    cut.data = Deflate(text).substr(0, Deflate(text).size() - 20);
    check("deflate, whole or streamed, at " + std::to_string(size) + " bytes",
          {Deflated("good", text), longer, cut}, UnzipStatus::kMemberError,
          {"longer: it holds more data than its declared size", "cut: "}, {{"good", text}});
  }
}

}  // namespace
