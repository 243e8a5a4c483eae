// The window's decisions without a window: the bar's byte scaling, the reason a failure
// gives, the member tally of an extraction, the messages that end both workflows, and the
// password window's text and answer.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <utility>

#include "app/Outcome.h"
#include "app/Password.h"
#include "app/Progress.h"
#include "ziplib/UnzipBinding.h"
#include "ziplib/ZipBinding.h"

namespace {

constexpr uint64_t kInt32Max = std::numeric_limits<int32_t>::max();

TEST(ByteProgress, ScalesTotalsBeyond32BitsAndNeverPassesTheTotal) {
  struct {
    uint64_t total;
    int32_t max;
    uint64_t advance;  // twice
    int32_t afterOne, afterTwo;
  } const cases[] = {
      {0, 1, 10, 0, 0},  // an empty total still gives the bar a range
      {1000, 1000, 100, 100, 200},
      {1000, 1000, 600, 600, 1000},  // capped at the total
      {kInt32Max, static_cast<int32_t>(kInt32Max), kInt32Max / 2,
       static_cast<int32_t>(kInt32Max / 2), static_cast<int32_t>(kInt32Max / 2 * 2)},
      {kInt32Max + 1, static_cast<int32_t>((kInt32Max + 1) / 2), 4, 2, 4},  // scale 2
      {5ull << 30, static_cast<int32_t>((5ull << 30) / 3), 3, 1, 2},        // scale 3
      {3 * kInt32Max, static_cast<int32_t>(kInt32Max), 3, 1, 2},            // scale 3, exactly
  };
  for (const auto& c : cases) {
    ByteProgress progress(c.total);
    EXPECT_EQ(progress.Max(), c.max) << c.total;
    EXPECT_EQ(progress.Value(), 0);
    EXPECT_EQ(progress.Advance(c.advance), c.afterOne) << c.total;
    EXPECT_EQ(progress.Advance(c.advance), c.afterTwo) << c.total;
    EXPECT_LE(progress.Value(), progress.Max());
  }
}

TEST(ByteProgress, SmallStepsAddUpExactly) {
  // Each step is 0.001 % of the total: a whole-percent read-back of the bar would lose all.
  ByteProgress progress(5ull << 30);
  for (int i = 0; i < 10000; ++i) progress.Advance((5ull << 30) / 100000);
  EXPECT_NEAR(progress.Value(), progress.Max() * 0.1, progress.Max() / 1000.0);
}

TEST(FailureReason, TakesTheLibrarysLineElseTheStatusInWords) {
  struct {
    const char* printed;
    int32_t status;
    const char* zip;    // the last line
    const char* unzip;  // the first failed member, else the first line
  } const cases[] = {
      {"", ZIP32_WRITE, nullptr, nullptr},
      {"\r\n\n", ZIP32_WRITE, nullptr, nullptr},
      {"zip warning: a\nzip error: b\n", 18, "zip error: b", "zip warning: a"},
      {"one\r\ntwo", 18, "two", "one"},
      {"skipping: l: symbolic links are not created\nerror: x: bad CRC\nerror: y: bad\n", 2,
       "error: y: bad", "error: x: bad CRC"},
      // A member left without its password is told apart; the reason is the other failure.
      {"error: s: " UNZIP32_NO_PASSWORD_REASON "\nerror: x: bad CRC\n", 2, "error: x: bad CRC",
       "error: x: bad CRC"},
      {"error: s: " UNZIP32_WRONG_PASSWORD_REASON "\n", 82,
       "error: s: " UNZIP32_WRONG_PASSWORD_REASON, "error: s: " UNZIP32_WRONG_PASSWORD_REASON},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZipFailureReason(c.printed, c.status),
              c.zip ? c.zip : ziplib::ZipStatusText(c.status))
        << c.printed;
    EXPECT_EQ(UnzipFailureReason(c.printed, c.status),
              c.unzip ? c.unzip : ziplib::UnzipStatusText(c.status))
        << c.printed;
  }
}

