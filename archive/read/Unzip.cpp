#include "archive/read/Unzip.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <deque>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "archive/io/FileFacts.h"
#include "archive/io/FileSystem.h"
#include "archive/format/Format.h"
#include "archive/read/MemberReader.h"
#include "archive/format/Names.h"
#include "archive/read/ExtractTargets.h"
#include "archive/read/ParallelExtract.h"
#include "archive/read/Passwords.h"
#include "archive/io/Stream.h"

namespace archive {

namespace {

namespace fs = std::filesystem;

constexpr size_t kCopyPiece = 256 * 1024;

// Members from this size on are written on the workers (see Extraction::UseWorkers).
#ifdef _WIN32
constexpr uint64_t kWorkerMinBytes = 0;
#else
constexpr uint64_t kWorkerMinBytes = 1 << 20;
#endif

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

// What is printed for a member written: deflate's verb for the deflate family, as unzip
// prints it, and the plain one for the rest.
std::string WrittenLine(const Entry& entry) {
  bool inflated =
      entry.method == format::kMethodDeflated || entry.method == format::kMethodDeflate64;
  return (inflated ? "  inflating: " : " extracting: ") + entry.name;
}

std::string CommentText(const std::string& raw) {
  return IsValidUtf8(raw) ? raw : Cp437ToUtf8(raw);
}

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
  void Add(const Entry& entry, const fs::path& path) { folders_.push_back({&entry, path}); }
  void Restore() const {
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
      FileTimes times = MemberTimes(*it->entry);
      if (times.modified != 0) SetPathTimes(it->path, times);
      if (uint32_t attributes = MemberAttributes(*it->entry)) {
        SetDosAttributes(it->path, attributes, true);
      }
    }
  }

 private:
  struct Folder {
    const Entry* entry;
    fs::path path;
  };
  std::vector<Folder> folders_;  // in member order
};

using Decrypting = std::unique_ptr<crypto::Decryption>;

