#include "archive/format/Times.h"

#include "archive/format/Entry.h"

#include <chrono>
#include <ctime>
#include <system_error>

namespace archive {

namespace {

bool ToLocal(int64_t unixSeconds, std::tm* out) {
  std::time_t t = static_cast<std::time_t>(unixSeconds);
#ifdef _WIN32
  return localtime_s(out, &t) == 0;
#else
  return localtime_r(&t, out) != nullptr;
#endif
}

}  // namespace

DosDateTime UnixToDos(int64_t unixSeconds) {
  std::tm tm{};
  if (!ToLocal(unixSeconds, &tm) || tm.tm_year < 80) {
    return DosDateTime{0, static_cast<uint16_t>((1 << 5) | 1)};  // 1980-01-01 00:00
  }
  if (tm.tm_year > 207) {
    return DosDateTime{static_cast<uint16_t>((23 << 11) | (59 << 5) | 29),
                       static_cast<uint16_t>((127 << 9) | (12 << 5) | 31)};
  }
  DosDateTime dos;
  dos.time = static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  dos.date = static_cast<uint16_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  return dos;
}

std::optional<int64_t> DosToUnix(DosDateTime dos) {
  if (dos.Month() < 1 || dos.Month() > 12 || dos.Day() < 1 || dos.Hour() > 23 ||
      dos.Minute() > 59 || dos.Second() > 59) {
    return std::nullopt;
  }
  std::tm tm{};
  tm.tm_year = dos.Year() - 1900;
  tm.tm_mon = dos.Month() - 1;
  tm.tm_mday = dos.Day();
  tm.tm_hour = dos.Hour();
  tm.tm_min = dos.Minute();
  tm.tm_sec = dos.Second();
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<int64_t>(t);
}

FileTime UnixToFileTime(int64_t unixSeconds) {
  int64_t since1601 = unixSeconds + kSecondsFrom1601To1970;
  return since1601 <= 0 ? 1 : static_cast<FileTime>(since1601) * kTicksPerSecond;
}

int64_t FileTimeToUnix(FileTime time) {
  int64_t seconds = static_cast<int64_t>(time / kTicksPerSecond);
  return seconds - kSecondsFrom1601To1970;
}

FileTimes MemberTimes(const Entry& entry) {
  if (entry.ntfsModified != 0) return {entry.ntfsModified, entry.ntfsAccessed, entry.ntfsCreated};
  FileTimes times;
  if (std::optional<int64_t> when = entry.ModifiedUnix()) times.modified = UnixToFileTime(*when);
  return times;
}

}  // namespace archive