TEST(MemberTally, DecidesEachMemberByTheLinesPrintedBeforeItsServiceCall) {
  struct {
    const char* printed;  // before the member's service call, in two pieces split at `split`
    size_t split;
    const char* name;
    int outcome;  // 0 saved, 1 failed, 2 link skipped, 3 no password, 4 wrong password
  } const cases[] = {
      {"", 0, "a.txt", 0},
      {UNZIP32_FAILED_LINE "b.txt: bad CRC\n", 9, "b.txt", 1},
      {UNZIP32_SKIPPED_LINE "tree/link: symbolic links are not created\n", 3, "tree/link", 2},
      {UNZIP32_FAILED_LINE "b.txt.bak: bad CRC\n", 0, "b.txt", 0},  // another name
      {"   " UNZIP32_SKIPPED_LINE "c.txt (the file exists)\n", 0, "c.txt",
       0},  // not a member's line
      {UNZIP32_SKIPPED_LINE "d: x\n" UNZIP32_FAILED_LINE "d: y\n", 5, "d", 1},
      {"inflating: e\n", 4, "e", 0},
      {UNZIP32_FAILED_LINE "s/p.txt: " UNZIP32_NO_PASSWORD_REASON "\n", 12, "s/p.txt", 3},
      {UNZIP32_FAILED_LINE "w: " UNZIP32_WRONG_PASSWORD_REASON "\n", 2, "w", 4},
      {UNZIP32_FAILED_LINE "w: " UNZIP32_WRONG_PASSWORD_REASON " (bad CRC)\n", 2, "w", 1},
      {UNZIP32_FAILED_LINE "a: b: " UNZIP32_NO_PASSWORD_REASON "\n", 0, "a: b", 3},
  };
  MemberTally tally;
  uint32_t counts[5] = {};
  for (const auto& c : cases) {
    std::string text = c.printed;
    tally.Printed(text.substr(0, c.split));
    tally.Printed(text.substr(c.split));
    tally.Handled(c.name);
    ++counts[c.outcome];
    EXPECT_EQ(tally.Saved(), counts[0]) << c.printed;
    EXPECT_EQ(tally.Failed(), counts[1]) << c.printed;
    EXPECT_EQ(tally.SkippedLinks(), counts[2]) << c.printed;
    EXPECT_EQ(tally.NoPassword(), counts[3]) << c.printed;
    EXPECT_EQ(tally.WrongPassword(), counts[4]) << c.printed;
  }
}

