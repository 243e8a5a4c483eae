// Shrink, Reduce and Implode: members made by our own encoders, vouched for by unzip and 7z
// where they read the method, extract byte for byte, also fed a byte at a time; the real
// broken streams and sizes beyond a method's reach are
// refused with nothing left.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>

#include "archive/methods/Methods.h"
#include "archive/read/Directory.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::UnzipStatus;
using namespace testing_support;

struct Legacy {
  const char* name;
  uint16_t method;
  uint16_t flags;
  std::string peers;  // the peer tools that read it
  std::function<std::string(const std::string&)> encode;
};

const Legacy kLegacy[] = {
    // Clearing while the table has room, which PKZIP never does, trips unzip up; 7-Zip reads it.
    {"shrink_clearing", 1, 0, "7z", [](auto& p) { return Shrink(p, 700); }},
    {"shrink_full_table", 1, 0, "unzip 7z", [](auto& p) { return Shrink(p); }},
    {"reduce1", 2, 0, "", [](auto& p) { return Reduce(p, 1); }},
    {"reduce2", 3, 0, "", [](auto& p) { return Reduce(p, 2); }},
    {"reduce3", 4, 0, "", [](auto& p) { return Reduce(p, 3); }},
    {"reduce4", 5, 0, "", [](auto& p) { return Reduce(p, 4); }},
    {"implode_4k_2codes", 6, 0, "unzip 7z", [](auto& p) { return Implode(p, false, false); }},
    {"implode_4k_3codes", 6, 4, "unzip 7z", [](auto& p) { return Implode(p, false, true); }},
    {"implode_8k_2codes", 6, 2, "unzip 7z", [](auto& p) { return Implode(p, true, false); }},
    {"implode_8k_3codes", 6, 6, "unzip 7z", [](auto& p) { return Implode(p, true, true); }},
};

// Zeros first (matches reach before the start), text, DLE bytes, noise, long runs, and
// repeats from almost 8 KiB back; past the decoders' 64 KiB buffers.
std::string Sample() {
  std::mt19937 random(3);
  std::string noise(7000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::string text = std::string(300, '\0');
  while (text.size() < 150000) {
    text += "line " + std::to_string(random() % 3000) + " of the sample\n";
    if (random() % 50 == 0) text += std::string(random() % 900, "a\x90"[random() % 2]);
    if (random() % 200 == 0) text += noise + "." + noise;
  }
  return text;
}

RawMember Member(const Legacy& legacy, const std::string& name, const std::string& plain) {
  return Packed(name, plain, legacy.method, legacy.encode(plain), legacy.flags);
}

// Decodes through the method's decoder with `piece()` bytes of input and room per call.
std::string Feed(const archive::Entry& entry, const std::string& stream,
                 const std::function<size_t()>& piece, archive::Decoder::Result& result) {
  auto decoder = archive::MakeDecoder(entry);
  std::string out, room;
  size_t at = 0;
  for (int idle = 0; idle < 2;) {
    size_t offered = std::min(piece(), stream.size() - at), inSize = offered;
    const auto* in = reinterpret_cast<const unsigned char*>(stream.data()) + at;
    room.resize(piece());
    auto* next = reinterpret_cast<unsigned char*>(room.data());
    size_t outSize = room.size();
    result = decoder->Decode(&in, &inSize, &next, &outSize);
    at += offered - inSize;
    out.append(room.data(), room.size() - outSize);
    if (result != archive::Decoder::Result::kProgress) break;
    idle = offered == inSize && outSize == room.size() ? idle + 1 : 0;
  }
  return out;
}

class LegacyTest : public ::testing::TestWithParam<Legacy> {};

TEST_P(LegacyTest, PeersAndWeReadTheEncodersStreams) {
  const std::string big = Sample();
  TempDir dir;
  RawArchive archive;
  archive.members = {Member(GetParam(), "empty", ""), Member(GetParam(), "tiny", "x"),
                     Member(GetParam(), "big.txt", big)};
  Recorder recorder;
  EXPECT_EQ(ExtractBytes(dir, archive.Build(), recorder), UnzipStatus::kOk) << recorder.messages;
  EXPECT_EQ(Tree(dir / "out"), (Files{{"empty", ""}, {"tiny", "x"}, {"big.txt", big}}));
  {
    const std::string zip = (dir / "a.zip").string(), peers = GetParam().peers;
    if (peers.find("unzip") != std::string::npos && HasTool("unzip")) {
      EXPECT_EQ(std::system(("unzip -tqq " + zip).c_str()), 0) << "unzip";
    }
    if (peers.find("7z") != std::string::npos && HasTool("7z")) {
      EXPECT_EQ(std::system(("7z t " + zip + " >/dev/null").c_str()), 0) << "7z";
    }
  }

  // Starved to a byte, and in random pieces.
  archive::Entry entry;
  entry.method = GetParam().method;
  entry.flags = GetParam().flags;
  entry.uncompressedSize = big.size();
  const std::string stream = GetParam().encode(big);
  std::mt19937 random(5);
  for (auto piece : std::vector<std::function<size_t()>>{[] { return 1; },
                                                         [&] { return 1 + random() % 3000; }}) {
    archive::Decoder::Result result;
    EXPECT_TRUE(Feed(entry, stream, piece, result) == big);
    EXPECT_EQ(result, archive::Decoder::Result::kEnd);
  }
}

TEST_P(LegacyTest, BrokenStreamsAreRefusedWithNothingLeft) {
  const std::string plain = Sample();
  const std::string stream = GetParam().encode(plain);
  ExpectEachLieRefused(
      Member(GetParam(), "bad.txt", plain),
      {
          {"truncated", [&](RawMember& m) { m.data = stream.substr(0, stream.size() / 2); }},
          {"bits flipped",
           [&](RawMember& m) {
             std::string bad = stream;
             for (size_t i = 0; i < 8; ++i) bad[bad.size() / 3 + i * 97] ^= 1 << i;
             m.data = bad;
           }},
          {"declared larger", [&](RawMember& m) { m.uncompressedSize = plain.size() + 1000; }},
          // More than the method can make of its data: refused before anything is decoded.
          {"beyond the method's ratio",
           [&](RawMember& m) {
             m.data = stream.substr(0, 100);
             m.uncompressedSize = 101 * *archive::MaxRatio(m.method) + (64 << 10);
           }},
      });
}

TEST_P(LegacyTest, HighlyCompressedMembersAreWithinTheRatio) {
  const std::string zeros(4 << 20, '\0');
  Extracted run = ExtractMembers({Member(GetParam(), "zeros", zeros)});
  EXPECT_EQ(run.status, UnzipStatus::kOk) << run.messages;
  EXPECT_EQ(run.files, (Files{{"zeros", zeros}}));
}

INSTANTIATE_TEST_SUITE_P(Legacy, LegacyTest, ::testing::ValuesIn(kLegacy),
                         [](const ::testing::TestParamInfo<Legacy>& p) { return p.param.name; });

}  // namespace
