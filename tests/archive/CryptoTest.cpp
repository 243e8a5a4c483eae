// Encrypted members: the primitives against their published vectors, what is refused by
// name, and extraction with passwords (right, wrong, skipped, none) that leaves nothing of
// a member that fails.
#include <gtest/gtest.h>

#include <string>

#include "archive/crypto/Encryption.h"
#include "archive/crypto/Hmac.h"
#include "archive/format/Format.h"
#include "archive/format/Status.h"
#include "archive/read/Unzip.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::UnzipStatus;
using namespace archive::crypto;
using namespace testing_support;

std::string Hex(const unsigned char* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

TEST(CryptoTest, Pbkdf2HmacSha1GivesTheRfc6070Vectors) {
  struct Case {
    std::string password, salt;
    unsigned iterations;
    const char* key;
  } cases[] = {
      {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
      {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
      {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
      {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
       "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
      {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096,
       "56fa6aa75548099dcc37d7f03425e0c3"},
  };
  for (const Case& c : cases) {
    Secret key = Pbkdf2HmacSha1(Secret(c.password), c.salt.data(), c.salt.size(), c.iterations,
                                std::string(c.key).size() / 2);
    EXPECT_EQ(Hex(key.data(), key.size()), c.key) << c.password << " " << c.iterations;
  }
}

TEST(CryptoTest, HmacSha1GivesTheRfc2202Vectors) {
  std::string counting;
  for (char b = 1; b <= 25; ++b) counting += b;
  struct Case {
    std::string key, data;
    const char* code;
  } cases[] = {
      {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {std::string(20, '\xaa'), std::string(50, '\xdd'),
       "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {counting, std::string(50, '\xcd'), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {std::string(20, '\x0c'), "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {std::string(80, '\xaa'),
       "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
  };
  for (const Case& c : cases) {
    auto code = HmacSha1(Secret(c.key), c.data.data(), c.data.size());
    EXPECT_EQ(Hex(code.data(), code.size()), c.code) << c.data;
  }
}

TEST(CryptoTest, SecretsCompareByContentAndAreEmptyOnceMoved) {
  Secret a("swordfish"), b("swordfish"), c("swordfisH");
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
  EXPECT_FALSE(a == Secret("swordfis"));
  Secret moved(std::move(a));
  EXPECT_TRUE(a.empty());
  EXPECT_TRUE(moved == b);
}

// The AES extra field: ID, size 7, version, "AE", strength, method.
std::string AesField(uint16_t version, const char* vendor, uint8_t strength, uint16_t method,
                     uint16_t size = 7) {
  std::string f;
  auto u16 = [&f](uint16_t v) {
    f += static_cast<char>(v & 0xFF);
    f += static_cast<char>(v >> 8);
  };
  u16(kExtraAes);
  u16(size);
  u16(version);
  f += vendor;
  f += static_cast<char>(strength);
  u16(method);
  return f;
}

TEST(CryptoTest, EncryptionIsDescribedOrRefusedByName) {
  using archive::format::kFlagDescriptor;
  using archive::format::kFlagEncrypted;
  // Traditional: the check byte is the CRC's high byte, or the time's with a descriptor.
  Encryption plain = DescribeEncryption(kFlagEncrypted, 8, 0xA1B2C3D4, 0x5E6F, "");
  EXPECT_EQ(plain.scheme, Encryption::Scheme::kTraditional);
  EXPECT_EQ(plain.checkByte, 0xA1);
  EXPECT_EQ(plain.Overhead(), 12u);
  EXPECT_EQ(
      DescribeEncryption(kFlagEncrypted | kFlagDescriptor, 8, 0xA1B2C3D4, 0x5E6F, "").checkByte,
      0x5E);

  struct Good {
    uint16_t version;
    uint8_t strength;
    size_t overhead;
  } good[] = {{1, 1, 8 + 2 + 10}, {2, 2, 12 + 2 + 10}, {1, 3, 16 + 2 + 10}};
  for (const Good& g : good) {
    // Another field before it is passed over.
    std::string extra =
        std::string("\x55\x54\x01\x00\x00", 5) + AesField(g.version, "AE", g.strength, 12);
    Encryption e = DescribeEncryption(kFlagEncrypted, kMethodAes, 0, 0, extra);
    EXPECT_EQ(e.scheme, Encryption::Scheme::kAes);
    EXPECT_EQ(e.method, 12);
    EXPECT_EQ(e.hasCrc, g.version == 1);
    EXPECT_EQ(e.Overhead(), g.overhead);
  }

  struct Bad {
    uint16_t flags;
    std::string extra;
    const char* says;
  } bad[] = {
      {kFlagEncrypted, "", "without its AES extra field"},
      {kFlagEncrypted, AesField(3, "AE", 3, 8), "version 3"},
      {kFlagEncrypted, AesField(2, "XY", 3, 8), "vendor"},
      {kFlagEncrypted, AesField(2, "AE", 4, 8), "strength 4"},
      {kFlagEncrypted, AesField(2, "AE", 0, 8), "strength 0"},
      {kFlagEncrypted, AesField(2, "AE", 3, 99), "method 99 again"},
      {kFlagEncrypted, AesField(2, "AE", 3, 8, 5).substr(0, 9), "too short"},
      {kFlagEncrypted | archive::format::kFlagStrongEncryption, "", "strong encryption"},
      {kFlagEncrypted | archive::format::kFlagMaskedHeaders, "", "central directory"},
  };
  for (const Bad& b : bad) {
    try {
      DescribeEncryption(b.flags, kMethodAes, 0, 0, b.extra);
      ADD_FAILURE() << b.says << ": accepted";
    } catch (const archive::ArchiveError& e) {
      EXPECT_EQ(e.fault(), archive::Fault::kUnsupported);
      EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
    }
  }
}

RawMember Member(const std::string& name, uint16_t method, const std::string& plain) {
  RawMember m = Stored(name, plain);
  m.method = method;
  if (method == 12) m.data = Bzip2(plain);
  if (method == 14) m.data = ZipLzma(plain, false);
  if (method == 93) m.data = Zstd(plain);
  return m;
}

// Every scheme over every kind of method and path: whole-member inflating (up to 2 MiB),
// streaming (beyond), other decoders, stored; members on the workers and on the caller's
// thread; a data descriptor. One password for all: asked once.
TEST(CryptoTest, EncryptedMembersOfEverySchemeExtractByteForByte) {
  struct Case {
    const char* name;
    uint16_t method;
    size_t size;
    int strength;  // 0 traditional
    int version;
    bool descriptor;
  } cases[] = {
      {"trad/deflate.txt", 8, 70000, 0, 0, false},
      {"trad/descriptor.txt", 8, 5000, 0, 0, true},
      {"trad/stored.bin", 0, 3000, 0, 0, false},
      {"trad/big-streamed.txt", 8, 3 << 20, 0, 0, false},
      {"aes128/ae1-deflate.txt", 8, 1500000, 1, 1, false},
      {"aes192/ae2-bzip2.txt", 12, 40000, 2, 2, false},
      {"aes256/ae2-stored.bin", 0, 33, 3, 2, false},
      {"aes256/ae1-lzma.txt", 14, 90000, 3, 1, false},
      {"aes256/ae2-zstd.txt", 93, 20000, 3, 2, false},
      {"aes256/big-streamed.txt", 8, 5 << 20, 3, 2, false},
      {"aes256/empty.txt", 0, 0, 3, 2, false},
  };
  RawArchive a;
  Files expected = {{"trad/", ""}, {"aes128/", ""}, {"aes192/", ""}, {"aes256/", ""}};
  uint32_t seed = 1;
  for (const Case& c : cases) {
    RawMember m = Member(c.name, c.method, Sample(c.size, seed++));
    if (c.descriptor) m.flags |= 8;
    expected[c.name] = m.plain;
    a.members.push_back(Encrypted(m, "correct horse", c.strength, c.version));
  }
  a.members.push_back(Stored("plain.txt", "not encrypted"));
  expected["plain.txt"] = "not encrypted";
  TempDir dir;
  Recorder r;
  r.answers = {"correct horse"};
  ASSERT_EQ(ExtractBytes(dir, a.Build(), r), UnzipStatus::kOk) << r.messages;
  EXPECT_EQ(r.asked, std::vector<std::string>{"trad/deflate.txt"});
  EXPECT_EQ(Tree(dir / "out"), expected);
}

// Four members: a plain one, two with one password, one with another. What is asked, what
// is written, and the run's status, for each way of answering.
TEST(CryptoTest, PasswordsAreAskedKeptRetriedAndSkippedAsAnswered) {
  RawArchive a;
  a.members = {Stored("a.txt", "plain"), Encrypted(Deflated("b.txt", Sample(900, 2)), "one"),
               Encrypted(Deflated("c.txt", Sample(800, 3)), "one", 3),
               Encrypted(Stored("d.txt", "fourth"), "two", 1)};
  const std::string bytes = a.Build();
  const std::string skip = Recorder::kSkip, all = Recorder::kSkipAll;
  struct Case {
    const char* what;
    std::vector<std::string> answers;
    std::vector<std::string> asked;
    std::string written;  // the files left, by initial
    UnzipStatus status;
  } cases[] = {
      {"none given", {}, {"b.txt"}, "a", UnzipStatus::kBadPassword},
      {"each asked once", {"one", "two"}, {"b.txt", "d.txt"}, "abcd", UnzipStatus::kOk},
      {"wrong then right",
       {"eno", "one", "two"},
       {"b.txt", "b.txt again", "d.txt"},
       "abcd",
       UnzipStatus::kOk},
      {"three wrong: that member fails, the next asks afresh",
       {"x", "y", "z", "one", "two"},
       {"b.txt", "b.txt again", "b.txt again", "c.txt", "d.txt"},
       "acd",
       UnzipStatus::kBadPassword},
      {"skip one",
       {skip, "one", "two"},
       {"b.txt", "c.txt", "d.txt"},
       "acd",
       UnzipStatus::kBadPassword},
      {"skip all after a good one",
       {"one", all},
       {"b.txt", "d.txt"},
       "abc",
       UnzipStatus::kBadPassword},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Recorder r;
    r.answers = c.answers;
    EXPECT_EQ(ExtractBytes(dir, bytes, r), c.status) << r.messages;
    EXPECT_EQ(r.asked, c.asked);
    std::string written;
    for (const auto& [path, content] : Tree(dir / "out")) written += path[0];
    EXPECT_EQ(written, c.written);
    EXPECT_EQ(r.done.size(), 4u);
    // Each member that was not written says why, in the published words.
    for (const char* name : {"b.txt", "c.txt", "d.txt"}) {
      if (c.written.find(name[0]) != std::string::npos) continue;
      bool said = r.messages.find(std::string("error: ") + name + ": " + kNoPasswordReason) !=
                      std::string::npos ||
                  r.messages.find(std::string("error: ") + name + ": " + kWrongPasswordReason) !=
                      std::string::npos;
      EXPECT_TRUE(said) << name << "\n" << r.messages;
    }
  }
}

// Damaged encrypted data, and a wrong password that passes the traditional check byte (one
// in 256 does): refused as a wrong password, whether extracted or tested, nothing left;
// a password failure does not hide a worse one in the same run.
TEST(CryptoTest, DataThatFailsAfterTheQuickCheckIsAWrongPasswordAndLeavesNothing) {
  const std::string plain = Sample(200000, 9);
  auto flipped = [](RawMember m, size_t at) {
    (*m.data)[at] ^= 0x20;
    return m;
  };
  // A wrong password whose check byte fits the traditional member's header.
  RawMember trad = Encrypted(Deflated("t.txt", plain), "right");
  std::string wrong;
  Encryption e = DescribeEncryption(1, 8, Crc(plain), 0, "");
  for (int i = 0; wrong.empty(); ++i) {
    std::string candidate = "guess" + std::to_string(i);
    if (TryPassword(e, Secret(candidate),
                    reinterpret_cast<const unsigned char*>(trad.data->data())))
      wrong = candidate;
  }
  RawMember aes = Encrypted(Deflated("a.txt", plain), "right", 3);
  struct Case {
    const char* what;
    RawMember member;
    std::string password;
  } cases[] = {
      {"AES data changed", flipped(aes, 40), "right"},
      {"AES code changed", flipped(aes, aes.data->size() - 1), "right"},
      {"AE-2 stored data changed", flipped(Encrypted(Stored("s.txt", plain), "right", 1), 500),
       "right"},
      {"traditional stored data changed", flipped(Encrypted(Stored("s.txt", plain), "right"), 99),
       "right"},
      {"traditional, wrong password past the check byte", trad, wrong},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (auto mode : {archive::UnzipRequest::Mode::kExtract, archive::UnzipRequest::Mode::kTest}) {
      RawArchive a;
      a.members = {c.member, Stored("other.txt", "fine")};
      TempDir dir;
      Recorder r;
      r.answers = {c.password};
      EXPECT_EQ(ExtractBytes(dir, a.Build(), r, mode), UnzipStatus::kBadPassword) << r.messages;
      EXPECT_NE(r.messages.find(std::string(": ") + kWrongPasswordReason), std::string::npos)
          << r.messages;
      if (mode == archive::UnzipRequest::Mode::kExtract) {
        EXPECT_EQ(Tree(dir / "out"), (Files{{"other.txt", "fine"}}));
      }
    }
  }
  // With a damaged plain member besides, the run is a member error.
  RawMember damaged = Deflated("bad.txt", "some text");
  damaged.crc = 1;
  RawArchive a;
  a.members = {Encrypted(Stored("e.txt", "x"), "right"), damaged};
  TempDir dir;
  Recorder r;
  EXPECT_EQ(ExtractBytes(dir, a.Build(), r), UnzipStatus::kMemberError) << r.messages;
}

// The limits of plain members hold for the data inside: the inner method's ratio on the
// size without header and trailer, stored sizes, a member too short for its header.
TEST(CryptoTest, EncryptedMembersAreHeldToTheLimitsOfTheirInnerMethod) {
  RawMember bomb = Encrypted(Deflated("bomb.txt", std::string(1 << 20, 'z')), "pw", 3);
  bomb.uncompressedSize = 2000000000;
  RawMember shortStored = Encrypted(Stored("short.txt", "abc"), "pw");
  shortStored.uncompressedSize = 15;  // the 12 header bytes counted as data
  RawMember tiny = Encrypted(Stored("tiny.txt", "abc"), "pw", 1);
  tiny.data = tiny.data->substr(0, 12);
  struct Case {
    RawMember member;
    UnzipStatus status;
    const char* says;
  } cases[] = {
      {bomb, UnzipStatus::kMemberError, "more than 1100 times"},
      {shortStored, UnzipStatus::kMemberError, "two sizes differ"},
      {tiny, UnzipStatus::kMemberError, "too short to hold its encryption header"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    RawArchive a;
    a.members = {c.member};
    TempDir dir;
    Recorder r;
    r.answers = {"pw"};
    EXPECT_EQ(ExtractBytes(dir, a.Build(), r), c.status) << r.messages;
    EXPECT_NE(r.messages.find(c.says), std::string::npos) << r.messages;
    EXPECT_TRUE(r.asked.empty());
    EXPECT_TRUE(Tree(dir / "out").empty());
  }
}

}  // namespace
