// Creating and extracting archives through the real window and the real libraries, with
// Python's zipfile as the oracle.
#include <windows.h>

#include "gui/Fixtures.h"
#include "platform/toolkit/App.h"

namespace {

using guitest::DialogWatcher;
using guitest::DropFiles;
using guitest::PumpUntil;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

class Workflow : public guitest::WindowTest {
 protected:
  // Drops the files on the list one by one, as a user gathers them.
  void Gather(const std::vector<std::string>& files) {
    for (const auto& f : files) DropFiles(form->List1.hwnd(), {f});
  }
  // Clicks "&Zip" and answers the save dialog with archive; returns the dialogs seen.
  std::vector<guitest::SeenDialog> Zip(const std::string& archive) {
    DialogWatcher watcher([&](const std::string&) { return archive; });
    form->cmdZip.Click();
    return watcher.Seen();
  }
  // Drops the archive on the path box and answers any message box.
  std::vector<guitest::SeenDialog> List(const std::string& archive) {
    DialogWatcher watcher;
    DropFiles(form->txtPath.hwnd(), {archive});
    return watcher.MessageBoxes();
  }
  std::vector<guitest::SeenDialog> Unzip() {
    DialogWatcher watcher;
    form->Command2.Click();
    return watcher.MessageBoxes();
  }
  // Unzips, answering each password window with the next answer (nullopt: Esc); returns every
  // window seen, password windows and message boxes in turn.
  std::vector<guitest::SeenDialog> UnzipAnswering(std::vector<std::optional<std::string>> answers) {
    size_t next = 0;
    DialogWatcher watcher(nullptr, [&](const std::string&) {
      return next < answers.size() ? answers[next++] : std::nullopt;
    });
    form->Command2.Click();
    return watcher.Seen();
  }
  bool IdleAfterTimer() {
    return PumpUntil([&] { return form->Label1.Visible() && !form->XP_ProgressBarBlue.Visible(); },
                     6000);
  }
};

TEST_F(Workflow, ZipPacksTheListedFilesAndReportsAfterTheTimer) {
  std::vector<std::string> files = {MakeFile("a.txt", 1000), MakeFile("b.bin", 70000, 'q'),
                                    MakeFile("c.dat", 0)};
  Gather(files);
  std::string archive = Path("out.zip");
  auto seen = Zip(archive);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, "Save Zip File as...");
  EXPECT_EQ(form->txtPath.Text(), archive);
  EXPECT_EQ(Oracle("check", archive, files), "OK");
  EXPECT_TRUE(form->cmdOpenDir.Enabled());
  EXPECT_FALSE(form->Label1.Visible()) << "the result waits for the timer";
  EXPECT_EQ(form->XP_ProgressBarBlue.Value(), form->XP_ProgressBarBlue.Max())
      << "the bar stands full";
  ASSERT_TRUE(IdleAfterTimer());
  EXPECT_EQ(form->Label1.Caption(), "out.zip successfully created and saved in " + folder);
  // The list, the table and Max survive, so the same files can be packed again.
  EXPECT_EQ(form->zipFileCount, 3);
  EXPECT_EQ(form->XP_ProgressBarBlue.Max(), 100 + 1000 + 70000);

  guitest::RecordingSeam seam;
  tk::SeamOverride install(seam);
  form->cmdOpenDir.Click();
  ASSERT_EQ(seam.starts.size(), 1u);
  EXPECT_EQ(seam.starts[0].commandLine.substr(seam.starts[0].commandLine.find("explorer.exe")),
            "explorer.exe /e," + folder);
}

TEST_F(Workflow, AnExistingArchiveIsUpdatedWithoutAQuestion) {
  std::string a = MakeFile("a.txt", 10);
  Gather({a});
  std::string archive = Path("same.zip");
  ASSERT_EQ(Zip(archive).size(), 1u);
  std::string b = MakeFile("b.txt", 20);
  Gather({b});
  auto seen = Zip(archive);
  ASSERT_EQ(seen.size(), 1u) << "only the save dialog";
  EXPECT_EQ(Oracle("check", archive, {a, b}), "OK");
}

