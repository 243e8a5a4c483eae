// Member names: what a stored name means (UTF-8, the Unicode path field, or a code page),
// the checks that keep extraction inside its target folder, wildcard matching, and
// conversion to the platform's paths.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

// UTF-8 text of a path (wide names on Windows are converted, not narrowed to ANSI).
std::string PathToUtf8(const std::filesystem::path& path);
// The platform path of UTF-8 text.
std::filesystem::path Utf8ToPath(std::string_view utf8);
// The path in double quotes, for messages.
std::string Quoted(const std::filesystem::path& path);

bool IsAscii(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);
std::string Cp437ToUtf8(std::string_view bytes);
// UTF-8 with each byte that is not part of a valid sequence replaced by U+FFFD.
std::string RepairUtf8(std::string_view bytes);

// Converts text of a code page to UTF-8; nullopt where the code page is not known.
using CodePageDecoder = std::optional<std::string> (*)(unsigned codePage, std::string_view bytes);

// The code page that names without the UTF-8 flag are read in, and what converts it. Code
// page 437, the Zip format's own, needs no converter and is the fallback for any other.
struct NameCodePage {
  unsigned number = 437;
  CodePageDecoder decode = nullptr;
};

// A name as one header stores it.
struct StoredName {
  std::string_view bytes;
  uint16_t flags = 0;          // the header's flags (bit 11: the name is UTF-8)
  uint16_t versionMadeBy = 0;  // the central header's, also for a local header
  std::string_view extra;      // the header's extra fields
};

struct MemberName {
  std::string text;   // UTF-8, with '/' between folders
  bool valid = true;  // false when a name marked UTF-8 is not; `text` then is repaired
};

// The one place that decides what a member is called, for central and local headers alike:
// 1. flag bit 11 set: the bytes are UTF-8;
// 2. else a Unicode path field (0x7075, version 1) whose CRC-32 is that of the bytes gives
//    the name in UTF-8; a field whose CRC differs was left behind by a rename and is ignored;
// 3. else ASCII bytes are themselves;
// 4. else bytes from Unix or macOS writers (made-by 3 or 19) that are valid UTF-8 are UTF-8:
//    those systems name files in UTF-8, and the flag is often left clear there. Not so for
//    DOS and Windows writers, whose names are in the OEM code page and may be valid UTF-8
//    by chance: of the words in Debian's message catalogues written in code page 866, one in
//    250 is (0.1 % in 852, 0.3 % in 737). No DOS or Windows archive of other projects' test
//    suites carries unflagged UTF-8 (7 names in 4 archives), while on Unix all 3 unflagged
//    names that are valid UTF-8 mean UTF-8 and the 24 others are not valid UTF-8;
// 5. else the bytes are in `codePage`, as Windows' own compressed folders read them.
// Archives from DOS and Windows writers (made-by 0, 10, 11, 14) separate folders with '\'
// as well; there it becomes '/' after decoding (so that a trail byte 0x5C of a Shift-JIS
// character stays part of it), and CheckMemberName judges the result.
MemberName DecideMemberName(const StoredName& stored, const NameCodePage& codePage);

// Lower case as Windows file systems compare names: ASCII, Latin-1, Latin Extended-A,
// Greek, Cyrillic, Armenian and full-width Latin letters are folded.
std::string FoldNameCase(std::string_view utf8);
// The key under which this platform's file system tells names apart: FoldNameCase on
// Windows, whose file systems ignore case, the name itself elsewhere.
std::string NameKey(std::string_view utf8);

// '*' matches any run of characters ('/' included), '?' one character, "[abc]" / "[a-z]" /
// "[!abc]" one of a set. Characters are UTF-8 code points.
bool WildcardMatch(std::string_view pattern, std::string_view text, bool ignoreCase);

// The verdict on a member name as a place to write.
struct SafeName {
  bool ok = false;
  std::string reason;                   // why it was refused
  std::vector<std::string> components;  // folders then file, UTF-8, '.' components dropped;
                                        // empty for "./", the target folder itself
  bool isDirectory = false;             // the name ends in '/'
};

// Applies the rules for names from untrusted archives, the same on every platform so that
// an archive extracts alike everywhere: refused are empty names, absolute paths, drive
// letters, backslashes (those from DOS and Windows writers are folder separators by now),
// ".." components, empty components, NUL and control characters,
// characters Windows forbids (< > : " | ? *, which also rules out alternate data streams),
// components ending in a dot or a space, reserved device names (CON, PRN, AUX, NUL, COM0-9,
// LPT0-9, CONIN$, CONOUT$, with or without an extension), components over 255 UTF-16 units
// and names over kMaxNameBytes.
SafeName CheckMemberName(std::string_view utf8);

// Number of UTF-16 units the UTF-8 text needs.
size_t Utf16Length(std::string_view utf8);

}  // namespace archive
