#include "archive/read/Extraction.h"

#include <functional>
#include <utility>

#include "archive/format/Format.h"
#include "archive/format/Names.h"
#include "archive/io/FileFacts.h"
#include "archive/io/FileSystem.h"

namespace archive {

namespace fs = std::filesystem;

namespace {

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
      targets_(request),
      passwords_(events) {}

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

}  // namespace archive