TEST_F(Workflow, EmptyListAndCancelledDialogChangeNothing) {
  form->txtPath.Text("keep me");
  {
    DialogWatcher watcher;
    form->cmdZip.Click();
    auto boxes = watcher.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "There are no files in the list to Zip     ");
    EXPECT_EQ(boxes[0].caption, "Parcelo");
    EXPECT_EQ(boxes[0].iconName, "exclamation");
  }
  EXPECT_EQ(form->txtPath.Text(), "keep me");
  // A list of an archive's members names no file to pack: the same message.
  form->List1.AddItem("member.txt");
  {
    DialogWatcher watcher;
    form->cmdZip.Click();
    ASSERT_EQ(watcher.MessageBoxes().size(), 1u);
  }
  form->List1.Clear();
  Gather({MakeFile("a.txt", 5)});
  {
    DialogWatcher watcher([](const std::string&) { return std::string(); });
    form->cmdZip.Click();
    EXPECT_EQ(watcher.Seen().size(), 1u);
  }
  EXPECT_EQ(form->txtPath.Text(), "");
  EXPECT_TRUE(form->Label1.Visible());
  EXPECT_FALSE(form->cmdOpenDir.Enabled());
}

TEST_F(Workflow, AFailedArchiveIsReportedAndTheOldOneKept) {
  std::string a = MakeFile("a.txt", 10);
  Gather({a});
  std::string archive = Path("keep.zip");
  ASSERT_EQ(Zip(archive).size(), 1u);
  std::string before = ReadAll(archive);
  ASSERT_TRUE(PumpUntil([&] { return form->Label1.Visible(); }, 6000));
  std::string success = form->Label1.Caption();
  DeleteFileA(a.c_str());  // the listed file can no longer be read
  form->cmdOpenDir.Enabled(false);
  auto seen = Zip(archive);
  ASSERT_EQ(seen.size(), 2u) << "the save dialog, then the failure";
  EXPECT_EQ(seen[1].caption, "Parcelo");
  EXPECT_EQ(seen[1].iconName, "exclamation");
  EXPECT_NE(seen[1].text.find(archive), std::string::npos) << seen[1].text;
  EXPECT_EQ(ReadAll(archive), before);
  EXPECT_FALSE(form->cmdOpenDir.Enabled());
  EXPECT_TRUE(form->Label1.Visible());
  EXPECT_FALSE(form->XP_ProgressBarBlue.Visible());
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_EQ(form->Label1.Caption(), "keep.zip was not created");
  PumpUntil([] { return false; }, 2500);  // past the timer's two seconds
  EXPECT_EQ(form->Label1.Caption(), "keep.zip was not created") << "never the earlier " << success;

  // A folder that cannot be written to: the archive's folder does not exist.
  MakeFile("a.txt", 10);
  std::string nowhere = Path("no such folder\\x.zip");
  seen = Zip(nowhere);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_NE(seen[1].text.find(nowhere), std::string::npos) << seen[1].text;
  EXPECT_EQ(GetFileAttributesA(nowhere.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Workflow, AnArchiveWrittenWithoutAVanishedFileSaysSoAndNamesIt) {
  std::vector<std::string> files = {MakeFile("a.txt", 10), MakeFile("b.txt", 20),
                                    MakeFile("c.txt", 30), MakeFile("d.txt", 40)};
  Gather(files);
  std::string archive = Path("keep.zip");
  ASSERT_EQ(Zip(archive).size(), 1u);
  // The archive keeps its member of a file that has gone; the others are read anew.
  ASSERT_TRUE(CreateDirectoryA(Path("old").c_str(), nullptr));
  ASSERT_TRUE(MoveFileA(files[3].c_str(), Path("old\\d.txt").c_str()));
  MakeFile("a.txt", 15, 'y');
  form->cmdOpenDir.Enabled(false);
  auto seen = Zip(archive);
  ASSERT_EQ(seen.size(), 2u) << "the save dialog, then the warning";
  EXPECT_EQ(seen[1].caption, "Parcelo");
  EXPECT_EQ(seen[1].iconName, "exclamation");
  EXPECT_EQ(seen[1].text, "The Zip file " + archive +
                              " was written, but 1 listed file could not be read into "
                              "it:\r\n\r\n\"" +
                              files[3] + "\": not found     ");
  EXPECT_EQ(Oracle("check", archive, {files[0], files[1], files[2], Path("old\\d.txt")}), "OK")
      << "rewritten";
  EXPECT_TRUE(form->cmdOpenDir.Enabled());
  ASSERT_TRUE(IdleAfterTimer());
  EXPECT_EQ(form->Label1.Caption(),
            "keep.zip saved in " + folder + "; 1 listed file could not be read");
}

TEST_F(Workflow, ListExtractAndRefuseASecondExtraction) {
  std::string archive = Path("set.zip");
  ASSERT_EQ(Oracle("make", archive,
                   {"one.txt=100", "docs/=dir", "docs/two.txt=2000", "docs/deep/three=5"}),
            "OK");
  ASSERT_TRUE(List(archive).empty());
  EXPECT_EQ(form->txtPath.Text(), archive);
  EXPECT_EQ(form->lblPath.Caption(), Path("set"));
  ASSERT_EQ(form->List1.ListCount(), 4);
  EXPECT_EQ(form->List1.List(0), "one.txt");
  EXPECT_EQ(form->List1.List(2), "docs/two.txt");
  EXPECT_EQ(form->Label4.Caption(), "4 files inside the Zip file");
  EXPECT_EQ(form->XP_ProgressBarBlue.Max(), 1 + 100 + 2000 + 5);

  EXPECT_TRUE(Unzip().empty());
  EXPECT_EQ(Oracle("tree", archive, {Path("set")}), "OK");
  EXPECT_TRUE(form->cmdOpenDir.Enabled());
  ASSERT_TRUE(IdleAfterTimer());
  EXPECT_EQ(form->Label1.Caption(), "Files Saved in: " + Path("set"));

  {
    guitest::RecordingSeam seam;
    tk::SeamOverride install(seam);
    form->cmdOpenDir.Click();
    ASSERT_EQ(seam.starts.size(), 1u);
    const std::string& line = seam.starts[0].commandLine;
    EXPECT_EQ(line.substr(line.find("explorer.exe")), "explorer.exe /e," + Path("set"));
  }

  auto boxes = Unzip();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "The Directory " + Path("set") + " already exists.     ");
  EXPECT_EQ(boxes[0].caption, "Files Already Exist");
  EXPECT_EQ(boxes[0].iconName, "information");
  EXPECT_FALSE(form->cmdOpenDir.Enabled());
}

TEST_F(Workflow, DropsOfOtherFilesAndAnEmptyListAreRefused) {
  std::string other = MakeFile("notes.zip.bak", 3);
  auto boxes = List(other);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Not a valid zip file     ");
  EXPECT_EQ(boxes[0].caption, "Parcelo");
  EXPECT_EQ(boxes[0].iconName, "exclamation");
  EXPECT_EQ(form->txtPath.Text(), "");

  form->txtPath.Text(Path("x.zip"));
  boxes = Unzip();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Please select a File to Unzip    ");
  EXPECT_EQ(boxes[0].caption, "Select a Zip File");
  EXPECT_EQ(GetFocus(), form->Command1.hwnd());

  // Any letter case of the extension is accepted; only the first dropped file counts.
  std::string archive = Path("Mixed.Zip");
  ASSERT_EQ(Oracle("make", archive, {"m.txt=1"}), "OK");
  {
    DialogWatcher watcher;
    DropFiles(form->txtPath.hwnd(), {archive, other});
    EXPECT_TRUE(watcher.MessageBoxes().empty());
  }
  EXPECT_EQ(form->Label4.Caption(), "1 files inside the Zip file");
}

TEST_F(Workflow, UnreadableArchivesAndUncreatableFoldersAreReported) {
  std::string fake = MakeFile("fake.zip", 500, 'z');
  auto boxes = List(fake);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find(fake), std::string::npos);
  EXPECT_EQ(boxes[0].iconName, "exclamation");
  EXPECT_EQ(form->List1.ListCount(), 0);
  EXPECT_EQ(form->Label4.Caption(), "Browse for or Drag files here to create a Zip file");

  std::string archive = Path("ok.zip");
  ASSERT_EQ(Oracle("make", archive, {"a.txt=10"}), "OK");
  ASSERT_TRUE(List(archive).empty());
  form->lblPath.Caption(Path("missing\\parent\\ok"));
  boxes = Unzip();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "The Directory " + Path("missing\\parent\\ok") + " could not be created.     ");
  EXPECT_EQ(boxes[0].caption, "Parcelo");
  EXPECT_TRUE(form->Label1.Visible());
}

