// Times and attributes across extraction: the most precise time a member carries wins,
// folders get theirs after their files, and on Windows read-only, hidden and system
// come back.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "archive/format/Bytes.h"
#include "archive/io/FileFacts.h"
#include "archive/read/Directory.h"
#include "archive/format/Format.h"
#include "archive/write/Zip.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::FileTime;
using archive::UnzipStatus;
using namespace testing_support;

std::string NtfsExtra(FileTime modified, FileTime accessed, FileTime created) {
  archive::ByteBuilder b;
  b.U16(archive::format::kExtraNtfs).U16(32).U32(0).U16(1).U16(24);
  b.U64(modified).U64(accessed).U64(created);
  return b.str();
}

// The modification time of a file or folder, in the NTFS unit.
FileTime ModifiedOf(const fs::path& path) {
#ifdef _WIN32
  auto facts = archive::ReadFileFacts(path);
  return facts ? facts->times.modified : 0;
#else
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return 0;
  return archive::UnixToFileTime(info.st_mtim.tv_sec) + info.st_mtim.tv_nsec / 100;
#endif
}

const FileTime kPrecise = archive::UnixToFileTime(1500000000) + 1234567;  // .1234567 s

TEST(FileFactsTest, TheMostPreciseTimeWinsAndFoldersKeepTheirs) {
  RawMember ntfs = Stored("dir/ntfs.txt", "n");
  ntfs.centralExtra = NtfsExtra(kPrecise, kPrecise + 10, kPrecise - 10);
  // A Unix timestamp and a DOS time as well: the NTFS time still wins.
  archive::ByteBuilder ut;
  ut.U16(archive::format::kExtraTimestamp).U16(5).U8(1).U32(1600000000);
  ntfs.centralExtra += ut.str();
  RawMember unix = Stored("dir/unix.txt", "u");
  unix.centralExtra = ut.str();
  RawMember folder = Stored("dir/", "");
  folder.centralExtra = NtfsExtra(kPrecise - 70000000, 0, 0);  // 7 s earlier
  RawArchive zip;
  zip.members = {folder, ntfs, unix, Stored("dir/later.txt", "written after the folder")};
  TempDir dir;
  Recorder recorder;
  ASSERT_EQ(ExtractBytes(dir, zip.Build(), recorder), UnzipStatus::kOk) << recorder.messages;
  EXPECT_EQ(ModifiedOf(dir / "out/dir/ntfs.txt"), kPrecise);
  EXPECT_EQ(ModifiedOf(dir / "out/dir/unix.txt"), archive::UnixToFileTime(1600000000));
  EXPECT_EQ(ModifiedOf(dir / "out/dir"), kPrecise - 70000000);
}

#ifdef _WIN32
TEST(FileFactsTest, ReadOnlyHiddenAndSystemComeBackOnWindows) {
  const uint32_t kinds[] = {archive::kDosReadOnly, archive::kDosHidden, archive::kDosSystem,
                            archive::kDosReadOnly | archive::kDosHidden};
  RawArchive zip;
  for (uint32_t kind : kinds) {
    RawMember m = Stored("f" + std::to_string(kind), "x");
    m.external = kind | 0x20;
    zip.members.push_back(m);
  }
  // A read-only folder still takes its files. (Wine keeps no read-only bit on folders, so
  // its hidden bit shows that the folder's attributes were set, after its files.)
  RawMember folder = Stored("locked/", "");
  folder.external = 0x10 | archive::kDosReadOnly | archive::kDosHidden;
  zip.members.push_back(folder);
  zip.members.push_back(Stored("locked/inside.txt", "in"));
  TempDir dir;
  Recorder recorder;
  ASSERT_EQ(ExtractBytes(dir, zip.Build(), recorder), UnzipStatus::kOk) << recorder.messages;
  for (uint32_t kind : kinds) {
    auto facts = archive::ReadFileFacts(dir / ("out/f" + std::to_string(kind)));
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->attributes & archive::kRestoredAttributes, kind);
    archive::SetDosAttributes(dir / ("out/f" + std::to_string(kind)), 0, false);  // to clean up
  }
  EXPECT_EQ(ReadFile(dir / "out/locked/inside.txt"), "in");
  auto locked = archive::ReadFileFacts(dir / "out/locked");
  ASSERT_TRUE(locked);
  EXPECT_EQ(locked->attributes & archive::kDosHidden, archive::kDosHidden);
  archive::SetDosAttributes(dir / "out/locked", 0, true);
}

// Packing on Windows stores what extraction restores: a round trip through both keeps the
// attributes and all three times to the 100 ns.
TEST(FileFactsTest, PackingOnWindowsStoresAttributesAndNtfsTimes) {
  TempDir dir;
  fs::create_directories(dir / "in/sub");
  WriteFile(dir / "in/plain.txt", "plain");
  WriteFile(dir / "in/sub/secret.txt", "hidden and read-only");
  const archive::FileTimes times{kPrecise, kPrecise + 5, kPrecise - 5};
  ASSERT_TRUE(archive::SetPathTimes(dir / "in/sub/secret.txt", times));
  ASSERT_TRUE(archive::SetDosAttributes(dir / "in/sub/secret.txt",
                                        archive::kDosHidden | archive::kDosReadOnly, false));
  // Wine keeps no creation time of its own: what is stored is what the system reports.
  auto source = archive::ReadFileFacts(dir / "in/sub/secret.txt");
  ASSERT_TRUE(source);
  EXPECT_EQ(source->times.modified, times.modified);
  archive::ZipRequest request;
  request.archive = dir / "a.zip";
  request.rootDir = dir / "in";
  request.names = {"plain.txt", "sub"};
  request.recurse = true;
  Recorder recorder;
  ASSERT_EQ(archive::RunZip(request, recorder), archive::ZipStatus::kOk) << recorder.messages;

  auto stream =
      archive::FileStream::TryOpen(dir / "a.zip", archive::FileStream::Mode::kRead, nullptr);
  ASSERT_TRUE(stream);
  archive::Directory zip = archive::ReadDirectory(*stream);
  std::map<std::string, const archive::Entry*> byName;
  for (const auto& e : zip.entries) byName[e.name] = &e;
  ASSERT_TRUE(byName.count("sub/secret.txt") && byName.count("plain.txt") && byName.count("sub/"));
  const archive::Entry& secret = *byName["sub/secret.txt"];
  EXPECT_EQ(secret.externalAttributes & 0xFF, 0x20u | archive::kDosHidden | archive::kDosReadOnly);
  EXPECT_EQ(secret.ntfsModified, times.modified);
  EXPECT_EQ(secret.ntfsCreated, source->times.created);
  EXPECT_NE(secret.ntfsAccessed, 0u);
  EXPECT_EQ(byName["plain.txt"]->externalAttributes & archive::kRestoredAttributes, 0u);
  EXPECT_EQ(byName["sub/"]->externalAttributes & 0x10u, 0x10u);
  archive::SetDosAttributes(dir / "in/sub/secret.txt", 0, false);  // to clean up
  stream.reset();

  Recorder unzipped;
  ASSERT_EQ(ExtractBytes(dir, ReadFile(dir / "a.zip"), unzipped), UnzipStatus::kOk);
  auto back = archive::ReadFileFacts(dir / "out/sub/secret.txt");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->attributes & archive::kRestoredAttributes,
            archive::kDosHidden | archive::kDosReadOnly);
  EXPECT_EQ(back->times.modified, times.modified);
  EXPECT_EQ(back->times.created, source->times.created);
  archive::SetDosAttributes(dir / "out/sub/secret.txt", 0, false);
}
#endif

}  // namespace
