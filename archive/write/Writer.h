// The streaming archive writer. Members are written one after the other, each read from
// its source in fixed-size pieces; only the central records (a few dozen bytes per member)
// are held until Finish writes the central directory.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/read/Directory.h"
#include "archive/format/DosTime.h"
#include "archive/io/FileFacts.h"
#include "archive/io/Stream.h"

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
  // members or offsets beyond 4 GiB need them) and cuts the stream after them.
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
  struct CentralRecord {
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    DosDateTime dosTime;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint64_t localOffset = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    std::string name;
    std::string extra;  // without Zip64; Finish adds it where needed
    // Written in the central header only: the NTFS times, which readers take from there;
    // in every local header too they would cost 36 more bytes a member.
    std::string centralExtra;
    std::string comment;
  };

  // The record of a member added now, at the current position; versions for no Zip64.
  CentralRecord NewRecord(const NewMember& member, uint16_t method,
                          uint32_t externalAttributes) const;
  // A local header with the record's CRC and sizes, complete when written.
  void AppendLocalHeader(const CentralRecord& r);
  // A local header whose CRC and sizes (Zip64 ones with `zip64`) PatchLocalHeader fills in
  // once the data after it is written; `start` is where it begins.
  void AppendBlankLocalHeader(const CentralRecord& r, bool zip64);
  void PatchLocalHeader(const CentralRecord& r, uint64_t start, bool zip64);
  // Every byte of `source` from where it stands, deflated or as it is, to the output.
  DeflateTotals DeflateFrom(Stream& source);
  DeflateTotals StoreFrom(Stream& source);
  void WriteAt(uint64_t position, const std::string& bytes);
  void Append(const void* data, size_t size);
  void WriteCentral(const CentralRecord& record);

  Stream& out_;
  int level_;
  unsigned workers_;
  uint64_t position_;
  uint64_t highWater_;
  // A deque grows without moving what it holds: a vector of 70,000 records would at times
  // hold twice their room, and briefly the old copy besides.
  std::deque<CentralRecord> central_;
  Result last_;
  // Reused from member to member: the read buffer and the compressors.
  std::unique_ptr<unsigned char[]> piece_;
  std::unique_ptr<ParallelDeflate> parallel_;
};

}  // namespace archive
