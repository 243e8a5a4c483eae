// Compression on every core, for the writer.
//
// A member of up to kDeflateWholeBytes is read whole and compressed in one call with
// libdeflate, about three times as fast as zlib at the same ratio. Larger members are cut
// into chunks of kChunkBytes that worker threads deflate side by side, also with libdeflate.
// libdeflate has no streaming: each call ends with a final block. So each chunk's stream is
// decoded once (zlib; a third of the compressing time in the 32-bit build) to find that block's
// header bit, which is cleared, and its last bit, after which an empty stored block brings the
// stream to a byte boundary as a sync flush does; the chunks, written in order, then form one
// ordinary deflate stream. libdeflate has no preset dictionary either: each chunk starts
// afresh, which costs a few hundred bytes per chunk, against 1 to 3 % that libdeflate saves
// on zlib. Where libdeflate fails, the chunk goes through zlib, primed with the last 32 KiB
// before it (deflateSetDictionary). Whole members are read and compressed on the workers
// ahead of the writer (FilePrefetcher), which then writes them in order.
//
// Which path a member takes depends on its size alone, never on the number of workers:
// archives are the same byte for byte whatever the machine.
//
// Memory stays bounded whatever the input: one chunk of input and output per worker and
// one more for a large file, and kPrefetchBytes of read-ahead (with its output) for whole
// members; with the workers' compressor states that is under 40 MiB with two workers
// (two cores) and with the most (eight).
#pragma once

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

#include "archive/io/Stream.h"
#include "archive/io/Sync.h"
#include "archive/io/WorkerPool.h"

namespace archive {

// One raw deflate state per worker (zlib for chunks, libdeflate for whole members), each
// created on first use.
class DeflateStates {
 public:
  // States for `workers` workers, compressing at `level` (1 to 9).
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

  // Deflates a chunk with libdeflate into `out` (replacing its contents), ending on a byte
  // boundary like Deflate without `finish`, so that the next chunk's output can follow:
  // libdeflate always ends with a final block, so its output is decoded once to find that
  // block's header bit, cleared, and its end, where an empty stored block realigns. No
  // dictionary: the chunk starts afresh. Returns false when that fails (the caller then
  // uses Deflate). Throws std::bad_alloc.
  bool DeflateChunk(unsigned worker, const unsigned char* data, size_t size,
                    std::vector<unsigned char>& out);

  // Compresses `size` bytes at `data` into `out` as one complete raw deflate stream, with
  // libdeflate at the same level (on headers, libraries and DLLs its levels 1 to 9 each
  // compress 0.1 to 5 % smaller than zlib's); under 64 bytes with zlib. Returns false, leaving
  // `out` empty, when that would not be smaller than `size` (the member is then stored). Throws
  // std::bad_alloc.
  bool DeflateWhole(unsigned worker, const unsigned char* data, size_t size,
                    std::vector<unsigned char>& out);

 private:
  struct State;
  // The state of `worker`, created on first use.
  State& StateOf(unsigned worker);
  int level_;
  std::vector<std::unique_ptr<State>> states_;
};

// What deflating one source produced.
struct DeflateTotals {
  uint32_t crc = 0;
  uint64_t size = 0;  // uncompressed bytes read from the source
};

struct PrefetchedFile;

class ParallelDeflate {
 public:
  static constexpr size_t kChunkBytes = 1 << 20;
  static constexpr size_t kDictionaryBytes = 32 * 1024;
  // Members up to this size are compressed whole with libdeflate; larger ones go in chunks.
  // A member in flight holds its input and its output, so the read-ahead below, which
  // keeps two of the largest on the cores, costs about 16 MiB. In the benchmark corpora
  // 80 % of the bytes of the large files are in files over 4 MiB and 77 % over 8 MiB:
  // doubling the bound would move 3 % more to libdeflate for 16 MiB more memory.
  static constexpr uint64_t kDeflateWholeBytes = 4 << 20;
  // Read-ahead of whole members, by their listed sizes.
  static constexpr uint64_t kPrefetchBytes = 2 * kDeflateWholeBytes;

  // `level` 1 to 9. With `workers` 0 the pool gets WorkerPool::PackingWorkers().
  explicit ParallelDeflate(int level, unsigned workers = 0);
  ~ParallelDeflate();
  ParallelDeflate(const ParallelDeflate&) = delete;
  ParallelDeflate& operator=(const ParallelDeflate&) = delete;

  unsigned workers() const { return workers_; }
  // The worker of the states() that stands for the calling thread: one after the pool's.
  unsigned callerWorker() const { return workers_; }

  // Reads the whole of `file` from where it stands and compresses it into `result`
  // (kReady), with `worker`'s state; false when it holds more than kDeflateWholeBytes
  // (`file` is then left somewhere after that). Throws what reading throws, and bad_alloc.
  bool CompressWhole(unsigned worker, Stream& file, uint64_t sizeHint, PrefetchedFile& result);

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
    kReady,       // `data` holds the member's bytes, deflated or (when that did not shrink
                  // them) stored
    kOpenFailed,  // the file could not be opened; `error` is the errno value
    kReadFailed,  // reading failed; `message` says why
    kTooLarge     // the file grew past kDeflateWholeBytes: the writer reads it itself
  };
  Outcome outcome = Outcome::kReady;
  int error = 0;
  std::string message;
  bool deflated = false;
  uint32_t crc = 0;
  uint64_t size = 0;
  std::vector<unsigned char> data;
};

// Reads and compresses the listed files on the pool's workers, in list order and at most
// kPrefetchBytes (by their listed sizes) or 8 files per worker ahead of the caller.
class FilePrefetcher {
 public:
  struct File {
    size_t key;                               // the caller's name for it, increasing along the list
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

  // Lists one more file, after those listed before (its key larger than theirs). Safe to
  // call from another thread than Take's.
  void Add(File file);

  // The result for `key`, waiting for it if need be; nullopt when `key` is not in the
  // list or was taken already. Keys must be taken in increasing order; keys skipped over
  // are dropped.
  std::optional<PrefetchedFile> Take(size_t key);

 private:
  // A file submitted to the workers and not taken yet.
  struct Slot {
    File file;
    bool done = false;
    PrefetchedFile result;
  };
  void Schedule();  // with mutex_ held
  void Work(unsigned worker, Slot* slot);
  // Opens, reads and compresses one file; throws what those throw.
  PrefetchedFile Prefetch(unsigned worker, const File& listed);

  ParallelDeflate& engine_;
  // Files leave the list when submitted and are dropped when taken: by the ten thousand
  // their paths weigh.
  std::deque<File> files_;  // listed and not submitted yet, in list order
  const Opener open_;
  std::deque<Slot> slots_;   // submitted and untaken, in list order
  uint64_t bytesAhead_ = 0;  // listed sizes of the files in slots_
  size_t running_ = 0;       // tasks submitted and not finished
  Mutex mutex_;
  ConditionVariable finished_;
};

}  // namespace archive
