// The Deflate64 decoder: members that 7z writes, fed whole, starved to single bytes and in
// random pieces; hand-built streams for Deflate64's own codes; and broken streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <random>

#include "archive/format/Bytes.h"
#include "archive/methods/Deflate64.h"
#include "archive/read/Directory.h"
#include "tests/archive/TestSupport.h"

namespace {

using Result = archive::Decoder::Result;
using namespace testing_support;

struct Decoded {
  std::string out;
  Result result = Result::kProgress;
  size_t left = 0;  // input never consumed
};

using Pieces = std::function<size_t()>;

// Feeds `stream` in pieces of `in()` bytes with `room()` bytes of output room per call, until
// the decoder ends, fails, or moves no more once it has been offered everything.
Decoded Feed(const std::string& stream, const Pieces& in, const Pieces& room) {
  archive::Deflate64Decoder decoder;
  Decoded d;
  size_t at = 0;
  std::string buffer;
  for (int idle = 0; idle < 2;) {
    size_t offered = std::min(in(), stream.size() - at);
    const auto* next = reinterpret_cast<const unsigned char*>(stream.data()) + at;
    size_t inSize = offered;
    buffer.resize(room());
    auto* out = reinterpret_cast<unsigned char*>(buffer.data());
    size_t outSize = buffer.size();
    d.result = decoder.Decode(&next, &inSize, &out, &outSize);
    EXPECT_EQ(next, reinterpret_cast<const unsigned char*>(stream.data()) + at + offered - inSize);
    at += offered - inSize;
    d.out.append(buffer.data(), buffer.size() - outSize);
    if (d.result != Result::kProgress) break;
    bool moved = offered > inSize || outSize < buffer.size();
    idle = !moved && at == stream.size() ? idle + 1 : 0;
  }
  d.left = stream.size() - at;
  return d;
}

struct Feeding {
  const char* name;
  std::function<std::pair<Pieces, Pieces>()> pieces;
};
const Feeding kFeedings[] = {
    {"whole",
     [] { return std::pair<Pieces, Pieces>([] { return SIZE_MAX; }, [] { return 1u << 20; }); }},
    {"one byte in, one byte out",
     [] { return std::pair<Pieces, Pieces>([] { return 1; }, [] { return 1; }); }},
    {"random pieces",
     [] {
       auto random = std::make_shared<std::mt19937>(7);
       Pieces piece = [random] { return size_t{1} + (*random)() % 5000; };
       return std::pair<Pieces, Pieces>(piece, piece);
     }},
};

// Writes bits as Deflate packs them: fields from their low bit, Huffman codes from their
// high bit.
struct Bits {
  std::string bytes;
  unsigned used = 8;  // bits used in the last byte
  Bits& Put(uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i, value >>= 1) {
      if (used == 8) bytes.push_back(0), used = 0;
      bytes.back() = static_cast<char>(bytes.back() | ((value & 1) << used++));
    }
    return *this;
  }
  Bits& Code(uint32_t code, unsigned length) {
    for (unsigned i = length; i-- > 0;) Put(code >> i, 1);
    return *this;
  }
  Bits& Fixed(unsigned symbol) {
    if (symbol < 144) return Code(0x30 + symbol, 8);
    if (symbol < 256) return Code(0x190 + symbol - 144, 9);
    if (symbol < 280) return Code(symbol - 256, 7);
    return Code(0xC0 + symbol - 280, 8);
  }
  Bits& Stored(const std::string& data, bool final) {
    Put(final, 1).Put(0, 2);
    used = 8;
    Put(static_cast<uint32_t>(data.size()), 16).Put(~static_cast<uint32_t>(data.size()), 16);
    bytes += data;
    return *this;
  }
  // A dynamic block's header up to its code lengths; the code-length code's lengths are
  // given in the order they are stored.
  Bits& Dynamic(unsigned literals, unsigned distances, std::vector<unsigned> codeLengths) {
    Put(1, 1).Put(2, 2).Put(literals - 257, 5).Put(distances - 1, 5);
    Put(static_cast<uint32_t>(codeLengths.size() - 4), 4);
    for (unsigned length : codeLengths) Put(length, 3);
    return *this;
  }
};

// The raw data of the one member in what `7z a -tzip -mm=Deflate64 <options>` makes of `data`.
std::optional<std::string> SevenZip(const std::string& data, const std::string& options) {
  return SevenZipData(data, "-mm=Deflate64 " + options, 9);
}

struct SevenZipCase {
  const char* what;
  std::string data;
  const char* options;
  int firstBlock;   // the type of the stream's first block, as 7z chooses it
  double maxRatio;  // compressed / data at most, to show long matches were used
};

