#include "archive/format/Names.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "archive/format/Bytes.h"
#include "archive/format/Format.h"

namespace archive {

namespace {

// Code page 437, upper half, as Unicode code points.
constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at `text[*at]`; returns false (and advances one byte) when it
// is not a valid, shortest-form encoding of a scalar value.
bool NextCodePoint(std::string_view text, size_t* at, char32_t* out) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  size_t i = *at;
  unsigned char lead = byte(i);
  if (lead < 0x80) {
    *out = lead;
    *at = i + 1;
    return true;
  }
  int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || i + length > text.size()) {
    *at = i + 1;
    return false;
  }
  char32_t c = lead & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) {
      *at = i + 1;
      return false;
    }
    c = (c << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    *at = i + 1;
    return false;
  }
  *out = c;
  *at = i + length;
  return true;
}

bool IsReservedDeviceName(std::string_view component) {
  // Windows maps these names, with any extension, to devices in every folder.
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string upper;
  for (char c : base) upper.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c);
  static constexpr std::string_view kFixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (auto name : kFixed) {
    if (upper == name) return true;
  }
  if (upper.size() >= 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0)) {
    std::string_view digit = std::string_view(upper).substr(3);
    if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') return true;
    // Superscript one, two and three count as digits too.
    if (digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3") return true;
  }
  return false;
}

std::string CheckComponent(std::string_view component) {
  if (component == "..") return "it leaves the target folder (\"..\")";
  for (unsigned char c : component) {
    if (c < 0x20 || c == 0x7F) return "it contains a control character";
    switch (c) {
      case '\\':
        return "it contains a backslash";
      case ':':
        return "it contains a colon (drive letter or alternate data stream)";
      case '<':
      case '>':
      case '"':
      case '|':
      case '?':
      case '*':
        return "it contains a character Windows does not allow in names";
      default:
        break;
    }
  }
  if (component.back() == '.' || component.back() == ' ') {
    return "a part of it ends in a dot or a space";
  }
  if (IsReservedDeviceName(component)) return "it names a device";
  if (Utf16Length(component) > format::kMaxComponentUnits) return "a part of it is too long";
  return {};
}

}  // namespace

std::string PathToUtf8(const std::filesystem::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::filesystem::path Utf8ToPath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Quoted(const std::filesystem::path& path) {
  std::string text = PathToUtf8(path);
  text.insert(text.begin(), '"');
  text.push_back('"');
  return text;
}

bool IsAscii(std::string_view bytes) {
  for (unsigned char c : bytes) {
    if (c >= 0x80) return false;
  }
  return true;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t at = 0;
  char32_t c;
  while (at < bytes.size()) {
    if (!NextCodePoint(bytes, &at, &c)) return false;
  }
  return true;
}

std::string RepairUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t at = 0;
  while (at < bytes.size()) {
    char32_t c;
    AppendUtf8(out, NextCodePoint(bytes, &at, &c) ? c : U'\uFFFD');
  }
  return out;
}

std::string Cp437ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) AppendUtf8(out, c < 0x80 ? c : kCp437High[c - 0x80]);
  return out;
}

namespace {

// The Unicode path field's UTF-8 name, where it is version 1, its CRC-32 is that of the
// header's name bytes and its text is valid UTF-8.
std::optional<std::string> UnicodePathField(std::string_view extra, std::string_view bytes) {
  ByteCursor fields(extra);
  while (fields.remaining() >= 4) {
    uint16_t id = fields.U16();
    uint16_t size = fields.U16();
    if (size > fields.remaining()) break;  // runs past the block: not a field
    ByteCursor field(fields.Bytes(size));
    if (id != format::kExtraUnicodePath || size < 5 || field.U8() != 1) continue;
    uint32_t claimed = field.U32();
    uint32_t actual = static_cast<uint32_t>(crc32(crc32(0, nullptr, 0),
                                                  reinterpret_cast<const Bytef*>(bytes.data()),
                                                  static_cast<uInt>(bytes.size())));
    std::string_view text = field.Bytes(field.remaining());
    if (claimed == actual && IsValidUtf8(text)) return std::string(text);
  }
  return std::nullopt;
}

std::string DecodeUnmarked(std::string_view bytes, uint8_t host, const NameCodePage& codePage) {
  if (IsAscii(bytes)) return std::string(bytes);
  if ((host == format::kHostUnix || host == format::kHostMacOsX) && IsValidUtf8(bytes)) {
    return std::string(bytes);
  }
  if (codePage.number != 437 && codePage.decode) {
    if (std::optional<std::string> text = codePage.decode(codePage.number, bytes)) return *text;
  }
  return Cp437ToUtf8(bytes);
}

bool IsDosHost(uint8_t host) {
  for (uint8_t dos : format::kDosHosts) {
    if (host == dos) return true;
  }
  return false;
}

}  // namespace

MemberName DecideMemberName(const StoredName& stored, const NameCodePage& codePage) {
  MemberName name;
  uint8_t host = static_cast<uint8_t>(stored.versionMadeBy >> 8);
  if ((stored.flags & format::kFlagUtf8) != 0) {
    name.valid = IsValidUtf8(stored.bytes);
    name.text = name.valid ? std::string(stored.bytes) : RepairUtf8(stored.bytes);
  } else if (std::optional<std::string> field = UnicodePathField(stored.extra, stored.bytes)) {
    name.text = std::move(*field);
  } else {
    name.text = DecodeUnmarked(stored.bytes, host, codePage);
  }
  if (IsDosHost(host)) std::replace(name.text.begin(), name.text.end(), '\\', '/');
  return name;
}

