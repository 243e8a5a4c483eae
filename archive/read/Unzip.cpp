#include "archive/read/Unzip.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <deque>
#include <memory>
#include <new>
#include <optional>
#include <set>

#include "archive/io/FileFacts.h"
#include "archive/io/FileSystem.h"
#include "archive/format/Format.h"
#include "archive/read/MemberReader.h"
#include "archive/format/Names.h"
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

class Extraction {
 public:
  Extraction(const UnzipRequest& request, UnzipEvents& events, Stream& archive)
      : request_(request),
        events_(events),
        archive_(archive),
        buffer_(kCopyPiece),
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

  void Info(const std::string& line) {
    if (request_.quiet == 0) Problem(line);
  }
  void Problem(const std::string& line) {
    if (capture_) {
      *capture_ += line + "\n";
    } else {
      events_.Message(line + "\n");
    }
  }

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
  // EnsureFolders for the first `count` parts, skipping the folders this run has already
  // made or found: many members share them.
  std::string Folders(const std::vector<std::string>& parts, size_t count);
  // Renames a verified file into place; the outcome goes into `slot`.
  void Publish(Slot& slot, ExtractWriters::Result result);

  UnzipStatus Test(const Entry& entry);
  // Where a member goes, as the phases of Extract find it.
  struct Target {
    std::vector<std::string> parts;  // the path's components under the target folder
    std::string key;                 // their folded form, to find names used twice
    fs::path path;
    bool isDirectory = false;
    bool exists = false;  // a file is there already
  };
  // Extracts one member in three phases: Resolve its name to a target, LookInTheWay of
  // that target, WriteFile. The first two return a status when the member ends there.
  UnzipStatus Extract(const Entry& entry);
  std::optional<UnzipStatus> Resolve(const Entry& entry, Target& target);
  std::optional<UnzipStatus> LookInTheWay(const Entry& entry, Target& target);
  UnzipStatus WriteFile(const Entry& entry, const Target& target,
                        std::unique_ptr<crypto::Decryption> decryption);
  UnzipStatus Refuse(const Entry& entry, const std::string& why, UnzipStatus status) {
    Problem((status == UnzipStatus::kWarning ? "skipping: " : "error: ") + entry.name + ": " + why);
    return status;
  }
  void CopyTo(MemberReader& reader, Stream* out);
  // Restores a written member's attributes; a folder's, with its times, wait for Finish.
  void Restore(const Entry& entry, const fs::path& path, bool isFolder);

  const UnzipRequest& request_;
  UnzipEvents& events_;
  Stream& archive_;
  std::vector<unsigned char> buffer_;
  Passwords passwords_;  // asked here, on the calling thread, before a member goes to a worker
  std::set<std::string> files_;        // folded names of files written or attempted
  std::set<std::string> folders_;      // folded names of folders in the archive
  std::set<std::string> madeFolders_;  // keys of folders known to be real folders
  // Keys of the folders this run created: what is in them, this run put there.
  std::set<std::string> newFolders_;
  struct FolderFacts {
    const Entry* entry;
    fs::path path;
  };
  std::vector<FolderFacts> folderFacts_;  // folder members made, in member order
  std::unique_ptr<ExtractWriters> writers_;
  std::deque<Slot> slots_;
  std::string* capture_ = nullptr;  // where messages go while a member waits its turn
  bool started_ = false;            // Member handed its file to a worker
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
  if (writers_) capture_ = &slot.messages;
  try {
    slot.status = Member(entry);
  } catch (const ArchiveError& e) {
    slot.status = StatusOf(e.fault());
    slot.stop = true;
  }
  capture_ = nullptr;
  slot.writing = started_;
  slot.written = std::move(written_);
  slots_.push_back(std::move(slot));
  Report(writers_ ? writers_->Window() : 0);
  return !stopped_;
}

