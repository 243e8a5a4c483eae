#include "archive/io/FileFacts.h"

#include <chrono>
#include <system_error>

#include "archive/format/Entry.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace archive {

std::optional<int64_t> FileModifiedUnix(const std::filesystem::path& path) {
  std::error_code ec;
  auto written = std::filesystem::last_write_time(path, ec);
  if (ec) return std::nullopt;
  auto system = std::chrono::file_clock::to_sys(written);
  return std::chrono::floor<std::chrono::seconds>(system).time_since_epoch().count();
}

bool SetFileModifiedUnix(const std::filesystem::path& path, int64_t unixSeconds) {
  std::error_code ec;
  auto system = std::chrono::sys_seconds{std::chrono::seconds{unixSeconds}};
  std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(system), ec);
  return !ec;
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
