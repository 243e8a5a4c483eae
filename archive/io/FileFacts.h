// What Windows keeps beside a file's bytes and a Zip archive carries across: the DOS
// attributes (read-only, hidden, system, archive) and the three NTFS times, in Windows' own
// unit. Extraction restores them; packing on Windows stores them.
//
// Elsewhere only the modification time is kept (to the nanosecond), and attributes are
// neither read nor set: a Unix file has no hidden or system bit.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace archive {

struct Entry;

// 100 ns steps since 1601-01-01 UTC, as the NTFS extra field and Windows store times.
using FileTime = uint64_t;
FileTime UnixToFileTime(int64_t unixSeconds);
int64_t FileTimeToUnix(FileTime time);  // whole seconds, rounded down

// A time of 0 is one not known.
struct FileTimes {
  FileTime modified = 0;
  FileTime accessed = 0;
  FileTime created = 0;
};

constexpr uint32_t kDosReadOnly = 0x01;
constexpr uint32_t kDosHidden = 0x02;
constexpr uint32_t kDosSystem = 0x04;
// What extraction restores: the archive bit is the system's to set.
constexpr uint32_t kRestoredAttributes = kDosReadOnly | kDosHidden | kDosSystem;

// The most precise times a member carries: the NTFS extra field's, else the Unix extended
// timestamp's modification time, else the DOS time.
FileTimes MemberTimes(const Entry& entry);
// The attributes extraction restores, from the low byte of the external attributes.
uint32_t MemberAttributes(const Entry& entry);

// Sets the known times of an open file (a C runtime descriptor); an unknown access time
// becomes the modification time. Returns false when the system refuses.
bool SetDescriptorTimes(int descriptor, const FileTimes& times);
// The same for a folder or file by name, never through a link.
bool SetPathTimes(const std::filesystem::path& path, const FileTimes& times);
// On Windows sets `attributes` (of kRestoredAttributes, the archive bit kept for files);
// elsewhere does nothing. Returns false when the system refuses.
bool SetDosAttributes(const std::filesystem::path& path, uint32_t attributes, bool isFolder);

struct FileFacts {
  uint32_t attributes = 0;  // DOS attributes as Windows reports them
  FileTimes times;
};
// What packing stores of them: read-only, hidden, system and archive.
constexpr uint32_t kStoredAttributes = kRestoredAttributes | 0x20;
// On Windows the attributes and times of a file or folder; elsewhere, and when it cannot be
// read, nullopt.
std::optional<FileFacts> ReadFileFacts(const std::filesystem::path& path);

}  // namespace archive
