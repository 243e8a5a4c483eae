#include "archive/read/Passwords.h"

#include "archive/format/Status.h"
#include "archive/read/MemberReader.h"

namespace archive {

std::unique_ptr<crypto::Decryption> Passwords::Open(Stream& archive, const Entry& entry) {
  auto skipped = [] { return ArchiveError(Fault::kBadPassword, crypto::kNoPasswordReason); };
  // Skipping all outranks the passwords given before it.
  if (skipAll_) throw skipped();
  crypto::Encryption encryption = EncryptionOf(entry);
  std::vector<unsigned char> header = ReadEncryptionHeader(archive, entry);
  for (const crypto::Secret& password : fitting_) {
    if (auto decryption = crypto::TryPassword(encryption, password, header.data())) {
      return decryption;
    }
  }
  for (int attempt = 0; attempt < kTries; ++attempt) {
    crypto::Secret password;
    PasswordAnswer answer = events_.Password(entry, attempt > 0, password);
    if (answer == PasswordAnswer::kSkip) throw skipped();
    if (answer != PasswordAnswer::kGiven) {
      skipAll_ = true;
      throw skipped();
    }
    if (auto decryption = crypto::TryPassword(encryption, password, header.data())) {
      fitting_.insert(fitting_.begin(), std::move(password));
      return decryption;
    }
  }
  throw ArchiveError(Fault::kBadPassword, crypto::kWrongPasswordReason);
}

}  // namespace archive
