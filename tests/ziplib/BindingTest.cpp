// The program's side of the two libraries: record contents, callback arithmetic and texts, and
// the password callback answered through the seam.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "app/Form1.h"
#include "platform/toolkit/Seam.h"
#include "support/RecordingSeam.h"
#include "ziplib/UnzipBinding.h"
#include "ziplib/ZipBinding.h"

namespace {

TEST(ZipPrintCallbackText, StopsAtZeroAtLengthAndAtTheBufferEnd) {
  std::vector<char> buffer(ziplib::kZipTextBufferSize, 'a');
  buffer[10] = '\0';
  EXPECT_EQ(ziplib::CollectPrintText(buffer.data(), 10), std::string(10, 'a'));
  EXPECT_EQ(ziplib::CollectPrintText(buffer.data(), 100), std::string(10, 'a'))
      << "cut at the zero byte";
  buffer[10] = 'b';
  // Bytes 0 to length inclusive: a length of 10 with byte 10 set takes eleven characters.
  EXPECT_EQ(ziplib::CollectPrintText(buffer.data(), 10), std::string(10, 'a') + "b");
  buffer[3] = '\0';
  EXPECT_EQ(ziplib::CollectPrintText(buffer.data(), 10), "aaa");
  std::vector<char> full(ziplib::kZipTextBufferSize, 'z');
  EXPECT_EQ(ziplib::CollectPrintText(full.data(), 100000).size(), 4097u) << "never past index 4096";
  EXPECT_EQ(ziplib::CollectPrintText(nullptr, 5), "");
}

TEST(ZipCommentCallback, ZeroFillsTheWholeBufferAndReturnsIt) {
  std::vector<char> buffer(ziplib::kZipTextBufferSize + 1, 'x');
  EXPECT_EQ(ziplib::ZipCommentCallback(buffer.data(), 0), buffer.data());
  for (int i = 0; i < ziplib::kZipTextBufferSize; ++i) ASSERT_EQ(buffer[i], '\0') << i;
  EXPECT_EQ(buffer[ziplib::kZipTextBufferSize], 'x') << "not one byte more";
  EXPECT_EQ(ziplib::ZipPasswordCallback(buffer.data(), 5, "p", "n"), 0);
}

TEST(UnzipEntryName, IsCutAfter256Characters) {
  std::string longName(300, 'n');
  EXPECT_EQ(ziplib::MemberNameText(longName.c_str()).size(), 256u);
  EXPECT_EQ(ziplib::MemberNameText("docs/a.txt"), "docs/a.txt");
  EXPECT_EQ(ziplib::MemberNameText(nullptr), "");
}

TEST(StatusTexts, NameEveryCodeOfTheHeadersInWordsOfTheirOwn) {
  const int32_t zipCodes[] = {ZIP32_OK,           ZIP32_BAD_ARCHIVE,   ZIP32_NO_MEMORY,
                              ZIP32_INTERNAL,     ZIP32_CANCELLED,     ZIP32_TEMP_FILE,
                              ZIP32_READ_ARCHIVE, ZIP32_NOTHING_TO_DO, ZIP32_NO_ARCHIVE,
                              ZIP32_WRITE,        ZIP32_CREATE,        ZIP32_PARAMETERS,
                              ZIP32_OPEN_INPUT,   ZIP32_UNSUPPORTED,   ziplib::kLibraryMissing};
  const int32_t unzipCodes[] = {UNZIP32_OK,
                                UNZIP32_WARNING,
                                UNZIP32_MEMBER_ERROR,
                                UNZIP32_DIRECTORY_ERROR,
                                UNZIP32_NO_MEMORY,
                                UNZIP32_NOT_FOUND,
                                UNZIP32_PARAMETERS,
                                UNZIP32_NO_MATCH,
                                UNZIP32_DISK_FULL,
                                UNZIP32_CANCELLED,
                                UNZIP32_UNSUPPORTED,
                                UNZIP32_BAD_PASSWORD,
                                ziplib::kLibraryMissing};
  for (auto [codes, text] :
       {std::pair{std::vector<int32_t>(std::begin(zipCodes), std::end(zipCodes)),
                  &ziplib::ZipStatusText},
        std::pair{std::vector<int32_t>(std::begin(unzipCodes), std::end(unzipCodes)),
                  &ziplib::UnzipStatusText}}) {
    std::set<std::string> distinct;
    for (int32_t code : codes) {
      EXPECT_EQ(text(code).find("error "), std::string::npos) << code << ": " << text(code);
      distinct.insert(text(code));
    }
    EXPECT_EQ(distinct.size(), codes.size()) << "one meaning, one text";
    EXPECT_EQ(text(77), "error 77");
  }
  EXPECT_NE(ziplib::ZipStatusText(ziplib::kLibraryMissing).find("zip32.dll"), std::string::npos);
  EXPECT_NE(ziplib::UnzipStatusText(ziplib::kLibraryMissing).find("unzip32.dll"),
            std::string::npos);
}

// The main window as the callbacks' receiver.
class Callbacks : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(form.Load()); }
  void TearDown() override {
    form.Unload();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  Form1 form;
};

