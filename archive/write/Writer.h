// The streaming archive writer. Members are written one after the other. A file of up to
// ParallelDeflate::kDeflateWholeBytes (4 MiB) is read whole and compressed in one call; a
// larger one, and every file when storing, is read in pieces of a fixed size, so that memory
// does not grow with the file. Only the central records (a few dozen bytes per member) are
// held until Finish writes the central directory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/read/Directory.h"
#include "archive/format/Times.h"
#include "archive/io/FileFacts.h"
#include "archive/io/Stream.h"
#include "archive/write/ArchiveOutput.h"
#include "archive/write/Headers.h"

namespace archive {

class ParallelDeflate;
struct DeflateTotals;
struct PrefetchedFile;

struct NewMember {
  NewMember(std::string memberName, int64_t modified, uint32_t dosAttributes = 0,
            FileTimes fileTimes = {})
      : name(std::move(memberName)),
        modifiedUnix(modified),
        attributes(dosAttributes),
        times(fileTimes) {}

  std::string name;  // UTF-8 with '/' between folders; folders end in '/'
  int64_t modifiedUnix = 0;
  // Where known (Windows): the DOS attributes, of which kStoredAttributes go into the
  // external attributes, and the times, which go into an NTFS extra field.
  uint32_t attributes = 0;
  FileTimes times;
};

class ZipWriter {
 public:
  // `level` 1 to 9 deflates with libdeflate at that level (see ParallelDeflate); 0 stores
  // every member. `workers` threads compress (0: as many as WorkerPool::PackingWorkers()); the
  // archive's bytes do not depend on how many.
  ZipWriter(Stream& out, int level, unsigned workers = 0);
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  void AddDirectory(const NewMember& member);

  // Adds a file with every byte of `source` from position 0. `sizeHint` (the size the file
  // had when listed) decides whether the local header reserves Zip64 sizes. A member that
  // deflate does not shrink is stored instead. If reading `source` fails the member is
  // abandoned, the output is rewound to where it began and ArchiveError(kReadFailed) is
  // thrown; output errors throw kWriteFailed or kDiskFull.
  void AddFile(const NewMember& member, Stream& source, uint64_t sizeHint);

  // Adds a file that a FilePrefetcher read and compressed (outcome kReady).
  void AddCompressed(const NewMember& member, const PrefetchedFile& file);

  // The workers that deflate large files in chunks and prefetch whole ones; started on
  // first use. Null when storing.
  ParallelDeflate* Parallel();

  // Copies a member of an existing archive unchanged: its compressed bytes, times,
  // attributes and extra fields. Throws ArchiveError(kDamaged) when the member's bytes
  // cannot be located safely.
  void CopyMember(Stream& archive, const Entry& entry);

  // Writes the central directory and the end records (Zip64 ones when more than 65,534
  // members or offsets beyond 4 GiB need them) and cuts the stream after them. A header
  // that does not fit its lengths (see HeaderBytes) or a comment over 65,535 bytes throws
  // ArchiveError(kWriteFailed).
  void Finish(std::string_view comment);

  size_t count() const { return central_.size(); }

  // What the last AddFile wrote.
  struct Result {
    uint16_t method = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
  };
  const Result& last() const { return last_; }

 private:
  // Compresses a file of up to kDeflateWholeBytes in one call and adds it; false when it
  // has grown past that (it is then read again in chunks).
  bool AddWhole(const NewMember& member, Stream& source, uint64_t sizeHint);
  // Every byte of `source` from where it stands, deflated or as it is, to the output.
  DeflateTotals DeflateFrom(Stream& source);
  DeflateTotals StoreFrom(Stream& source);
  // Deflates `source` into the member begun at `dataStart`, or stores it there when
  // deflate does not shrink it; sets the record's method.
  DeflateTotals DeflateOrStore(Stream& source, uint64_t dataStart, MemberRecord& r);

  ArchiveOutput out_;
  int level_;
  unsigned workers_;
  CentralDirectory central_;
  Result last_;
  // Reused from member to member: the read buffer and the compressors.
  std::unique_ptr<unsigned char[]> piece_;
  std::unique_ptr<ParallelDeflate> parallel_;
};

}  // namespace archive