TEST(Deflate64, DecodesWhat7zWrites) {
  if (std::system("7z >/dev/null 2>&1") != 0) GTEST_SKIP() << "no 7z command to make archives with";
  std::string far = Noise(40000, 1), farther = Noise(60000, 2);
  const SevenZipCase cases[] = {
      {"text over several window slides (dynamic)", Words(1500000, 3), "", 2, 0.5},
      {"repeats 40000 and 60000 bytes back", far + far + far + farther + farther + farther, "", 0,
       0.4},
      {"long runs of zeros between text",
       Words(5000, 4) + std::string(300000, '\0') + Words(5000, 5), "", 2, 0.05},
      {"random, then text (stored, then dynamic)", Noise(150000, 7) + Words(160000, 6), "", 0, 0.9},
      {"short text at -mx=9 (fixed)", "abababababababababababababababababababab", "-mx=9", 1, 0.5},
      {"mixed data at -mx=9", Words(100000, 9) + Noise(70000, 10) + Words(1000, 11) + far + far,
       "-mx=9", -1, 0.7},
  };
  for (const SevenZipCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<std::string> stream = SevenZip(c.data, c.options);
    ASSERT_TRUE(stream) << "7z failed";
    ASSERT_FALSE(stream->empty());
    if (c.firstBlock >= 0) {
      EXPECT_EQ((stream->at(0) >> 1) & 3, c.firstBlock);
    }
    EXPECT_LE(static_cast<double>(stream->size()), c.maxRatio * static_cast<double>(c.data.size()));
    for (const Feeding& feeding : kFeedings) {
      SCOPED_TRACE(feeding.name);
      auto [in, room] = feeding.pieces();
      Decoded d = Feed(*stream, in, room);
      EXPECT_EQ(d.result, Result::kEnd);
      EXPECT_EQ(d.left, 0u);
      EXPECT_TRUE(d.out == c.data) << "got " << d.out.size() << " of " << c.data.size() << " bytes";
    }
    // Bytes after the stream are left for whoever reads on, also once it has ended.
    archive::Deflate64Decoder decoder;
    std::string input = *stream + std::string(64, 'K');
    std::string out(c.data.size() + 1, '\0');
    const auto* next = reinterpret_cast<const unsigned char*>(input.data());
    size_t inSize = input.size(), outSize = out.size();
    auto* to = reinterpret_cast<unsigned char*>(out.data());
    EXPECT_EQ(decoder.Decode(&next, &inSize, &to, &outSize), Result::kEnd);
    EXPECT_EQ(inSize, 64u);
    EXPECT_EQ(outSize, 1u);
    EXPECT_EQ(decoder.Decode(&next, &inSize, &to, &outSize), Result::kEnd);
    EXPECT_EQ(inSize, 64u);
    // Cut in half: what comes out is a prefix, and the stream never ends.
    Decoded cut = Feed(
        stream->substr(0, stream->size() / 2), [] { return 999; }, [] { return 777; });
    EXPECT_EQ(cut.result, Result::kProgress);
    EXPECT_EQ(cut.left, 0u);
    EXPECT_EQ(cut.out, c.data.substr(0, cut.out.size()));
  }
}

// Deflate64's own codes, written by hand so that their bases are checked against the format
// rather than against another encoder: length 285 with 16 extra bits, distances 30 and 31.
TEST(Deflate64, LongLengthsAndFarDistances) {
  struct Match {
    unsigned lengthSymbol, lengthExtraBits, lengthExtra, distanceSymbol, distanceExtra;
    size_t length, distance;  // what they mean
  };
  const Match matches[] = {
      {285, 16, 0, 30, 0, 3, 32769},
      {285, 16, 65535, 31, 16383, 65538, 65536},
      {285, 16, 255, 31, 0, 258, 49153},
      {284, 5, 31, 29, 8191, 258, 32768},
      {285, 16, 256, 0, 0, 259, 1},
      {285, 16, 65535, 31, 16383, 65538, 65536},
      {285, 16, 65535, 30, 16383, 65538, 49152},
      {285, 16, 65535, 4, 1, 65538, 6},
  };
  std::string expected = Noise(40000, 12) + Noise(30000, 13);
  Bits bits;
  bits.Stored(expected.substr(0, 40000), false).Stored(expected.substr(40000), false);
  bits.Put(1, 1).Put(1, 2);
  for (const Match& m : matches) {
    bits.Fixed(m.lengthSymbol).Put(m.lengthExtra, m.lengthExtraBits);
    bits.Code(m.distanceSymbol, 5)
        .Put(m.distanceExtra, m.distanceSymbol < 4 ? 0 : m.distanceSymbol / 2 - 1);
    for (size_t i = 0; i < m.length; ++i) expected += expected[expected.size() - m.distance];
  }
  bits.Fixed(256);
  for (const Feeding& feeding : kFeedings) {
    SCOPED_TRACE(feeding.name);
    auto [in, room] = feeding.pieces();
    Decoded d = Feed(bits.bytes, in, room);
    EXPECT_EQ(d.result, Result::kEnd);
    EXPECT_TRUE(d.out == expected)
        << "got " << d.out.size() << " of " << expected.size() << " bytes";
  }
}

