// The file-system steps the engine's speed rests on: folder listings that carry kinds,
// sizes and times, folder creation that says what it created, and reads that skip the
// buffer for small files.
#include <gtest/gtest.h>

#include <algorithm>

#include "archive/io/FileFacts.h"
#include "archive/format/Times.h"
#include "archive/io/FileSystem.h"
#include "archive/io/Stream.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::FolderChild;
using namespace testing_support;

TEST(FileSystemTest, ListFolderCarriesKindSizeAndTime) {
  TempDir dir;
  WriteFile(dir / "a.txt", "12345");
  WriteFile(dir / "empty", "");
  fs::create_directory(dir / "sub");
  WriteFile(dir / "sub/inner", "x");  // not listed: only the folder's own children
  ASSERT_TRUE(archive::SetFileModifiedUnix(dir / "a.txt", 1300000000));
  bool withLink = true;
  std::error_code linkError;
  fs::create_symlink(dir / "sub", dir / "link", linkError);
  if (linkError) withLink = false;  // Wine: no symbolic links

  std::error_code ec;
  std::vector<FolderChild> children = archive::ListFolder(dir.path(), ec);
  ASSERT_FALSE(ec);
  std::sort(children.begin(), children.end(),
            [](const FolderChild& a, const FolderChild& b) { return a.name < b.name; });
  ASSERT_EQ(children.size(), withLink ? 4u : 3u);
  EXPECT_EQ(children[0].name, "a.txt");
  EXPECT_EQ(children[0].kind, FolderChild::Kind::kFile);
  EXPECT_EQ(children[0].size, 5u);
  EXPECT_EQ(children[0].modified, 1300000000);
  EXPECT_EQ(children[1].name, "empty");
  EXPECT_EQ(children[1].kind, FolderChild::Kind::kFile);
  EXPECT_EQ(children[1].size, 0u);
  if (withLink) {
    EXPECT_EQ(children[2].name, "link");
    EXPECT_EQ(children[2].kind, FolderChild::Kind::kLink);
  }
  EXPECT_EQ(children.back().name, "sub");
  EXPECT_EQ(children.back().kind, FolderChild::Kind::kFolder);

  archive::ListFolder(dir / "missing", ec);
  EXPECT_TRUE(ec);
}

TEST(FileSystemTest, EnsureFoldersCountsTheFoldersThatWereThere) {
  TempDir dir;
  size_t existing = 99;
  EXPECT_EQ(archive::EnsureFolders(dir.path(), {"a", "b", "c"}, 3, &existing), "");
  EXPECT_EQ(existing, 0u);
  EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));

  EXPECT_EQ(archive::EnsureFolders(dir.path(), {"a", "b", "d", "e"}, 4, &existing), "");
  EXPECT_EQ(existing, 2u);
  EXPECT_TRUE(fs::is_directory(dir / "a/b/d/e"));

  EXPECT_EQ(archive::EnsureFolders(dir.path(), {"a", "b", "c"}, 3, &existing), "");
  EXPECT_EQ(existing, 3u);

  WriteFile(dir / "f", "file");
  EXPECT_NE(archive::EnsureFolders(dir.path(), {"f", "g"}, 2, &existing), "");
  EXPECT_FALSE(fs::exists(dir / "f/g"));
}

TEST(FileSystemTest, ReadsWholeFilesAndWhatIsAddedAfterOpening) {
  TempDir dir;
  std::string small(3000, 's');
  WriteFile(dir / "small", small);
  archive::FileStream in(dir / "small", archive::FileStream::Mode::kRead);
  std::string got(small.size() + 1, '\0');
  EXPECT_EQ(archive::ReadFull(in, got.data(), got.size()), small.size());
  EXPECT_EQ(got.substr(0, small.size()), small);

  // A file that grows after it was opened is read to its new end.
  WriteFile(dir / "growing", "abc");
  archive::FileStream growing(dir / "growing", archive::FileStream::Mode::kRead);
  {
    archive::FileStream append(dir / "growing", archive::FileStream::Mode::kCreateOrReplace);
    append.Write("abcdefgh", 8);
    append.Close();
  }
  char buffer[16] = {};
  EXPECT_EQ(archive::ReadFull(growing, buffer, sizeof buffer), 8u);
  EXPECT_EQ(std::string(buffer, 8), "abcdefgh");

  // Files written are new or emptied: their size starts at zero.
  archive::FileStream out(dir / "out", archive::FileStream::Mode::kCreateOrReplace);
  EXPECT_EQ(out.Size(), 0u);
  out.Write("xy", 2);
  EXPECT_EQ(out.Size(), 2u);
}

}  // namespace
