#include "tests/archive/TestSupport.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>
#include <nettle/nettle-meta.h>

#include "archive/crypto/Hmac.h"
#include "archive/format/Bytes.h"
#include "archive/format/Names.h"
#include "archive/read/Directory.h"

namespace testing_support {

TempDir::TempDir() {
  std::random_device random;
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = fs::temp_directory_path() / ("pz-test-" + std::to_string(stamp % 1000000007) + "-" +
                                       std::to_string(random() % 100000));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

fs::path TempDir::operator/(const std::string& utf8) const {
  return path_ / archive::Utf8ToPath(utf8);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + archive::PathToUtf8(path));
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void PrintTo(const Files& files, std::ostream* out) {
  *out << "{";
  for (const auto& [name, bytes] : files) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(Crc(bytes)));
    *out << "\n  " << name << ": " << bytes.size() << " bytes, crc " << crc;
    if (!bytes.empty())
      *out << ", \"" << bytes.substr(0, 24) << (bytes.size() > 24 ? "\"..." : "\"");
  }
  *out << "\n}";
}

Files Tree(const fs::path& root) {
  Files tree;
  if (!fs::exists(root)) return tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    std::string name = archive::PathToUtf8(fs::relative(it->path(), root).generic_u8string());
    if (it->is_directory() && !it->is_symlink()) {
      tree[name + "/"] = "";
    } else {
      tree[name] = it->is_symlink() ? "<link>" : ReadFile(it->path());
    }
  }
  return tree;
}

Files SizesOf(const Files& files) {
  Files sizes;
  for (const auto& [name, content] : files) sizes[name] = std::to_string(content.size());
  return sizes;
}

const std::vector<MethodArchive>& MethodArchives() {
  static const std::vector<MethodArchive> archives = {
      {"legacy-zips/shrink.zip", {{"FIRST.TXT", "1092"}}, true, true},
      {"legacy-zips/reduce.zip", {{"first.txt", "1092"}}, true},
      {"legacy-zips/implode.zip", {{"first.txt", "1092"}}, true, true},
      {"legacy-zips/ppmd.zip", {{"ipsum.txt", "57"}}},
      {"peer-zips/libarchive/test_read_format_zip_ppmd8.zipx", {{"vimrc", "912"}}},
      {"peer-zips/libarchive/test_read_format_zip_ppmd8_multi.zipx",
       {{"smartd.conf", "6699"}, {"ts.conf", "852"}, {"vimrc", "912"}}},
  };
  return archives;
}

std::string Noise(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random());
  return out;
}

std::string Words(size_t size, unsigned seed) {
  static const char* const kWords[] = {"archive ", "member ", "deflate ", "window ", "chunk ",
                                       "central ", "header ", "offset ",  "\n",      "zip64 ",
                                       "stream ",  "buffer ", "worker ",  "thread "};
  std::mt19937 random(seed);
  std::string out;
  while (out.size() < size) out += kWords[random() % std::size(kWords)];
  out.resize(size);
  return out;
}

std::string Sample(size_t size, uint32_t seed) {
  std::string text;
  while (text.size() < size) {
    seed = seed * 1103515245 + 12345;
    if (seed % 5 == 0) {
      text += static_cast<char>(seed >> 16);
    } else {
      text += "line " + std::to_string(seed % 97) + " of the sample\n";
    }
  }
  text.resize(size);
  return text;
}

std::string Deflate(const std::string& plain, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(plain.size())) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
  z.avail_in = static_cast<uInt>(plain.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Bzip2(const std::string& plain) {
  std::string out(plain.size() + plain.size() / 100 + 600, '\0');
  unsigned size = static_cast<unsigned>(out.size());
  EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(plain.data()),
                                     static_cast<unsigned>(plain.size()), 1, 0, 0),
            BZ_OK);
  out.resize(size);
  return out;
}

std::string ZipLzma(const std::string& plain, bool endMarker) {
  lzma_options_lzma options;
  lzma_lzma_preset(&options, 1);
  options.ext_flags = endMarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
  lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_filter plainLzma1 = {LZMA_FILTER_LZMA1, &options};
  std::string out = std::string("\x09\x14\x05\x00", 4) + std::string(5, '\0');
  lzma_properties_encode(&plainLzma1, reinterpret_cast<uint8_t*>(&out[4]));
  size_t position = out.size();
  out.resize(position + plain.size() + plain.size() / 2 + 1024);
  EXPECT_EQ(lzma_raw_buffer_encode(filters, nullptr, reinterpret_cast<const uint8_t*>(plain.data()),
                                   plain.size(), reinterpret_cast<uint8_t*>(out.data()), &position,
                                   out.size()),
            LZMA_OK);
  out.resize(position);
  return out;
}

