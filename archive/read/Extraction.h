// Extraction of the selected members, one at a time in member order: each is tested, or
// resolved to a target, checked against what is in the way and written, and reported on.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/crypto/Encryption.h"
#include "archive/io/Stream.h"
#include "archive/read/Directory.h"
#include "archive/read/ExtractTargets.h"
#include "archive/read/MemberReader.h"
#include "archive/read/MemberReports.h"
#include "archive/read/ParallelExtract.h"
#include "archive/read/Passwords.h"
#include "archive/read/Unzip.h"

namespace archive {

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

// The three ways a member's file is written: by a worker; here, and published in order
// after the workers' files before it; here, and published at once (without workers).
class FileWrites {
 public:
  FileWrites(Stream& archive, std::vector<unsigned char>& buffer, Messages& messages)
      : archive_(archive), buffer_(buffer), messages_(messages) {}
  ~FileWrites() { Drop(); }
  FileWrites(const FileWrites&) = delete;
  FileWrites& operator=(const FileWrites&) = delete;

  // From now on files are written on workers (see ParallelExtract.h).
  void UseWorkers(const std::filesystem::path& archive);
  ExtractWriters* writers() const { return writers_.get(); }

  // Writes the member's file, or starts writing it. Returns the member's status if it is
  // settled here; a file still to be published is the member's to take (TakePending). A
  // full disk is said and thrown (ArchiveError) when it stops the run here.
  UnzipStatus Write(const Entry& entry, const Target& target, Decrypting decryption);
  // Puts where the member's file is (with a worker, or written here and waiting to be
  // published) into `outcome`.
  void TakePending(MemberOutcome& outcome);
  // Stops the workers, which remove their files, and removes a file written here and not
  // taken.
  void Drop();

 private:
  void StartOnWorker(const Entry& entry, const Target& target, Decrypting decryption);
  void WriteForLater(const Entry& entry, const Target& target, Decrypting decryption);
  UnzipStatus WriteNow(const Entry& entry, const Target& target, Decrypting decryption);

  Stream& archive_;
  std::vector<unsigned char>& buffer_;
  Messages& messages_;
  std::unique_ptr<ExtractWriters> writers_;
  bool started_ = false;                           // the member's file went to a worker
  std::optional<ExtractWriters::Result> written_;  // or was written here, not yet published
};

class Extraction {
 public:
  Extraction(const UnzipRequest& request, UnzipEvents& events, Stream& archive);
  ~Extraction() { Drop(); }
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

  // With several files to write, writes them on workers. Not when the caller is asked
  // before replacing: its questions would overtake the reports.
  void UseWorkers(const std::filesystem::path& archive, size_t members);

  // Handles one selected member and reports, in member order, on those that are done:
  // their messages and UnzipEvents::Done. Returns false when the run must stop (the disk
  // is full, or the caller cancelled).
  bool Add(const Entry& entry);
  // Reports on the members still in progress; returns the worst status of the run.
  UnzipStatus Finish();
  // Forgets the members not reported: after a stop, the files made for them are removed.
  void Drop();

 private:
  // Throws ArchiveError for what stops the whole run.
  UnzipStatus Member(const Entry& entry);
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
  // Reads the member to its end, which checks it, handing the bytes to the caller when it
  // asked for them.
  void ReadThrough(MemberReader& reader);

  const UnzipRequest& request_;
  UnzipEvents& events_;
  Stream& archive_;
  std::vector<unsigned char> buffer_;
  Messages messages_;
  MemberReports reports_;
  FileWrites files_;
  ExtractTargets targets_;
  Passwords passwords_;  // asked here, on the calling thread, before a member goes to a worker
  FolderFacts folderFacts_;
};

}  // namespace archive
