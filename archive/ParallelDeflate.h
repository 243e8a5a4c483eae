// Compression on every core, for the writer.
//
// Large files are cut into chunks of kChunkBytes that worker threads deflate side by side.
// Each chunk is primed with the last 32 KiB of the chunk before it (deflateSetDictionary),
// so matches reach back across the cut as in one stream and the archive grows by only a
// few bytes per chunk (the empty stored block of a sync flush); the chunks, written in
// order, form one ordinary deflate stream. Small files are read and deflated whole on the
// workers ahead of the writer (FilePrefetcher), which then writes them in order.
//
// Memory stays bounded whatever the input: one chunk of input and output per worker and
// one more for a large file, and kPrefetchBytes of read-ahead for small files; with the
// workers' zlib states that is about 20 MiB with four workers (two cores) and under
// 30 MiB with the most (eight).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "archive/Stream.h"

namespace archive {

// A fixed set of worker threads taking tasks in order of submission. Tasks receive the
// index of the worker that runs them, so that per-worker state needs no locking.
class WorkerPool {
 public:
  explicit WorkerPool(unsigned workers);
  ~WorkerPool();  // finishes the queued tasks, then joins
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  unsigned size() const { return static_cast<unsigned>(threads_.size()); }
  void Submit(std::function<void(unsigned worker)> task);
  // Runs `task` on worker `lane` modulo size(), after the tasks given to that lane before.
  void SubmitTo(unsigned lane, std::function<void(unsigned worker)> task);

  // Cores to compress on: at least one, at most eight (more do not pay for their memory
  // at deflate's speed).
  static unsigned Cores();
  // Workers worth starting: twice the cores, at least four, at most eight. Threads beyond
  // the cores pay where opening and reading a file waits on something else than the CPU,
  // as every file system call does under Wine (a round trip to its server).
  static unsigned DefaultWorkers();

 private:
  void Run(unsigned worker);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void(unsigned)>> tasks_;
  std::vector<std::deque<std::function<void(unsigned)>>> lanes_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// One raw deflate state per worker, created on first use.
class DeflateStates {
 public:
  DeflateStates(unsigned workers, int level);
  ~DeflateStates();
  DeflateStates(const DeflateStates&) = delete;
  DeflateStates& operator=(const DeflateStates&) = delete;

  // Deflates `size` bytes at `data` into `out` (replacing its contents), primed with
  // `dictionary`. `finish` ends the stream; otherwise the output ends on a byte boundary
  // (sync flush) so that the next chunk's output can follow it. Throws std::bad_alloc or
  // ArchiveError(kWriteFailed).
  void Deflate(unsigned worker, const unsigned char* dictionary, size_t dictionarySize,
               const unsigned char* data, size_t size, bool finish,
               std::vector<unsigned char>& out);

 private:
  struct State;
  int level_;
  std::vector<std::unique_ptr<State>> states_;
};

// What deflating one source produced.
struct DeflateTotals {
  uint32_t crc = 0;
  uint64_t size = 0;  // uncompressed bytes read from the source
};

class ParallelDeflate {
 public:
  static constexpr size_t kChunkBytes = 1 << 20;
  static constexpr size_t kDictionaryBytes = 32 * 1024;
  // Files up to this size are prefetched and deflated whole; larger ones go in chunks.
  static constexpr uint64_t kSmallFileBytes = kChunkBytes;
  static constexpr uint64_t kPrefetchBytes = 8 << 20;

  // `level` 1 to 9. With `workers` 0 the pool gets WorkerPool::DefaultWorkers().
  explicit ParallelDeflate(int level, unsigned workers = 0);
  ~ParallelDeflate();
  ParallelDeflate(const ParallelDeflate&) = delete;
  ParallelDeflate& operator=(const ParallelDeflate&) = delete;

  unsigned workers() const { return workers_; }

  // Reads with `read(buffer, size)` (which returns 0 only at the end) until the end, in
  // chunks deflated on the workers, and hands the deflate stream to `sink(data, size)` in
  // order, both on the calling thread. What `read` or `sink` throw propagates, once the
  // workers are done with the chunks in flight.
  DeflateTotals Compress(const std::function<size_t(void*, size_t)>& read,
                         const std::function<void(const unsigned char*, size_t)>& sink);

  WorkerPool& pool() { return pool_; }
  DeflateStates& states() { return states_; }

 private:
  unsigned workers_;
  DeflateStates states_;
  WorkerPool pool_;  // last, so that its threads are joined before the states go
};

// A small file read and deflated ahead of the writer.
struct PrefetchedFile {
  enum class Outcome {
    kReady,      // `data` holds the member's bytes, deflated or (when that did not shrink
                 // them) stored
    kOpenFailed, // the file could not be opened; `error` is the errno value
    kReadFailed, // reading failed; `message` says why
    kTooLarge    // the file grew past kSmallFileBytes: the writer reads it itself
  };
  Outcome outcome = Outcome::kReady;
  int error = 0;
  std::string message;
  bool deflated = false;
  uint32_t crc = 0;
  uint64_t size = 0;
  std::vector<unsigned char> data;
};

// Reads and deflates the listed files on the pool's workers, in list order and at most
// kPrefetchBytes (by their listed sizes) or 8 files per worker ahead of the caller.
class FilePrefetcher {
 public:
  struct File {
    size_t key;  // the caller's name for it, increasing along the list
    std::filesystem::path::string_type path;  // native form: cheaper to hold by the thousand
    uint64_t sizeHint;
  };
  // Opens a listed file for reading, or returns null with an errno value in `*error`.
  using Opener = std::function<std::unique_ptr<Stream>(
      const std::filesystem::path::string_type& path, int* error)>;
  // `open` defaults to FileStream::TryOpen. Whatever a worker meets while reading or
  // deflating a file, the result says so: an exception ends in kReadFailed with its text.
  FilePrefetcher(ParallelDeflate& engine, std::vector<File> files, Opener open = {});
  ~FilePrefetcher();  // waits for the work in flight; the results are dropped
  FilePrefetcher(const FilePrefetcher&) = delete;
  FilePrefetcher& operator=(const FilePrefetcher&) = delete;

  // The result for `key`, waiting for it if need be; nullopt when `key` is not in the
  // list or was taken already. Keys must be taken in increasing order; keys skipped over
  // are dropped.
  std::optional<PrefetchedFile> Take(size_t key);

 private:
  // A file submitted to the workers and not taken yet.
  struct Slot {
    const File* file = nullptr;
    bool done = false;
    PrefetchedFile result;
  };
  void Schedule();  // with mutex_ held
  void Work(unsigned worker, Slot* slot);
  // Opens, reads and deflates one file; throws what those throw.
  PrefetchedFile Prefetch(unsigned worker, const File& listed);
  // The whole of `file` into `plain`, unless it holds more than kSmallFileBytes (false).
  static bool ReadSmall(Stream& file, uint64_t sizeHint, std::vector<unsigned char>& plain);

  ParallelDeflate& engine_;
  const std::vector<File> files_;
  const Opener open_;
  size_t next_ = 0;          // the first file not submitted
  std::deque<Slot> slots_;   // submitted and untaken, in list order
  uint64_t bytesAhead_ = 0;  // listed sizes of the files in slots_
  size_t running_ = 0;       // tasks submitted and not finished
  std::mutex mutex_;
  std::condition_variable finished_;
};

}  // namespace archive
