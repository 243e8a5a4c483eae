// Fixtures shared by the engine tests: scratch folders, files, a builder for archives with
// arbitrary (also wrong) headers, and event recorders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/io/Stream.h"
#include "archive/read/Unzip.h"
#include "archive/write/Zip.h"

namespace testing_support {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& utf8) const;

 private:
  fs::path path_;
};

// The source tree (PARCELO_SOURCE; under Wine its Unix root is drive Z:), the shared test
// data beside it (../shared/testdata), and the other projects' archives there (peer-zips).
fs::path SourceRoot();
fs::path TestData();
fs::path PeerZipsFolder();
// Whether a peer tool is on the PATH (never under Windows: the peers are Linux programs).
bool HasTool(const char* name);

void WriteFile(const fs::path& path, const std::string& bytes);
std::string ReadFile(const fs::path& path);
// Files by '/'-separated UTF-8 path, with their bytes; folders end in '/'. A failing
// comparison prints each file's size and CRC-32 with its first bytes, never whole files:
// trees of megabytes once made a failing test print gigabytes.
struct Files : std::map<std::string, std::string> {
  using map::map;
};
void PrintTo(const Files& files, std::ostream* out);
// Every file and folder under `root`, relative to it; none if `root` is missing.
Files Tree(const fs::path& root);
// Each file's size, as text, in place of its bytes.
Files SizesOf(const Files& files);

// The shared test data's archives in the methods beyond deflate, with their members and sizes
// (the engine checks each CRC). The three old methods' archives hold one text, which unzip
// reads too where it knows the method.
struct MethodArchive {
  const char* file;  // under TestData()
  Files sizes;
  bool oldText = false, unzipReads = false;
};
const std::vector<MethodArchive>& MethodArchives();

// `size` bytes of noise, the same for the same seed.
std::string Noise(size_t size, unsigned seed);
// Words from a small vocabulary, so that deflate finds matches both near and up to its
// whole window back.
std::string Words(size_t size, unsigned seed);
// Text with long-range repeats and some noise: every part of each coder is used.
std::string Sample(size_t size, uint32_t seed = 7);

std::string Deflate(const std::string& plain, int level = 6);
// The other methods' streams, as their own libraries write them (quick levels).
std::string Bzip2(const std::string& plain);
std::string Xz(const std::string& plain);
std::string Zstd(const std::string& plain);
// The Zip's LZMA: version, size of the properties, the properties, then raw LZMA1 with or
// without its end marker.
std::string ZipLzma(const std::string& plain, bool endMarker);
uint32_t Crc(const std::string& bytes);
// A Unicode path extra field (0x7075): version, the CRC-32 of the name it claims to stand
// for, and the name in UTF-8.
std::string UnicodePathField(uint8_t version, const std::string& claimedFor,
                             const std::string& utf8);
// The first Zip tools' methods, by encoders of our own (LegacyEncoders.cpp). Shrink clears
// the strings no other extends each `clearEvery` new strings, and whenever the table is full.
std::string Shrink(const std::string& plain, unsigned clearEvery = 8192);
std::string Reduce(const std::string& plain, unsigned factor);
std::string Implode(const std::string& plain, bool largeWindow, bool literalCode);

// One member of a hand-built archive. Unset fields are derived from `plain` and `data`; every
// field has a default, so that a member can be written with designated initializers.
struct RawMember {
  std::string name{};
  std::string plain{};                // the member's content
  std::optional<std::string> data{};  // bytes stored; default: `plain`, deflated if method 8
  uint16_t method = 0;
  uint16_t flags = 0;
  uint16_t madeBy = 20;
  uint32_t external = 0;
  std::optional<uint32_t> crc{};
  std::optional<uint64_t> compressedSize{};
  std::optional<uint64_t> uncompressedSize{};
  std::optional<std::string> localName{};
  std::optional<uint32_t> localCrc{};
  std::optional<uint32_t> localCompressedSize{};
  std::optional<uint16_t> localMethod{};
  std::string localExtra{};
  std::string centralExtra{};
  bool zip64 = false;                // sizes and offset through a Zip64 extra field
  std::optional<uint64_t> offset{};  // central offset; with `shareLocal` no local copy
  bool shareLocal = false;
};

RawMember Stored(const std::string& name, const std::string& content);
RawMember Deflated(const std::string& name, const std::string& content);
// `plain` stored as `data`, which `method` (with `flags`) makes of it.
RawMember Packed(const std::string& name, const std::string& plain, uint16_t method,
                 const std::string& data, uint16_t flags = 0);
