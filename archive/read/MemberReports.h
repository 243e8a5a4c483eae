// What an extraction says about its members, and when. With workers a member's file may
// land after later members were decided, so each member's messages are held with its
// outcome and said, followed by UnzipEvents::Done, once every member before it has been
// reported: what the caller sees follows member order as without workers.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "archive/format/Status.h"
#include "archive/read/Directory.h"
#include "archive/read/ParallelExtract.h"
#include "archive/read/Unzip.h"

namespace archive {

// The status a member ends with for a fault.
UnzipStatus StatusOf(Fault fault);

// A member's messages: straight to the caller, or held while the member waits its turn.
class Messages {
 public:
  Messages(const UnzipRequest& request, UnzipEvents& events)
      : quiet_(request.quiet), events_(events) {}

  // Lines that Quiet silences.
  void Info(const std::string& line) {
    if (quiet_ == 0) Problem(line);
  }
  void Problem(const std::string& line);
  UnzipStatus Refuse(const Entry& entry, const std::string& why, UnzipStatus status);
  // Sets a written file's attributes and says it was written.
  void Written(const Entry& entry, const std::filesystem::path& path);
  void DiskFull(const Entry& entry) { Problem("error: " + entry.name + ": the disk is full"); }

  // While a Hold lives, messages go into `held` instead of to the caller.
  class Hold {
   public:
    Hold(Messages& messages, std::string* held)
        : messages_(messages), saved_(std::exchange(messages.held_, held)) {}
    ~Hold() { messages_.held_ = saved_; }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    Messages& messages_;
    std::string* saved_;
  };

 private:
  int quiet_;
  UnzipEvents& events_;
  std::string* held_ = nullptr;
};

// How a member ended, or where its file is while it waits to be reported.
struct MemberOutcome {
  const Entry* entry = nullptr;
  std::string messages;
  UnzipStatus status = UnzipStatus::kOk;
  bool writing = false;                           // its file is being written by a worker
  std::optional<ExtractWriters::Result> written;  // written here, waiting to be published
  bool stop = false;                              // the run stops after it
};

// Puts the verified file `temp` in place of `target` and says so; when that fails, removes
// it and refuses the member.
UnzipStatus PutInPlace(const Entry& entry, const std::filesystem::path& temp,
                       const std::filesystem::path& target, Messages& messages);

// Removes a file written for a member that will not be reported. A file written in place
// replaced nothing, so removing it leaves what was there.
void RemoveUnreported(const ExtractWriters::Result& written);

// The members waiting to be reported, oldest first.
class MemberReports {
 public:
  MemberReports(UnzipEvents& events, Messages& messages) : events_(events), messages_(messages) {}
  ~MemberReports() { Drop(); }
  MemberReports(const MemberReports&) = delete;
  MemberReports& operator=(const MemberReports&) = delete;

  // The workers whose results members wait for; null without workers.
  void UseWriters(ExtractWriters* writers) { writers_ = writers; }
  // Queues a member's outcome and reports on the members before it that are done, keeping
  // enough writes in flight for every worker.
  void Add(MemberOutcome outcome);
  // Reports on finished members, waiting until at most `keep` writes are in flight; stops
  // at a member whose write is still going, and for good once the run must stop.
  void Report(size_t keep);
  // Forgets the members not reported and removes the files written here for them (the
  // workers' own files are theirs to remove).
  void Drop();

  bool stopped() const { return stopped_; }
  UnzipStatus status() const { return status_; }

 private:
  // Puts a verified file into place; the outcome goes into `outcome`.
  void Publish(MemberOutcome& outcome, ExtractWriters::Result result);

  UnzipEvents& events_;
  Messages& messages_;
  ExtractWriters* writers_ = nullptr;
  std::deque<MemberOutcome> waiting_;
  bool stopped_ = false;  // the disk is full, or the caller cancelled
  UnzipStatus status_ = UnzipStatus::kOk;
};

}  // namespace archive
