#include "archive/read/ParallelExtract.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "archive/format/Times.h"
#include "archive/io/FileFacts.h"
#include "archive/io/FileSystem.h"
#include "archive/io/WorkerPool.h"
#include "archive/read/MemberReader.h"
#include "archive/format/Names.h"

namespace archive {

namespace fs = std::filesystem;

namespace {
constexpr size_t kCopyPiece = 256 * 1024;
}  // namespace

fs::path WriteVerified(Stream& archive, const Entry& entry, const fs::path& target,
                       std::vector<unsigned char>& buffer, bool direct,
                       std::unique_ptr<crypto::Decryption> decryption) {
  if (buffer.size() < kCopyPiece) buffer.resize(kCopyPiece);
  MemberReader reader(archive, entry, std::move(decryption));
  fs::path temp;
  std::unique_ptr<FileStream> out;
  // Created exclusively: never through a link nor over something that appeared after the
  // caller looked (or, on Windows, another name for a file already written, such as a
  // short name): that is left alone and the member refused.
  if (direct) {
    int error = 0;
    out = FileStream::TryOpen(target, FileStream::Mode::kCreateNew, &error);
    if (!out && error == EEXIST) {
      throw ArchiveError(Fault::kUnsafe, "something is in the way at " + Quoted(target) +
                                             "; it was left as it was");
    }
  }
  if (out) {
    temp = target;
  } else {
    out = CreateTempBeside(target, &temp);
  }
  try {
    for (size_t n; (n = reader.Read(buffer.data(), buffer.size())) > 0;)
      out->Write(buffer.data(), n);
    // Through the open file: setting the time by name afterwards opens it once more.
    FileTimes times = MemberTimes(entry);
    bool timed = times.modified == 0 || out->SetTimes(times);
    out->Close();
    if (!timed) SetPathTimes(temp, times);
  } catch (...) {
    out.reset();
    RemoveQuietly(temp);
    throw;
  }
  return temp;
}

struct ExtractWriters::Job {
  Result result;
  std::unique_ptr<crypto::Decryption> decryption;
  bool publish = false;
  bool done = false;
};

// Each worker reads through a handle of its own: a stream has one position.
struct ExtractWriters::PerWorker {
  std::unique_ptr<FileStream> archive;
  std::vector<unsigned char> buffer;
};

ExtractWriters::ExtractWriters(const fs::path& archive, unsigned workers, WriteStep write)
    : archive_(archive), write_(write) {
  unsigned count = workers == 0 ? WorkerPool::DefaultWorkers() : workers;
  for (unsigned i = 0; i < count; ++i) perWorker_.push_back(std::make_unique<PerWorker>());
  pool_ = std::make_unique<WorkerPool>(count);
}

ExtractWriters::~ExtractWriters() {
  pool_.reset();  // finishes the queued writes
  for (auto& job : jobs_) {
    const Result& r = job->result;
    if (r.published) {
      RemoveQuietly(r.target);
    } else if (!r.failed && !r.temp.empty()) {
      RemoveQuietly(r.temp);
    }
  }
}

size_t ExtractWriters::Window() const { return 16 * perWorker_.size(); }

void ExtractWriters::Start(const Entry& entry, const fs::path& target, size_t lane, bool publish,
                           std::unique_ptr<crypto::Decryption> decryption) {
  auto job = std::make_unique<Job>();
  job->decryption = std::move(decryption);
  job->publish = publish;
  job->result.entry = &entry;
  job->result.target = target;
  Job* raw = job.get();
  {
    std::lock_guard<Mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  auto task = [this, raw](unsigned worker) { Work(worker, raw); };
  if (entry.uncompressedSize >= kAnyLaneBytes) {
    pool_->Submit(task);
  } else {
    pool_->SubmitTo(static_cast<unsigned>(lane % perWorker_.size()), task);
  }
}

void ExtractWriters::Work(unsigned worker, Job* job) {
  PerWorker& mine = *perWorker_[worker];
  Result& r = job->result;
  try {
    if (!mine.archive)
      mine.archive = std::make_unique<FileStream>(archive_, FileStream::Mode::kRead);
    r.temp = write_(*mine.archive, *r.entry, r.target, mine.buffer, job->publish,
                    std::move(job->decryption));
    std::error_code ec;
    if (r.temp == r.target) {
      r.temp.clear();
      r.published = true;
    } else if (job->publish && ReplaceWith(r.temp, r.target, ec)) {
      r.temp.clear();
      r.published = true;
    }
  } catch (...) {
    Failure failure = CurrentFailure();
    r.failed = true;
    r.fault = failure.fault;
    r.message = std::move(failure.reason);
  }
  std::lock_guard<Mutex> lock(mutex_);
  job->done = true;
  finished_.notify_all();
}

bool ExtractWriters::OldestDone() {
  std::lock_guard<Mutex> lock(mutex_);
  return !jobs_.empty() && jobs_.front()->done;
}

ExtractWriters::Result ExtractWriters::TakeOldest() {
  std::unique_lock<Mutex> lock(mutex_);
  finished_.wait(lock, [this] { return jobs_.front()->done; });
  Result result = std::move(jobs_.front()->result);
  jobs_.pop_front();
  return result;
}

}  // namespace archive
