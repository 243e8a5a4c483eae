#include "archive/write/ParallelDeflate.h"

#include <algorithm>
#include <exception>
#include <new>

#include <libdeflate.h>
#include <zlib.h>

#include "archive/format/Status.h"
#include "archive/methods/Zlib.h"

namespace archive {

// ---- DeflateStates ---------------------------------------------------------------------

struct DeflateStates::State {
  ~State() {
    if (zlibStarted) deflateEnd(&stream);
    if (inflateStarted) inflateEnd(&walk);
    if (whole) libdeflate_free_compressor(whole);
  }
  z_stream& Zlib(int level) {
    if (!zlibStarted) {
      int result = deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
      if (result == Z_MEM_ERROR) throw std::bad_alloc();
      if (result != Z_OK) throw ArchiveError(Fault::kWriteFailed, "cannot start deflate");
      zlibStarted = true;
    } else if (deflateReset(&stream) != Z_OK) {
      throw ArchiveError(Fault::kWriteFailed, "deflate failed");
    }
    return stream;
  }
  libdeflate_compressor* Whole(int level) {
    if (!whole) whole = libdeflate_alloc_compressor(level);
    if (!whole) throw std::bad_alloc();
    return whole;
  }

  z_stream& Walk() {
    if (!inflateStarted) {
      int result = inflateInit2(&walk, -15);
      if (result == Z_MEM_ERROR) throw std::bad_alloc();
      if (result != Z_OK) throw ArchiveError(Fault::kWriteFailed, "cannot start inflate");
      inflateStarted = true;
    } else if (inflateReset(&walk) != Z_OK) {
      throw ArchiveError(Fault::kWriteFailed, "inflate failed");
    }
    return walk;
  }

