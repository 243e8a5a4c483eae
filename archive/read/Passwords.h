// The passwords of one run: for each encrypted member, a password that passes its quick
// check (see crypto/Encryption.h), from those given so far or asked for through
// UnzipEvents::Password, on the calling thread.
#pragma once

#include <memory>
#include <vector>

#include "archive/crypto/Encryption.h"
#include "archive/crypto/Secret.h"
#include "archive/io/Stream.h"
#include "archive/read/Directory.h"
#include "archive/read/Unzip.h"

namespace archive {

class Passwords {
 public:
  // Tries of one member before it fails as a wrong password.
  static constexpr int kTries = 3;

  explicit Passwords(UnzipEvents& events) : events_(events) {}

  // The decryption of encrypted `entry`, ready for its data (MemberReader). A password that
  // fits is kept for the rest of the run and tried first on later members; only when none
  // of those fits is the caller asked, up to kTries times. Once the caller skipped all, no
  // member is opened. Throws ArchiveError(kBadPassword)
  // with crypto::kNoPasswordReason when the caller skips the member (or skipped all), with
  // kWrongPasswordReason after kTries passwords that did not fit; and the faults of
  // ReadEncryptionHeader.
  std::unique_ptr<crypto::Decryption> Open(Stream& archive, const Entry& entry);

 private:
  UnzipEvents& events_;
  std::vector<crypto::Secret> fitting_;  // passwords that fitted a member, latest first
  bool skipAll_ = false;
};

}  // namespace archive