std::string Xz(const std::string& plain) {
  std::string out(lzma_stream_buffer_bound(plain.size()), '\0');
  size_t position = 0;
  EXPECT_EQ(lzma_easy_buffer_encode(1, LZMA_CHECK_CRC64, nullptr,
                                    reinterpret_cast<const uint8_t*>(plain.data()), plain.size(),
                                    reinterpret_cast<uint8_t*>(out.data()), &position, out.size()),
            LZMA_OK);
  out.resize(position);
  return out;
}

std::string Zstd(const std::string& plain) {
  std::string out(ZSTD_compressBound(plain.size()), '\0');
  size_t size = ZSTD_compress(out.data(), out.size(), plain.data(), plain.size(), 3);
  EXPECT_FALSE(ZSTD_isError(size)) << ZSTD_getErrorName(size);
  out.resize(ZSTD_isError(size) ? 0 : size);
  return out;
}

RawMember Stored(const std::string& name, const std::string& content) {
  RawMember m;
  m.name = name;
  m.plain = content;
  return m;
}

RawMember Deflated(const std::string& name, const std::string& content) {
  RawMember m = Stored(name, content);
  m.method = 8;
  return m;
}

fs::path SourceRoot() {
  const char* root = std::getenv("PARCELO_SOURCE");
  std::string text = root ? root : ".";
#ifdef _WIN32
  if (!text.empty() && text[0] == '/') text = "Z:" + text;
#endif
  return fs::path(text);
}

fs::path TestData() { return SourceRoot() / ".." / "shared" / "testdata"; }

fs::path PeerZipsFolder() { return TestData() / "peer-zips"; }

bool HasTool(const char* name) {
#ifdef _WIN32
  (void)name;
  return false;
#else
  return std::system((std::string("command -v ") + name + " >/dev/null").c_str()) == 0;
#endif
}

RawMember Packed(const std::string& name, const std::string& plain, uint16_t method,
                 const std::string& data, uint16_t flags) {
  RawMember m = Stored(name, plain);
  m.method = method;
  m.flags = flags;
  m.data = data;
  return m;
}

RawMember Encrypted(RawMember m, const std::string& password, int aesStrength, int aesVersion) {
  using archive::ByteBuilder;
  using archive::crypto::Secret;
  std::string data = m.data ? *m.data : (m.method == 8 ? Deflate(m.plain) : m.plain);
  m.flags |= 1;
  if (aesStrength == 0) {
    const uint32_t* table = reinterpret_cast<const uint32_t*>(get_crc_table());
    uint32_t keys[3] = {0x12345678, 0x23456789, 0x34567890};
    auto update = [&](unsigned char p) {
      keys[0] = table[(keys[0] ^ p) & 0xFF] ^ (keys[0] >> 8);
      keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813u + 1;
      keys[2] = table[(keys[2] ^ (keys[1] >> 24)) & 0xFF] ^ (keys[2] >> 8);
    };
    for (unsigned char c : password) update(c);
    std::string header(12, '\0');
    for (size_t i = 0; i < 11; ++i) header[i] = static_cast<char>(i * 37 + 5);
    // The check byte: the CRC's high byte, or with a descriptor the time's (12:00, as Build).
    header[11] = static_cast<char>((m.flags & 8) ? (12 << 11) >> 8 : Crc(m.plain) >> 24);
    std::string out = header + data;
    for (char& c : out) {
      uint32_t t = (keys[2] & 0xFFFF) | 2;
      unsigned char plain = static_cast<unsigned char>(c);
      c = static_cast<char>(plain ^ ((t * (t ^ 1)) >> 8));
      update(plain);
    }
    m.data = out;
    return m;
  }
  const size_t keySize = 8 + 8 * static_cast<size_t>(aesStrength);
  std::string salt(keySize / 2, '\0');
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<char>(i * 11 + 3);
  Secret keys = archive::crypto::Pbkdf2HmacSha1(Secret(password), salt.data(), salt.size(), 1000,
                                                2 * keySize + 2);
  const nettle_cipher* aes = aesStrength == 1   ? &nettle_aes128
                             : aesStrength == 2 ? &nettle_aes192
                                                : &nettle_aes256;
  std::vector<unsigned char> context(aes->context_size);
  aes->set_encrypt_key(context.data(), keys.data());
  std::string encrypted = data;
  for (size_t at = 0; at < encrypted.size(); at += 16) {
    unsigned char block[16] = {};
    uint64_t counter = at / 16 + 1;
    for (int b = 0; b < 8; ++b) block[b] = static_cast<unsigned char>(counter >> (8 * b));
    aes->encrypt(context.data(), 16, block, block);
    for (size_t b = 0; b < 16 && at + b < encrypted.size(); ++b) encrypted[at + b] ^= block[b];
  }
  auto code = archive::crypto::HmacSha1(Secret(keys.data() + keySize, keySize), encrypted.data(),
                                        encrypted.size());
  m.data = salt + std::string(reinterpret_cast<const char*>(keys.data()) + 2 * keySize, 2) +
           encrypted + std::string(reinterpret_cast<const char*>(code.data()), 10);
  ByteBuilder field;
  field.U16(0x9901).U16(7).U16(static_cast<uint16_t>(aesVersion)).Bytes("AE");
  field.U8(static_cast<uint8_t>(aesStrength)).U16(m.method);
  m.localExtra += field.str();
  m.centralExtra += field.str();
  if (aesVersion == 2) m.crc = 0;
  m.method = 99;
  return m;
}