  z_stream stream{};
  bool zlibStarted = false;
  z_stream walk{};  // finds where libdeflate's final block starts and ends
  bool inflateStarted = false;
  libdeflate_compressor* whole = nullptr;
};

namespace {
// libdeflate stores inputs this short as they are (up to 55 - 4 * level bytes), where zlib
// still finds a few bytes to save.
constexpr size_t kZlibBelow = 64;
// What DeflateChunk appends: at most one byte to finish the stored block's header, then
// LEN and NLEN.
constexpr size_t kSyncMarkerRoom = 5;
}  // namespace

DeflateStates::DeflateStates(unsigned workers, int level) : level_(level), states_(workers) {}

DeflateStates::~DeflateStates() = default;

DeflateStates::State& DeflateStates::StateOf(unsigned worker) {
  std::unique_ptr<State>& state = states_.at(worker);
  if (!state) state = std::make_unique<State>();
  return *state;
}

bool DeflateStates::DeflateWhole(unsigned worker, const unsigned char* data, size_t size,
                                 std::vector<unsigned char>& out) {
  State& state = StateOf(worker);
  out.clear();
  if (size == 0) return false;
  size_t used = 0;
  if (size < kZlibBelow) {
    Deflate(worker, nullptr, 0, data, size, true, out);
    used = out.size();
  } else {
    // Room for the worst case: with less, libdeflate gives up on streams that would fit
    // within its few bytes of working margin at the end.
    libdeflate_compressor* compressor = state.Whole(level_);
    out.resize(libdeflate_deflate_compress_bound(compressor, size));
    used = libdeflate_deflate_compress(compressor, data, size, out.data(), out.size());
  }
  if (used == 0 || used >= size) {
    out.clear();
    return false;
  }
  out.resize(used);
  return true;
}

bool DeflateStates::DeflateChunk(unsigned worker, const unsigned char* data, size_t size,
                                 std::vector<unsigned char>& out) {
  State& state = StateOf(worker);
  if (size < kZlibBelow) return false;
  libdeflate_compressor* compressor = state.Whole(level_);
  out.resize(libdeflate_deflate_compress_bound(compressor, size) + kSyncMarkerRoom);
  size_t used = libdeflate_deflate_compress(compressor, data, size, out.data(), out.size());
  if (used == 0) return false;
  // Decode the stream to learn the bit where its final block's header starts and the bit
  // where it ends (zlib reports both at block boundaries); the decoded size confirms it.
  z_stream& z = state.Walk();
  z.next_in = out.data();
  z.avail_in = static_cast<uInt>(used);
  unsigned char scratch[16 * 1024];
  uint64_t decoded = 0;
  uint64_t finalHeader = 0;  // a raw stream's first block starts at bit 0
  std::optional<uint64_t> end;
  for (int result = Z_OK; result != Z_STREAM_END;) {
    z.next_out = scratch;
    z.avail_out = sizeof scratch;
    result = inflate(&z, Z_BLOCK);
    if (result != Z_OK && result != Z_STREAM_END) return false;
    decoded += sizeof scratch - z.avail_out;
    // Z_BLOCK returns at each block's end, with the bits left unused in the last byte
    // read; after the final block (64) once more before the stream's end drops them.
    if (z.data_type & 128) {
      uint64_t at = (used - z.avail_in) * 8 - static_cast<unsigned>(z.data_type & 7);
      if (z.data_type & 64) {
        if (!end) end = at;
      } else {
        finalHeader = at;
      }
    }
  }
  if (!end || decoded != size || (out[finalHeader / 8] >> (finalHeader % 8) & 1) != 1) {
    return false;
  }
  out[finalHeader / 8] &= static_cast<unsigned char>(~(1u << (finalHeader % 8)));
  // End on a byte boundary as a sync flush does: an empty stored block (3 header bits, zero
  // padding, LEN 0, NLEN 0xFFFF) right after the last block.
  used = static_cast<size_t>((*end + 7) / 8);
  if (*end % 8 != 0) out[used - 1] &= static_cast<unsigned char>((1u << (*end % 8)) - 1);
  unsigned padding = static_cast<unsigned>((8 - *end % 8) % 8);
  if (padding < 3) out[used++] = 0;
  static constexpr unsigned char kEmptyStored[] = {0x00, 0x00, 0xFF, 0xFF};
  std::copy(std::begin(kEmptyStored), std::end(kEmptyStored), out.begin() + used);
  out.resize(used + sizeof kEmptyStored);
  return true;
}

void DeflateStates::Deflate(unsigned worker, const unsigned char* dictionary, size_t dictionarySize,
                            const unsigned char* data, size_t size, bool finish,
                            std::vector<unsigned char>& out) {
  State& state = StateOf(worker);
  z_stream& z = state.Zlib(level_);
  if (dictionarySize > 0 &&
      deflateSetDictionary(&z, dictionary, static_cast<uInt>(dictionarySize)) != Z_OK) {
    throw ArchiveError(Fault::kWriteFailed, "deflate failed");
  }
  // Room for incompressible data plus the flush markers; grown if ever short.
  out.resize(deflateBound(&z, static_cast<uLong>(size)) + 64);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  size_t used = 0;
  for (;;) {
    z.next_out = out.data() + used;
    z.avail_out = static_cast<uInt>(out.size() - used);
    int result = deflate(&z, finish ? Z_FINISH : Z_SYNC_FLUSH);
    used = out.size() - z.avail_out;
    if (result == Z_STREAM_ERROR) throw ArchiveError(Fault::kWriteFailed, "deflate failed");
    bool complete = finish ? result == Z_STREAM_END : (z.avail_in == 0 && z.avail_out > 0);
    if (complete) break;
    out.resize(out.size() * 2);
  }
  out.resize(used);
}

// ---- ParallelDeflate -------------------------------------------------------------------

namespace {

// One chunk of a large file on its way through a worker.
struct Chunk {
  std::vector<unsigned char> input;
  std::vector<unsigned char> dictionary;
  std::vector<unsigned char> output;
  uint32_t crc = 0;
  bool done = false;
  std::exception_ptr error;
};

// A final, empty block with fixed codes (three header bits, seven for end-of-block): it
// closes a stream whose chunks all ended in a sync flush.
constexpr unsigned char kFinalEmptyBlock[] = {0x03, 0x00};

// The chunks of one large source on their way through the workers: read in order on the
// calling thread, deflated side by side, written out in order. The workers hold pointers
// into it, so it waits for the chunks in flight before it goes.
class ChunkPipeline {
 public:
  ChunkPipeline(WorkerPool& pool, DeflateStates& states) : pool_(pool), states_(states) {}
  ~ChunkPipeline() {
    while (!inFlight_.empty()) WaitOldest();
  }
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;

  // The next chunk of up to kChunkBytes from `read`, with the 32 KiB before it as its
  // dictionary; null at the end.
  std::shared_ptr<Chunk> Read(const std::function<size_t(void*, size_t)>& read) {
    constexpr size_t kChunkBytes = ParallelDeflate::kChunkBytes;
    constexpr size_t kDictionaryBytes = ParallelDeflate::kDictionaryBytes;
    std::shared_ptr<Chunk> chunk;
    if (!spare_.empty()) {
      chunk = std::move(spare_.back());
      spare_.pop_back();
    } else {
      chunk = std::make_shared<Chunk>();
    }
    chunk->input.resize(kChunkBytes);
    size_t got = 0;
    for (size_t n;
         got < kChunkBytes && (n = read(chunk->input.data() + got, kChunkBytes - got)) > 0;) {
      got += n;
    }
    chunk->input.resize(got);
    if (got == 0) return nullptr;
    chunk->dictionary = tail_;
    size_t keep = std::min(got, kDictionaryBytes);
    if (keep == kDictionaryBytes) tail_.clear();
    tail_.insert(tail_.end(), chunk->input.end() - static_cast<ptrdiff_t>(keep),
                 chunk->input.end());
    if (tail_.size() > kDictionaryBytes) tail_.erase(tail_.begin(), tail_.end() - kDictionaryBytes);
    chunk->done = false;
    chunk->error = nullptr;
    return chunk;
  }