class Extraction {
 public:
  Extraction(const UnzipRequest& request, UnzipEvents& events, Stream& archive)
      : request_(request),
        events_(events),
        archive_(archive),
        buffer_(kCopyPiece),
        messages_(request, events),
        targets_(request),
        passwords_(events) {}
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
  void Written(const Entry& entry, const fs::path& path);
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

bool Extraction::Add(const Entry& entry) {
  if (stopped_) return false;
  Slot slot;
  slot.entry = &entry;
  started_ = false;
  written_.reset();
  std::string* const saved = messages_.HoldIn(writers_ ? &slot.messages : nullptr);
  try {
    slot.status = Member(entry);
  } catch (const ArchiveError& e) {
    slot.status = StatusOf(e.fault());
    slot.stop = true;
  }
  messages_.HoldIn(saved);
  slot.writing = started_;
  slot.written = std::move(written_);
  slots_.push_back(std::move(slot));
  Report(writers_ ? writers_->Window() : 0);
  return !stopped_;
}

void Extraction::Report(size_t keep) {
  while (!slots_.empty() && !stopped_) {
    Slot& slot = slots_.front();
    if (slot.writing) {
      if (writers_->pending() <= keep && !writers_->OldestDone()) break;
      std::string* const saved = messages_.HoldIn(&slot.messages);
      Publish(slot, writers_->TakeOldest());
      messages_.HoldIn(saved);
    } else if (slot.written) {
      std::string* const saved = messages_.HoldIn(&slot.messages);
      Publish(slot, std::move(*slot.written));
      messages_.HoldIn(saved);
    }
    if (!slot.messages.empty()) events_.Message(slot.messages);
    status_ = Worse(status_, slot.status);
    if (slot.stop) {
      stopped_ = true;
    } else if (!events_.Done(*slot.entry)) {
      events_.Message("stopped: cancelled by the caller\n");
      status_ = Worse(status_, UnzipStatus::kCancelled);
      stopped_ = true;
    }
    slots_.pop_front();
  }
}

void Extraction::Publish(Slot& slot, ExtractWriters::Result result) {
  const Entry& entry = *slot.entry;
  if (result.failed) {
    if (result.fault == Fault::kDiskFull) {
      messages_.Problem("error: " + entry.name + ": the disk is full");
      slot.status = UnzipStatus::kDiskFull;
      slot.stop = true;
    } else {
      slot.status = Refuse(entry, result.message, StatusOf(result.fault));
    }
    return;
  }
  std::error_code ec;
  if (!result.published && !ReplaceWith(result.temp, result.target, ec)) {
    RemoveQuietly(result.temp);
    slot.status = Refuse(entry, "cannot write " + Quoted(result.target) + ": " + ec.message(),
                         UnzipStatus::kMemberError);
    return;
  }
  Written(entry, result.target);
}

void Extraction::Written(const Entry& entry, const fs::path& path) {
  if (uint32_t attributes = MemberAttributes(entry)) SetDosAttributes(path, attributes, false);
  messages_.Info(WrittenLine(entry));
}

UnzipStatus Extraction::Finish() {
  Report(0);
  Drop();
  folderFacts_.Restore();
  return status_;
}

void Extraction::Drop() {
  writers_.reset();
  // Files written in place replaced nothing: removing them leaves what was there.
  auto remove = [](const ExtractWriters::Result& r) {
    if (!r.failed) RemoveQuietly(r.published ? r.target : r.temp);
  };
  for (Slot& slot : slots_) {
    if (slot.written) remove(*slot.written);
  }
  if (written_) remove(*written_);
  slots_.clear();
  written_.reset();
}

void Extraction::CopyTo(MemberReader& reader, Stream* out) {
  for (size_t n; (n = reader.Read(buffer_.data(), buffer_.size())) > 0;) {
    if (out) {
      out->Write(buffer_.data(), n);
    } else if (request_.toOutput) {
      events_.Data(buffer_.data(), n);
    }
  }
}

UnzipStatus Extraction::Member(const Entry& entry) {
  return request_.mode == UnzipRequest::Mode::kTest || request_.toOutput ? Test(entry)
                                                                         : Extract(entry);
}

UnzipStatus Extraction::Test(const Entry& entry) {
  if (entry.IsDirectory()) return UnzipStatus::kOk;
  try {
    CheckReadable(entry);
    Decrypting decryption;
    if (entry.IsEncrypted()) decryption = passwords_.Open(archive_, entry);
    MemberReader reader(archive_, entry, std::move(decryption));
    CopyTo(reader, nullptr);
    if (!request_.toOutput) messages_.Info("    testing: " + entry.name + "   OK");
    return UnzipStatus::kOk;
  } catch (const ArchiveError& e) {
    if (e.fault() == Fault::kDiskFull || e.fault() == Fault::kCancelled) throw;
    return Refuse(entry, e.what(), StatusOf(e.fault()));
  }
}

UnzipStatus Extraction::Extract(const Entry& entry) {
  Target target;
  if (std::optional<EarlyEnd> end = targets_.Resolve(entry, target)) return Ended(entry, *end);
  if (target.isDirectory) {
    std::string why = targets_.EnsureFolders(target.parts, target.parts.size());
    if (!why.empty()) return Refuse(entry, why, UnzipStatus::kMemberError);
    folderFacts_.Add(entry, target.path);
    messages_.Info("   creating: " + entry.name);
    return UnzipStatus::kOk;
  }
  // The password is settled before anything is made for the member, on this thread.
  Decrypting decryption;
  try {
    CheckReadable(entry);
    if (entry.IsEncrypted()) decryption = passwords_.Open(archive_, entry);
  } catch (const ArchiveError& e) {
    return Refuse(entry, e.what(), StatusOf(e.fault()));
  }
  if (std::optional<UnzipStatus> done = LookInTheWay(entry, target)) return *done;
  return WriteFile(entry, target, std::move(decryption));
}

std::optional<UnzipStatus> Extraction::LookInTheWay(const Entry& entry, Target& target) {
  // In a folder this run created nothing can be in the way (names used twice were refused
  // before), so the look is saved. Should something appear meanwhile, the file is created
  // exclusively and never through it.
  std::error_code ec;
  fs::file_status existing(fs::file_type::not_found);
  if (!targets_.InNewFolder(target)) existing = fs::symlink_status(target.path, ec);
  if (fs::is_symlink(existing)) {
    return Refuse(entry, "a link is in the way at " + Quoted(target.path),
                  UnzipStatus::kMemberError);
  }
  if (fs::exists(existing) && !fs::is_regular_file(existing)) {
    return Refuse(entry, "a folder or device is in the way at " + Quoted(target.path),
                  UnzipStatus::kMemberError);
  }
  target.exists = fs::exists(existing);
  if (request_.freshen && !target.exists) return UnzipStatus::kOk;
  if (KeepsExisting(entry, target)) return UnzipStatus::kOk;

  // A file that an earlier member is still writing may stand where this one needs a
  // folder: let it land first, so that what is in the way is what it would be in order.
  if (writers_ && targets_.FileOnTheWay(target)) {
    Report(0);
    if (stopped_) return UnzipStatus::kOk;  // never reported: the run ends before it
  }
  std::string why = targets_.EnsureFolders(target.parts, target.parts.size() - 1);
  if (!why.empty()) return Refuse(entry, why, UnzipStatus::kMemberError);
  return std::nullopt;
}

bool Extraction::KeepsExisting(const Entry& entry, const Target& target) {
  if (!target.exists) return false;
  if (request_.onlyNewer || request_.freshen) {
    auto fileTime = FileModifiedUnix(target.path);
    auto memberTime = entry.ModifiedUnix();
    return fileTime && memberTime && *memberTime <= *fileTime;
  }
  if (request_.overwrite) return false;
  if (request_.confirmReplace && events_.ConfirmReplace(target.path)) return false;
  messages_.Info("   skipping: " + entry.name + " (the file exists)");
  return true;
}

UnzipStatus Extraction::WriteFile(const Entry& entry, const Target& target, Decrypting decryption) {
  if (!writers_) return WriteNow(entry, target, std::move(decryption));
  if (entry.uncompressedSize >= kWorkerMinBytes) {
    StartOnWorker(entry, target, std::move(decryption));
  } else {
    WriteForLater(entry, target, std::move(decryption));
  }
  return UnzipStatus::kOk;
}

void Extraction::StartOnWorker(const Entry& entry, const Target& target, Decrypting decryption) {
  std::string folder;
  for (size_t i = 0; i + 1 < target.parts.size(); ++i) folder += NameKey(target.parts[i]) + "/";
  writers_->Start(entry, target.path, std::hash<std::string>()(folder), !target.exists,
                  std::move(decryption));
  started_ = true;
}

void Extraction::WriteForLater(const Entry& entry, const Target& target, Decrypting decryption) {
  ExtractWriters::Result result;
  result.entry = &entry;
  result.target = target.path;
  try {
    result.temp =
        WriteVerified(archive_, entry, target.path, buffer_, !target.exists, std::move(decryption));
    if (result.temp == target.path) {
      result.temp.clear();
      result.published = true;
    }
  } catch (const ArchiveError& e) {
    result.failed = true;
    result.fault = e.fault();
    result.message = e.what();
  }
  written_ = std::move(result);
}

UnzipStatus Extraction::WriteNow(const Entry& entry, const Target& target, Decrypting decryption) {
  std::error_code ec;
  try {
    fs::path temp =
        WriteVerified(archive_, entry, target.path, buffer_, false, std::move(decryption));
    if (!ReplaceWith(temp, target.path, ec)) {
      RemoveQuietly(temp);
      return Refuse(entry, "cannot write " + Quoted(target.path) + ": " + ec.message(),
                    UnzipStatus::kMemberError);
    }
  } catch (const ArchiveError& e) {
    if (e.fault() == Fault::kDiskFull) {
      messages_.Problem("error: " + entry.name + ": the disk is full");
      throw;
    }
    return Refuse(entry, e.what(), StatusOf(e.fault()));
  }
  Written(entry, target.path);
  return UnzipStatus::kOk;
}

std::string ListLine(const Entry& e) {
  char line[96];
  std::snprintf(line, sizeof line, "%12" PRIu64 "  %04d-%02d-%02d %02d:%02d   ", e.uncompressedSize,
                e.dosTime.Year(), e.dosTime.Month(), e.dosTime.Day(), e.dosTime.Hour(),
                e.dosTime.Minute());
  return line + e.name + "\n";
}

// Methods beyond deflate have no ratio limit (a gigabyte of zeros fits in kilobytes), so an
// archive's declared sizes are held against the free space before anything is written.
// Members that will be refused anyway do not count.
std::string RoomFor(const std::vector<const Entry*>& selected, const fs::path& folder) {
  uint64_t needed = 0;
  for (const Entry* e : selected) {
    if (e->IsDirectory()) continue;
    try {
      CheckReadable(*e);
    } catch (const ArchiveError&) {
      continue;
    }
    needed = needed > UINT64_MAX - e->uncompressedSize ? UINT64_MAX : needed + e->uncompressedSize;
  }
  std::error_code ec;
  fs::space_info space = fs::space(folder, ec);
  if (ec || space.available >= needed) return {};
  return "the members need " + std::to_string(needed) + " bytes, but the disk of " +
         Quoted(folder) + " has " + std::to_string(space.available) + " bytes free";
}

// The members the request's patterns select, in archive order; an include pattern that
// matches nothing is said, and makes the status kNoMatch.
std::vector<const Entry*> Select(const UnzipRequest& request, const Directory& dir,
                                 UnzipEvents& events, UnzipStatus* status) {
  std::vector<bool> patternUsed(request.include.size(), false);
  std::vector<const Entry*> selected;
  for (const Entry& e : dir.entries) {
    bool take = request.include.empty();
    for (size_t i = 0; i < request.include.size(); ++i) {
      if (WildcardMatch(request.include[i], e.name, request.ignoreCase)) {
        take = true;
        patternUsed[i] = true;
      }
    }
    for (const auto& pattern : request.exclude) {
      if (take && WildcardMatch(pattern, e.name, request.ignoreCase)) take = false;
    }
    if (take) selected.push_back(&e);
  }
  for (size_t i = 0; i < patternUsed.size(); ++i) {
    if (!patternUsed[i]) {
      events.Message("caution: filename not matched: " + request.include[i] + "\n");
      *status = UnzipStatus::kNoMatch;
    }
  }
  return selected;
}

UnzipTotals Totals(const std::vector<const Entry*>& selected, const Directory& dir) {
  UnzipTotals totals;
  totals.commentLength = dir.comment.size();
  for (const Entry* e : selected) {
    totals.compressed += e->compressedSize;
    totals.uncompressed += e->uncompressedSize;
    ++totals.count;
  }
  return totals;
}

// Makes the target folder and holds the members' sizes against its free space; returns the
// status that ends the run before anything is written, if any.
std::optional<UnzipStatus> PrepareTarget(const UnzipRequest& request,
                                         const std::vector<const Entry*>& selected,
                                         UnzipEvents& events) {
  if (!request.targetDir.empty()) {
    std::error_code ec;
    fs::create_directories(request.targetDir, ec);
    if (!fs::is_directory(request.targetDir, ec)) {
      events.Message("error: cannot create the folder " + Quoted(request.targetDir) + "\n");
      return UnzipStatus::kMemberError;
    }
  }
  std::string why =
      RoomFor(selected, request.targetDir.empty() ? fs::path(".") : request.targetDir);
  if (!why.empty()) {
    events.Message("error: " + why + "\n");
    return UnzipStatus::kDiskFull;
  }
  return std::nullopt;
}

UnzipStatus Run(const UnzipRequest& request, UnzipEvents& events, UnzipTotals* totals) {
  std::unique_ptr<FileStream> file;
  int error = 0;
  if (!request.archive.empty()) {
    file = FileStream::TryOpen(request.archive, FileStream::Mode::kRead, &error);
  }
  if (!file) {
    events.Message("error: cannot find or open " + Quoted(request.archive) + "\n");
    return UnzipStatus::kNotFound;
  }
  Directory dir;
  try {
    dir = ReadDirectory(*file);
  } catch (const ArchiveError& e) {
    events.Message("error: " + Quoted(request.archive) + ": " + e.what() + "\n");
    return e.fault() == Fault::kNotZip ? UnzipStatus::kNotFound : UnzipStatus::kDirectoryError;
  }

  UnzipStatus status = UnzipStatus::kOk;
  std::vector<const Entry*> selected = Select(request, dir, events, &status);
  if (totals) *totals = Totals(selected, dir);
  if (request.showComment && !dir.comment.empty()) events.Message(CommentText(dir.comment) + "\n");

  if (request.mode == UnzipRequest::Mode::kList) {
    for (const Entry* e : selected) {
      if (request.quiet == 0) events.Message(ListLine(*e));
      events.Listed(*e);
    }
    return status;
  }
  if (request.mode == UnzipRequest::Mode::kExtract && !request.toOutput) {
    if (std::optional<UnzipStatus> end = PrepareTarget(request, selected, events)) {
      return Worse(status, *end);
    }
  }

  Extraction extraction(request, events, *file);
  extraction.UseWorkers(request.archive, selected.size());
  for (const Entry* e : selected) {
    if (!extraction.Add(*e)) break;
  }
  return Worse(status, extraction.Finish());
}

}  // namespace

UnzipStatus RunUnzip(const UnzipRequest& request, UnzipEvents& events, UnzipTotals* totals) {
  try {
    return Run(request, events, totals);
  } catch (const std::bad_alloc&) {
    events.Message("error: out of memory\n");
    return UnzipStatus::kNoMemory;
  } catch (const ArchiveError& e) {
    events.Message(std::string("error: ") + e.what() + "\n");
    return e.fault() == Fault::kDiskFull ? UnzipStatus::kDiskFull : UnzipStatus::kDirectoryError;
  } catch (const std::exception& e) {
    events.Message(std::string("error: unexpected failure: ") + e.what() + "\n");
    return UnzipStatus::kDirectoryError;
  }
}

}  // namespace archive
