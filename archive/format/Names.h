// Member names: decoding (UTF-8 or code page 437), the checks that keep extraction inside
// its target folder, wildcard matching, and conversion to the platform's paths.
#pragma once

#include <filesystem>
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
// Decodes a stored name: UTF-8 when the archive says so (flag bit 11), code page 437
// otherwise. Sets `valid` to false when a name marked UTF-8 is not valid UTF-8.
std::string DecodeName(std::string_view raw, bool utf8Flag, bool* valid);

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
// letters, backslashes, ".." components, empty components, NUL and control characters,
// characters Windows forbids (< > : " | ? *, which also rules out alternate data streams),
// components ending in a dot or a space, reserved device names (CON, PRN, AUX, NUL, COM0-9,
// LPT0-9, CONIN$, CONOUT$, with or without an extension), components over 255 UTF-16 units
// and names over kMaxNameBytes.
SafeName CheckMemberName(std::string_view utf8);

// Number of UTF-16 units the UTF-8 text needs.
size_t Utf16Length(std::string_view utf8);

}  // namespace archive
