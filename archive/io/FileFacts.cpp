#include "archive/io/FileFacts.h"

#include "archive/format/Entry.h"
#include "archive/format/Times.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace archive {

namespace {
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;
}  // namespace

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

uint32_t MemberAttributes(const Entry& entry) {
  return entry.externalAttributes & kRestoredAttributes;
}

#ifndef _WIN32

namespace {
timespec ToTimespec(FileTime time) {
  int64_t ticks = static_cast<int64_t>(time) - kSecondsFrom1601To1970 * kTicksPerSecond;
  int64_t seconds = ticks / kTicksPerSecond;
  int64_t rest = ticks % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  timespec t;
  t.tv_sec = static_cast<time_t>(seconds);
  t.tv_nsec = static_cast<long>(rest * 100);
  return t;
}

void ToTimespecs(const FileTimes& times, timespec out[2]) {
  out[1] = times.modified ? ToTimespec(times.modified) : timespec{0, UTIME_OMIT};
  out[0] = times.accessed ? ToTimespec(times.accessed) : out[1];
}
}  // namespace

bool SetDescriptorTimes(int descriptor, const FileTimes& times) {
  timespec t[2];
  ToTimespecs(times, t);
  return ::futimens(descriptor, t) == 0;
}

bool SetPathTimes(const std::filesystem::path& path, const FileTimes& times) {
  timespec t[2];
  ToTimespecs(times, t);
  return ::utimensat(AT_FDCWD, path.c_str(), t, AT_SYMLINK_NOFOLLOW) == 0;
}

bool SetDosAttributes(const std::filesystem::path&, uint32_t, bool) { return true; }

std::optional<FileFacts> ReadFileFacts(const std::filesystem::path&) { return std::nullopt; }

#endif

}  // namespace archive