  // Hands `chunk` to a worker.
  void Deflate(std::shared_ptr<Chunk> chunk) {
    pool_.Submit([this, chunk](unsigned worker) {
      try {
        chunk->crc = Crc32(0, chunk->input.data(), chunk->input.size());
        if (!states_.DeflateChunk(worker, chunk->input.data(), chunk->input.size(),
                                  chunk->output)) {
          states_.Deflate(worker, chunk->dictionary.data(), chunk->dictionary.size(),
                          chunk->input.data(), chunk->input.size(), false, chunk->output);
        }
      } catch (...) {
        chunk->error = std::current_exception();
      }
      std::lock_guard<Mutex> lock(mutex_);
      chunk->done = true;
      finished_.notify_all();
    });
    inFlight_.push_back(std::move(chunk));
  }

  size_t inFlight() const { return inFlight_.size(); }

  // Writes the oldest chunk out once deflated, or throws what deflating it threw; keeps its
  // buffers for a later chunk.
  void EmitOldest(const std::function<void(const unsigned char*, size_t)>& sink) {
    std::shared_ptr<Chunk> chunk = WaitOldest();
    if (chunk->error) std::rethrow_exception(chunk->error);
    sink(chunk->output.data(), chunk->output.size());
    totals_.crc = static_cast<uint32_t>(
        crc32_combine(totals_.crc, chunk->crc, static_cast<z_off_t>(chunk->input.size())));
    totals_.size += chunk->input.size();
    spare_.push_back(std::move(chunk));
  }

  const DeflateTotals& totals() const { return totals_; }

 private:
  std::shared_ptr<Chunk> WaitOldest() {
    std::shared_ptr<Chunk> chunk = inFlight_.front();
    {
      std::unique_lock<Mutex> lock(mutex_);
      finished_.wait(lock, [&] { return chunk->done; });
    }
    inFlight_.pop_front();
    return chunk;
  }

