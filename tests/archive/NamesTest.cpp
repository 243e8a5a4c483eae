// What member names mean, the name checks for extraction, wildcards and DOS times.
#include <gtest/gtest.h>

#include "archive/format/Times.h"
#include "archive/format/Names.h"
#include "archive/io/CodePage.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::CheckMemberName;

struct NameCase {
  const char* name;
  bool ok;
  const char* components;  // '|'-separated when ok
};

class MemberNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(MemberNameTest, Verdict) {
  const NameCase& c = GetParam();
  archive::SafeName safe = CheckMemberName(c.name);
  EXPECT_EQ(safe.ok, c.ok) << c.name << ": " << safe.reason;
  if (c.ok) {
    std::string joined;
    for (const auto& part : safe.components) joined += (joined.empty() ? "" : "|") + part;
    EXPECT_EQ(joined, c.components);
  } else {
    EXPECT_FALSE(safe.reason.empty());
  }
}

const NameCase kNames[] = {
    {"a.txt", true, "a.txt"},
    {"dir/sub/a.txt", true, "dir|sub|a.txt"},
    {"dir/", true, "dir"},
    {"./a.txt", true, "a.txt"},
    {"a/./b", true, "a|b"},
    {"caf\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC.txt", true, "caf\xC3\xA9|\xE6\x97\xA5\xE6\x9C\xAC.txt"},
    {".hidden", true, ".hidden"},
    {" leading blank", true, " leading blank"},
    {"console.txt", true, "console.txt"},
    {"COM10", true, "COM10"},
    {"", false, ""},
    {"/", false, ""},
    {"./", true, ""},
    {"./.", false, ""},
    {".", false, ""},
    {"../evil", false, ""},
    {"a/../../evil", false, ""},
    {"..", false, ""},
    {"/etc/passwd", false, ""},
    {"//server/share/x", false, ""},
    {"C:/Windows/x", false, ""},
    {"C:x", false, ""},
    {"..\\evil", false, ""},
    {"a\\b", false, ""},
    {"\\\\?\\C:\\x", false, ""},
    {"\\\\.\\PhysicalDrive0", false, ""},
    {"file.txt:stream", false, ""},
    {"a//b", false, ""},
    {"CON", false, ""},
    {"con.txt", false, ""},
    {"dir/NUL.tar.gz", false, ""},
    {"Aux", false, ""},
    {"COM1", false, ""},
    {"lpt9.log", false, ""},
    {"COM\xC2\xB9", false, ""},
    {"CONIN$", false, ""},
    {"trailing.", false, ""},
    {"trailing ", false, ""},
    {"dir./x", false, ""},
    {"bell\x07", false, ""},
    {"new\nline", false, ""},
    {"del\x7f", false, ""},
    {"a<b", false, ""},
    {"a|b", false, ""},
    {"what?", false, ""},
    {"star*", false, ""},
    {"quote\"", false, ""},
    {"bad\xFFutf8", false, ""},
};

INSTANTIATE_TEST_SUITE_P(Table, MemberNameTest, ::testing::ValuesIn(kNames));

TEST(MemberNameTest, EmbeddedNulIsRefused) {
  EXPECT_FALSE(CheckMemberName(std::string("a\0b", 3)).ok);
}

TEST(MemberNameTest, LengthLimits) {
  EXPECT_TRUE(CheckMemberName(std::string(255, 'x')).ok);
  EXPECT_FALSE(CheckMemberName(std::string(256, 'x')).ok);
  // 255 characters of two UTF-8 bytes each are 255 UTF-16 units: allowed.
  std::string wide;
  for (int i = 0; i < 255; ++i) wide += "\xC3\xA9";
  EXPECT_TRUE(CheckMemberName(wide).ok);
  // 128 characters outside the BMP need 256 UTF-16 units.
  std::string astral;
  for (int i = 0; i < 128; ++i) astral += "\xF0\x9F\x98\x80";
  EXPECT_FALSE(CheckMemberName(astral).ok);
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "abcd/";
  deep += "f";
  EXPECT_FALSE(CheckMemberName(deep).ok);  // 5,001 bytes
}

using testing_support::UnicodePathField;

struct DecideCase {
  const char* what;
  std::string bytes;
  uint16_t flags;
  uint8_t host;  // made-by system: 0 DOS, 3 Unix, 11 NTFS, 19 macOS
  std::string extra;
  unsigned codePage;
  std::string name;  // what the member is called
  bool safe;         // and whether CheckMemberName lets it be written
};

const std::string kShiftJis =
    "\x95\\\x82\xbe\x82\xe6/\x88\xea\x97\x97\x95\\.txt";  // 表だよ/一覧表.txt
const std::string kUtf8Ete = "\xC3\xA9t\xC3\xA9";         // été as UTF-8

