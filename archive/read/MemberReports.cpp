#include "archive/read/MemberReports.h"

#include <system_error>
#include <utility>

#include "archive/format/Format.h"
#include "archive/format/Names.h"
#include "archive/io/FileFacts.h"
#include "archive/io/FileSystem.h"

namespace archive {

namespace {

// What is printed for a member written: deflate's verb for the deflate family, as unzip
// prints it, and the plain one for the rest.
std::string WrittenLine(const Entry& entry) {
  bool inflated =
      entry.method == format::kMethodDeflated || entry.method == format::kMethodDeflate64;
  return (inflated ? "  inflating: " : " extracting: ") + entry.name;
}

}  // namespace

UnzipStatus StatusOf(Fault fault) {
  switch (fault) {
    case Fault::kUnsupported:
      return UnzipStatus::kUnsupported;
    case Fault::kBadPassword:
      return UnzipStatus::kBadPassword;
    case Fault::kDiskFull:
      return UnzipStatus::kDiskFull;
    case Fault::kCancelled:
      return UnzipStatus::kCancelled;
    default:
      return UnzipStatus::kMemberError;
  }
}

void Messages::Problem(const std::string& line) {
  if (held_) {
    *held_ += line + "\n";
  } else {
    events_.Message(line + "\n");
  }
}

UnzipStatus Messages::Refuse(const Entry& entry, const std::string& why, UnzipStatus status) {
  Problem((status == UnzipStatus::kWarning ? "skipping: " : "error: ") + entry.name + ": " + why);
  return status;
}

void Messages::Written(const Entry& entry, const std::filesystem::path& path) {
  if (uint32_t attributes = MemberAttributes(entry)) SetDosAttributes(path, attributes, false);
  Info(WrittenLine(entry));
}

void RemoveUnreported(const ExtractWriters::Result& written) {
  if (!written.failed) RemoveQuietly(written.published ? written.target : written.temp);
}

UnzipStatus PutInPlace(const Entry& entry, const std::filesystem::path& temp,
                       const std::filesystem::path& target, Messages& messages) {
  std::error_code ec;
  if (!ReplaceWith(temp, target, ec)) {
    RemoveQuietly(temp);
    return messages.Refuse(entry, "cannot write " + Quoted(target) + ": " + ec.message(),
                           UnzipStatus::kMemberError);
  }
  messages.Written(entry, target);
  return UnzipStatus::kOk;
}

void MemberReports::Add(MemberOutcome outcome) {
  waiting_.push_back(std::move(outcome));
  Report(writers_ ? writers_->Window() : 0);
}

void MemberReports::Report(size_t keep) {
  while (!waiting_.empty() && !stopped_) {
    MemberOutcome& outcome = waiting_.front();
    if (outcome.writing) {
      if (writers_->pending() <= keep && !writers_->OldestDone()) break;
      Messages::Hold hold(messages_, &outcome.messages);
      Publish(outcome, writers_->TakeOldest());
    } else if (outcome.written) {
      Messages::Hold hold(messages_, &outcome.messages);
      Publish(outcome, std::move(*outcome.written));
    }
    if (!outcome.messages.empty()) events_.Message(outcome.messages);
    status_ = Worse(status_, outcome.status);
    if (outcome.stop) {
      stopped_ = true;
    } else if (!events_.Done(*outcome.entry)) {
      events_.Message("stopped: cancelled by the caller\n");
      status_ = Worse(status_, UnzipStatus::kCancelled);
      stopped_ = true;
    }
    waiting_.pop_front();
  }
}

void MemberReports::Publish(MemberOutcome& outcome, ExtractWriters::Result result) {
  const Entry& entry = *outcome.entry;
  if (result.failed) {
    if (result.fault == Fault::kDiskFull) {
      messages_.DiskFull(entry);
      outcome.status = UnzipStatus::kDiskFull;
      outcome.stop = true;
    } else {
      outcome.status = messages_.Refuse(entry, result.message, StatusOf(result.fault));
    }
    return;
  }
  if (result.published) {
    messages_.Written(entry, result.target);
  } else {
    outcome.status = PutInPlace(entry, result.temp, result.target, messages_);
  }
}

void MemberReports::Drop() {
  for (MemberOutcome& outcome : waiting_) {
    if (outcome.written) RemoveUnreported(*outcome.written);
  }
  waiting_.clear();
}

}  // namespace archive
