// Times as Zip stores them, and their one home: the MS-DOS date and time (local time,
// two-second steps, years 1980 to 2107), Unix seconds (UTC) in the extended-timestamp extra
// field, and Windows' 100 ns steps in the NTFS extra field. Reading and setting them on files
// is io/FileFacts.h's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace archive {

struct Entry;

struct DosDateTime {
  uint16_t time = 0;  // hour << 11 | minute << 5 | second / 2
  uint16_t date = 0;  // (year - 1980) << 9 | month << 5 | day

  int Year() const { return 1980 + (date >> 9); }
  int Month() const { return (date >> 5) & 15; }
  int Day() const { return date & 31; }
  int Hour() const { return time >> 11; }
  int Minute() const { return (time >> 5) & 63; }
  int Second() const { return (time & 31) * 2; }
};

// Local time of the Unix time, clamped to the DOS range (1980-01-01 00:00:00 to
// 2107-12-31 23:59:58). Odd seconds round down.
DosDateTime UnixToDos(int64_t unixSeconds);
// The Unix time of a DOS local time; nullopt for an impossible date.
std::optional<int64_t> DosToUnix(DosDateTime dos);

// 100 ns steps since 1601-01-01 UTC, as the NTFS extra field and Windows store times.
using FileTime = uint64_t;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;
FileTime UnixToFileTime(int64_t unixSeconds);
int64_t FileTimeToUnix(FileTime time);  // whole seconds, rounded down

// A time of 0 is one not known.
struct FileTimes {
  FileTime modified = 0;
  FileTime accessed = 0;
  FileTime created = 0;
};

// The most precise times a member carries: the NTFS extra field's, else the Unix extended
// timestamp's modification time, else the DOS time.
FileTimes MemberTimes(const Entry& entry);

}  // namespace archive