const DecideCase kDecided[] = {
    {"ASCII", "plain.txt", 0, 0, "", 437, "plain.txt", true},
    {"code page 437", "\x80\x81\x9B\xE1\xE4\xFF", 0, 0, "", 437, "Çü¢ßΣ\u00A0", true},
    {"flagged UTF-8", kUtf8Ete, 0x0800, 0, "", 437, "été", true},
    {"UTF-8 from DOS, unflagged: code page", kUtf8Ete, 0, 0, "", 437, "├⌐t├⌐", true},
    {"UTF-8 from Unix, unflagged", kUtf8Ete, 0, 3, "", 437, "été", true},
    {"UTF-8 from macOS, unflagged", "\xe4\xb8\x96\xe7\x95\x8c", 0, 19, "", 866, "世界", true},
    {"code page 866 from Unix, not UTF-8", "\xaf\xe0\xa8\xa2\xa5\xe2", 0, 3, "", 866, "привет",
     true},
    {"code page 866 that is UTF-8 by chance, from DOS", "\xe0\xa0\xa1", 0, 0, "", 866, "раб", true},
    {"... and from Unix, where UTF-8 wins", "\xe0\xa0\xa1", 0, 3, "", 866, "\u0821", true},
    {"Shift-JIS: 0x5C inside characters", kShiftJis, 0, 11, "", 932, "表だよ/一覧表.txt", true},
    {"Shift-JIS read as 437: 0x5C separates", "\x95\\\x82\xbe", 0, 11, "", 437, "ò/é╛", true},
    {"code page without converter: 437", "\xaf", 0, 0, "", 0, "»", true},
    {"DOS backslash", "arc\\test", 0, 0, "", 437, "arc/test", true},
    {"VFAT backslash", "a\\b\\", 0, 14, "", 437, "a/b/", true},
    {"DOS backslash climbing out", "..\\evil.txt", 0, 10, "", 437, "../evil.txt", false},
    {"DOS backslash at the root", "\\abs", 0, 0, "", 437, "/abs", false},
    {"DOS drive", "C:\\x", 0, 0, "", 437, "C:/x", false},
    {"DOS UNC", "\\\\server\\share\\x", 0, 11, "", 437, "//server/share/x", false},
    {"Unix backslash stays", "arc\\test", 0, 3, "", 437, "arc\\test", false},
    {"Unix backslash climbing stays", "..\\/hello", 0x0800, 3, "", 437, "..\\/hello", false},
    {"Unicode path field", "???.txt", 0, 0, UnicodePathField(1, "???.txt", "日本.txt"), 437,
     "日本.txt", true},
    {"stale Unicode path field", "???.txt", 0, 0, UnicodePathField(1, "old.txt", "日本.txt"), 437,
     "???.txt", false},
    {"Unicode path field, version 2", "a.txt", 0, 0, UnicodePathField(2, "a.txt", "b.txt"), 437,
     "a.txt", true},
    {"Unicode path field under the UTF-8 flag", "a.txt", 0x0800, 0,
     UnicodePathField(1, "a.txt", "b.txt"), 437, "a.txt", true},
    {"Unicode path field not UTF-8", "a.txt", 0, 0, UnicodePathField(1, "a.txt", "b\xFF"), 437,
     "a.txt", true},
    {"Unicode path field after another field", "\x94.txt", 0, 0,
     std::string("UT\x01\x00\x01", 5) + UnicodePathField(1, "\x94.txt", "ö.txt"), 866, "ö.txt",
     true},
    {"Unicode path field from DOS with a backslash", "x", 0, 0,
     UnicodePathField(1, "x", "a\\..\\..\\b"), 437, "a/../../b", false},
    {"Unicode path field cut short", "a.txt", 0, 0,
     UnicodePathField(1, "a.txt", "b.txt").substr(0, 12), 437, "a.txt", true},
};

class DecideNameTest : public ::testing::TestWithParam<DecideCase> {};

TEST_P(DecideNameTest, MeansWhatItsWriterMeant) {
  const DecideCase& c = GetParam();
  archive::NameCodePage codePage{c.codePage, c.codePage ? &archive::CodePageToUtf8 : nullptr};
  archive::MemberName name = archive::DecideMemberName(
      {c.bytes, c.flags, static_cast<uint16_t>(c.host << 8 | 20), c.extra}, codePage);
  EXPECT_EQ(name.text, c.name) << c.what;
  EXPECT_TRUE(name.valid) << c.what;
  EXPECT_EQ(CheckMemberName(name.text).ok, c.safe) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Table, DecideNameTest, ::testing::ValuesIn(kDecided));

