// Streams one member's uncompressed bytes out of an archive, checking as it goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/crypto/Encryption.h"
#include "archive/io/Stream.h"
#include "archive/methods/Decoder.h"
#include "archive/read/Directory.h"

namespace archive {

// Throws ArchiveError when `entry` may not be read at all: kUnsupported for an encryption
// (crypto::DescribeEncryption) or a method not read (IsReadableMethod); kUnsafe for
// overlapping members and sizes beyond the method's ratio (MaxRatio); kBadMember for
// damaged headers. For an encrypted member the method and the ratio are those of the data
// inside, on the compressed size without the encryption's header and trailer. Call before
// creating any output.
void CheckReadable(const Entry& entry);

// The encryption of an encrypted member (see crypto/Encryption.h); throws as CheckReadable.
crypto::Encryption EncryptionOf(const Entry& entry);

// The bytes of an encrypted member's encryption header (the traditional header, or the AES
// salt and verifier), for the quick password check; the local header is checked as
// MemberReader checks it. Throws ArchiveError as MemberReader's constructor does.
std::vector<unsigned char> ReadEncryptionHeader(Stream& archive, const Entry& entry);

// A member's data as it lies in the archive, read in order from its place there and
// decrypted on the way; for an encrypted member also the authentication code after it.
// Read straight into the caller's buffer, whole, or in pieces for a decoder. Throws
// ArchiveError(kBadMember) where the archive is cut off.
class MemberInput {
 public:
  MemberInput(Stream& archive, uint64_t start, uint64_t size,
              std::unique_ptr<crypto::Decryption> decryption, size_t trailerSize);

  bool encrypted() const { return decryption_ != nullptr; }
  uint64_t remaining() const { return remaining_; }

  // The next `n` bytes (at most remaining()).
  void Read(unsigned char* out, size_t n);
  // All that remains; false, having read nothing, when the archive is cut off.
  bool ReadRest(std::vector<unsigned char>& out);
  // Bytes ReadRest gave, handed out again as the one piece left.
  void Unread(std::vector<unsigned char> bytes);

  // Pieces of up to `size` bytes for a decoder, read as they are used up.
  void UsePieces(size_t size) { piece_.resize(size); }
  const unsigned char* next() const { return next_; }
  size_t available() const { return available_; }
  // Reads the next piece once the last is used up, if any data remains.
  void Refill();
  // What the decoder left of the piece.
  void Left(const unsigned char* next, size_t available) {
    next_ = next;
    available_ = available;
  }
  bool exhausted() const { return available_ == 0 && remaining_ == 0; }

  // Reads the data a stream left unread, which the code covers too, and the code after it;
  // whether the code is the data's.
  bool Authentic();

 private:
  Stream& archive_;
  uint64_t position_;   // next byte to read from the archive
  uint64_t remaining_;  // bytes not yet read
  std::unique_ptr<crypto::Decryption> decryption_;
  size_t trailerSize_;  // the authentication code after the data
  std::vector<unsigned char> piece_;
  const unsigned char* next_ = nullptr;
  size_t available_ = 0;
};

class MemberReader {
 public:
  // Validates the local header against the central one (signature, name, method, and CRC
  // and sizes unless a data descriptor carries them) and that the data lies inside the
  // member's bounds. Throws ArchiveError as CheckReadable does. An encrypted member needs
  // the `decryption` its password passed the quick check with (crypto::TryPassword); its
  // data faults (corrupt stream, wrong size, CRC, authentication code) then throw
  // ArchiveError(kBadPassword): a wrong password and damaged data look alike there.
  MemberReader(Stream& archive, const Entry& entry,
               std::unique_ptr<crypto::Decryption> decryption = nullptr);
  ~MemberReader();
  MemberReader(const MemberReader&) = delete;
  MemberReader& operator=(const MemberReader&) = delete;

  // Delivers up to `size` uncompressed bytes; 0 means the member is complete and its size,
  // CRC and authentication code were verified. Throws ArchiveError(kBadMember) when the data is
  // corrupt, is longer or shorter than declared, or fails its CRC; never delivers bytes beyond the
  // declared size.
  size_t Read(void* buffer, size_t size);

  uint64_t produced() const { return produced_; }

 private:
  // Deflated members up to kInflateWholeBytes (both sizes) are inflated in one call by
  // libdeflate, about 1.7 times as fast as streaming through zlib, and then handed out from
  // memory. Returns false, having changed nothing, when that does not give exactly the
  // declared bytes with the declared CRC: the streaming path then finds the fault and says
  // which, by the same rules as always.
  bool InflateWhole();
  size_t ReadWhole(unsigned char* out, size_t size);
  size_t ReadStored(unsigned char* out, size_t size);
  size_t ReadDecoded(unsigned char* out, size_t size);
  void Finish();
  // Throws for a fault of the data itself: kBadMember, or kBadPassword when decrypting.
  [[noreturn]] void DataFault(const std::string& why) const;

  const Entry& entry_;
  // The data's own method and compressed size: the entry's, or those inside the encryption.
  uint16_t method_;
  uint64_t compressedSize_;
  bool checkCrc_ = true;  // not for AE-2 members, which record none
  std::unique_ptr<MemberInput> input_;
  std::unique_ptr<Decoder> decoder_;  // every method but stored
  std::vector<unsigned char> whole_;  // the member, when inflated whole
  size_t wholeNext_ = 0;
  bool wholeTried_ = false;
  uint64_t produced_ = 0;
  uint32_t crc_ = 0;
  bool done_ = false;
};

}  // namespace archive