namespace {

char32_t SimpleLower(char32_t c) {
  auto pair = [c](char32_t first, char32_t last, bool evenUpper) {
    return c >= first && c <= last && ((c % 2 == 0) == evenUpper);
  };
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0xC0) return c;
  if (c <= 0xDE && c != 0xD7) return c + 32;
  if (pair(0x100, 0x137, true) || pair(0x139, 0x148, false) || pair(0x14A, 0x177, true) ||
      pair(0x179, 0x17E, false)) {
    return c + 1;
  }
  if (c == 0x178) return 0xFF;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 37;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 63;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (pair(0x460, 0x481, true) || pair(0x48A, 0x4BF, true) || pair(0x4C1, 0x4CE, false) ||
      pair(0x4D0, 0x52F, true)) {
    return c + 1;
  }
  if (c >= 0x531 && c <= 0x556) return c + 48;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;
  return c;
}

}  // namespace

std::string FoldNameCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t at = 0;
  while (at < utf8.size()) {
    size_t start = at;
    char32_t c;
    if (NextCodePoint(utf8, &at, &c)) {
      AppendUtf8(out, SimpleLower(c));
    } else {
      out.append(utf8.substr(start, at - start));  // not UTF-8: kept as it is
    }
  }
  return out;
}

std::string NameKey(std::string_view utf8) {
#ifdef _WIN32
  return FoldNameCase(utf8);
#else
  return std::string(utf8);
#endif
}

size_t Utf16Length(std::string_view utf8) {
  size_t units = 0;
  size_t at = 0;
  while (at < utf8.size()) {
    char32_t c;
    units += (NextCodePoint(utf8, &at, &c) && c >= 0x10000) ? 2 : 1;
  }
  return units;
}

namespace {

// The text as code points, each byte that is not part of valid UTF-8 as U+FFFD.
std::u32string CodePoints(std::string_view text) {
  std::u32string out;
  size_t at = 0;
  while (at < text.size()) {
    char32_t c;
    out.push_back(NextCodePoint(text, &at, &c) ? c : U'\uFFFD');
  }
  return out;
}

char32_t FoldForMatch(char32_t c, bool ignoreCase) {
  return (ignoreCase && c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// Matches `c` against the set "[...]" starting at p[at]: sets `*next` past it and
// `*matched`. Returns false for a set without its closing bracket, taken literally.
bool MatchSet(const std::u32string& p, size_t at, char32_t c, bool ignoreCase, size_t* next,
              bool* matched) {
  auto fold = [ignoreCase](char32_t x) { return FoldForMatch(x, ignoreCase); };
  size_t i = at + 1;
  bool negate = i < p.size() && (p[i] == '!' || p[i] == '^');
  if (negate) ++i;
  bool any = false;
  bool first = true;
  for (; i < p.size() && (p[i] != ']' || first); ++i) {
    first = false;
    if (i + 2 < p.size() && p[i + 1] == '-' && p[i + 2] != ']') {
      if (fold(c) >= fold(p[i]) && fold(c) <= fold(p[i + 2])) any = true;
      i += 2;
    } else if (fold(c) == fold(p[i])) {
      any = true;
    }
  }
  if (i >= p.size()) return false;
  *next = i + 1;
  *matched = any != negate;
  return true;
}

// Whether the pattern element at p[*pi] (anything but '*') matches the one character `c`;
// if so, moves `*pi` past the element.
bool MatchOne(const std::u32string& p, size_t* pi, char32_t c, bool ignoreCase) {
  char32_t pc = p[*pi];
  size_t next = *pi + 1;
  bool matched;
  if (pc == '?') {
    matched = true;
  } else if (pc == '[' && MatchSet(p, *pi, c, ignoreCase, &next, &matched)) {
    // `next` and `matched` set by the set
  } else {
    matched = FoldForMatch(pc, ignoreCase) == FoldForMatch(c, ignoreCase);
  }
  if (matched) *pi = next;
  return matched;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view text, bool ignoreCase) {
  std::u32string p = CodePoints(pattern);
  std::u32string t = CodePoints(text);
  // Iterative matching with one backtrack point for the last '*': linear in practice and
  // never recursive, so hostile patterns cannot exhaust the stack.
  size_t pi = 0, ti = 0;
  size_t starP = std::u32string::npos, starT = 0;
  while (ti < t.size()) {
    if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starT = ti;
      continue;
    }
    if (pi < p.size() && MatchOne(p, &pi, t[ti], ignoreCase)) {
      ++ti;
      continue;
    }
    if (starP == std::u32string::npos) return false;
    pi = starP + 1;
    ti = ++starT;
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

SafeName CheckMemberName(std::string_view utf8) {
  SafeName result;
  auto refuse = [&](std::string reason) {
    result.ok = false;
    result.reason = std::move(reason);
    result.components.clear();
    return result;
  };
  if (utf8.empty()) return refuse("the name is empty");
  if (utf8.size() > format::kMaxNameBytes) return refuse("the name is too long");
  if (!IsValidUtf8(utf8)) return refuse("the name is not valid UTF-8");
  if (utf8.front() == '/') return refuse("it is an absolute path");
  if (utf8.back() == '/') {
    result.isDirectory = true;
    utf8.remove_suffix(1);
  }
  size_t start = 0;
  while (start <= utf8.size()) {
    size_t end = utf8.find('/', start);
    if (end == std::string_view::npos) end = utf8.size();
    std::string_view component = utf8.substr(start, end - start);
    if (component.empty()) return refuse("it has an empty folder name (\"//\")");
    if (component != ".") {
      std::string why = CheckComponent(component);
      if (!why.empty()) return refuse(why);
      result.components.emplace_back(component);
    }
    start = end + 1;
  }
  // "./" names the target folder itself, as archivers that start from "." store it.
  if (result.components.empty() && !result.isDirectory) {
    return refuse("the name has no file or folder in it");
  }
  result.ok = true;
  return result;
}

}  // namespace archive
