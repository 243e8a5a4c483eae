// The compression libraries linked into the engine: each one's public API round-trips data,
// refuses a cut-off stream, and is the version its header describes. In the Windows trees
// these are the archives cross-built by scripts/thirdparty, so this is where a wrong build
// (flags, calling convention, mismatched header) shows.
#include <gtest/gtest.h>

#include <bzlib.h>
#include <libdeflate.h>
#include <lzma.h>
#include <zstd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "tests/archive/TestSupport.h"

namespace {

// Compresses `plain`, or decompresses `packed` into exactly `size` bytes (nullopt on failure).
struct Codec {
  const char* name;
  std::string (*compress)(const std::string& plain);
  std::optional<std::string> (*decompress)(const std::string& packed, size_t size);
};

std::optional<std::string> BzipDecompress(const std::string& packed, size_t size) {
  std::string out(size, '\0');
  unsigned got = static_cast<unsigned>(size);
  if (BZ2_bzBuffToBuffDecompress(out.data(), &got, const_cast<char*>(packed.data()),
                                 static_cast<unsigned>(packed.size()), 0, 0) != BZ_OK ||
      got != size)
    return std::nullopt;
  return out;
}

std::optional<std::string> XzDecompress(const std::string& packed, size_t size) {
  std::string out(size, '\0');
  uint64_t memlimit = 64 << 20;
  size_t in = 0, pos = 0;
  if (lzma_stream_buffer_decode(
          &memlimit, 0, nullptr, reinterpret_cast<const uint8_t*>(packed.data()), &in,
          packed.size(), reinterpret_cast<uint8_t*>(out.data()), &pos, out.size()) != LZMA_OK ||
      pos != size)
    return std::nullopt;
  return out;
}

std::optional<std::string> ZstdDecompress(const std::string& packed, size_t size) {
  std::string out(size, '\0');
  size_t n = ZSTD_decompress(out.data(), out.size(), packed.data(), packed.size());
  if (ZSTD_isError(n) || n != size) return std::nullopt;
  return out;
}

std::string LibdeflateCompress(const std::string& plain) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(6);
  std::string out(libdeflate_deflate_compress_bound(c, plain.size()), '\0');
  size_t n = libdeflate_deflate_compress(c, plain.data(), plain.size(), out.data(), out.size());
  libdeflate_free_compressor(c);
  EXPECT_NE(n, 0u);
  out.resize(n);
  return out;
}

std::optional<std::string> LibdeflateDecompress(const std::string& packed, size_t size) {
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::string out(size, '\0');
  size_t got = 0;
  libdeflate_result r =
      libdeflate_deflate_decompress(d, packed.data(), packed.size(), out.data(), size, &got);
  libdeflate_free_decompressor(d);
  if (r != LIBDEFLATE_SUCCESS || got != size) return std::nullopt;
  return out;
}

const Codec kCodecs[] = {
    {"bzip2", testing_support::Bzip2, BzipDecompress},
    {"xz", testing_support::Xz, XzDecompress},
    {"zstd", testing_support::Zstd, ZstdDecompress},
    {"libdeflate", LibdeflateCompress, LibdeflateDecompress},
};

// Text that compresses well, then bytes that do not: both kinds of block in one stream.
std::string Sample() {
  std::string s;
  for (int i = 0; i < 3000; ++i) s += "member " + std::to_string(i % 97) + " of the archive\n";
  uint32_t x = 2463534242u;
  for (int i = 0; i < 40000; ++i) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    s += static_cast<char>(x);
  }
  return s;
}

class CodecTest : public ::testing::TestWithParam<Codec> {};

TEST_P(CodecTest, RoundTripsAndRefusesACutStream) {
  const Codec& c = GetParam();
  const std::string plain = Sample();
  const std::string packed = c.compress(plain);
  ASSERT_FALSE(packed.empty());
  EXPECT_LT(packed.size(), plain.size() * 2 / 3);
  std::optional<std::string> back = c.decompress(packed, plain.size());
  ASSERT_TRUE(back.has_value());
  EXPECT_TRUE(*back == plain);
  EXPECT_FALSE(c.decompress(packed.substr(0, packed.size() / 2), plain.size()).has_value());
}

INSTANTIATE_TEST_SUITE_P(Libraries, CodecTest, ::testing::ValuesIn(kCodecs),
                         [](const auto& p) { return std::string(p.param.name); });

// The library's own version against its header's: a mismatch means the include folder and the
// archive linked come from different builds.
TEST(CodecVersions, LibrariesMatchTheirHeaders) {
  EXPECT_EQ(lzma_version_number(), static_cast<uint32_t>(LZMA_VERSION));
  EXPECT_STREQ(lzma_version_string(), LZMA_VERSION_STRING);
  EXPECT_EQ(ZSTD_versionNumber(), static_cast<unsigned>(ZSTD_VERSION_NUMBER));
  EXPECT_STREQ(ZSTD_versionString(), ZSTD_VERSION_STRING);
  // bzlib.h carries no version; the library's string starts "major.minor.patch,".
  int major = -1, minor = -1, patch = -1;
  EXPECT_EQ(std::sscanf(BZ2_bzlibVersion(), "%d.%d.%d,", &major, &minor, &patch), 3)
      << BZ2_bzlibVersion();
  // libdeflate has no run-time version to compare.
  std::printf("bzip2 %s, liblzma %s, zstd %s, libdeflate %s\n", BZ2_bzlibVersion(),
              lzma_version_string(), ZSTD_versionString(), LIBDEFLATE_VERSION_STRING);
}

// libdeflate and zlib read each other's raw Deflate and agree on the CRC-32.
TEST(CodecInterop, LibdeflateAndZlibAgree) {
  const std::string plain = Sample();
  EXPECT_EQ(LibdeflateDecompress(testing_support::Deflate(plain), plain.size()), plain);
  EXPECT_EQ(libdeflate_crc32(0, plain.data(), plain.size()), testing_support::Crc(plain));
  EXPECT_EQ(libdeflate_crc32(0, "", 0), 0u);
}

}  // namespace