TEST(Deflate64, RefusesBrokenStreams) {
  // Two code-length codes of one bit each: 16 is "0", 18 is "1".
  auto repeatsAndZeros = [] { return Bits().Dynamic(257, 1, {1, 0, 1, 0}); };
  struct Case {
    const char* what;
    std::string stream;
    Result result;
    std::string out;  // what comes out first, where it is known
  };
  const Case cases[] = {
      {"block type 3", Bits().Put(1, 1).Put(3, 2).bytes, Result::kCorrupt, ""},
      {"stored length not matching its complement",
       Bits().Put(1, 1).Put(0, 2).Put(0, 5).Put(5, 16).Put(5, 16).bytes + "hello", Result::kCorrupt,
       ""},
      {"distance before the start",
       Bits().Put(1, 1).Put(1, 2).Fixed('a').Fixed(257).Code(1, 5).bytes, Result::kCorrupt, ""},
      {"distance 65536 after 65535 bytes",
       Bits()
           .Stored(std::string(65535, 'x'), false)
           .Put(1, 1)
           .Put(1, 2)
           .Fixed(257)
           .Code(31, 5)
           .Put(16383, 14)
           .bytes,
       Result::kCorrupt, ""},
      {"symbol 286 in a fixed block", Bits().Put(1, 1).Put(1, 2).Fixed(286).bytes, Result::kCorrupt,
       ""},
      {"287 literal/length codes", Bits().Dynamic(287, 1, {1, 0, 1, 0}).bytes, Result::kCorrupt,
       ""},
      {"over-subscribed code-length code",
       Bits().Dynamic(257, 1, std::vector<unsigned>(19, 1)).bytes, Result::kCorrupt, ""},
      {"incomplete code-length code", Bits().Dynamic(257, 1, {1, 0, 0, 0}).bytes, Result::kCorrupt,
       ""},
      {"a repeat with no length before it", repeatsAndZeros().Code(0, 1).Put(0, 2).bytes,
       Result::kCorrupt, ""},
      // Code-length symbols 18 ("0"), 1 ("10") and 16 ("11"): literals 0 and 256 one bit long,
      // then a repeat of three where only the one distance length is left.
      {"code lengths past HLIT + HDIST",
       [] {
         std::vector<unsigned> order(18, 0);
         order[0] = order[17] = 2;
         order[2] = 1;
         Bits bits = Bits().Dynamic(257, 1, order);
         bits.Code(2, 2).Code(0, 1).Put(127, 7).Code(0, 1).Put(106, 7).Code(2, 2).Code(3, 2).Put(0,
                                                                                                 2);
         return bits.bytes;
       }(),
       Result::kCorrupt, ""},
      {"no end-of-block code",
       repeatsAndZeros().Code(1, 1).Put(127, 7).Code(1, 1).Put(109, 7).bytes, Result::kCorrupt, ""},
      // Code-length symbols 1 ("0") and 18 ("1"); then every literal/length one bit long.
      {"over-subscribed literal/length code",
       [] {
         std::vector<unsigned> order(18, 0);
         order[2] = order[17] = 1;
         Bits bits = Bits().Dynamic(257, 1, order);
         for (int i = 0; i < 258; ++i) bits.Code(0, 1);
         return bits.bytes;
       }(),
       Result::kCorrupt, ""},
      // Code-length symbols 18 ("0"), 1 ("10") and 2 ("11").
      {"incomplete literal/length code (literals 0 and 256, two bits each)",
       [] {
         std::vector<unsigned> order(18, 0);
         order[15] = order[17] = 2;
         order[2] = 1;
         Bits bits = Bits().Dynamic(257, 1, order);
         bits.Code(3, 2).Code(0, 1).Put(127, 7).Code(0, 1).Put(106, 7).Code(3, 2).Code(2, 2);
         return bits.bytes;
       }(),
       Result::kCorrupt, ""},
      {"a distance the block has no code for",
       [] {
         std::vector<unsigned> order(18, 0);
         order[15] = order[17] = 2;
         order[2] = 1;
         Bits bits = Bits().Dynamic(258, 1, order);
         bits.Code(2, 2).Code(0, 1).Put(127, 7).Code(0, 1).Put(106, 7).Code(3, 2).Code(3, 2).Code(
             2, 2);
         return bits.Code(0, 1).Code(3, 2).Code(1, 1).bytes;  // literal 0, length 3, distance "1"
       }(),
       Result::kCorrupt, ""},
      {"cut off inside a block", Bits().Put(1, 1).Put(1, 2).Fixed('a').Fixed('b').bytes,
       Result::kProgress, "ab"},
      {"cut off inside a stored block", Bits().Stored("hello", true).bytes.substr(0, 8),
       Result::kProgress, "hel"},
      {"nothing at all", "", Result::kProgress, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const Feeding& feeding : kFeedings) {
      SCOPED_TRACE(feeding.name);
      auto [in, room] = feeding.pieces();
      Decoded d = Feed(c.stream, in, room);
      EXPECT_EQ(d.result, c.result);
      if (c.result == Result::kProgress) {
        EXPECT_EQ(d.out, c.out);
      } else {
        // Followed by more bytes, the fault is found by the loop for long input as well.
        EXPECT_EQ(Feed(c.stream + std::string(64, '\0'), in, room).result, c.result);
      }
    }
  }
}

}  // namespace
