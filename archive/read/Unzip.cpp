#include "archive/read/Unzip.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>

#include "archive/format/Names.h"
#include "archive/io/Stream.h"
#include "archive/read/Extraction.h"
#include "archive/read/MemberReader.h"

namespace archive {

namespace {

namespace fs = std::filesystem;

std::string CommentText(const std::string& raw) {
  return IsValidUtf8(raw) ? raw : Cp437ToUtf8(raw);
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
