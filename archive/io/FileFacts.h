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

#include "archive/format/Times.h"

namespace archive {

struct Entry;

constexpr uint32_t kDosReadOnly = 0x01;
constexpr uint32_t kDosHidden = 0x02;
constexpr uint32_t kDosSystem = 0x04;
// What extraction restores: the archive bit is the system's to set.
constexpr uint32_t kRestoredAttributes = kDosReadOnly | kDosHidden | kDosSystem;

// The attributes extraction restores, from the low byte of the external attributes.
uint32_t MemberAttributes(const Entry& entry);

// Modification time of a file in Unix seconds; nullopt when it cannot be read.
std::optional<int64_t> FileModifiedUnix(const std::filesystem::path& path);
// Sets a file's modification time; returns false when the system refuses.
bool SetFileModifiedUnix(const std::filesystem::path& path, int64_t unixSeconds);

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
