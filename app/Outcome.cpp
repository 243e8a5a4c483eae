#include "app/Outcome.h"

#include <string_view>
#include <vector>

#include "platform/MyMod.h"
#include "ziplib/UnzipBinding.h"
#include "ziplib/ZipBinding.h"

namespace {

// The non-empty lines of a text, without their line ends.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string LinksText(uint32_t links) {
  return links == 1
             ? "1 symbolic link was skipped: links are not created."
             : std::to_string(links) + " symbolic links were skipped: links are not created.";
}

// "1 <one>" or "<n><many>": each whole sentence a text of its own, as the help quotes it.
std::string Counted(uint32_t n, const char* one, const char* many) {
  return n == 1 ? one : (n ? std::to_string(n) : std::string("some")) + many;
}

// What was skipped beside the failures, one sentence a line.
std::vector<std::string> SkippedTexts(const MemberTally& tally) {
  std::vector<std::string> texts;
  if (tally.SkippedLinks() > 0) texts.push_back(LinksText(tally.SkippedLinks()));
  if (tally.NoPassword() > 0)
    texts.push_back(Counted(tally.NoPassword(),
                            "1 encrypted file was skipped: no password was given.",
                            " encrypted files were skipped: no password was given."));
  if (tally.WrongPassword() > 0)
    texts.push_back(Counted(tally.WrongPassword(),
                            "1 encrypted file was skipped: the password was wrong.",
                            " encrypted files were skipped: the password was wrong."));
  return texts;
}

// The reason in a member's failed line, or "" when the line is not one.
std::string_view FailedReason(std::string_view line) {
  if (!StartsWith(line, UNZIP32_FAILED_LINE)) return {};
  size_t colon = line.rfind(": ");
  return colon == std::string_view::npos ? std::string_view() : line.substr(colon + 2);
}

bool IsPasswordReason(std::string_view reason) {
  return reason == UNZIP32_NO_PASSWORD_REASON || reason == UNZIP32_WRONG_PASSWORD_REASON;
}

}  // namespace

std::string ZipFailureReason(const std::string& printed, int32_t status) {
  auto lines = Lines(printed);
  return lines.empty() ? ziplib::ZipStatusText(status) : std::string(lines.back());
}

CreationReport ReportCreation(int32_t status, const std::string& archive, bool written,
                              const std::string& printed) {
  const std::string name = GetFileNoPath(archive), folder = GetPathNoFile(archive, true);
  if (status == ZIP32_OK)
    return {CreationReport::Kind::kSuccess, name + " successfully created and saved in " + folder,
            ""};
  if (status != ZIP32_OPEN_INPUT || !written) {
    // Never an earlier run's success under this failure.
    return {CreationReport::Kind::kFailure, name + " was not created",
            "The Zip file " + archive + " could not be created.\r\n\r\n" +
                ZipFailureReason(printed, status) + "     "};
  }
  // Every file the library could not read is named in one warning line, with the reason.
  constexpr std::string_view kWarning = "warning: ";
  std::string missing;
  uint32_t count = 0;
  for (std::string_view line : Lines(printed)) {
    if (!StartsWith(line, kWarning)) continue;
    missing += (count++ ? "\r\n" : "") + std::string(line.substr(kWarning.size()));
  }
  if (count == 0) missing = ziplib::ZipStatusText(status);
  return {CreationReport::Kind::kPartial,
          name + " saved in " + folder + "; " +
              Counted(count, "1 listed file could not be read", " listed files could not be read"),
          "The Zip file " + archive + " was written, but " +
              Counted(count, "1 listed file could not be read into it:\r\n\r\n",
                      " listed files could not be read into it:\r\n\r\n") +
              missing + "     "};
}

std::string UnzipFailureReason(const std::string& printed, int32_t status) {
  auto lines = Lines(printed);
  for (std::string_view line : lines)
    if (StartsWith(line, UNZIP32_FAILED_LINE) && !IsPasswordReason(FailedReason(line)))
      return std::string(line);
  for (std::string_view line : lines)
    if (StartsWith(line, UNZIP32_FAILED_LINE)) return std::string(line);
  return lines.empty() ? ziplib::UnzipStatusText(status) : std::string(lines.front());
}

void MemberTally::Printed(const std::string& text) { pending_ += text; }

void MemberTally::Handled(const std::string& name) {
  const std::string failedLine = UNZIP32_FAILED_LINE + name + ": ";
  const std::string skippedLine = UNZIP32_SKIPPED_LINE + name + ": ";
  bool failed = false, skipped = false;
  std::string_view reason;
  std::string lines = std::move(pending_);
  pending_.clear();
  for (std::string_view line : Lines(lines)) {
    if (!failed && StartsWith(line, failedLine)) {
      failed = true;
      reason = line.substr(failedLine.size());
    }
    skipped = skipped || StartsWith(line, skippedLine);
  }
  if (failed && reason == UNZIP32_NO_PASSWORD_REASON)
    ++noPassword_;
  else if (failed && reason == UNZIP32_WRONG_PASSWORD_REASON)
    ++wrongPassword_;
  else if (failed)
    ++failed_;
  else if (skipped)
    ++skippedLinks_;
  else
    ++saved_;
}

ExtractionReport ReportExtraction(int32_t status, const std::string& archive,
                                  const std::string& folder, int listed, const MemberTally& tally,
                                  const std::string& reason) {
  if (status == UNZIP32_OK) return {};
  std::string counts = std::to_string(tally.Saved()) + " of " + std::to_string(listed);
  std::vector<std::string> skipped = SkippedTexts(tally);
  if ((status == UNZIP32_WARNING || status == UNZIP32_BAD_PASSWORD) && tally.Failed() == 0) {
    std::string why;
    for (const std::string& text : skipped) why += (why.empty() ? "" : "\r\n") + text;
    if (why.empty()) why = reason;
    return {ExtractionReport::Kind::kWarning,
            "The Zip file " + archive + " was extracted into " + folder + ": " + counts +
                " files were saved.\r\n\r\n" + why + "     ",
            tally.WrongPassword() > 0};
  }
  std::string more;
  for (const std::string& text : skipped) more += "\r\n" + text;
  return {ExtractionReport::Kind::kFailure,
          "The Zip file " + archive + " could not be extracted completely: " + counts +
              " files were saved in " + folder + ".\r\n\r\n" + reason + more + "     ",
          true};
}