TEST_F(Workflow, AFailedExtractionIsReportedWithoutTheSuccessText) {
  // A member whose data does not match its CRC: flip a byte in the middle of the file, which
  // lies inside the stored data of the larger member.
  std::string archive = Path("bad.zip");
  {
    std::string good = Path("good.zip");
    ASSERT_EQ(Oracle("make", good, {"ok.txt=50", "z.txt=4000s"}), "OK");
    std::string bytes = ReadAll(good);
    bytes[bytes.size() / 2] ^= 0x55;
    std::ofstream(archive, std::ios::binary) << bytes;
  }
  ASSERT_TRUE(List(archive).empty());
  ASSERT_EQ(form->List1.ListCount(), 2);
  auto boxes = Unzip();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find(archive), std::string::npos) << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("1 of 2"), std::string::npos) << boxes[0].text;
  EXPECT_EQ(boxes[0].iconName, "exclamation");
  EXPECT_NE(form->Label1.Caption().rfind("Files Saved in: ", 0), 0u) << "no success text";
  EXPECT_EQ(GetFileAttributesA(Path("bad\\z.txt").c_str()), INVALID_FILE_ATTRIBUTES)
      << "no partial file";
  EXPECT_NE(GetFileAttributesA(Path("bad\\ok.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Workflow, SkippedLinksAreAWarningAndOnlyTheSavedFilesCount) {
  std::string archive = Path("links.zip");
  ASSERT_EQ(Oracle("make", archive, {"tree/a.txt=10", "tree/link-to-a=link", "tree/b.txt=20"}),
            "OK");
  ASSERT_TRUE(List(archive).empty());
  ASSERT_EQ(form->List1.ListCount(), 3);
  auto boxes = Unzip();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "The Zip file " + archive + " was extracted into " + Path("links") +
                               ": 2 of 3 files were saved.\r\n\r\n"
                               "1 symbolic link was skipped: links are not created.     ");
  EXPECT_EQ(boxes[0].iconName, "information") << "a warning, not a failure";
  EXPECT_NE(GetFileAttributesA(Path("links\\tree\\b.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(Path("links\\tree\\link-to-a").c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(IdleAfterTimer());
  EXPECT_EQ(form->Label1.Caption(), "Files Saved in: " + Path("links"));
}

TEST_F(Workflow, UnicodeNamesAreListedAsPassedAndExtractedUnderTheirTrueNames) {
  std::string archive = Path("intl.zip");
  // Greek and Japanese letters no Western ANSI code page holds.
  ASSERT_EQ(Oracle("make", archive, {"\u03b1\u03b2\u03b3.txt=30", "\u65e5\u672c/\u6587.txt=40"}),
            "OK");
  ASSERT_TRUE(List(archive).empty());
  ASSERT_EQ(form->List1.ListCount(), 2);
  EXPECT_EQ(form->List1.List(0).size(), 7u)
      << "one ANSI character per letter: " << form->List1.List(0);
  EXPECT_TRUE(Unzip().empty());
  EXPECT_EQ(Oracle("tree", archive, {Path("intl")}), "OK");
  std::wstring wide = L"\\\u03b1\u03b2\u03b3.txt";
  std::string target = Path("intl");
  std::wstring wideTarget(target.begin(), target.end());
  EXPECT_NE(GetFileAttributesW((wideTarget + wide).c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace

namespace {

// Encrypted members through the real window and library, the password window answered as a
// user answers it. 7-Zip makes the archives.
TEST_F(Workflow, EncryptedMembersAreAskedForOnceAndAWrongPasswordAgain) {
  const struct {
    const char* method;
    std::vector<std::optional<std::string>> answers;
  } cases[] = {{"ZipCrypto", {"secret"}}, {"AES256", {"nope", "secret"}}};
  const std::vector<std::string> members = {"a.txt=3000", "docs/b.txt=70000", "plain.txt=50p"};
  for (const auto& c : cases) {
    std::string archive = Path(std::string(c.method) + ".zip");
    ASSERT_EQ(Oracle("encrypt", archive,
                     [&] {
                       std::vector<std::string> args = {c.method, "secret"};
                       args.insert(args.end(), members.begin(), members.end());
                       return args;
                     }()),
              "OK");
    ASSERT_TRUE(List(archive).empty());
    ASSERT_EQ(form->List1.ListCount(), 3);
    auto seen = UnzipAnswering(c.answers);
    ASSERT_EQ(seen.size(), c.answers.size()) << c.method << ": asked once, no message";
    for (size_t i = 0; i < seen.size(); ++i) {
      EXPECT_TRUE(seen[i].passwordWindow);
      EXPECT_EQ(seen[i].caption, "Parcelo");
      EXPECT_EQ(
          seen[i].text.rfind(i == 0 ? "Enter the password of \"" : "The password was wrong.", 0),
          0u)
          << seen[i].text;
      EXPECT_NE(seen[i].text.find(archive), std::string::npos) << seen[i].text;
    }
    std::string target = Path(c.method);
    EXPECT_EQ(Oracle("same", target, members), "OK") << c.method;
    ASSERT_TRUE(IdleAfterTimer());
    EXPECT_EQ(form->Label1.Caption(), "Files Saved in: " + target);
  }
}

TEST_F(Workflow, CancelOrWrongPasswordsSkipTheEncryptedFilesAndSaySo) {
  const struct {
    const char* name;
    std::vector<std::string> members;
    std::vector<std::optional<std::string>> answers;
    size_t asked;
    const char* counts;
    const char* why;
    const char* icon;
  } cases[] = {
      {"cancelled",
       {"a.txt=100", "b.txt=200", "c.txt=10p", "d.txt=20p", "e.txt=30p"},
       {std::nullopt},
       1,  // Cancel skips every encrypted member
       "3 of 5",
       "2 encrypted files were skipped: no password was given.",
       "information"},
      {"wrong",
       {"a.txt=100", "c.txt=10p"},
       {"bad", "worse", "worst"},
       3,  // three tries, then the member is refused
       "1 of 2",
       "1 encrypted file was skipped: the password was wrong.",
       "exclamation"},
  };
  for (const auto& c : cases) {
    std::string archive = Path(std::string(c.name) + ".zip");
    std::vector<std::string> args = {"AES256", "secret"};
    args.insert(args.end(), c.members.begin(), c.members.end());
    ASSERT_EQ(Oracle("encrypt", archive, args), "OK");
    ASSERT_TRUE(List(archive).empty());
    auto seen = UnzipAnswering(c.answers);
    ASSERT_EQ(seen.size(), c.asked + 1) << c.name;
    const auto& box = seen.back();
    EXPECT_FALSE(box.passwordWindow);
    EXPECT_EQ(box.text, "The Zip file " + archive + " was extracted into " + Path(c.name) + ": " +
                            c.counts + " files were saved.\r\n\r\n" + c.why + "     ");
    EXPECT_EQ(box.iconName, c.icon) << c.name;
    EXPECT_EQ(GetFileAttributesA((Path(c.name) + "\\a.txt").c_str()), INVALID_FILE_ATTRIBUTES)
        << "nothing of a skipped member";
    EXPECT_EQ(Oracle("same", Path(c.name), {"c.txt=10p"}), "OK");
  }
}

}  // namespace
