// Path helpers, the file-path test, the file-browser command line and the list duplicate remover.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/MyMod.h"
#include "platform/toolkit/Error.h"
#include "support/RecordingSeam.h"
#include "platform/toolkit/Window.h"

namespace {

struct Case {
  const char* in;
  const char* out;
};

TEST(MyMod, GetPathNoFile) {
  const Case withDrive[] = {{R"(C:\Out\Archive.zip)", R"(C:\Out)"},
                            {R"(C:\Archive.zip)", "C:"},
                            {R"(C:\Out\)", "C:"},
                            {R"(C:\Out\Sub\Archive.zip)", R"(C:\Out\Sub)"},
                            {"Archive.zip", "Archive.zip"},
                            {R"(Out\)", R"(Out\)"},
                            {R"(C:\)", R"(C:\)"},
                            {R"(..\)", R"(..\)"},
                            {R"(..\..\a.txt)", R"(..\..)"},
                            {R"(C:\Out\\)", R"(C:\Out)"},
                            {R"(\\server\)", R"(\)"},
                            {R"(\\server\share\f.txt)", R"(\\server\share)"},
                            {R"(\a)", ""},
                            {"a", "a"},
                            {"", ""}};
  for (const Case& c : withDrive) EXPECT_EQ(c.out, GetPathNoFile(c.in, true)) << c.in;

  const Case withoutDrive[] = {{R"(C:\Out\Sub\Archive.zip)", R"(Out\Sub)"},
                               {R"(C:\Archive.zip)", "Archive.zip"},
                               {R"(C:\Out\)", R"(Out\)"},
                               {R"(C:\)", ""},
                               {R"(\\server\share\f.txt)", R"(erver\share)"}};
  for (const Case& c : withoutDrive) EXPECT_EQ(c.out, GetPathNoFile(c.in, false)) << c.in;

  for (const char* tooShort : {"", "C", "C:", R"(\\)"}) {
    try {
      GetPathNoFile(tooShort, false);
      ADD_FAILURE() << "no error for " << tooShort;
    } catch (const tk::RuntimeError& e) {
      EXPECT_EQ(5, e.Number()) << tooShort;
    }
  }
}

TEST(MyMod, GetFileNoPath) {
  const Case cases[] = {{R"(C:\Out\Archive.zip)", "Archive.zip"},
                        {R"(C:\Out\)", ""},
                        {"Archive.zip", "Archive.zip"},
                        {"", ""},
                        {R"(..\)", ""},
                        {R"(..\a.txt)", "a.txt"},
                        {R"(C:\)", ""},
                        {"C:a.txt", "C:a.txt"},
                        {R"(\\server\)", ""},
                        {R"(\\server\share\f.txt)", "f.txt"},
                        {"dir/a.txt", "dir/a.txt"}};
  for (const Case& c : cases) EXPECT_EQ(c.out, GetFileNoPath(c.in)) << c.in;
}

TEST(MyMod, IsFilePathTakesDriveAndNetworkPaths) {
  for (const char* file :
       {R"(C:\Data\a.txt)", R"(c:\)", R"(\\server\share\a.txt)", R"(\\server\)", R"(\\)"})
    EXPECT_TRUE(IsFilePath(file)) << file;
  for (const char* member : {"a.txt", "dir/a.txt", R"(dir\a.txt)", R"(\a.txt)", R"(..\)",
                             "C:", "C:a.txt", "C:/a.txt", "//server/share", ""})
    EXPECT_FALSE(IsFilePath(member)) << member;
}

TEST(MyMod, GetWindowsDirIsTheSystemsWindowsFolder) {
  const char* windir = std::getenv("windir");
  ASSERT_NE(nullptr, windir);
  EXPECT_EQ(0, _stricmp(windir, GetWindowsDir().c_str())) << GetWindowsDir();
}

using testsupport::RecordingSeam;

TEST(MyMod, ExploreFolderCommandLines) {
  struct {
    const char *path, *root;
    bool select, explore, noNewWindow;
    const char* line;  // after "<Windows folder>\"
  } const cases[] = {
      {R"(C:\Out\Arc)", "", false, true, false, R"(explorer.exe /e,C:\Out\Arc)"},
      {R"(C:\Out\Arc)", "", false, true, true,
       R"(explorer.exe /e,C:\Out\Arc)"},  // the program's call
      {R"(C:\Out\Arc)", "", false, false, false, R"(explorer.exe /n,C:\Out\Arc)"},
      {R"(C:\Out\a.txt)", "", true, false, true, R"(explorer.exe ,/select,C:\Out\a.txt)"},
      {"", R"(C:\Out)", false, true, false, R"(explorer.exe /e,/root, C:\Out)"},
      {"", "", false, true, true, "explorer.exe /e"},
      {"", "", true, false, true, "explorer.exe "},
      {R"(C:\a.txt)", R"(C:\)", true, true, false,
       R"(explorer.exe /e,/root, C:\,/select,C:\a.txt)"},
      {R"(\\server\share\)", "", false, false, true, R"(explorer.exe ,\\server\share\)"}};
  for (const auto& c : cases) {
    RecordingSeam seam;
    tk::SeamOverride use(seam);
    ExploreFolder(c.path, c.root, c.select, c.explore, c.noNewWindow);
    ASSERT_EQ(1u, seam.starts.size());
    EXPECT_EQ(std::string(std::getenv("windir")) + "\\" + c.line, seam.starts[0].commandLine);
    EXPECT_EQ(1, seam.starts[0].windowStyle);  // normal window with focus
  }
}

TEST(MyMod, RemoveDuplicatesOnARealList) {
  struct ListForm : tk::Form {
    ListForm() {
      CreateForm({"RemoveDuplicates", 3000, 3000});  // stays hidden
      list.Create(*this, 1, {0, 0, 3000, 3000});
    }
    tk::ListBox list;
  } form;
  using Items = std::vector<std::string>;
  const std::pair<Items, Items> cases[] = {
      {{"A", "B", "A", "A", "C"}, {"A", "B", "C"}},
      {{"A"}, {"A"}},
      {{}, {}},
      {{"a", "A", "a"}, {"a", "A"}},     // letter case counts
      {{"a ", "a", "a "}, {"a ", "a"}},  // so does a trailing blank
      {{"B", "A", "B", "A"}, {"B", "A"}},
      {{"x", "x", "x"}, {"x"}},
      {{"", "", "x"}, {"", "x"}}};
  for (const auto& [before, after] : cases) {
    form.list.Clear();
    for (const auto& s : before) form.list.AddItem(s);
    RemoveDuplicates(form.list);
    Items items;
    for (int i = 0; i < form.list.ListCount(); ++i) items.push_back(form.list.List(i));
    EXPECT_EQ(after, items) << before.size() << " items before";
  }
}

}  // namespace
