// Outcomes of the engine's operations.
//
// The two high-level operations answer with the exit codes of the standard command-line
// tools, so that the libraries built on them can hand the value straight to their callers:
// `ZipStatus` follows `zip`, `UnzipStatus` follows `unzip`. What each code means is said
// once, where callers read it: dll/include/zip32.h and dll/include/unzip32.h. Inside the
// engine, failures travel as `ArchiveError`, whose `Fault` says which class of failure it is.
#pragma once

#include <new>
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
  kWarning = 1,
  kMemberError = 2,
  kDirectoryError = 3,
  kNoMemory = 5,
  kNotFound = 9,
  kBadOptions = 10,
  kNoMatch = 11,
  kDiskFull = 50,
  kCancelled = 80,
  kUnsupported = 81,
  kBadPassword = 82
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

// What the exception being handled means for one member: its fault and its reason. Only
// inside a catch block; it catches everything, so worker tasks use it to turn any failure
// into a failed member, since an exception escaping a worker thread would end the process.
struct Failure {
  Fault fault;
  std::string reason;
};
inline Failure CurrentFailure() {
  try {
    throw;
  } catch (const ArchiveError& e) {
    return {e.fault(), e.what()};
  } catch (const std::bad_alloc&) {
    return {Fault::kWriteFailed, "out of memory"};
  } catch (const std::exception& e) {
    return {Fault::kBadMember, std::string("unexpected failure: ") + e.what()};
  } catch (...) {
    return {Fault::kBadMember, "unexpected failure"};
  }
}

}  // namespace archive