TEST(ExtractionReport, SkippedLinksAndPasswordsAreAWarningAndCountsAreOfSavedFiles) {
  auto tally = [](int saved, int failed, int links, int noPassword = 0, int wrongPassword = 0) {
    MemberTally t;
    for (int i = 0; i < saved; ++i) t.Handled("s");
    const std::pair<int, const char*> failures[] = {
        {failed, UNZIP32_FAILED_LINE "f: bad\n"},
        {links, UNZIP32_SKIPPED_LINE "f: symbolic links are not created\n"},
        {noPassword, UNZIP32_FAILED_LINE "f: " UNZIP32_NO_PASSWORD_REASON "\n"},
        {wrongPassword, UNZIP32_FAILED_LINE "f: " UNZIP32_WRONG_PASSWORD_REASON "\n"}};
    for (auto [count, line] : failures)
      for (int i = 0; i < count; ++i) {
        t.Printed(line);
        t.Handled("f");
      }
    return t;
  };
  using Kind = ExtractionReport::Kind;
  const std::string links1 = "1 symbolic link was skipped: links are not created.";
  const std::string none2 = "2 encrypted files were skipped: no password was given.";
  const std::string wrong1 = "1 encrypted file was skipped: the password was wrong.";
  struct {
    int32_t status;
    MemberTally tally;
    int listed;
    Kind kind;
    bool exclamation;
    const char* counts;
    std::string last;  // what follows the blank line
  } const cases[] = {
      {UNZIP32_OK, tally(3, 0, 0), 3, Kind::kNone, false, "", ""},
      {UNZIP32_WARNING, tally(8, 0, 1), 9, Kind::kWarning, false, "8 of 9", links1},
      {UNZIP32_WARNING, tally(1, 0, 2), 3, Kind::kWarning, false, "1 of 3",
       "2 symbolic links were skipped: links are not created."},
      {UNZIP32_WARNING, tally(2, 0, 0), 2, Kind::kWarning, false, "2 of 2", "why"},  // no line
      {UNZIP32_MEMBER_ERROR, tally(1, 1, 0), 2, Kind::kFailure, true, "1 of 2", "why"},
      {UNZIP32_MEMBER_ERROR, tally(1, 1, 1), 3, Kind::kFailure, true, "1 of 3", "why\r\n" + links1},
      {UNZIP32_DISK_FULL, tally(0, 0, 0), 4, Kind::kFailure, true, "0 of 4", "why"},
      // Encrypted members without their password: what the user chose, or got wrong.
      {UNZIP32_BAD_PASSWORD, tally(3, 0, 0, 2), 5, Kind::kWarning, false, "3 of 5", none2},
      {UNZIP32_BAD_PASSWORD, tally(1, 0, 0, 0, 1), 2, Kind::kWarning, true, "1 of 2", wrong1},
      {UNZIP32_BAD_PASSWORD, tally(0, 0, 1, 2, 1), 4, Kind::kWarning, true, "0 of 4",
       links1 + "\r\n" + none2 + "\r\n" + wrong1},
      {UNZIP32_BAD_PASSWORD, tally(1, 0, 0), 1, Kind::kWarning, false, "1 of 1", "why"},
      {UNZIP32_MEMBER_ERROR, tally(2, 1, 0, 2), 5, Kind::kFailure, true, "2 of 5",
       "why\r\n" + none2},
  };
  for (const auto& c : cases) {
    ExtractionReport report =
        ReportExtraction(c.status, "C:\\a.zip", "C:\\a", c.listed, c.tally, "why");
    EXPECT_EQ(report.kind, c.kind) << c.status << " " << c.last;
    EXPECT_EQ(report.exclamation, c.exclamation) << c.status << " " << c.last;
    std::string counts = std::string(c.counts) + " files were saved";
    std::string text =
        c.kind == Kind::kNone ? ""
        : c.kind == Kind::kWarning
            ? "The Zip file C:\\a.zip was extracted into C:\\a: " + counts + "."
            : "The Zip file C:\\a.zip could not be extracted completely: " + counts + " in C:\\a.";
    if (!text.empty()) text += "\r\n\r\n" + c.last + "     ";
    EXPECT_EQ(report.text, text) << c.status;
  }
}

TEST(CreationReport, AnArchiveWrittenWithoutUnreadableFilesSaysSoAndNamesThem) {
  using Kind = CreationReport::Kind;
  const std::string gone = "warning: \"C:\\Data\\d.txt\": not found\n";
  const std::string locked =
      "warning: could not open \"C:\\Data\\e.txt\" for reading: Permission denied\n";
  const std::string updating = "updating: a.txt (deflated 50%)\n";
  struct {
    int32_t status;
    bool written;
    std::string printed;
    Kind kind;
    std::string statusLine, text;
  } const cases[] = {
      {ZIP32_OK, true, updating, Kind::kSuccess,
       "keep.zip successfully created and saved in C:\\Data", ""},
      {ZIP32_OPEN_INPUT, true, updating + gone + updating, Kind::kPartial,
       "keep.zip saved in C:\\Data; 1 listed file could not be read",
       "The Zip file C:\\Data\\keep.zip was written, but 1 listed file could not be read into "
       "it:\r\n\r\n"
       "\"C:\\Data\\d.txt\": not found     "},
      {ZIP32_OPEN_INPUT, true, gone + updating + locked, Kind::kPartial,
       "keep.zip saved in C:\\Data; 2 listed files could not be read",
       "The Zip file C:\\Data\\keep.zip was written, but 2 listed files could not be read into "
       "it:\r\n\r\n"
       "\"C:\\Data\\d.txt\": not found\r\n"
       "could not open \"C:\\Data\\e.txt\" for reading: Permission denied     "},
      // Nothing written: the failure as it always was.
      {ZIP32_OPEN_INPUT, false, gone + "error: no file could be read; nothing was written\n",
       Kind::kFailure, "keep.zip was not created",
       "The Zip file C:\\Data\\keep.zip could not be created.\r\n\r\n"
       "error: no file could be read; nothing was written     "},
      {ZIP32_WRITE, true, "error: cannot write the new archive: disk full\n", Kind::kFailure,
       "keep.zip was not created",
       "The Zip file C:\\Data\\keep.zip could not be created.\r\n\r\n"
       "error: cannot write the new archive: disk full     "},
  };
  for (const auto& c : cases) {
    CreationReport report = ReportCreation(c.status, "C:\\Data\\keep.zip", c.written, c.printed);
    EXPECT_EQ(report.kind, c.kind) << c.printed;
    EXPECT_EQ(report.statusLine, c.statusLine) << c.printed;
    EXPECT_EQ(report.text, c.text) << c.printed;
    EXPECT_EQ(report.statusLine.find("not created") != std::string::npos, c.kind == Kind::kFailure);
  }
}

