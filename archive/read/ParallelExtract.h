// Extraction on worker threads: members' files are read, inflated, checked and written on
// workers, each with its own handle on the archive, so that several files are in progress
// at once. Creating a file costs more than writing a small file's bytes (and under Wine
// every file system call waits on its server), so small files gain most; large members
// overlap with each other and with the small ones.
//
// The caller decides everything about a member on its own thread, in member order (name
// checks, what is in the way, folders), then starts the write; it takes the results back
// oldest first, so that what it reports follows member order as without workers. A file
// that replaces nothing is created by the worker under its final name (a rename is one more
// wait on the system) and removed again if the member fails; one that replaces a file is
// written under a temporary name and left for the caller to put into place in order. Files
// not taken when the writers go are removed, so a run that stops early leaves what it
// would have left without workers. No exception leaves a worker: whatever a write throws
// becomes that member's failure and reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "archive/crypto/Encryption.h"
#include "archive/read/Directory.h"
#include "archive/format/Status.h"
#include "archive/io/Stream.h"
#include "archive/io/Sync.h"

namespace archive {

class WorkerPool;

// Reads `entry` from `archive` into a new temporary file beside `target`, checking its
// size and CRC, and sets the file's time. Returns the temporary file's path. With `direct`
// (nothing is at `target`) the file is created as `target` itself, which saves the rename;
// the result then is `target`, and should something be there after all the member is
// refused (kUnsafe) and that thing left as it was. On failure no file is left and ArchiveError is
// thrown (the faults of MemberReader, and kWriteFailed or kDiskFull for the output). An
// encrypted member is read through `decryption` (see MemberReader).
std::filesystem::path WriteVerified(Stream& archive, const Entry& entry,
                                    const std::filesystem::path& target,
                                    std::vector<unsigned char>& buffer, bool direct = false,
                                    std::unique_ptr<crypto::Decryption> decryption = nullptr);

class ExtractWriters {
 public:
  // How a worker writes one member: WriteVerified, or a test's stand-in.
  using WriteStep = std::filesystem::path (*)(Stream& archive, const Entry& entry,
                                              const std::filesystem::path& target,
                                              std::vector<unsigned char>& buffer, bool direct,
                                              std::unique_ptr<crypto::Decryption> decryption);
  // `workers` 0 chooses WorkerPool::DefaultWorkers().
  explicit ExtractWriters(const std::filesystem::path& archive, unsigned workers = 0,
                          WriteStep write = WriteVerified);
  // Waits for the writes in flight and removes the temporary files not taken.
  ~ExtractWriters();
  ExtractWriters(const ExtractWriters&) = delete;
  ExtractWriters& operator=(const ExtractWriters&) = delete;

  struct Result {
    const Entry* entry = nullptr;
    std::filesystem::path target;
    std::filesystem::path temp;  // the verified file, when !failed and !published
    bool published = false;      // the worker renamed it to `target`
    bool failed = false;
    Fault fault = Fault::kBadMember;
    std::string message;
  };

  // Starts writing `entry` (which must outlive this object) for `target`; with `publish`
  // (nothing is at `target`) the worker renames the file into place itself. Small files with
  // the same `lane` are written one after the other: files created side by side in one
  // folder contend for it in the file system, files in different folders do not. Members of
  // kAnyLaneBytes or more go to whichever worker is free, since their inflating outweighs
  // the creating (99 members of 2 MB in one folder took one core with lanes, two without).
  // An encrypted member comes with the `decryption` its password passed the quick check with.
  static constexpr uint64_t kAnyLaneBytes = 256 * 1024;
  void Start(const Entry& entry, const std::filesystem::path& target, size_t lane, bool publish,
             std::unique_ptr<crypto::Decryption> decryption = nullptr);
  size_t pending() const { return jobs_.size(); }
  // Whether the oldest write has finished (false when none is pending).
  bool OldestDone();
  // The oldest write's result, waiting for it. The caller owns its temporary file.
  Result TakeOldest();
  // Writes worth having in flight: enough to keep every worker busy.
  size_t Window() const;

 private:
  struct Job;
  struct PerWorker;
  void Work(unsigned worker, Job* job);

  std::filesystem::path archive_;
  WriteStep write_;
  std::vector<std::unique_ptr<PerWorker>> perWorker_;
  std::deque<std::unique_ptr<Job>> jobs_;  // oldest first
  Mutex mutex_;
  ConditionVariable finished_;
  std::unique_ptr<WorkerPool> pool_;  // last: joined before the rest goes
};

}  // namespace archive
