#include "archive/crypto/Encryption.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <nettle/hmac.h>
#include <nettle/memxor.h>
#include <nettle/nettle-meta.h>
#include <zlib.h>

#include "archive/crypto/Hmac.h"
#include "archive/format/Bytes.h"
#include "archive/format/Format.h"
#include "archive/format/Status.h"

namespace archive::crypto {

namespace {

using namespace format;

[[noreturn]] void Unsupported(const std::string& why) {
  throw ArchiveError(Fault::kUnsupported, why);
}

size_t AesKeySize(unsigned strength) { return 8 + 8 * strength; }
size_t AesSaltSize(unsigned strength) { return AesKeySize(strength) / 2; }

class Traditional final : public Decryption {
 public:
  explicit Traditional(const Secret& password) : table_(get_crc_table()) {
    for (size_t i = 0; i < password.size(); ++i) {
      Update(keys_[0], keys_[1], keys_[2], password.data()[i]);
    }
  }
  ~Traditional() override { Wipe(keys_, sizeof keys_); }
  Traditional(const Traditional&) = delete;
  Traditional& operator=(const Traditional&) = delete;

  void Decrypt(unsigned char* data, size_t size) override {
    // The keys in locals: stores through `data` could alias the members, which would keep
    // them in memory across every byte.
    uint32_t k0 = keys_[0], k1 = keys_[1], k2 = keys_[2];
    for (size_t i = 0; i < size; ++i) {
      uint32_t t = (k2 & 0xFFFF) | 2;
      unsigned char plain = data[i] ^ static_cast<unsigned char>((t * (t ^ 1)) >> 8);
      Update(k0, k1, k2, plain);
      data[i] = plain;
    }
    keys_[0] = k0;
    keys_[1] = k1;
    keys_[2] = k2;
  }

  bool Authentic(const unsigned char*) override { return true; }

 private:
  uint32_t CrcStep(uint32_t crc, unsigned char byte) const {
    return static_cast<uint32_t>(table_[(crc ^ byte) & 0xFF]) ^ (crc >> 8);
  }
  void Update(uint32_t& k0, uint32_t& k1, uint32_t& k2, unsigned char plain) const {
    k0 = CrcStep(k0, plain);
    k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
    k2 = CrcStep(k2, static_cast<unsigned char>(k1 >> 24));
  }

  const z_crc_t* table_;
  uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

class Aes final : public Decryption {
 public:
  // Keys from `password` and the salt; VerifierFits then tells whether they are right.
  Aes(unsigned strength, const Secret& password, const unsigned char* salt)
      : cipher_(strength == 1   ? &nettle_aes128
                : strength == 2 ? &nettle_aes192
                                : &nettle_aes256),
        context_(cipher_->context_size),
        stream_(kStreamBlocks * kBlock) {
    size_t keySize = AesKeySize(strength);
    Secret derived = Pbkdf2HmacSha1(password, salt, AesSaltSize(strength), kAesIterations,
                                    2 * keySize + kAesVerifierSize);
    cipher_->set_encrypt_key(context_.data(), derived.data());
    hmac_sha1_set_key(&hmac_, keySize, derived.data() + keySize);
    std::memcpy(verifier_, derived.data() + 2 * keySize, kAesVerifierSize);
  }
  ~Aes() override {
    Wipe(&hmac_, sizeof hmac_);
    Wipe(verifier_, sizeof verifier_);
  }
  Aes(const Aes&) = delete;
  Aes& operator=(const Aes&) = delete;

  bool VerifierFits(const unsigned char* verifier) const {
    return ConstantTimeEqual(verifier, verifier_, kAesVerifierSize);
  }

  void Decrypt(unsigned char* data, size_t size) override {
    // The code authenticates the encrypted bytes, so they go into it first.
    hmac_sha1_update(&hmac_, size, data);
    while (size > 0) {
      if (used_ == stream_.size()) Refill();
      size_t n = std::min(size, stream_.size() - used_);
      memxor(data, stream_.data() + used_, n);
      used_ += n;
      data += n;
      size -= n;
    }
  }

  bool Authentic(const unsigned char* trailer) override {
    unsigned char code[kSha1Size];
    hmac_sha1_digest(&hmac_, sizeof code, code);
    bool authentic = ConstantTimeEqual(code, trailer, kAesAuthSize);
    Wipe(code, sizeof code);
    return authentic;
  }

