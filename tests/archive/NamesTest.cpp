// Member-name decoding, the name checks for extraction, wildcards and DOS times.
#include <gtest/gtest.h>

#include "archive/format/DosTime.h"
#include "archive/format/Names.h"

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

TEST(NameDecodingTest, Cp437UpperHalf) {
  bool valid = false;
  // 0x80 Ç, 0x81 ü, 0x9B ¢, 0xE1 ß, 0xE4 Σ, 0xFF no-break space
  EXPECT_EQ(archive::DecodeName("\x80\x81\x9B\xE1\xE4\xFF", false, &valid),
            "\xC3\x87\xC3\xBC\xC2\xA2\xC3\x9F\xCE\xA3\xC2\xA0");
  EXPECT_TRUE(valid);
  EXPECT_EQ(archive::DecodeName("plain.txt", false, &valid), "plain.txt");
}

TEST(NameDecodingTest, Utf8FlagDecidesEncoding) {
  bool valid = false;
  const std::string utf8 = "\xC3\xA9t\xC3\xA9";  // été
  EXPECT_EQ(archive::DecodeName(utf8, true, &valid), utf8);
  EXPECT_TRUE(valid);
  // Without the flag the same bytes are code page 437: 0xC3 ├, 0xA9 ⌐.
  EXPECT_EQ(archive::DecodeName(utf8, false, &valid),
            "\xE2\x94\x9C\xE2\x8C\x90t\xE2\x94\x9C\xE2\x8C\x90");
  // Flagged, but not UTF-8: marked invalid and repaired for display.
  EXPECT_EQ(archive::DecodeName("a\xFF", true, &valid), "a\xEF\xBF\xBD");
  EXPECT_FALSE(valid);
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