TEST_F(Callbacks, ListingAddsNamesAndGrowsMaxSkippingAnOverflow) {
  form.XP_ProgressBarBlue.Max(1);
  ziplib::UnzipEventsScope scope(form);
  char a[] = "a.txt", b[] = "dir/b.txt", c[] = "huge.bin", m[] = "Defl:N";
  ziplib::UnzipEntryCallback(100, 50, 50, 1, 2, 2026, 3, 4, 'x', a, m, 0, 'N');
  ziplib::UnzipEntryCallback(250, 50, 80, 1, 2, 2026, 3, 4, 'x', b, m, 0, 'N');
  EXPECT_EQ(form.XP_ProgressBarBlue.Max(), 351);
  form.XP_ProgressBarBlue.Max(2147483000);
  ziplib::UnzipEntryCallback(1000, 50, 80, 1, 2, 2026, 3, 4, 'x', c, m, 0, 'N');
  EXPECT_EQ(form.XP_ProgressBarBlue.Max(), 2147483000) << "an overflowing sum leaves Max as it was";
  ASSERT_EQ(form.List1.ListCount(), 3);
  EXPECT_EQ(form.List1.List(1), "dir/b.txt");
  EXPECT_EQ(form.List1.List(2), "huge.bin") << "the name is added even when Max is not";
}

struct ExtensionCase {
  const char* in;
  const char* out;
};

TEST(GetFileNoExtension, CutsAtTheLastDotBeforeTheLastCharacter) {
  Form1 form;
  const ExtensionCase cases[] = {
      {"C:\\Data\\Photos.zip", "C:\\Data\\Photos"},
      {"C:\\Data\\a.b.zip", "C:\\Data\\a.b"},
      {"C:\\Old.Data\\Photos", "C:\\Old"},
      {"C:\\Data\\Photos", "C:\\Data\\Photos"},
      {"", ""},
      {"name.", "name."},  // the last character is never examined
      {"a.", "a."},
      {".z", ""},
      {"x", "x"},
  };
  for (const auto& c : cases) EXPECT_EQ(form.GetFileNoExtension(c.in), c.out) << c.in;
}

}  // namespace

namespace {

TEST_F(Callbacks, ServiceCallsAdvanceTheBarByTheBytes) {
  form.StartProgress(1000);
  EXPECT_EQ(form.XP_ProgressBarBlue.Max(), 1000);
  EXPECT_EQ(form.XP_ProgressBarBlue.Value(), 0);
  ziplib::ZipEventsScope scope(form);
  // Through the window's exact byte count, not a read-back of the quantised Value.
  form.XP_ProgressBarBlue.Visible(true);
  EXPECT_EQ(ziplib::ZipServiceCallback("a", 100), 0);
  EXPECT_EQ(ziplib::ZipServiceCallback("b", 250), 0);
  EXPECT_EQ(form.XP_ProgressBarBlue.Value(), 350);
  char text[] = "adding: a.txt\n";
  EXPECT_EQ(ziplib::ZipPrintCallback(text, static_cast<int32_t>(strlen(text))), 0);
  EXPECT_EQ(form.Label2.Caption(), "adding: a.txt\n");
}

}  // namespace

