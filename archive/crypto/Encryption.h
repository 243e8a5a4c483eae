// Reading encrypted members: what a member's encryption is, the quick password check, and
// the decryption its data passes through before the decoder.
//
// Two schemes are read:
//  - PKWARE's traditional encryption (flag bit 0): a stream cipher of three keys over CRC-32,
//    behind a 12-byte header whose last byte must equal the CRC's high byte, or the DOS
//    time's high byte when a data descriptor follows the data (flag bit 3). The check lets a
//    wrong password through once in 256 tries; the CRC catches it then.
//  - WinZip AES (method 99 with the 0x9901 extra field, AE-1 or AE-2, vendor "AE", strength
//    1, 2 or 3 for AES-128, -192 or -256): a salt of 8, 12 or 16 bytes and a 2-byte password
//    verifier before the data, a 10-byte HMAC-SHA1 authentication code after it. PBKDF2-HMAC-
//    SHA1 over 1,000 rounds gives the AES key, the HMAC key and the verifier; the data is AES
//    in counter mode with a little-endian counter that starts at 1. AE-1 members carry their
//    CRC, AE-2 members none (their CRC field is 0).
// PKWARE's strong encryption (flag bit 6) and encrypted central directories (bit 13) are
// refused. The sizes a member declares for its data include the header and the trailer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "archive/crypto/Secret.h"

namespace archive::crypto {

constexpr uint16_t kMethodAes = 99;
constexpr uint16_t kExtraAes = 0x9901;
constexpr size_t kTraditionalHeaderSize = 12;
constexpr size_t kAesVerifierSize = 2;
constexpr size_t kAesAuthSize = 10;
constexpr unsigned kAesIterations = 1000;

// Why an encrypted member was not read: no password (none given, or the member skipped),
// or none that fitted.
constexpr char kNoPasswordReason[] = "no password was given";
constexpr char kWrongPasswordReason[] = "wrong password";

struct Encryption {
  enum class Scheme { kTraditional, kAes };
  Scheme scheme = Scheme::kTraditional;
  uint16_t method = 0;       // the compression method of the data inside
  unsigned aesVersion = 0;   // 1 or 2 (AE-1, AE-2)
  unsigned aesStrength = 0;  // 1, 2 or 3: AES-128, -192, -256
  uint8_t checkByte = 0;     // traditional: what the header's last byte must be
  bool hasCrc = true;        // the member's CRC is to be checked (not with AE-2)
  size_t headerSize = 0;     // bytes before the data: the header, or the salt and verifier
  size_t trailerSize = 0;    // bytes after it: the authentication code
  size_t Overhead() const { return headerSize + trailerSize; }
};

// What the encryption of a member is, from its central header: general-purpose flags,
// method, CRC, DOS time and extra fields. Throws ArchiveError(kUnsupported) naming what
// is not read: strong encryption, an encrypted central directory, an AES field that is
// missing or gives another version, vendor, strength or method 99 again.
Encryption DescribeEncryption(uint16_t flags, uint16_t method, uint32_t crc, uint16_t dosTime,
                              std::string_view extra);

// A member's decryption once its password has passed the quick check.
class Decryption {
 public:
  virtual ~Decryption() = default;
  // Decrypts the next `size` bytes of the member's data in place.
  virtual void Decrypt(unsigned char* data, size_t size) = 0;
  // After every byte of the data went through Decrypt: whether the trailer (trailerSize
  // bytes) authenticates it, compared in constant time. True for a scheme without one.
  virtual bool Authentic(const unsigned char* trailer) = 0;
};

// The quick check of `password` against the `header` (headerSize bytes) that precedes the
// member's data: the traditional check byte, or the AES password verifier. Returns the
// decryption, positioned at the first byte of the data, or null when the password does not
// fit. For AES this derives the keys: PBKDF2 in its 1,000 rounds, the costly step.
std::unique_ptr<Decryption> TryPassword(const Encryption& encryption, const Secret& password,
                                        const unsigned char* header);

}  // namespace archive::crypto
