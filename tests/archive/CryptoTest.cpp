// Encrypted members: the primitives against their published vectors, what is refused by
// name, and extraction with passwords (right, wrong, skipped, none) that leaves nothing of
// a member that fails.
#include <gtest/gtest.h>

#include <string>

#include "archive/crypto/Encryption.h"
#include "archive/crypto/Hmac.h"
#include "archive/format/Format.h"
#include "archive/format/Status.h"

namespace {

using namespace archive::crypto;

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

}  // namespace
