// The two operations on real files: creating, updating, listing, testing and extracting,
// with the status each failure class returns.
#include <gtest/gtest.h>

#include <set>

#ifdef _WIN32
#include <windows.h>
#endif

#include "archive/io/FileFacts.h"
#include "archive/format/Bytes.h"
#include "archive/format/Times.h"
#include "archive/read/Directory.h"
#include "archive/io/FileSystem.h"
#include "archive/format/Names.h"
#include "archive/io/Stream.h"
#include "archive/read/Unzip.h"
#include "archive/write/Zip.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::UnzipRequest;
using archive::UnzipStatus;
using archive::ZipRequest;
using archive::ZipStatus;
using namespace testing_support;

std::vector<std::string> MemberNames(const fs::path& zip) {
  archive::FileStream in(zip, archive::FileStream::Mode::kRead);
  std::vector<std::string> names;
  for (const auto& e : archive::ReadDirectory(in).entries) names.push_back(e.name);
  return names;
}

// A request for these files under their bare names.
ZipRequest Bare(std::vector<fs::path> names) {
  ZipRequest request;
  request.junkPaths = true;
  request.names = std::move(names);
  return request;
}

// Names in a folder other than the given ones: temporary files left behind.
std::vector<std::string> Leftovers(const fs::path& folder, std::set<std::string> expected) {
  std::vector<std::string> extra;
  for (const auto& item : fs::directory_iterator(folder)) {
    std::string name = archive::PathToUtf8(item.path().filename());
    if (!expected.count(name)) extra.push_back(name);
  }
  return extra;
}

class OperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "src/a.txt", "alpha");
    WriteFile(dir / "src/sub/b.txt", std::string(10000, 'b'));
    WriteFile(dir / "src/sub/deeper/c.txt", "");
    fs::create_directories(dir / "src/empty");
    WriteFile(dir / "other/a.txt", "another alpha");
  }
  ZipStatus Zip(ZipRequest request) {
    if (request.archive.empty()) request.archive = dir / "out.zip";
    return archive::RunZip(request, recorder);
  }
  TempDir dir;
  Recorder recorder;
};