// `member` encrypted with `password`: traditional encryption with `aesStrength` 0, else
// WinZip AES of that strength (1 to 3) and `aesVersion` (AE-1 keeps the CRC, AE-2 stores 0).
// Sets the data, flags, method and AES extra fields; the inner method is the member's.
RawMember Encrypted(RawMember member, const std::string& password, int aesStrength = 0,
                    int aesVersion = 2);

struct RawArchive {
  std::vector<RawMember> members{};
  std::string prefix{};
  std::string comment{};
  std::string trailing{};
  std::optional<uint16_t> count{};
  std::optional<uint32_t> centralSize{};
  std::optional<uint32_t> centralOffset{};
  bool prefixShiftsOffsets = false;  // offsets count from the archive, not the file
  // Writes Zip64 end records with this member count (and the sizes below, if set).
  std::optional<uint64_t> zip64Count{};
  std::optional<uint64_t> zip64CentralOffset{};
  std::string Build() const;
};

// Records what the engine reports.
class Recorder : public archive::UnzipEvents, public archive::ZipEvents {
 public:
  void Message(std::string_view text) override { messages += std::string(text); }
  void Listed(const archive::Entry& entry) override { listed.push_back(entry.name); }
  bool Done(const archive::Entry& entry) override {
    done.push_back(entry.name);
    return stopAfter < 0 || static_cast<int>(done.size()) < stopAfter;
  }
  bool FileDone(const fs::path& file, uint64_t size) override {
    added.emplace_back(file, size);
    return stopAfter < 0 || static_cast<int>(added.size()) < stopAfter;
  }
  // Gives the `answers` in turn: a password, or kSkip or kSkipAll; once they run out, skips
  // all. Records each question in `asked`: the member's name, with " again" after a wrong
  // password.
  static constexpr const char* kSkip = "<skip>";
  static constexpr const char* kSkipAll = "<skip all>";
  archive::PasswordAnswer Password(const archive::Entry& entry, bool again,
                                   archive::crypto::Secret& password) override {
    asked.push_back(entry.name + (again ? " again" : ""));
    if (asked.size() > answers.size() || answers[asked.size() - 1] == kSkipAll) {
      return archive::PasswordAnswer::kSkipAll;
    }
    if (answers[asked.size() - 1] == kSkip) return archive::PasswordAnswer::kSkip;
    password = archive::crypto::Secret(answers[asked.size() - 1]);
    return archive::PasswordAnswer::kGiven;
  }

  std::string messages;
  std::vector<std::string> listed;
  std::vector<std::string> done;
  std::vector<std::pair<fs::path, uint64_t>> added;
  int stopAfter = -1;
  std::vector<std::string> answers;
  std::vector<std::string> asked;
};

// Extracts `archiveBytes` from `dir`/"a.zip" into `dir`/"out" with the options the program
// uses (folders, overwrite), errors alone reported; or lists or tests them.
archive::UnzipStatus ExtractBytes(
    const TempDir& dir, const std::string& archiveBytes, Recorder& recorder,
    archive::UnzipRequest::Mode mode = archive::UnzipRequest::Mode::kExtract);

// A way a member's stream or sizes can lie, done to a member made honestly.
struct Lie {
  const char* what;
  std::function<void(RawMember&)> apply;
};
// `member` with each lie in turn, extracted beside a good member "ok": a member error that
// names it, and only "ok" written.
void ExpectEachLieRefused(const RawMember& member, const std::vector<Lie>& lies);
// Extracts the archive at `zip` into `to`, which must succeed: what `to` holds then.
Files ExtractArchive(const fs::path& zip, const fs::path& to);
// An archive of `members` extracted by ExtractBytes into a fresh folder: the status, the
// messages, and the files written.
struct Extracted {
  archive::UnzipStatus status;
  std::string messages;
  Files files;
};
Extracted ExtractMembers(std::vector<RawMember> members);

// The bytes a member stores, after its local header.
std::string StoredData(const std::string& archiveBytes, const archive::Entry& entry);
// The stored bytes of the one member of `7z a -tzip <options>` of `plain`, which must use
// `method`; none if 7z is missing or fails.
std::optional<std::string> SevenZipData(const std::string& plain, const std::string& options,
                                        uint16_t method);

}  // namespace testing_support
