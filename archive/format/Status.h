// Outcomes of the engine's operations.
//
// The two high-level operations answer with the exit codes of the standard command-line
// tools, so that the libraries built on them can hand the value straight to their callers:
// `ZipStatus` follows `zip`, `UnzipStatus` follows `unzip`. Inside the engine, failures
// travel as `ArchiveError`, whose `Fault` says which class of failure it is.
#pragma once

#include <stdexcept>
#include <string>

namespace archive {

// The codes of zip32.h (ZIP32_*, in the same order), which says what each means.
enum class ZipStatus : int {
  kOk = 0,
  kFormatError = 3,
  kNoMemory = 4,
  kInternalError = 5,
  kCancelled = 9,
  kTempFileError = 10,
  kReadError = 11,
  kNothingToDo = 12,
  kMissingArchive = 13,
  kWriteError = 14,
  kCannotCreate = 15,
  kBadParameters = 16,
  kCannotOpenInput = 18,
  kUnsupportedOption = 19
};

enum class UnzipStatus : int {
  kOk = 0,
  kWarning = 1,         // everything readable was handled; links were not created
  kMemberError = 2,     // a member failed or was refused; the others were processed
  kDirectoryError = 3,  // the central directory is damaged; nothing was processed
  kNoMemory = 5,
  kNotFound = 9,      // no such file, or not a Zip archive
  kBadOptions = 10,   // invalid arguments
  kNoMatch = 11,      // an include pattern matched no member
  kDiskFull = 50,     // the disk filled up; extraction stopped
  kCancelled = 80,    // the service callback asked to stop
  kUnsupported = 81,  // a member uses an encryption or a method this engine does not read
  kBadPassword = 82   // encrypted members were skipped or had a wrong password
};

// Several members may fail for different reasons; the caller sees the most serious one,
// which is the numerically largest code, but for kBadPassword: a password the user did not
// give or mistyped is the run's status only when nothing else failed, so it ranks just
// above kWarning.
inline int Severity(UnzipStatus status) {
  return status == UnzipStatus::kBadPassword ? 3 : 2 * static_cast<int>(status);
}
inline UnzipStatus Worse(UnzipStatus a, UnzipStatus b) {
  return Severity(a) >= Severity(b) ? a : b;
}

enum class Fault {
  kReadFailed,   // the operating system refused to read
  kWriteFailed,  // the operating system refused to write
  kDiskFull,
  kNotFound,     // the archive does not exist or cannot be opened
  kNotZip,       // no end-of-central-directory record
  kDamaged,      // the central directory cannot be trusted
  kBadMember,    // one member's header or data is wrong
  kUnsupported,  // method or encryption we do not handle
  kBadPassword,  // an encrypted member was skipped, or its password was wrong
  kUnsafe,       // refused to protect the file system (name, link, overlap, ratio)
  kCancelled
};

class ArchiveError : public std::runtime_error {
 public:
  ArchiveError(Fault fault, const std::string& message)
      : std::runtime_error(message), fault_(fault) {}
  Fault fault() const { return fault_; }

 private:
  Fault fault_;
};

}  // namespace archive
