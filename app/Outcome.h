// What the window says after a library call: the reason of a failure, the tally of an
// extraction member by member, and the message that reports it. Plain decisions over texts
// and numbers, tested without a window.
#pragma once
#include <cstdint>
#include <string>

// The reason a failed ZpArchive gives: the last line zip32.dll printed (its final word on
// the run), else the status in words.
std::string ZipFailureReason(const std::string& printed, int32_t status);

// How a ZpArchive run ends: the status line and the message box.
struct CreationReport {
  enum class Kind { kSuccess, kPartial, kFailure } kind = Kind::kSuccess;
  std::string statusLine;
  std::string text;  // none for a success
};

// `status` is the first of the three calls' results that is not ZIP32_OK, `written` whether a
// new file stands at the archive's path, `printed` what zip32.dll printed. ZIP32_OPEN_INPUT
// with the archive written means it was written without reading the files it could not read
// (an earlier copy of one may or may not be kept, as the library decided): the report says so
// and names each with the library's reason. Any other status wrote nothing.
CreationReport ReportCreation(int32_t status, const std::string& archive, bool written,
                              const std::string& printed);

// The reason a failed listing or extraction gives: the first line unzip32.dll printed about
// a failure (the first member that failed, one whose password was missing or wrong only when
// no other failed), else its first line, else the status in words.
std::string UnzipFailureReason(const std::string& printed, int32_t status);

// Tallies an extraction from what unzip32.h promises: all it prints about a member comes
// before the service callback for that member, a member not handled completely being
// named in one UNZIP32_FAILED_LINE or UNZIP32_SKIPPED_LINE line. Encrypted members that failed
// for their password are counted apart from the other failures, by the line's reason.
class MemberTally {
 public:
  // Text printed by the library, in any pieces.
  void Printed(const std::string& text);
  // The service callback for the member `name`: decides it by the lines printed since the
  // previous one.
  void Handled(const std::string& name);

  uint32_t Saved() const { return saved_; }
  // Failed for any reason but a password.
  uint32_t Failed() const { return failed_; }
  uint32_t SkippedLinks() const { return skippedLinks_; }
  // Encrypted and skipped: no password was given (UNZIP32_NO_PASSWORD_REASON).
  uint32_t NoPassword() const { return noPassword_; }
  // Encrypted and refused: every password given was wrong (UNZIP32_WRONG_PASSWORD_REASON).
  uint32_t WrongPassword() const { return wrongPassword_; }

 private:
  std::string pending_;
  uint32_t saved_ = 0, failed_ = 0, skippedLinks_ = 0, noPassword_ = 0, wrongPassword_ = 0;
};

// The message box that ends an extraction, if any.
struct ExtractionReport {
  enum class Kind { kNone, kWarning, kFailure } kind = Kind::kNone;
  std::string text;
  bool exclamation = false;  // a warning that some files were lost, not only links
};

// `status` is unzip32.dll's, `listed` the members the list shows, `folder` the target.
// Skipped links and encrypted members left without their password are a warning that says
// so, not a failed extraction; a wrong password makes it a warning with an exclamation.
ExtractionReport ReportExtraction(int32_t status, const std::string& archive,
                                  const std::string& folder, int listed, const MemberTally& tally,
                                  const std::string& reason);
