#include "archive/read/Extraction.h"

#include <functional>
#include <utility>
#include <utility>

#include "archive/format/Format.h"
#include "archive/format/Names.h"
#include "archive/io/FileFacts.h"
#include "archive/io/FileSystem.h"

namespace archive {

namespace fs = std::filesystem;

namespace {

constexpr size_t kCopyPiece = 256 * 1024;

// Members from this size on are written on the workers. Where creating files is cheap
// (Linux) small ones are written on this thread, which measured faster than several threads
// creating files at once; on Windows, and under Wine, every file goes to the workers.
#ifdef _WIN32
constexpr uint64_t kWorkerMinBytes = 0;
#else
constexpr uint64_t kWorkerMinBytes = 1 << 20;
#endif

}  // namespace

void FolderFacts::Restore() const {
  for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
    FileTimes times = MemberTimes(*it->entry);
    if (times.modified != 0) SetPathTimes(it->path, times);
    if (uint32_t attributes = MemberAttributes(*it->entry)) {
      SetDosAttributes(it->path, attributes, true);
    }
  }
}

Extraction::Extraction(const UnzipRequest& request, UnzipEvents& events, Stream& archive)
    : request_(request),
      events_(events),
      archive_(archive),
      buffer_(kCopyPiece),
      messages_(request, events),
      reports_(events, messages_),
      files_(archive, buffer_, messages_),
      targets_(request),
      passwords_(events) {}

void Extraction::UseWorkers(const std::filesystem::path& archive, size_t members) {
  if (request_.mode == UnzipRequest::Mode::kExtract && !request_.toOutput &&
      !request_.confirmReplace && members > 1) {
    files_.UseWorkers(archive);
    reports_.UseWriters(files_.writers());
  }
}

bool Extraction::Add(const Entry& entry) {
  if (reports_.stopped()) return false;
  MemberOutcome outcome;
  outcome.entry = &entry;
  {
    Messages::Hold hold(messages_, files_.writers() ? &outcome.messages : nullptr);
    try {
      outcome.status = Member(entry);
    } catch (const ArchiveError& e) {
      outcome.status = StatusOf(e.fault());
      outcome.stop = true;
    }
  }
  files_.TakePending(outcome);
  reports_.Add(std::move(outcome));
  return !reports_.stopped();
}

UnzipStatus Extraction::Finish() {
  reports_.Report(0);
  Drop();
  folderFacts_.Restore();
  return reports_.status();
}

void Extraction::Drop() {
  files_.Drop();
  reports_.UseWriters(nullptr);
  reports_.Drop();
}

void Extraction::ReadThrough(MemberReader& reader) {
  for (size_t n; (n = reader.Read(buffer_.data(), buffer_.size())) > 0;) {
    if (request_.toOutput) events_.Data(buffer_.data(), n);
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
    ReadThrough(reader);
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
  return files_.Write(entry, target, std::move(decryption));
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
  if (files_.writers() && targets_.FileOnTheWay(target)) {
    reports_.Report(0);
    if (reports_.stopped()) return UnzipStatus::kOk;  // never reported: the run ends before it
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

void FileWrites::UseWorkers(const std::filesystem::path& archive) {
  writers_ = std::make_unique<ExtractWriters>(archive);
}

UnzipStatus FileWrites::Write(const Entry& entry, const Target& target, Decrypting decryption) {
  if (!writers_) return WriteNow(entry, target, std::move(decryption));
  if (entry.uncompressedSize >= kWorkerMinBytes) {
    StartOnWorker(entry, target, std::move(decryption));
  } else {
    WriteForLater(entry, target, std::move(decryption));
  }
  return UnzipStatus::kOk;
}

void FileWrites::StartOnWorker(const Entry& entry, const Target& target, Decrypting decryption) {
  std::string folder;
  for (size_t i = 0; i + 1 < target.parts.size(); ++i) folder += NameKey(target.parts[i]) + "/";
  writers_->Start(entry, target.path, std::hash<std::string>()(folder), !target.exists,
                  std::move(decryption));
  started_ = true;
}

void FileWrites::WriteForLater(const Entry& entry, const Target& target, Decrypting decryption) {
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

UnzipStatus FileWrites::WriteNow(const Entry& entry, const Target& target, Decrypting decryption) {
  fs::path temp;
  try {
    temp = WriteVerified(archive_, entry, target.path, buffer_, false, std::move(decryption));
  } catch (const ArchiveError& e) {
    if (e.fault() == Fault::kDiskFull) {
      messages_.DiskFull(entry);
      throw;
    }
    return messages_.Refuse(entry, e.what(), StatusOf(e.fault()));
  }
  return PutInPlace(entry, temp, target.path, messages_);
}

void FileWrites::TakePending(MemberOutcome& outcome) {
  outcome.writing = std::exchange(started_, false);
  outcome.written = std::move(written_);
  written_.reset();
}

void FileWrites::Drop() {
  writers_.reset();
  if (written_) RemoveUnreported(*written_);
  written_.reset();
}

}  // namespace archive