  WorkerPool& pool_;
  DeflateStates& states_;
  Mutex mutex_;
  ConditionVariable finished_;
  std::deque<std::shared_ptr<Chunk>> inFlight_;
  std::vector<std::shared_ptr<Chunk>> spare_;
  std::vector<unsigned char> tail_;  // the last 32 KiB read, the next chunk's dictionary
  DeflateTotals totals_;
};

}  // namespace

ParallelDeflate::ParallelDeflate(int level, unsigned workers)
    : workers_(workers == 0 ? WorkerPool::PackingWorkers() : workers),
      states_(workers_ + 1, std::clamp(level, 1, 9)),
      pool_(workers_) {}

ParallelDeflate::~ParallelDeflate() = default;

DeflateTotals ParallelDeflate::Compress(
    const std::function<size_t(void*, size_t)>& read,
    const std::function<void(const unsigned char*, size_t)>& sink) {
  // One chunk more than workers in flight keeps every worker busy while the oldest is
  // written out.
  const size_t maxInFlight = static_cast<size_t>(workers_) + 1;
  ChunkPipeline pipeline(pool_, states_);
  for (std::shared_ptr<Chunk> chunk; (chunk = pipeline.Read(read));) {
    const bool last = chunk->input.size() < kChunkBytes;
    pipeline.Deflate(std::move(chunk));
    if (pipeline.inFlight() >= maxInFlight) pipeline.EmitOldest(sink);
    if (last) break;
  }
  while (pipeline.inFlight() > 0) pipeline.EmitOldest(sink);
  sink(kFinalEmptyBlock, sizeof kFinalEmptyBlock);
  return pipeline.totals();
}

bool ParallelDeflate::CompressWhole(unsigned worker, Stream& file, uint64_t sizeHint,
                                    PrefetchedFile& result) {
  constexpr size_t kLimit = static_cast<size_t>(kDeflateWholeBytes);
  // One byte more than listed tells whether the file grew since.
  std::vector<unsigned char> plain(static_cast<size_t>(std::min<uint64_t>(sizeHint, kLimit)) + 1);
  size_t got = ReadFull(file, plain.data(), plain.size());
  if (got == plain.size() && got <= kLimit) {
    // Grown since it was listed, but perhaps still small enough: read the rest.
    plain.resize(kLimit + 1);
    got += ReadFull(file, plain.data() + got, plain.size() - got);
  }
  if (got > kLimit) return false;
  plain.resize(got);
  result = PrefetchedFile{};
  result.size = got;
  result.crc = Crc32(0, plain.data(), got);
  result.deflated = states_.DeflateWhole(worker, plain.data(), got, result.data);
  if (!result.deflated) result.data = std::move(plain);
  return true;
}

// ---- FilePrefetcher --------------------------------------------------------------------

FilePrefetcher::FilePrefetcher(ParallelDeflate& engine, std::vector<File> files, Opener open)
    : engine_(engine),
      files_(std::make_move_iterator(files.begin()), std::make_move_iterator(files.end())),
      open_(std::move(open)) {
  std::lock_guard<Mutex> lock(mutex_);
  Schedule();
}

FilePrefetcher::~FilePrefetcher() {
  std::unique_lock<Mutex> lock(mutex_);
  finished_.wait(lock, [this] { return running_ == 0; });
}

void FilePrefetcher::Add(File file) {
  std::lock_guard<Mutex> lock(mutex_);
  files_.push_back(std::move(file));
  Schedule();
}

void FilePrefetcher::Schedule() {
  const size_t maxFiles = 8 * static_cast<size_t>(engine_.workers());
  while (!files_.empty() && slots_.size() < maxFiles &&
         (slots_.empty() ||
          bytesAhead_ + files_.front().sizeHint <= ParallelDeflate::kPrefetchBytes)) {
    // A deque keeps its elements in place as it grows and shrinks at the ends: the
    // workers hold pointers to them.
    slots_.push_back(Slot{std::move(files_.front()), false, {}});
    files_.pop_front();
    Slot* slot = &slots_.back();
    bytesAhead_ += slot->file.sizeHint;
    ++running_;
    engine_.pool().Submit([this, slot](unsigned worker) { Work(worker, slot); });
  }
}

void FilePrefetcher::Work(unsigned worker, Slot* slot) {
  // The pool's threads run tasks bare: nothing may escape from here.
  PrefetchedFile result;
  auto failed = [&result](std::string message) {
    result = PrefetchedFile{};
    result.outcome = PrefetchedFile::Outcome::kReadFailed;
    result.message = std::move(message);
  };
  try {
    result = Prefetch(worker, slot->file);
  } catch (const ArchiveError& e) {
    failed(e.what());
  } catch (const std::bad_alloc&) {
    result = PrefetchedFile{};
    result.outcome = PrefetchedFile::Outcome::kTooLarge;  // the writer streams it instead
  } catch (const std::exception& e) {
    failed(std::string("unexpected failure: ") + e.what());
  } catch (...) {
    failed("unexpected failure");
  }
  std::lock_guard<Mutex> lock(mutex_);
  slot->result = std::move(result);
  slot->done = true;
  --running_;
  finished_.notify_all();
}

PrefetchedFile FilePrefetcher::Prefetch(unsigned worker, const File& listed) {
  PrefetchedFile result;
  int error = 0;
  std::unique_ptr<Stream> file =
      open_ ? open_(listed.path, &error)
            : FileStream::TryOpen(listed.path, FileStream::Mode::kRead, &error);
  if (!file) {
    result.outcome = PrefetchedFile::Outcome::kOpenFailed;
    result.error = error;
  } else if (!engine_.CompressWhole(worker, *file, listed.sizeHint, result)) {
    result.outcome = PrefetchedFile::Outcome::kTooLarge;
  }
  return result;
}

std::optional<PrefetchedFile> FilePrefetcher::Take(size_t key) {
  std::unique_lock<Mutex> lock(mutex_);
  // Files skipped over: those submitted finish first, the others are never read.
  while (!slots_.empty() && slots_.front().file.key < key) {
    Slot& front = slots_.front();
    finished_.wait(lock, [&front] { return front.done; });
    bytesAhead_ -= front.file.sizeHint;
    slots_.pop_front();
  }
  if (slots_.empty()) {
    while (!files_.empty() && files_.front().key < key) files_.pop_front();
    Schedule();
  }
  if (slots_.empty() || slots_.front().file.key != key) return std::nullopt;
  Slot& front = slots_.front();
  finished_.wait(lock, [&front] { return front.done; });
  PrefetchedFile result = std::move(front.result);
  bytesAhead_ -= front.file.sizeHint;
  slots_.pop_front();
  Schedule();
  return result;
}

}  // namespace archive
