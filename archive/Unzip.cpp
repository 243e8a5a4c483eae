#include "archive/Unzip.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <new>
#include <set>

#include "archive/FileSystem.h"
#include "archive/MemberReader.h"
#include "archive/Names.h"
#include "archive/Stream.h"

namespace archive {

namespace {

namespace fs = std::filesystem;

constexpr size_t kCopyPiece = 256 * 1024;

UnzipStatus StatusOf(Fault fault) {
  switch (fault) {
    case Fault::kUnsupported: return UnzipStatus::kUnsupported;
    case Fault::kDiskFull: return UnzipStatus::kDiskFull;
    case Fault::kCancelled: return UnzipStatus::kCancelled;
    default: return UnzipStatus::kMemberError;
  }
}

std::string CommentText(const std::string& raw) {
  return IsValidUtf8(raw) ? raw : Cp437ToUtf8(raw);
}

class Extraction {
 public:
  Extraction(const UnzipRequest& request, UnzipEvents& events, Stream& archive)
      : request_(request), events_(events), archive_(archive), buffer_(kCopyPiece) {}

  // Handles one selected member; throws ArchiveError for what stops the whole run.
  UnzipStatus Member(const Entry& entry);

  void Info(const std::string& line) {
    if (request_.quiet == 0) events_.Message(line + "\n");
  }
  void Problem(const std::string& line) { events_.Message(line + "\n"); }

 private:
  UnzipStatus Test(const Entry& entry);
  UnzipStatus Extract(const Entry& entry);
  UnzipStatus Refuse(const Entry& entry, const std::string& why, UnzipStatus status) {
    Problem((status == UnzipStatus::kWarning ? "skipping: " : "error: ") + entry.name + ": " + why);
    return status;
  }
  void CopyTo(MemberReader& reader, Stream* out);

  const UnzipRequest& request_;
  UnzipEvents& events_;
  Stream& archive_;
  std::vector<unsigned char> buffer_;
  std::set<std::string> files_;    // folded names of files written or attempted
  std::set<std::string> folders_;  // folded names of folders in the archive
};

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
    MemberReader reader(archive_, entry);
    CopyTo(reader, nullptr);
    if (!request_.toOutput) Info("    testing: " + entry.name + "   OK");
    return UnzipStatus::kOk;
  } catch (const ArchiveError& e) {
    if (e.fault() == Fault::kDiskFull || e.fault() == Fault::kCancelled) throw;
    return Refuse(entry, e.what(), StatusOf(e.fault()));
  }
}

