// Gathering files: the open dialog and drops on the list.
#include "gui/Fixtures.h"

namespace {

using guitest::DialogWatcher;
using guitest::DropFiles;

class FileList : public guitest::WindowTest {};

TEST_F(FileList, DroppedFilesAreListedRecordedAndCounted) {
  std::string a = MakeFile("a.txt", 100), b = MakeFile("b.dat", 250), c = MakeFile("c.bin", 7);
  form->txtPath.Text("C:\\old.zip");
  form->lblPath.Caption("C:\\old");
  form->cmdOpenDir.Enabled(true);
  DropFiles(form->List1.hwnd(), {a});
  EXPECT_EQ(ListItems(), std::vector<std::string>{a});
  EXPECT_EQ(form->zipNames[0], a);
  EXPECT_TRUE(form->zipNames[1].empty());
  EXPECT_EQ(form->zipFileCount, 1);
  EXPECT_EQ(form->XP_ProgressBarBlue.Max(), 100 + 100) << "Max starts at 100 and grows by the size";
  EXPECT_EQ(form->txtPath.Text(), "");
  EXPECT_EQ(form->lblPath.Caption(), "");
  EXPECT_FALSE(form->cmdOpenDir.Enabled());

  // Of several dropped files only the first is taken.
  DropFiles(form->List1.hwnd(), {b, c});
  EXPECT_EQ(ListItems(), (std::vector<std::string>{a, b}));
  EXPECT_EQ(form->zipNames[1], b);
  EXPECT_EQ(form->zipFileCount, 2);
  EXPECT_EQ(form->XP_ProgressBarBlue.Max(), 450);
}

TEST_F(FileList, DuplicatesAreRefusedAndTheExistingEntrySelected) {
  std::string a = MakeFile("a.txt", 10), b = MakeFile("b.txt", 20);
  DropFiles(form->List1.hwnd(), {a});
  DropFiles(form->List1.hwnd(), {b});
  DropFiles(form->List1.hwnd(), {a});
  EXPECT_EQ(ListItems(), (std::vector<std::string>{a, b}));
  EXPECT_EQ(form->List1.ListIndex(), 0);
  EXPECT_EQ(form->zipFileCount, 2);
  EXPECT_EQ(form->XP_ProgressBarBlue.Max(), 130);
  // Paths differing only in letter case are different entries.
  std::string upper = a;
  for (auto& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
  DropFiles(form->List1.hwnd(), {upper});
  EXPECT_EQ(form->List1.ListCount(), 3);
}

TEST_F(FileList, FoldersNamesWithoutADotAndEmptyDropsAddNothing) {
  std::string plain = MakeFile("README", 5);
  std::string dotted = Path("some.folder");
  CreateDirectoryA(dotted.c_str(), nullptr);
  DropFiles(form->List1.hwnd(), {plain});
  DropFiles(form->List1.hwnd(), {folder});
  DropFiles(form->List1.hwnd(), {dotted});
  DropFiles(form->List1.hwnd(), {});
  EXPECT_EQ(form->List1.ListCount(), 0);
  EXPECT_EQ(form->zipFileCount, 0);
  EXPECT_EQ(form->XP_ProgressBarBlue.Max(), 100);
}

TEST_F(FileList, AddingAFileFirstRemovesAnArchivesMemberNames) {
  form->List1.AddItem("docs/readme.txt");
  form->List1.AddItem("x");
  std::string a = MakeFile("a.txt", 1);
  DropFiles(form->List1.hwnd(), {a});
  EXPECT_EQ(ListItems(), std::vector<std::string>{a});
  EXPECT_EQ(form->zipNames[0], a);
}

TEST_F(FileList, NetworkPathsCountAsFiles) {
  form->List1.AddItem("\\\\server\\share\\report.doc");
  form->List1.AddItem("member/in/archive.txt");
  std::string a = MakeFile("a.txt", 1);
  DropFiles(form->List1.hwnd(), {a});
  EXPECT_EQ(ListItems(), (std::vector<std::string>{"\\\\server\\share\\report.doc", a}));
}

TEST_F(FileList, TheHundredthFileIsRefusedWithAMessage) {
  for (int i = 0; i < 99; ++i)
    DropFiles(form->List1.hwnd(), {MakeFile("f" + std::to_string(i) + ".txt", 1)});
  ASSERT_EQ(form->zipFileCount, 99);
  EXPECT_EQ(form->zipNames[98], Path("f98.txt"));
  EXPECT_TRUE(form->zipNames[99].empty()) << "the terminator survives";
  int32_t max = form->XP_ProgressBarBlue.Max();
  std::string last = MakeFile("f99.txt", 1);
  {
    DialogWatcher watcher;
    DropFiles(form->List1.hwnd(), {last});
    auto boxes = watcher.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Form1::kListFullText);
    EXPECT_EQ(boxes[0].caption, "Parcelo");
    EXPECT_EQ(boxes[0].iconName, "exclamation");
  }
  EXPECT_EQ(form->List1.ListCount(), 99);
  EXPECT_EQ(form->zipFileCount, 99);
  EXPECT_TRUE(form->zipNames[99].empty());
  EXPECT_EQ(form->XP_ProgressBarBlue.Max(), max);
}

TEST_F(FileList, TheOpenDialogAddsTheChosenFileAndCancelAddsNothing) {
  std::string a = MakeFile("picked.txt", 42);
  {
    std::string title;
    DialogWatcher watcher([&](const std::string& t) {
      title = t;
      return a;
    });
    form->cmdOpen.Click();
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(title, "Select Files for Zip");
  }
  EXPECT_EQ(ListItems(), std::vector<std::string>{a});
  EXPECT_EQ(form->zipNames[0], a);
  EXPECT_EQ(form->XP_ProgressBarBlue.Max(), 142);
  {
    form->txtPath.Text("x");
    DialogWatcher watcher([&](const std::string&) { return std::string(); });
    form->cmdOpen.Click();
    ASSERT_EQ(watcher.Seen().size(), 1u);
  }
  EXPECT_EQ(form->List1.ListCount(), 1);
  EXPECT_EQ(form->txtPath.Text(), "") << "cleared before the dialog";
}

}  // namespace