 private:
  static constexpr size_t kBlock = 16;
  // Key stream made 64 blocks at a time: one call into the cipher for a kilobyte.
  static constexpr size_t kStreamBlocks = 64;

  void Refill() {
    unsigned char* block = stream_.data();
    for (size_t i = 0; i < kStreamBlocks; ++i, block += kBlock) {
      // WinZip's counter is little-endian and starts at 1; 64 bits of it outlast any member.
      ++counter_;
      for (size_t b = 0; b < 8; ++b) block[b] = static_cast<unsigned char>(counter_ >> (8 * b));
      std::memset(block + 8, 0, kBlock - 8);
    }
    cipher_->encrypt(context_.data(), stream_.size(), stream_.data(), stream_.data());
    used_ = 0;
  }

  const nettle_cipher* cipher_;
  Secret context_;  // the expanded AES key
  hmac_sha1_ctx hmac_;
  unsigned char verifier_[kAesVerifierSize];
  Secret stream_;  // key stream
  size_t used_ = kStreamBlocks * kBlock;
  uint64_t counter_ = 0;
};

}  // namespace

Encryption DescribeEncryption(uint16_t flags, uint16_t method, uint32_t crc, uint16_t dosTime,
                              std::string_view extra) {
  if (flags & kFlagStrongEncryption) {
    Unsupported("it uses PKWARE's strong encryption, which is not supported");
  }
  if (flags & kFlagMaskedHeaders) {
    Unsupported("the archive's central directory is encrypted, which is not supported");
  }
  Encryption e;
  if (method != kMethodAes) {
    e.scheme = Encryption::Scheme::kTraditional;
    e.method = method;
    e.checkByte = static_cast<uint8_t>((flags & kFlagDescriptor) ? dosTime >> 8 : crc >> 24);
    e.headerSize = kTraditionalHeaderSize;
    return e;
  }
  ByteCursor fields(extra);
  while (fields.remaining() >= 4) {
    uint16_t id = fields.U16();
    uint16_t size = fields.U16();
    if (size > fields.remaining()) break;
    ByteCursor field(fields.Bytes(size));
    if (id != kExtraAes) continue;
    if (size < 7) Unsupported("its WinZip AES extra field is too short");
    unsigned version = field.U16();
    unsigned char vendor[2] = {field.U8(), field.U8()};
    unsigned strength = field.U8();
    uint16_t inner = field.U16();
    if (version != 1 && version != 2) {
      Unsupported("its WinZip AES version " + std::to_string(version) +
                  " is not supported (AE-1 and AE-2 are)");
    }
    if (vendor[0] != 'A' || vendor[1] != 'E') {
      Unsupported("its AES extra field names a vendor other than \"AE\", which is not supported");
    }
    if (strength < 1 || strength > 3) {
      Unsupported("its AES strength " + std::to_string(strength) +
                  " is not supported (1, 2 and 3 are: AES-128, -192, -256)");
    }
    if (inner == kMethodAes) Unsupported("its AES extra field gives method 99 again");
    e.scheme = Encryption::Scheme::kAes;
    e.method = inner;
    e.aesVersion = version;
    e.aesStrength = strength;
    e.hasCrc = version == 1;
    e.headerSize = AesSaltSize(strength) + kAesVerifierSize;
    e.trailerSize = kAesAuthSize;
    return e;
  }
  Unsupported("it is method 99 (WinZip AES) without its AES extra field");
}

std::unique_ptr<Decryption> TryPassword(const Encryption& encryption, const Secret& password,
                                        const unsigned char* header) {
  if (encryption.scheme == Encryption::Scheme::kTraditional) {
    auto cipher = std::make_unique<Traditional>(password);
    unsigned char copy[kTraditionalHeaderSize];
    std::memcpy(copy, header, sizeof copy);
    cipher->Decrypt(copy, sizeof copy);
    bool fits = copy[kTraditionalHeaderSize - 1] == encryption.checkByte;
    Wipe(copy, sizeof copy);
    if (!fits) return nullptr;
    return cipher;
  }
  size_t saltSize = AesSaltSize(encryption.aesStrength);
  auto aes = std::make_unique<Aes>(encryption.aesStrength, password, header);
  if (!aes->VerifierFits(header + saltSize)) return nullptr;
  return aes;
}

}  // namespace archive::crypto