TEST_F(OperationsTest, BareNamesAndOneServiceCallPerFile) {
  ZipRequest request =
      Bare({dir / "src/a.txt", dir / "src/sub/b.txt", dir / "src/sub/deeper/c.txt"});
  ASSERT_EQ(Zip(request), ZipStatus::kOk) << recorder.messages;
  EXPECT_EQ(MemberNames(dir / "out.zip"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  ASSERT_EQ(recorder.added.size(), 3u);
  EXPECT_EQ(recorder.added[0].second, 5u);
  EXPECT_EQ(recorder.added[1].second, 10000u);
  EXPECT_EQ(recorder.added[2].second, 0u);
  EXPECT_EQ(recorder.added[1].first, dir / "src/sub/b.txt");
  EXPECT_NE(recorder.messages.find("  adding: b.txt (deflated"), std::string::npos);
  auto tree = ExtractArchive(dir / "out.zip", dir / "x");
  EXPECT_EQ(tree["a.txt"], "alpha");
  EXPECT_EQ(tree["b.txt"], std::string(10000, 'b'));
  EXPECT_EQ(tree.count("c.txt"), 1u);
}

TEST_F(OperationsTest, SameBareNameFromTwoFoldersIsRefusedAndNothingWritten) {
  ZipRequest request = Bare({dir / "src/a.txt", dir / "other/a.txt"});
  EXPECT_EQ(Zip(request), ZipStatus::kBadParameters);
  EXPECT_FALSE(fs::exists(dir / "out.zip"));
  EXPECT_NE(recorder.messages.find(archive::PathToUtf8(dir / "src/a.txt")), std::string::npos);
  EXPECT_NE(recorder.messages.find(archive::PathToUtf8(dir / "other/a.txt")), std::string::npos);
  EXPECT_TRUE(Leftovers(dir.path(), {"src", "other"}).empty());
}

TEST_F(OperationsTest, SameFileListedTwiceIsStoredOnce) {
  ZipRequest request = Bare({dir / "src/a.txt", dir / "src/a.txt"});
  EXPECT_EQ(Zip(request), ZipStatus::kOk);
  EXPECT_EQ(MemberNames(dir / "out.zip"), (std::vector<std::string>{"a.txt"}));
}

TEST_F(OperationsTest, RecursionKeepsFoldersAndEmptyOnes) {
  ZipRequest request;
  request.recurse = true;
  request.rootDir = dir.path();
  request.names = {"src"};
  ASSERT_EQ(Zip(request), ZipStatus::kOk) << recorder.messages;
  EXPECT_EQ(MemberNames(dir / "out.zip"),
            (std::vector<std::string>{"src/", "src/a.txt", "src/empty/", "src/sub/",
                                      "src/sub/b.txt", "src/sub/deeper/", "src/sub/deeper/c.txt"}));
  auto tree = ExtractArchive(dir / "out.zip", dir / "x");
  EXPECT_EQ(tree.count("src/empty/"), 1u);
  EXPECT_EQ(tree["src/sub/b.txt"], std::string(10000, 'b'));
}

TEST_F(OperationsTest, WildcardsInTheLastPart) {
  ZipRequest request = Bare({dir / "src/sub/*.txt", dir / "src/?.txt"});
  ASSERT_EQ(Zip(request), ZipStatus::kOk) << recorder.messages;
  EXPECT_EQ(MemberNames(dir / "out.zip"), (std::vector<std::string>{"b.txt", "a.txt"}));
}

TEST_F(OperationsTest, UpdateReplacesByNameAndKeepsTheOthers) {
  ZipRequest request = Bare({dir / "src/a.txt", dir / "src/sub/b.txt"});
  ASSERT_EQ(Zip(request), ZipStatus::kOk);
  WriteFile(dir / "new/a.txt", "replaced alpha");
  WriteFile(dir / "new/d.txt", "delta");
  request.names = {dir / "new/d.txt", dir / "new/a.txt"};
  ASSERT_EQ(Zip(request), ZipStatus::kOk) << recorder.messages;
  // The replacement takes the place of the member it replaces; new members follow.
  EXPECT_EQ(MemberNames(dir / "out.zip"), (std::vector<std::string>{"a.txt", "b.txt", "d.txt"}));
  auto tree = ExtractArchive(dir / "out.zip", dir / "x");
  EXPECT_EQ(tree["a.txt"], "replaced alpha");
  EXPECT_EQ(tree["b.txt"], std::string(10000, 'b'));
  EXPECT_EQ(tree["d.txt"], "delta");
  EXPECT_TRUE(Leftovers(dir.path(), {"src", "other", "new", "out.zip", "x"}).empty());
}

// Updating and freshening replace only what changed: a file named beside a changed one but
// itself unchanged keeps its member, where it was.
TEST_F(OperationsTest, UpdateAndFreshenKeepTheUnchangedMember) {
  for (bool freshen : {false, true}) {
    SCOPED_TRACE(freshen ? "freshen" : "update");
    WriteFile(dir / "src/a.txt", "alpha");
    ASSERT_TRUE(archive::SetFileModifiedUnix(dir / "src/a.txt", 1600000000));
    ASSERT_TRUE(archive::SetFileModifiedUnix(dir / "src/sub/b.txt", 1600000000));
    fs::remove(dir / "out.zip");
    ZipRequest request = Bare({dir / "src/a.txt", dir / "src/sub/b.txt"});
    ASSERT_EQ(Zip(request), ZipStatus::kOk);
    WriteFile(dir / "src/a.txt", "changed alpha");
    ASSERT_TRUE(archive::SetFileModifiedUnix(dir / "src/a.txt", 1600000100));
    request.update = !freshen;
    request.freshen = freshen;
    ASSERT_EQ(Zip(request), ZipStatus::kOk) << recorder.messages;
    EXPECT_EQ(MemberNames(dir / "out.zip"), (std::vector<std::string>{"a.txt", "b.txt"}));
    auto tree = ExtractArchive(dir / "out.zip", dir / (freshen ? "xf" : "xu"));
    EXPECT_EQ(tree["a.txt"], "changed alpha");
    EXPECT_TRUE(tree["b.txt"] == std::string(10000, 'b')) << "b.txt changed or went missing";
  }
}

TEST_F(OperationsTest, CancelLeavesTheOldArchiveUntouched) {
  ZipRequest request = Bare({dir / "src/a.txt"});
  ASSERT_EQ(Zip(request), ZipStatus::kOk);
  std::string before = ReadFile(dir / "out.zip");
  request.names = {dir / "src/sub/b.txt", dir / "other/a.txt"};
  recorder.stopAfter = 1;
  recorder.added.clear();
  EXPECT_EQ(Zip(request), ZipStatus::kCancelled);
  EXPECT_EQ(ReadFile(dir / "out.zip"), before);
  EXPECT_TRUE(Leftovers(dir.path(), {"src", "other", "out.zip"}).empty());
}

// The new archive cannot take the old one's place: the old one must survive whole.
TEST_F(OperationsTest, FailedReplacementKeepsTheOldArchive) {
  ZipRequest request = Bare({dir / "src/a.txt"});
  ASSERT_EQ(Zip(request), ZipStatus::kOk);
  const std::string before = ReadFile(dir / "out.zip");
  {
    archive::ReplaceWithOverride refuse([](const fs::path&, const fs::path&, std::error_code& ec) {
      ec = std::make_error_code(std::errc::permission_denied);
      return false;
    });
    request.names = {dir / "src/sub/b.txt"};
    EXPECT_EQ(Zip(request), ZipStatus::kTempFileError);
  }
  EXPECT_EQ(ReadFile(dir / "out.zip"), before);
  EXPECT_TRUE(Leftovers(dir.path(), {"src", "other", "out.zip"}).empty());
}

// A length that does not fit its 16-bit field is refused, not cut: cut, it would make an
// archive whose headers lead astray. The old archive stays as it was.
TEST_F(OperationsTest, LengthsBeyondSixteenBitsAreRefused) {
  // A member of over 4 GiB (declared) whose extra fields fill its central header but for a
  // Zip64 field with one size: copied, its local header needs both sizes, 8 bytes more.
  RawMember huge = Stored("huge", "x");
  huge.uncompressedSize = 0xFFFFFFFF;
  huge.centralExtra = archive::ByteBuilder().U16(1).U16(8).U64(5ull << 30).str();
  const size_t filler = 0xFFFF - huge.centralExtra.size() - 4;
  huge.centralExtra += archive::ByteBuilder().U16(0x6666).U16(static_cast<uint16_t>(filler)).str();
  huge.centralExtra += std::string(filler, 'f');
  struct LongComment : Recorder {
    std::optional<std::string> Comment(std::string_view) override {
      return std::string(70000, 'c');
    }
  };
  auto archiveOf = [](const RawMember& member) {
    RawArchive raw;
    raw.members = {member};
    return raw.Build();
  };
  struct Case {
    const char* what;
    std::string archive;  // the archive before
    bool askComment;
  } cases[] = {
      {"a copied member's extra fields", archiveOf(huge), false},
      {"the archive comment", archiveOf(Stored("a.txt", "alpha")), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(dir / "out.zip", c.archive);
    ZipRequest request;
    request.archive = dir / "out.zip";
    request.junkPaths = true;
    request.askComment = c.askComment;
    request.names = {dir / "src/sub/b.txt"};
    LongComment events;
    EXPECT_EQ(archive::RunZip(request, events), ZipStatus::kWriteError);
    EXPECT_NE(events.messages.find("more than the 65,535 a Zip header holds"), std::string::npos)
        << events.messages;
    EXPECT_TRUE(ReadFile(dir / "out.zip") == c.archive) << "the old archive changed";
    EXPECT_TRUE(Leftovers(dir.path(), {"src", "other", "out.zip"}).empty());
  }
}

TEST_F(OperationsTest, MissingFileIsReportedAndTheRestArchived) {
  ZipRequest request = Bare({dir / "src/a.txt", dir / "nowhere.txt"});
  EXPECT_EQ(Zip(request), ZipStatus::kCannotOpenInput);
  EXPECT_NE(recorder.messages.find("nowhere.txt"), std::string::npos);
  EXPECT_EQ(MemberNames(dir / "out.zip"), (std::vector<std::string>{"a.txt"}));
}

// A file listed to replace a member but unreadable by its turn (gone, or a folder now,
// which opens natively and then fails to read): the old member stays as it was.
TEST_F(OperationsTest, UnreadableReplacementKeepsTheOldMember) {
  struct Spoiler : Recorder {  // spoils b.txt once a.txt, listed with it, is stored
    bool folder = false;
    fs::path victim;
    bool FileDone(const fs::path& file, uint64_t size) override {
      fs::remove(victim);
      if (folder) fs::create_directory(victim);
      return Recorder::FileDone(file, size);
    }
  };
  for (bool folder : {false, true}) {
    SCOPED_TRACE(folder ? "a folder now" : "gone");
    WriteFile(dir / "src/sub/b.txt", std::string(10000, 'b'));
    fs::remove(dir / "out.zip");
    ZipRequest request;
    request.junkPaths = true;
    request.level = 0;  // nothing read ahead: each file is opened in its turn
    request.names = {dir / "src/a.txt", dir / "src/sub/b.txt"};
    ASSERT_EQ(Zip(request), ZipStatus::kOk);
    Spoiler events;
    events.folder = folder;
    events.victim = dir / "src/sub/b.txt";
    request.archive = dir / "out.zip";
    EXPECT_EQ(archive::RunZip(request, events), ZipStatus::kCannotOpenInput);
    EXPECT_NE(events.messages.find("b.txt"), std::string::npos) << events.messages;
    EXPECT_EQ(MemberNames(dir / "out.zip"), (std::vector<std::string>{"a.txt", "b.txt"}));
    auto tree = ExtractArchive(dir / "out.zip", dir / (folder ? "xf" : "xg"));
    EXPECT_TRUE(tree["b.txt"] == std::string(10000, 'b')) << "the old b.txt was lost or changed";
    fs::remove_all(dir / "src/sub/b.txt");
  }
}

#ifdef _WIN32
// A listed file another program holds locked: the update adds nothing, so the archive keeps
// its bytes (it is not written again with the same members).
TEST_F(OperationsTest, UpdateThatCanAddNothingLeavesTheArchive) {
  ASSERT_EQ(Zip(Bare({dir / "src/a.txt", dir / "src/sub/b.txt"})), ZipStatus::kOk);
  const std::string before = ReadFile(dir / "out.zip");
  HANDLE lock = CreateFileW((dir / "src/a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  ZipStatus status = Zip(Bare({dir / "src/a.txt"}));
  CloseHandle(lock);
  EXPECT_EQ(status, ZipStatus::kCannotOpenInput);
  EXPECT_NE(recorder.messages.find("was left as it was"), std::string::npos) << recorder.messages;
  EXPECT_TRUE(ReadFile(dir / "out.zip") == before) << "the archive was written again";
}
#endif

TEST_F(OperationsTest, FailureClassesAndTheirStatus) {
  ZipRequest onlyMissing;
  onlyMissing.names = {dir / "nowhere.txt"};
  EXPECT_EQ(Zip(onlyMissing), ZipStatus::kCannotOpenInput);
  EXPECT_FALSE(fs::exists(dir / "out.zip"));

  EXPECT_EQ(Zip(ZipRequest{}), ZipStatus::kNothingToDo);

  ZipRequest encrypted;
  encrypted.encrypt = true;
  encrypted.names = {dir / "src/a.txt"};
  EXPECT_EQ(Zip(encrypted), ZipStatus::kUnsupportedOption);

  ZipRequest deleting;
  deleting.deleteEntries = true;
  deleting.names = {"a.txt"};
  EXPECT_EQ(Zip(deleting), ZipStatus::kMissingArchive);

  ZipRequest noFolder;
  noFolder.archive = dir / "no such folder/out.zip";
  noFolder.names = {dir / "src/a.txt"};
  EXPECT_EQ(Zip(noFolder), ZipStatus::kCannotCreate);

  WriteFile(dir / "garbage.zip", std::string(1000, 'g'));
  ZipRequest garbage;
  garbage.archive = dir / "garbage.zip";
  garbage.names = {dir / "src/a.txt"};
  EXPECT_EQ(Zip(garbage), ZipStatus::kFormatError);
  EXPECT_EQ(ReadFile(dir / "garbage.zip"), std::string(1000, 'g'));
  EXPECT_TRUE(Leftovers(dir.path(), {"src", "other", "garbage.zip"}).empty());
}

TEST_F(OperationsTest, DeleteRemovesMatchingMembers) {
  ZipRequest request = Bare({dir / "src/a.txt", dir / "src/sub/b.txt"});
  ASSERT_EQ(Zip(request), ZipStatus::kOk);
  ZipRequest deleting;
  deleting.deleteEntries = true;
  deleting.names = {"b*"};
  EXPECT_EQ(Zip(deleting), ZipStatus::kOk);
  EXPECT_EQ(MemberNames(dir / "out.zip"), (std::vector<std::string>{"a.txt"}));
  deleting.names = {"zzz"};
  EXPECT_EQ(Zip(deleting), ZipStatus::kNothingToDo);
}

class UnzipOperationsTest : public OperationsTest {
 protected:
  void SetUp() override {
    OperationsTest::SetUp();
    ZipRequest request;
    request.recurse = true;
    request.rootDir = dir / "src";
    request.names = {"a.txt", "sub", "empty"};
    ASSERT_EQ(Zip(request), ZipStatus::kOk) << recorder.messages;
  }
  UnzipStatus Unzip(UnzipRequest request) {
    request.archive = dir / "out.zip";
    if (request.targetDir.empty()) request.targetDir = dir / "x";
    return archive::RunUnzip(request, recorder, &totals);
  }
  archive::UnzipTotals totals;
};

TEST_F(UnzipOperationsTest, ListingCallsOncePerMemberInOrder) {
  UnzipRequest request;
  request.mode = UnzipRequest::Mode::kList;
  EXPECT_EQ(Unzip(request), UnzipStatus::kOk);
  EXPECT_EQ(recorder.listed, (std::vector<std::string>{"a.txt", "sub/", "sub/b.txt", "sub/deeper/",
                                                       "sub/deeper/c.txt", "empty/"}));
  EXPECT_EQ(totals.count, 6u);
  EXPECT_EQ(totals.uncompressed, 10005u);
  EXPECT_TRUE(recorder.done.empty());
  EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST_F(UnzipOperationsTest, ExtractCallsDoneOncePerMember) {
  EXPECT_EQ(Unzip(UnzipRequest{}), UnzipStatus::kOk) << recorder.messages;
  EXPECT_EQ(recorder.done.size(), 6u);
  EXPECT_EQ(ReadFile(dir / "x/sub/b.txt"), std::string(10000, 'b'));
  EXPECT_TRUE(fs::is_directory(dir / "x/empty"));
}

TEST_F(UnzipOperationsTest, IncludeExcludeAndNoMatch) {
  UnzipRequest request;
  request.include = {"*.TXT"};
  request.ignoreCase = true;
  request.exclude = {"sub/deeper/*"};
  EXPECT_EQ(Unzip(request), UnzipStatus::kOk);
  EXPECT_EQ(recorder.done, (std::vector<std::string>{"a.txt", "sub/b.txt"}));
  UnzipRequest none;
  none.include = {"nothing*"};
  EXPECT_EQ(Unzip(none), UnzipStatus::kNoMatch);
}

TEST_F(UnzipOperationsTest, OverwriteAndFlatExtraction) {
  WriteFile(dir / "x/a.txt", "keep me");
  UnzipRequest keep;
  keep.include = {"a.txt"};
  EXPECT_EQ(Unzip(keep), UnzipStatus::kOk);
  EXPECT_EQ(ReadFile(dir / "x/a.txt"), "keep me");
  keep.overwrite = true;
  EXPECT_EQ(Unzip(keep), UnzipStatus::kOk);
  EXPECT_EQ(ReadFile(dir / "x/a.txt"), "alpha");

  UnzipRequest flat;
  flat.useFolders = false;
  flat.targetDir = dir / "flat";
  EXPECT_EQ(Unzip(flat), UnzipStatus::kOk);
  EXPECT_EQ(Tree(dir / "flat").size(), 3u);  // a.txt, b.txt, c.txt
  EXPECT_EQ(ReadFile(dir / "flat/b.txt"), std::string(10000, 'b'));
}

TEST_F(UnzipOperationsTest, MissingOrForeignArchive) {
  UnzipRequest request;
  request.archive = dir / "missing.zip";
  EXPECT_EQ(archive::RunUnzip(request, recorder), UnzipStatus::kNotFound);
  WriteFile(dir / "text.zip", "this is not an archive at all, just words");
  request.archive = dir / "text.zip";
  EXPECT_EQ(archive::RunUnzip(request, recorder), UnzipStatus::kNotFound);
  request.archive = fs::path();
  EXPECT_EQ(archive::RunUnzip(request, recorder), UnzipStatus::kNotFound);
}

TEST_F(UnzipOperationsTest, CancelStopsAfterTheMember) {
  recorder.stopAfter = 2;
  EXPECT_EQ(Unzip(UnzipRequest{}), UnzipStatus::kCancelled);
  EXPECT_EQ(recorder.done.size(), 2u);
}

TEST_F(UnzipOperationsTest, ToOutputHandsOverTheBytes) {
  struct Collect : Recorder {
    void Data(const void* bytes, size_t size) override {
      data.append(static_cast<const char*>(bytes), size);
    }
    std::string data;
  } collect;
  UnzipRequest request;
  request.archive = dir / "out.zip";
  request.toOutput = true;
  request.include = {"a.txt"};
  EXPECT_EQ(archive::RunUnzip(request, collect), UnzipStatus::kOk);
  EXPECT_EQ(collect.data, "alpha");
  EXPECT_FALSE(fs::exists(dir / "x"));
}

}  // namespace