void Extraction::Report(size_t keep) {
  std::string* const saved = capture_;
  while (!slots_.empty() && !stopped_) {
    Slot& slot = slots_.front();
    if (slot.writing) {
      if (writers_->pending() <= keep && !writers_->OldestDone()) break;
      capture_ = &slot.messages;
      Publish(slot, writers_->TakeOldest());
      capture_ = saved;
    } else if (slot.written) {
      capture_ = &slot.messages;
      Publish(slot, std::move(*slot.written));
      capture_ = saved;
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
  capture_ = saved;
}

std::string Extraction::Folders(const std::vector<std::string>& parts, size_t count) {
  std::vector<std::string> keys;
  std::string key;
  for (size_t i = 0; i < count; ++i) {
    key += (i ? "/" : "") + NameKey(parts[i]);
    keys.push_back(key);
  }
  size_t known = count;
  while (known > 0 && !madeFolders_.count(keys[known - 1])) --known;
  if (known == count) return {};
  fs::path root = request_.targetDir;
  for (size_t i = 0; i < known; ++i) root /= Utf8ToPath(parts[i]);
  std::vector<std::string> rest(parts.begin() + static_cast<ptrdiff_t>(known),
                                parts.begin() + static_cast<ptrdiff_t>(count));
  size_t existing = 0;
  std::string why = EnsureFolders(root, rest, rest.size(), &existing);
  if (why.empty()) {
    madeFolders_.insert(keys.begin() + static_cast<ptrdiff_t>(known), keys.end());
    newFolders_.insert(keys.begin() + static_cast<ptrdiff_t>(known + existing), keys.end());
  }
  return why;
}

void Extraction::Publish(Slot& slot, ExtractWriters::Result result) {
  const Entry& entry = *slot.entry;
  if (result.failed) {
    if (result.fault == Fault::kDiskFull) {
      Problem("error: " + entry.name + ": the disk is full");
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
  Restore(entry, result.target, false);
  Info(WrittenLine(entry));
}

void Extraction::Restore(const Entry& entry, const fs::path& path, bool isFolder) {
  // Set last: a read-only attribute on a folder would stop its files being written.
  if (isFolder) {
    folderFacts_.push_back({&entry, path});
  } else if (uint32_t attributes = MemberAttributes(entry)) {
    SetDosAttributes(path, attributes, false);
  }
}

UnzipStatus Extraction::Finish() {
  Report(0);
  Drop();
  // Folder times after their contents: writing a file changes its folder's time.
  for (auto it = folderFacts_.rbegin(); it != folderFacts_.rend(); ++it) {
    FileTimes times = MemberTimes(*it->entry);
    if (times.modified != 0) SetPathTimes(it->path, times);
    if (uint32_t attributes = MemberAttributes(*it->entry)) {
      SetDosAttributes(it->path, attributes, true);
    }
  }
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
    std::unique_ptr<crypto::Decryption> decryption;
    if (entry.IsEncrypted()) decryption = passwords_.Open(archive_, entry);
    MemberReader reader(archive_, entry, std::move(decryption));
    CopyTo(reader, nullptr);
    if (!request_.toOutput) Info("    testing: " + entry.name + "   OK");
    return UnzipStatus::kOk;
  } catch (const ArchiveError& e) {
    if (e.fault() == Fault::kDiskFull || e.fault() == Fault::kCancelled) throw;
    return Refuse(entry, e.what(), StatusOf(e.fault()));
  }
}

UnzipStatus Extraction::Extract(const Entry& entry) {
  Target target;
  if (std::optional<UnzipStatus> done = Resolve(entry, target)) return *done;
  if (target.isDirectory) {
    std::string why = Folders(target.parts, target.parts.size());
    if (!why.empty()) return Refuse(entry, why, UnzipStatus::kMemberError);
    Restore(entry, target.path, true);
    Info("   creating: " + entry.name);
    return UnzipStatus::kOk;
  }
  // The password is settled before anything is made for the member, on this thread.
  std::unique_ptr<crypto::Decryption> decryption;
  try {
    CheckReadable(entry);
    if (entry.IsEncrypted()) decryption = passwords_.Open(archive_, entry);
  } catch (const ArchiveError& e) {
    return Refuse(entry, e.what(), StatusOf(e.fault()));
  }
  if (std::optional<UnzipStatus> done = LookInTheWay(entry, target)) return *done;
  return WriteFile(entry, target, std::move(decryption));
}

std::optional<UnzipStatus> Extraction::Resolve(const Entry& entry, Target& target) {
  if (!entry.nameValid)
    return Refuse(entry, "the name is not valid UTF-8", UnzipStatus::kMemberError);
  SafeName safe = CheckMemberName(entry.name);
  if (!safe.ok) return Refuse(entry, "unsafe name: " + safe.reason, UnzipStatus::kMemberError);
  if (entry.IsSymlink()) {
    return Refuse(entry, "symbolic links are not created", UnzipStatus::kWarning);
  }
  target.isDirectory = entry.IsDirectory() || safe.isDirectory;
  std::vector<std::string>& parts = target.parts;
  parts = safe.components;
  if (parts.empty()) return UnzipStatus::kOk;  // "./": the target folder itself
  if (!request_.useFolders) {
    if (target.isDirectory) return UnzipStatus::kOk;
    parts = {parts.back()};
  }
  if (request_.spaceToUnderscore) {
    for (auto& part : parts) std::replace(part.begin(), part.end(), ' ', '_');
  }

  // A name that the file system takes for an earlier one (on Windows, names that differ
  // only in case) would overwrite it; the first one wins.
  std::string& key = target.key;
  for (const auto& part : parts) key += (key.empty() ? "" : "/") + NameKey(part);
  if (target.isDirectory) {
    if (files_.count(key)) {
      return Refuse(entry, "a file of the same name is in the archive", UnzipStatus::kMemberError);
    }
    folders_.insert(key);
  } else {
    if (files_.count(key))
      return Refuse(entry, "the name appears twice in the archive", UnzipStatus::kMemberError);
    if (folders_.count(key)) {
      return Refuse(entry, "a folder of the same name is in the archive",
                    UnzipStatus::kMemberError);
    }
    files_.insert(key);
  }

  target.path = request_.targetDir;
  for (const auto& part : parts) target.path /= Utf8ToPath(part);
  if (PathTooLong(target.path)) {
    return Refuse(entry, "the path would be too long for this system", UnzipStatus::kMemberError);
  }
  return std::nullopt;
}

std::optional<UnzipStatus> Extraction::LookInTheWay(const Entry& entry, Target& target) {
  // In a folder this run created nothing can be in the way (names used twice were refused
  // before), so the look is saved. Should something appear meanwhile, the file is created
  // exclusively and never through it.
  std::error_code ec;
  const std::vector<std::string>& parts = target.parts;
  const bool inNewFolder =
      parts.size() > 1 && newFolders_.count(target.key.substr(0, target.key.rfind('/')));
  fs::file_status existing(fs::file_type::not_found);
  if (!inNewFolder) existing = fs::symlink_status(target.path, ec);
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
  if (target.exists && (request_.onlyNewer || request_.freshen)) {
    auto fileTime = FileModifiedUnix(target.path);
    auto memberTime = entry.ModifiedUnix();
    if (fileTime && memberTime && *memberTime <= *fileTime) return UnzipStatus::kOk;
  } else if (target.exists && !request_.overwrite) {
    if (!request_.confirmReplace || !events_.ConfirmReplace(target.path)) {
      Info("   skipping: " + entry.name + " (the file exists)");
      return UnzipStatus::kOk;
    }
  }

  if (writers_) {
    // A file that an earlier member is still writing may stand where this one needs a
    // folder: let it land first, so that what is in the way is what it would be in order.
    std::string prefix;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
      prefix += (i ? "/" : "") + NameKey(parts[i]);
      if (files_.count(prefix)) {
        Report(0);
        break;
      }
    }
    if (stopped_) return UnzipStatus::kOk;  // never reported: the run ends before it
  }
  std::string why = Folders(parts, parts.size() - 1);
  if (!why.empty()) return Refuse(entry, why, UnzipStatus::kMemberError);
  return std::nullopt;
}

UnzipStatus Extraction::WriteFile(const Entry& entry, const Target& target,
                                  std::unique_ptr<crypto::Decryption> decryption) {
  const std::vector<std::string>& parts = target.parts;
  if (writers_ && entry.uncompressedSize >= kWorkerMinBytes) {
    std::string folder;
    for (size_t i = 0; i + 1 < parts.size(); ++i) folder += NameKey(parts[i]) + "/";
    writers_->Start(entry, target.path, std::hash<std::string>()(folder), !target.exists,
                    std::move(decryption));
    started_ = true;
    return UnzipStatus::kOk;
  }
  if (writers_) {
    // Written now, published in member order after the files the workers are writing.
    ExtractWriters::Result result;
    result.entry = &entry;
    result.target = target.path;
    try {
      result.temp = WriteVerified(archive_, entry, target.path, buffer_, !target.exists,
                                  std::move(decryption));
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
    return UnzipStatus::kOk;
  }
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
      Problem("error: " + entry.name + ": the disk is full");
      throw;
    }
    return Refuse(entry, e.what(), StatusOf(e.fault()));
  }
  Restore(entry, target.path, false);
  Info(WrittenLine(entry));
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
      status = UnzipStatus::kNoMatch;
    }
  }

  if (totals) {
    *totals = UnzipTotals{};
    totals->commentLength = dir.comment.size();
    for (const Entry* e : selected) {
      totals->compressed += e->compressedSize;
      totals->uncompressed += e->uncompressedSize;
      ++totals->count;
    }
  }
  if (request.showComment && !dir.comment.empty()) events.Message(CommentText(dir.comment) + "\n");

  if (request.mode == UnzipRequest::Mode::kList) {
    for (const Entry* e : selected) {
      if (request.quiet == 0) events.Message(ListLine(*e));
      events.Listed(*e);
    }
    return status;
  }

  if (request.mode == UnzipRequest::Mode::kExtract && !request.toOutput &&
      !request.targetDir.empty()) {
    std::error_code ec;
    fs::create_directories(request.targetDir, ec);
    if (!fs::is_directory(request.targetDir, ec)) {
      events.Message("error: cannot create the folder " + Quoted(request.targetDir) + "\n");
      return Worse(status, UnzipStatus::kMemberError);
    }
  }

  if (request.mode == UnzipRequest::Mode::kExtract && !request.toOutput) {
    std::string why =
        RoomFor(selected, request.targetDir.empty() ? fs::path(".") : request.targetDir);
    if (!why.empty()) {
      events.Message("error: " + why + "\n");
      return Worse(status, UnzipStatus::kDiskFull);
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
  }
}

}  // namespace archive