uint32_t Crc(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string UnicodePathField(uint8_t version, const std::string& claimedFor,
                             const std::string& utf8) {
  uint32_t crc = Crc(claimedFor);
  std::string field{static_cast<char>(version)};
  for (int i = 0; i < 4; ++i) field += static_cast<char>(crc >> (8 * i));
  field += utf8;
  std::string extra = "up";
  extra += static_cast<char>(field.size());
  extra += static_cast<char>(field.size() >> 8);
  return extra + field;
}

std::string RawArchive::Build() const {
  using archive::ByteBuilder;
  constexpr uint16_t kTime = 12 << 11;                  // 12:00:00
  constexpr uint16_t kDate = (40 << 9) | (1 << 5) | 1;  // 2020-01-01
  std::string out = prefix;
  const uint64_t shift = prefixShiftsOffsets ? prefix.size() : 0;
  std::vector<uint64_t> offsets;
  for (const auto& m : members) {
    std::string data = m.data ? *m.data : (m.method == 8 ? Deflate(m.plain) : m.plain);
    uint32_t crc = m.crc.value_or(Crc(m.plain));
    uint64_t csize = m.compressedSize.value_or(data.size());
    uint64_t usize = m.uncompressedSize.value_or(m.plain.size());
    if (m.shareLocal) {
      offsets.push_back(m.offset.value_or(0));
      continue;
    }
    offsets.push_back(m.offset.value_or(out.size() - shift));
    bool descriptor = (m.flags & 8) != 0;
    std::string name = m.localName.value_or(m.name);
    std::string extra = m.localExtra;
    if (m.zip64) {
      ByteBuilder z;
      z.U16(1).U16(16).U64(usize).U64(csize);
      extra += z.str();
    }
    ByteBuilder h;
    h.U32(0x04034b50).U16(m.zip64 ? 45 : 20).U16(m.flags).U16(m.localMethod.value_or(m.method));
    h.U16(kTime).U16(kDate).U32(m.localCrc.value_or(descriptor ? 0 : crc));
    h.U32(m.localCompressedSize.value_or(m.zip64      ? 0xFFFFFFFF
                                         : descriptor ? 0
                                                      : static_cast<uint32_t>(csize)));
    h.U32(m.zip64 ? 0xFFFFFFFF : descriptor ? 0 : static_cast<uint32_t>(usize));
    h.U16(static_cast<uint16_t>(name.size())).U16(static_cast<uint16_t>(extra.size()));
    h.Bytes(name).Bytes(extra).Bytes(data);
    if (descriptor) {
      h.U32(0x08074b50)
          .U32(crc)
          .U32(static_cast<uint32_t>(csize))
          .U32(static_cast<uint32_t>(usize));
    }
    out += h.str();
  }
  const uint64_t centralStart = out.size();
  for (size_t i = 0; i < members.size(); ++i) {
    const auto& m = members[i];
    std::string data = m.data ? *m.data : (m.method == 8 ? Deflate(m.plain) : m.plain);
    uint32_t crc = m.crc.value_or(Crc(m.plain));
    uint64_t csize = m.compressedSize.value_or(data.size());
    uint64_t usize = m.uncompressedSize.value_or(m.plain.size());
    std::string extra = m.centralExtra;
    if (m.zip64) {
      ByteBuilder z;
      z.U16(1).U16(24).U64(usize).U64(csize).U64(offsets[i]);
      extra = z.str() + extra;
    }
    ByteBuilder h;
    h.U32(0x02014b50).U16(m.madeBy).U16(m.zip64 ? 45 : 20).U16(m.flags).U16(m.method);
    h.U16(kTime).U16(kDate).U32(crc);
    h.U32(m.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(csize));
    h.U32(m.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(usize));
    h.U16(static_cast<uint16_t>(m.name.size())).U16(static_cast<uint16_t>(extra.size()));
    h.U16(0).U16(0).U16(0).U32(m.external);
    h.U32(m.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(offsets[i]));
    h.Bytes(m.name).Bytes(extra);
    out += h.str();
  }
  const uint64_t size = out.size() - centralStart;
  if (zip64Count) {
    uint64_t recordAt = out.size();
    ByteBuilder z;
    z.U32(0x06064b50).U64(44).U16(45).U16(45).U32(0).U32(0);
    z.U64(*zip64Count).U64(*zip64Count).U64(size);
    z.U64(zip64CentralOffset.value_or(centralStart - shift));
    z.U32(0x07064b50).U32(0).U64(recordAt - shift).U32(1);
    out += z.str();
  }
  ByteBuilder end;
  uint16_t n = count.value_or(zip64Count ? 0xFFFF : static_cast<uint16_t>(members.size()));
  end.U32(0x06054b50).U16(0).U16(0).U16(n).U16(n);
  end.U32(centralSize.value_or(zip64Count ? 0xFFFFFFFF : static_cast<uint32_t>(size)));
  end.U32(centralOffset.value_or(zip64Count ? 0xFFFFFFFF
                                            : static_cast<uint32_t>(centralStart - shift)));
  end.U16(static_cast<uint16_t>(comment.size())).Bytes(comment);
  return out + end.str() + trailing;
}

archive::UnzipStatus ExtractBytes(const TempDir& dir, const std::string& archiveBytes,
                                  Recorder& recorder, archive::UnzipRequest::Mode mode) {
  WriteFile(dir / "a.zip", archiveBytes);
  archive::UnzipRequest request;
  request.mode = mode;
  request.archive = dir / "a.zip";
  request.targetDir = dir / "out";
  request.overwrite = true;
  request.quiet = 2;
  return archive::RunUnzip(request, recorder);
}

void ExpectEachLieRefused(const RawMember& member, const std::vector<Lie>& lies) {
  for (const Lie& lie : lies) {
    SCOPED_TRACE(lie.what);
    RawMember liar = member;
    lie.apply(liar);
    Extracted run = ExtractMembers({liar, Stored("ok", "ok")});
    EXPECT_EQ(run.status, archive::UnzipStatus::kMemberError) << run.messages;
    EXPECT_NE(run.messages.find(member.name), std::string::npos) << run.messages;
    EXPECT_EQ(run.files, (Files{{"ok", "ok"}}));
  }
}

Files ExtractArchive(const fs::path& zip, const fs::path& to) {
  archive::UnzipRequest request;
  request.archive = zip;
  request.targetDir = to;
  request.overwrite = true;
  Recorder recorder;
  EXPECT_EQ(archive::RunUnzip(request, recorder), archive::UnzipStatus::kOk) << recorder.messages;
  return Tree(to);
}

Extracted ExtractMembers(std::vector<RawMember> members) {
  TempDir dir;
  Recorder recorder;
  RawArchive zip;
  zip.members = std::move(members);
  archive::UnzipStatus status = ExtractBytes(dir, zip.Build(), recorder);
  return {status, recorder.messages, Tree(dir / "out")};
}

std::string StoredData(const std::string& archiveBytes, const archive::Entry& entry) {
  const auto* local =
      reinterpret_cast<const unsigned char*>(archiveBytes.data()) + entry.localOffset;
  return archiveBytes.substr(
      entry.localOffset + 30 + archive::Load16(local + 26) + archive::Load16(local + 28),
      entry.compressedSize);
}

std::optional<std::string> SevenZipData(const std::string& plain, const std::string& options,
                                        uint16_t method) {
  TempDir dir;
  WriteFile(dir / "m", plain);
  std::string command =
      "cd '" + dir.path().string() + "' && 7z a -tzip " + options + " a.zip m >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  std::string zip = ReadFile(dir / "a.zip");
  archive::MemoryStream stream(zip);
  archive::Entry entry = archive::ReadDirectory(stream).entries.at(0);
  EXPECT_EQ(entry.method, method);
  return StoredData(zip, entry);
}

}  // namespace testing_support
