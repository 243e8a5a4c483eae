// Extraction of the selected members, one at a time in member order: each is tested, or
// resolved to a target, checked against what is in the way and written, and reported on.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/crypto/Encryption.h"
#include "archive/io/Stream.h"
#include "archive/read/Directory.h"
#include "archive/read/ExtractTargets.h"
#include "archive/read/MemberReader.h"
#include "archive/read/ParallelExtract.h"
#include "archive/read/Passwords.h"
#include "archive/read/Unzip.h"

namespace archive {

// A member's messages: straight to the caller, or held while the member waits its turn.
class Messages {
 public:
  Messages(const UnzipRequest& request, UnzipEvents& events)
      : quiet_(request.quiet), events_(events) {}

  // Lines that Quiet silences.
  void Info(const std::string& line) {
    if (quiet_ == 0) Problem(line);
  }
  void Problem(const std::string& line) {
    if (capture_) {
      *capture_ += line + "\n";
    } else {
      events_.Message(line + "\n");
    }
  }
  UnzipStatus Refuse(const Entry& entry, const std::string& why, UnzipStatus status) {
    Problem((status == UnzipStatus::kWarning ? "skipping: " : "error: ") + entry.name + ": " + why);
    return status;
  }
  // Where messages go from now on: a member's held text, or the caller (null).
  std::string* HoldIn(std::string* held) { return std::exchange(capture_, held); }

 private:
  int quiet_;
  UnzipEvents& events_;
  std::string* capture_ = nullptr;
};

// Folders' attributes and times, set last: a read-only folder would stop its files being
// written, and writing a file changes its folder's time.
class FolderFacts {
 public:
  void Add(const Entry& entry, const std::filesystem::path& path) {
    folders_.push_back({&entry, path});
  }
  void Restore() const;

 private:
  struct Folder {
    const Entry* entry;
    std::filesystem::path path;
  };
  std::vector<Folder> folders_;  // in member order
};

using Decrypting = std::unique_ptr<crypto::Decryption>;

class Extraction {
 public:
  Extraction(const UnzipRequest& request, UnzipEvents& events, Stream& archive);
  ~Extraction() { Drop(); }
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

  // With several files to write, writes them on workers (see ParallelExtract.h). Not when
  // the caller is asked before replacing: its questions would overtake the reports.
  // Where creating files is cheap (Linux) small ones are written on this thread, which
  // measured faster than several threads creating files at once; on Windows, and under
  // Wine, every file goes to the workers.
  void UseWorkers(const std::filesystem::path& archive, size_t members) {
    if (request_.mode == UnzipRequest::Mode::kExtract && !request_.toOutput &&
        !request_.confirmReplace && members > 1) {
      writers_ = std::make_unique<ExtractWriters>(archive);
    }
  }

  // Handles one selected member and reports, in member order, on those that are done:
  // their messages and UnzipEvents::Done. Returns false when the run must stop (the disk
  // is full, or the caller cancelled).
  bool Add(const Entry& entry);
  // Reports on the members still in progress; returns the worst status of the run.
  UnzipStatus Finish();
  // Forgets the members not reported: after a stop, the files made for them are removed.
  void Drop();

 private:
  // A member whose report waits for those before it.
  struct Slot {
    const Entry* entry = nullptr;
    std::string messages;
    UnzipStatus status = UnzipStatus::kOk;
    bool writing = false;                           // its file is being written by a worker
    std::optional<ExtractWriters::Result> written;  // written here, waiting to be published
    bool stop = false;                              // the run stops after it
  };
  // Throws ArchiveError for what stops the whole run.
  UnzipStatus Member(const Entry& entry);
  // Reports on finished members, waiting until at most `keep` writes are in flight.
  void Report(size_t keep);
  // Puts a verified file into place; the outcome goes into `slot`.
  void Publish(Slot& slot, ExtractWriters::Result result);

  UnzipStatus Test(const Entry& entry);
  // Extracts one member in three phases: resolve its name to a target, LookInTheWay of
  // that target, then write the file.
  UnzipStatus Extract(const Entry& entry);
  UnzipStatus Refuse(const Entry& entry, const std::string& why, UnzipStatus status) {
    return messages_.Refuse(entry, why, status);
  }
  UnzipStatus Ended(const Entry& entry, const EarlyEnd& end) {
    return end.why.empty() ? end.status : Refuse(entry, end.why, end.status);
  }
  // Returns how the member ends when something is in the way or the file is kept.
  std::optional<UnzipStatus> LookInTheWay(const Entry& entry, Target& target);
  // Whether the existing file at the target stays (older member, or the caller keeps it).
  bool KeepsExisting(const Entry& entry, const Target& target);
  // The three ways a file is written: by a worker; here, published in order after the
  // workers' files; here and published at once. `decryption` for encrypted members.
  UnzipStatus WriteFile(const Entry& entry, const Target& target, Decrypting decryption);
  void StartOnWorker(const Entry& entry, const Target& target, Decrypting decryption);
  void WriteForLater(const Entry& entry, const Target& target, Decrypting decryption);
  UnzipStatus WriteNow(const Entry& entry, const Target& target, Decrypting decryption);
  void Written(const Entry& entry, const std::filesystem::path& path);
  void CopyTo(MemberReader& reader, Stream* out);

  const UnzipRequest& request_;
  UnzipEvents& events_;
  Stream& archive_;
  std::vector<unsigned char> buffer_;
  Messages messages_;
  ExtractTargets targets_;
  Passwords passwords_;  // asked here, on the calling thread, before a member goes to a worker
  FolderFacts folderFacts_;
  std::unique_ptr<ExtractWriters> writers_;
  std::deque<Slot> slots_;
  bool started_ = false;                           // Member handed its file to a worker
  std::optional<ExtractWriters::Result> written_;  // or wrote it, not yet published
  bool stopped_ = false;
  UnzipStatus status_ = UnzipStatus::kOk;
};

}  // namespace archive