TEST(PasswordWindow, SaysWhichMemberOfWhichArchiveAndWhenThePasswordWasWrong) {
  const struct {
    const char* prompt;
    const char* text;
  } cases[] = {
      {UNZIP32_PASSWORD_PROMPT, "Enter the password of \"d/a.txt\" in the Zip file C:\\s.zip:"},
      {UNZIP32_PASSWORD_AGAIN,
       "The password was wrong. Enter the password of \"d/a.txt\" in the Zip file C:\\s.zip:"},
      {nullptr, "Enter the password of \"d/a.txt\" in the Zip file C:\\s.zip:"},
      {"Password incorrect.", "Enter the password of \"d/a.txt\" in the Zip file C:\\s.zip:"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PasswordWindowText("d/a.txt", "C:\\s.zip", c.prompt), c.text)
        << (c.prompt ? c.prompt : "null");
}

TEST(PasswordWindow, AGivenPasswordFillsTheBufferAnythingElseSkipsTheRest) {
  const struct {
    int size;
    bool null, answered;
    const char* typed;
    int result;
    const char* buffer;  // nullptr: untouched
    size_t room;         // what the window was given, 0 when it was not shown
  } cases[] = {
      {64, false, true, "secret", UNZIP32_PASSWORD_GIVEN, "secret", 64},
      {64, false, true, "", UNZIP32_PASSWORD_GIVEN, "", 64},
      {4, false, true, "secret", UNZIP32_PASSWORD_GIVEN, "sec", 4},  // at most size - 1 bytes
      {64, false, false, "typed, then Cancel", UNZIP32_PASSWORD_SKIP_ALL, nullptr, 64},
      {1 << 20, false, true, "pw", UNZIP32_PASSWORD_GIVEN, "pw", kPasswordRoom},
      {1, false, true, "x", UNZIP32_PASSWORD_SKIP_ALL, nullptr, 0},  // no room for a letter
      {0, false, true, "x", UNZIP32_PASSWORD_SKIP_ALL, nullptr, 0},
      {64, true, true, "x", UNZIP32_PASSWORD_SKIP_ALL, nullptr, 0},
  };
  for (const auto& c : cases) {
    std::string buffer(64, '#');
    size_t room = 0;
    int result = AnswerPassword(c.null ? nullptr : buffer.data(), c.size, [&](tk::SecretText& t) {
      room = t.Capacity();
      strncpy(t.Data(), c.typed, t.Capacity() - 1);
      return c.answered;
    });
    EXPECT_EQ(result, c.result) << c.size << " " << c.typed;
    EXPECT_EQ(room, c.room) << c.size << " " << c.typed;
    if (c.buffer) {
      EXPECT_STREQ(buffer.c_str(), c.buffer);
    } else {
      EXPECT_EQ(buffer, std::string(64, '#')) << "untouched";
    }
  }
}

}  // namespace
