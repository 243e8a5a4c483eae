// Listing, testing and extracting an archive: what unzip32.dll does, without Windows.
//
// Archives are hostile input. The limits this engine holds them to:
//  - Methods: those of the method table (methods/Methods.cpp), with each one's ratio limit
//    and decoder memory; other numbers are refused.
//  - Encryption: traditional PKWARE encryption and WinZip AES (AES-128, -192, -256, AE-1
//    and AE-2) are read over every method read, with the password from
//    UnzipEvents::Password (see crypto/Encryption.h); strong encryption and encrypted
//    central directories are refused. Every limit here holds for the data inside; a member
//    whose data then fails its checks is refused as a wrong password and leaves nothing.
//  - Ratio: a member may declare at most its method's ratio limit times its compressed size
//    plus 64 KiB (kRatioSlackBytes): the most its method can expand, so a larger claim is
//    a lie and the member is refused before anything is written. Methods without a bound
//    (bzip2, LZMA, xz, Zstandard, PPMd reach far more: a gigabyte of zeros in kilobytes)
//    are held to the free space instead: before extracting, the declared sizes of the
//    members to be written are added up, and more than the target's free space refuses
//    the whole run (kDiskFull) with nothing written. For every method a true stream is cut
//    off at its declared size (never more output than declared), and members that share or
//    overlap compressed bytes are refused.
//  - Decoder memory: fixed by the method, never by a declared size (the table's memory
//    column); an LZMA dictionary is cut to the member's size, and a member needing more
//    than 128 MiB to decode (LZMA dictionary, xz memory, Zstandard window:
//    kMaxDecoderMemory) is refused as unsupported. PPMd's models, 1 to 256 MiB each, share
//    a budget of 256 MiB across the members decoded at once.
//  - Sizes and counts: memory never follows a declared size or count. Buffers are fixed
//    (256 KiB for copying, 64 KiB of compressed input, the end record is looked for in the
//    last 128 KiB); a member count is believed only as far as the central directory's real
//    bytes can hold 46-byte headers; every offset and size is checked against the file.
//  - Names: at most 4096 bytes of UTF-8 (format::kMaxNameBytes), 255 UTF-16 units per
//    part (kMaxComponentUnits), and a whole path within the platform's limit: 259 UTF-16
//    units on Windows, 4095 bytes elsewhere (PathTooLong). See CheckMemberName for the
//    names refused whatever their length.
//  - Links are never created nor followed; a member is never written through a link or
//    over a folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "archive/crypto/Secret.h"
#include "archive/format/Status.h"
#include "archive/read/Directory.h"

namespace archive {

struct UnzipRequest {
  enum class Mode { kExtract, kList, kTest };

  std::filesystem::path archive;
  Mode mode = Mode::kExtract;
  std::filesystem::path targetDir;   // created if missing; empty = the current folder
  std::vector<std::string> include;  // UTF-8 wildcard patterns; empty = every member
  std::vector<std::string> exclude;
  bool ignoreCase = false;         // patterns match regardless of ASCII case
  bool useFolders = true;          // recreate stored folders; else bare names
  bool overwrite = false;          // replace existing files
  bool confirmReplace = false;     // ask UnzipEvents::ConfirmReplace instead
  bool onlyNewer = false;          // write only when the member is newer than the file
  bool freshen = false;            // replace only existing files, when newer
  bool spaceToUnderscore = false;  // blanks in names become '_'
  bool toOutput = false;           // hand the data to UnzipEvents::Data, write nothing
  bool showComment = false;        // print the archive comment
  int quiet = 0;                   // 0 all messages, 1 fewer, 2 errors only
};

struct UnzipTotals {
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  uint64_t count = 0;
  size_t commentLength = 0;
};

// What UnzipEvents::Password answers.
enum class PasswordAnswer {
  kGiven,    // the password is in `password`
  kSkip,     // skip this member
  kSkipAll,  // skip it and every further encrypted member
};

class UnzipEvents {
 public:
  virtual ~UnzipEvents() = default;
  // One line of text, UTF-8, ending in a newline.
  virtual void Message(std::string_view text) { (void)text; }
  // Each selected member while listing, in central-directory order.
  virtual void Listed(const Entry& entry) { (void)entry; }
  // After each selected member is extracted, tested or refused. Returning false stops.
  virtual bool Done(const Entry& entry) {
    (void)entry;
    return true;
  }
  // With confirmReplace: whether the existing file may be replaced.
  virtual bool ConfirmReplace(const std::filesystem::path& path) {
    (void)path;
    return false;
  }
  // With toOutput: the member's bytes, in order.
  virtual void Data(const void* bytes, size_t size) {
    (void)bytes;
    (void)size;
  }
  // While extracting or testing, on the calling thread: encrypted `entry` needs a password
  // and none given so far in this run fits it; `again` after one that did not fit it (at
  // most three tries a member). The default skips every encrypted member.
  virtual PasswordAnswer Password(const Entry& entry, bool again, crypto::Secret& password) {
    (void)entry;
    (void)again;
    (void)password;
    return PasswordAnswer::kSkipAll;
  }
};

// Runs the request and returns the status unzip32.dll hands its caller: each code, and which
// one wins when several apply, is explained once, in dll/include/unzip32.h. A failed member
// never leaves a partial file: a file that replaces nothing is created under its final name
// and removed if the member fails; one that replaces a file is written under a temporary
// name beside it and renamed over it once verified. `totals` (optional) receives the sums
// over the selected members.
UnzipStatus RunUnzip(const UnzipRequest& request, UnzipEvents& events,
                     UnzipTotals* totals = nullptr);

}  // namespace archive