TEST(DecideNameTest, FlaggedNameThatIsNotUtf8IsRepairedAndMarked) {
  archive::MemberName name = archive::DecideMemberName({"a\xFF", 0x0800, 0, ""}, {});
  EXPECT_EQ(name.text, "a\xEF\xBF\xBD");
  EXPECT_FALSE(name.valid);
  // Overlong encodings and surrogates are not UTF-8.
  EXPECT_FALSE(archive::IsValidUtf8("\xC0\xAF"));
  EXPECT_FALSE(archive::IsValidUtf8("\xED\xA0\x80"));
  EXPECT_TRUE(archive::IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(NameDecodingTest, CaseFoldsAsWindowsComparesNames) {
  const std::pair<const char*, const char*> kCases[] = {
      {"ABC.TXT", "abc.txt"},
      {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"},  // ÉTÉ
      {"\xC3\x97", "\xC3\x97"},                    // × stays
      {"\xC5\x81\xC3\x93"
       "D\xC5\xB9",
       "\xC5\x82\xC3\xB3"
       "d\xC5\xBA"},                                         // ŁÓDŹ
      {"\xCE\xA9\xCE\x86", "\xCF\x89\xCE\xAC"},              // ΩΆ
      {"\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2",   // ПРИВЕТ
       "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},  // привет
      {"\xD0\x81", "\xD1\x91"},                              // Ё
      {"\xEF\xBC\xA1", "\xEF\xBD\x81"},                      // full-width A
      {"\xE6\x97\xA5", "\xE6\x97\xA5"},                      // 日 has no case
      {"a\xFF"
       "b",
       "a\xFF"
       "b"},  // not UTF-8: kept
  };
  for (const auto& [upper, lower] : kCases) {
    EXPECT_EQ(archive::FoldNameCase(upper), lower) << upper;
  }
}

struct WildcardCase {
  const char* pattern;
  const char* text;
  bool ignoreCase;
  bool match;
};

class WildcardTest : public ::testing::TestWithParam<WildcardCase> {};

TEST_P(WildcardTest, Match) {
  const auto& c = GetParam();
  EXPECT_EQ(archive::WildcardMatch(c.pattern, c.text, c.ignoreCase), c.match)
      << c.pattern << " vs " << c.text;
}

const WildcardCase kWildcards[] = {
    {"*", "anything/at/all", false, true},
    {"*.txt", "a.txt", false, true},
    {"*.txt", "dir/a.txt", false, true},
    {"*.txt", "a.txt.bak", false, false},
    {"a?c", "abc", false, true},
    {"a?c", "ac", false, false},
    {"a?c",
     "a\xC3\xA9"
     "c",
     false, true},  // ? is one character, not one byte
    {"[ab]x", "bx", false, true},
    {"[!ab]x", "bx", false, false},
    {"[a-c]x", "cx", false, true},
    {"[a", "[a", false, true},
    {"*.TXT", "a.txt", false, false},
    {"*.TXT", "a.txt", true, true},
    {"a*b*c", "aXXbYYc", false, true},
    {"a*b*c", "aXXbYY", false, false},
    {"", "", false, true},
    {"", "a", false, false},
};

INSTANTIATE_TEST_SUITE_P(Table, WildcardTest, ::testing::ValuesIn(kWildcards));

TEST(WildcardTest, ManyStarsDoNotExplode) {
  std::string pattern(200, '*');
  pattern += "b";
  EXPECT_FALSE(archive::WildcardMatch(pattern, std::string(5000, 'a'), false));
}

TEST(DosTimeTest, FieldsAndRoundTrip) {
  // 2020-01-01 12:00:00 local time.
  archive::DosDateTime dos{static_cast<uint16_t>(12 << 11),
                           static_cast<uint16_t>((40 << 9) | (1 << 5) | 1)};
  EXPECT_EQ(dos.Year(), 2020);
  EXPECT_EQ(dos.Month(), 1);
  EXPECT_EQ(dos.Day(), 1);
  EXPECT_EQ(dos.Hour(), 12);
  auto unix = archive::DosToUnix(dos);
  ASSERT_TRUE(unix.has_value());
  archive::DosDateTime back = archive::UnixToDos(*unix);
  EXPECT_EQ(back.date, dos.date);
  EXPECT_EQ(back.time, dos.time);
  // Odd seconds round down to the two-second step.
  EXPECT_EQ(archive::UnixToDos(*unix + 3).Second(), 2);
}

TEST(DosTimeTest, ClampsToTheDosRange) {
  archive::DosDateTime early = archive::UnixToDos(0);  // 1970: before DOS time began
  EXPECT_EQ(early.Year(), 1980);
  EXPECT_EQ(early.Month(), 1);
  EXPECT_EQ(early.Day(), 1);
  EXPECT_FALSE(archive::DosToUnix(archive::DosDateTime{0, 0}).has_value());  // month 0
}

}  // namespace