UnzipStatus Extraction::Extract(const Entry& entry) {
  if (!entry.nameValid) return Refuse(entry, "the name is not valid UTF-8", UnzipStatus::kMemberError);
  SafeName safe = CheckMemberName(entry.name);
  if (!safe.ok) return Refuse(entry, "unsafe name: " + safe.reason, UnzipStatus::kMemberError);
  if (entry.IsSymlink()) {
    return Refuse(entry, "symbolic links are not created", UnzipStatus::kWarning);
  }
  const bool isDirectory = entry.IsDirectory() || safe.isDirectory;
  std::vector<std::string> parts = safe.components;
  if (parts.empty()) return UnzipStatus::kOk;  // "./": the target folder itself
  if (!request_.useFolders) {
    if (isDirectory) return UnzipStatus::kOk;
    parts = {parts.back()};
  }
  if (request_.spaceToUnderscore) {
    for (auto& part : parts) {
      for (char& c : part) {
        if (c == ' ') c = '_';
      }
    }
  }

  // A name that the file system takes for an earlier one (on Windows, names that differ
  // only in case) would overwrite it; the first one wins.
  std::string key;
  for (const auto& part : parts) key += (key.empty() ? "" : "/") + NameKey(part);
  if (isDirectory) {
    if (files_.count(key)) {
      return Refuse(entry, "a file of the same name is in the archive", UnzipStatus::kMemberError);
    }
    folders_.insert(key);
  } else {
    if (files_.count(key)) return Refuse(entry, "the name appears twice in the archive", UnzipStatus::kMemberError);
    if (folders_.count(key)) {
      return Refuse(entry, "a folder of the same name is in the archive", UnzipStatus::kMemberError);
    }
    files_.insert(key);
  }

  fs::path target = request_.targetDir;
  for (const auto& part : parts) target /= Utf8ToPath(part);
  if (PathTooLong(target)) {
    return Refuse(entry, "the path would be too long for this system", UnzipStatus::kMemberError);
  }

  if (isDirectory) {
    std::string why = EnsureFolders(request_.targetDir, parts, parts.size());
    if (!why.empty()) return Refuse(entry, why, UnzipStatus::kMemberError);
    Info("   creating: " + entry.name);
    return UnzipStatus::kOk;
  }

  try {
    CheckReadable(entry);
  } catch (const ArchiveError& e) {
    return Refuse(entry, e.what(), StatusOf(e.fault()));
  }

  std::error_code ec;
  fs::file_status existing = fs::symlink_status(target, ec);
  if (fs::is_symlink(existing)) {
    return Refuse(entry, "a link is in the way at " + Quoted(target), UnzipStatus::kMemberError);
  }
  if (fs::exists(existing) && !fs::is_regular_file(existing)) {
    return Refuse(entry, "a folder or device is in the way at " + Quoted(target),
                  UnzipStatus::kMemberError);
  }
  bool exists = fs::exists(existing);
  if (request_.freshen && !exists) return UnzipStatus::kOk;
  if (exists && (request_.onlyNewer || request_.freshen)) {
    auto fileTime = FileModifiedUnix(target);
    auto memberTime = entry.ModifiedUnix();
    if (fileTime && memberTime && *memberTime <= *fileTime) return UnzipStatus::kOk;
  } else if (exists && !request_.overwrite) {
    if (!request_.confirmReplace || !events_.ConfirmReplace(target)) {
      Info("   skipping: " + entry.name + " (the file exists)");
      return UnzipStatus::kOk;
    }
  }

  std::string why = EnsureFolders(request_.targetDir, parts, parts.size() - 1);
  if (!why.empty()) return Refuse(entry, why, UnzipStatus::kMemberError);

  fs::path temp;
  try {
    MemberReader reader(archive_, entry);
    std::unique_ptr<FileStream> out = CreateTempBeside(target, &temp);
    try {
      CopyTo(reader, out.get());
      out->Close();
    } catch (...) {
      out.reset();
      RemoveQuietly(temp);
      throw;
    }
    if (auto when = entry.ModifiedUnix()) SetFileModifiedUnix(temp, *when);
    if (!ReplaceWith(temp, target, ec)) {
      RemoveQuietly(temp);
      return Refuse(entry, "cannot write " + Quoted(target) + ": " + ec.message(),
                    UnzipStatus::kMemberError);
    }
  } catch (const ArchiveError& e) {
    if (e.fault() == Fault::kDiskFull) {
      Problem("error: " + entry.name + ": the disk is full");
      throw;
    }
    return Refuse(entry, e.what(), StatusOf(e.fault()));
  }
  Info((entry.method == 0 ? " extracting: " : "  inflating: ") + entry.name);
  return UnzipStatus::kOk;
}

std::string ListLine(const Entry& e) {
  char line[96];
  std::snprintf(line, sizeof line, "%12" PRIu64 "  %04d-%02d-%02d %02d:%02d   ", e.uncompressedSize,
                e.dosTime.Year(), e.dosTime.Month(), e.dosTime.Day(), e.dosTime.Hour(),
                e.dosTime.Minute());
  return line + e.name + "\n";
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

  Extraction extraction(request, events, *file);
  for (const Entry* e : selected) {
    try {
      status = Worse(status, extraction.Member(*e));
    } catch (const ArchiveError& err) {
      return Worse(status, StatusOf(err.fault()));
    }
    if (!events.Done(*e)) {
      events.Message("stopped: cancelled by the caller\n");
      return Worse(status, UnzipStatus::kCancelled);
    }
  }
  return status;
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
