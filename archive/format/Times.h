// Times as Zip stores them: the MS-DOS date and time (local time, two-second steps, years
// 1980 to 2107) and Unix seconds (UTC) in the extended-timestamp extra field.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace archive {

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

// Modification time of a file in Unix seconds; nullopt when it cannot be read.
std::optional<int64_t> FileModifiedUnix(const std::filesystem::path& path);
// Sets a file's modification time; returns false when the system refuses.
bool SetFileModifiedUnix(const std::filesystem::path& path, int64_t unixSeconds);

}  // namespace archive