namespace {

TEST_F(Callbacks, ProgressOverTwoGibibytesAndOfTinyFilesStaysExact) {
  // 5 GiB; then 10 % of it in steps of 0.001 %, each of which a read-add-write of the bar's
  // whole-percent Value would lose.
  const uint64_t total = 5ull << 30;
  form.StartProgress(total);
  const double max = form.XP_ProgressBarBlue.Max();
  EXPECT_GT(max, 0);
  form.AdvanceProgress(total / 2);
  EXPECT_NEAR(form.XP_ProgressBarBlue.Value(), max / 2, max / 200);
  for (int i = 0; i < 10000; ++i) form.AdvanceProgress(total / 100000);
  EXPECT_NEAR(form.XP_ProgressBarBlue.Value(), max * 0.6, max / 200);
  form.EndProgress();
  EXPECT_EQ(form.XP_ProgressBarBlue.Value(), form.XP_ProgressBarBlue.Max()) << "full at the end";

  form.StartProgress(100000);
  for (int i = 0; i < 100; ++i) form.AdvanceProgress(100);  // each 0.1 % of the total
  EXPECT_EQ(form.XP_ProgressBarBlue.Value(), 10000);
}

}  // namespace

namespace {

// The password window answered through the seam, as the library's callback asks for it.
TEST_F(Callbacks, PasswordCallbackAsksThroughTheWindowAndAnswersTheLibrary) {
  form.unzipOptions.ListOnly = 1;
  form.RunUnzip();  // fills the slots
  EXPECT_EQ(form.unzipCallbacks.Password, &ziplib::UnzipPasswordCallback);
  form.unzipZipFileName = "C:\\s.zip";
  char buffer[80];
  EXPECT_EQ(ziplib::UnzipPasswordCallback(buffer, sizeof buffer, UNZIP32_PASSWORD_PROMPT, "a"),
            UNZIP32_PASSWORD_SKIP_ALL)
      << "no receiver between calls";

  testsupport::RecordingSeam seam;
  tk::SeamOverride install(seam);
  ziplib::UnzipEventsScope scope(form);
  seam.passwords = {"wrong", "secret", std::nullopt};
  // Typed, then wrong and typed again, then cancelled.
  const struct {
    const char* prompt;
    int result;
    const char* buffer;
  } steps[] = {
      {UNZIP32_PASSWORD_PROMPT, UNZIP32_PASSWORD_GIVEN, "wrong"},
      {UNZIP32_PASSWORD_AGAIN, UNZIP32_PASSWORD_GIVEN, "secret"},
      {UNZIP32_PASSWORD_PROMPT, UNZIP32_PASSWORD_SKIP_ALL, nullptr},
  };
  for (const auto& step : steps) {
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(ziplib::UnzipPasswordCallback(buffer, sizeof buffer, step.prompt, "d/a.txt"),
              step.result);
    if (step.buffer) {
      EXPECT_STREQ(buffer, step.buffer);
    }
  }
  ASSERT_EQ(seam.passwordQuestions.size(), 3u);
  for (const auto& q : seam.passwordQuestions) {
    EXPECT_EQ(q.caption, "Parcelo");
    EXPECT_EQ(q.owner, form.hwnd()) << "owned by the main window";
  }
  EXPECT_EQ(seam.passwordQuestions[0].text,
            "Enter the password of \"d/a.txt\" in the Zip file C:\\s.zip:");
  EXPECT_EQ(seam.passwordQuestions[1].text.rfind("The password was wrong. ", 0), 0u);
}

}  // namespace
