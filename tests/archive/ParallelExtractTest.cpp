// Extraction with files written on workers: reports, Done calls and files follow member
// order as without workers, failures leave no file, a cancel publishes nothing after it.
#include <gtest/gtest.h>

#include <sstream>

#include "archive/io/FileFacts.h"
#include "archive/format/Bytes.h"
#include "archive/format/Times.h"
#include "archive/read/ParallelExtract.h"
#include "archive/read/Unzip.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::UnzipStatus;
using namespace testing_support;

// Large enough to go to a worker on every platform.
std::string Big(unsigned seed) { return Sample(3u << 20, seed); }

RawMember Member(const std::string& name, const std::string& content, uint16_t method = 8) {
  return method == 8 ? Deflated(name, content) : Stored(name, content);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ParallelExtractTest : public ::testing::Test {
 protected:
  UnzipStatus Extract(const RawArchive& zip, Recorder& recorder) {
    WriteFile(dir / "a.zip", zip.Build());
    archive::UnzipRequest request;
    request.archive = dir / "a.zip";
    request.targetDir = dir / "out";
    request.overwrite = true;
    return archive::RunUnzip(request, recorder);
  }
  TempDir dir;
  const std::string big1 = Big(1), big2 = Big(2), big3 = Big(3);
};

TEST_F(ParallelExtractTest, ReportsAndFilesFollowMemberOrder) {
  RawMember badCrc = Member("big2.txt", big2);
  badCrc.crc = 0x12345678;
  RawArchive zip;
  zip.members = {Member("a.txt", "a", 0),  Member("big1.txt", big1),
                 Member("b.txt", "bb"),    badCrc,
                 Member("dir/", "", 0),    Member("dir/c.txt", "ccc"),
                 Member("big3.txt", big3), Member("../evil", "x", 0)};
  Recorder recorder;
  EXPECT_EQ(Extract(zip, recorder), UnzipStatus::kMemberError);
  EXPECT_EQ(recorder.done, (std::vector<std::string>{"a.txt", "big1.txt", "b.txt", "big2.txt",
                                                     "dir/", "dir/c.txt", "big3.txt", "../evil"}));
  auto lines = Lines(recorder.messages);
  ASSERT_EQ(lines.size(), 8u) << recorder.messages;
  EXPECT_EQ(lines[0], " extracting: a.txt");
  EXPECT_EQ(lines[1], "  inflating: big1.txt");
  EXPECT_EQ(lines[2], "  inflating: b.txt");
  EXPECT_EQ(lines[3].rfind("error: big2.txt: CRC error", 0), 0u) << lines[3];
  EXPECT_EQ(lines[4], "   creating: dir/");
  EXPECT_EQ(lines[5], "  inflating: dir/c.txt");
  EXPECT_EQ(lines[6], "  inflating: big3.txt");
  EXPECT_EQ(lines[7].rfind("error: ../evil: unsafe name", 0), 0u) << lines[7];
  // No temporary file is left beside them.
  EXPECT_EQ(Tree(dir / "out"), (Files{{"a.txt", "a"},
                                      {"big1.txt", big1},
                                      {"b.txt", "bb"},
                                      {"dir/", ""},
                                      {"dir/c.txt", "ccc"},
                                      {"big3.txt", big3}}));
}

TEST_F(ParallelExtractTest, CancelPublishesNothingAfterTheCancelledMember) {
  RawArchive zip;
  zip.members = {Member("a.txt", "a"), Member("big1.txt", big1), Member("b.txt", "b"),
                 Member("big2.txt", big2), Member("c.txt", "c")};
  Recorder recorder;
  recorder.stopAfter = 2;  // Done returns false for big1.txt
  EXPECT_EQ(Extract(zip, recorder), UnzipStatus::kCancelled);
  EXPECT_EQ(recorder.done, (std::vector<std::string>{"a.txt", "big1.txt"}));
  EXPECT_EQ(Lines(recorder.messages).back(), "stopped: cancelled by the caller");
  EXPECT_EQ(Tree(dir / "out"), (Files{{"a.txt", "a"}, {"big1.txt", big1}}));
}

TEST_F(ParallelExtractTest, AFileStillBeingWrittenIsInTheWayOfALaterFolder) {
  RawArchive zip;
  zip.members = {Member("x", big1), Member("x/y.txt", "y"), Member("z.txt", "z")};
  Recorder recorder;
  EXPECT_EQ(Extract(zip, recorder), UnzipStatus::kMemberError);
  EXPECT_NE(recorder.messages.find("error: x/y.txt: a file is in the way"), std::string::npos)
      << recorder.messages;
  EXPECT_EQ(Tree(dir / "out"), (Files{{"x", big1}, {"z.txt", "z"}}));
}

TEST_F(ParallelExtractTest, TestingAndExtractingAgreeOnEveryMember) {
  RawMember shortData = Member("big2.txt", big2);
  shortData.uncompressedSize = big2.size() + 1;  // declared one byte longer
  RawArchive zip;
  zip.members = {Member("big1.txt", big1), shortData, Member("s.txt", "s")};
  Recorder extracted;
  EXPECT_EQ(Extract(zip, extracted), UnzipStatus::kMemberError);
  archive::UnzipRequest test;
  test.archive = dir / "a.zip";
  test.mode = archive::UnzipRequest::Mode::kTest;
  Recorder tested;
  EXPECT_EQ(archive::RunUnzip(test, tested), UnzipStatus::kMemberError);
  EXPECT_NE(extracted.messages.find("big2.txt: it is shorter than its declared size"),
            std::string::npos)
      << extracted.messages;
  EXPECT_NE(tested.messages.find("big2.txt: it is shorter than its declared size"),
            std::string::npos)
      << tested.messages;
  EXPECT_EQ(Tree(dir / "out"), (Files{{"big1.txt", big1}, {"s.txt", "s"}}));
}

TEST_F(ParallelExtractTest, FilesGetTheMembersTimes) {
  // One time from the extended-timestamp extra, one from the DOS fields alone, for a file
  // written on a worker and one written on the calling thread.
  archive::ByteBuilder stamp;
  stamp.U16(0x5455).U16(5).U8(1).U32(1234567890);
  RawMember stampedBig = Member("stamped-big.txt", big1);
  stampedBig.centralExtra = stamp.str();
  RawMember stampedSmall = Member("stamped-small.txt", "s");
  stampedSmall.centralExtra = stamp.str();
  RawArchive zip;
  zip.members = {stampedBig, stampedSmall, Member("dos-big.txt", big2),
                 Member("dos-small.txt", "d")};
  Recorder recorder;
  ASSERT_EQ(Extract(zip, recorder), UnzipStatus::kOk) << recorder.messages;
  // RawArchive stamps every member 2020-01-01 12:00:00 (local time).
  auto dos = archive::DosToUnix(archive::DosDateTime{12 << 11, (40 << 9) | (1 << 5) | 1});
  ASSERT_TRUE(dos);
  EXPECT_EQ(archive::FileModifiedUnix(dir / "out/stamped-big.txt"), 1234567890);
  EXPECT_EQ(archive::FileModifiedUnix(dir / "out/stamped-small.txt"), 1234567890);
  EXPECT_EQ(archive::FileModifiedUnix(dir / "out/dos-big.txt"), *dos);
  EXPECT_EQ(archive::FileModifiedUnix(dir / "out/dos-small.txt"), *dos);
}

TEST(WriteVerified, InPlaceOnlyWhereNothingIsAndNeverOverIt) {
  TempDir dir;
  RawArchive zip;
  zip.members = {Member("m.txt", "member bytes")};
  archive::MemoryStream bytes(zip.Build());
  archive::Directory directory = archive::ReadDirectory(bytes);
  ASSERT_EQ(directory.entries.size(), 1u);
  const archive::Entry& entry = directory.entries[0];
  std::vector<unsigned char> buffer;

  // Nothing there: the file is made under its own name, no rename needed.
  fs::path made = archive::WriteVerified(bytes, entry, dir / "new.txt", buffer, true);
  EXPECT_EQ(made, dir / "new.txt");
  EXPECT_EQ(ReadFile(dir / "new.txt"), "member bytes");

  // Something appeared after the caller looked: refused, left as it was, nothing beside it.
  WriteFile(dir / "taken.txt", "someone else's");
  try {
    archive::WriteVerified(bytes, entry, dir / "taken.txt", buffer, true);
    ADD_FAILURE() << "wrote over an existing file";
  } catch (const archive::ArchiveError& e) {
    EXPECT_EQ(e.fault(), archive::Fault::kUnsafe);
    EXPECT_NE(std::string(e.what()).find("in the way"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Tree(dir.path()),
            (Files{{"new.txt", "member bytes"}, {"taken.txt", "someone else's"}}));

  // Without `direct` the member goes to a temporary file beside the target, for the caller
  // to rename over it.
  fs::path temp = archive::WriteVerified(bytes, entry, dir / "taken.txt", buffer, false);
  EXPECT_NE(temp, dir / "taken.txt");
  EXPECT_EQ(temp.parent_path(), dir.path());
  EXPECT_EQ(ReadFile(temp), "member bytes");
}

}  // namespace

namespace {

// Writes that fail in ways no member should: each must come back as that member's failure,
// never end the process.
fs::path ThrowLogicError(archive::Stream&, const archive::Entry&, const fs::path&,
                         std::vector<unsigned char>&, bool,
                         std::unique_ptr<archive::crypto::Decryption>) {
  throw std::logic_error("decoder broke its promise");
}
fs::path ThrowInt(archive::Stream&, const archive::Entry&, const fs::path&,
                  std::vector<unsigned char>&, bool, std::unique_ptr<archive::crypto::Decryption>) {
  throw 42;
}

TEST(ExtractWriters, AnythingAWriteThrowsBecomesThatMembersFailure) {
  TempDir dir;
  RawArchive zip;
  zip.members = {Member("m.txt", "member bytes")};
  WriteFile(dir / "a.zip", zip.Build());
  archive::MemoryStream bytes(zip.Build());
  archive::Directory directory = archive::ReadDirectory(bytes);
  const struct {
    archive::ExtractWriters::WriteStep write;
    const char* reason;
  } cases[] = {{ThrowLogicError, "unexpected failure: decoder broke its promise"},
               {ThrowInt, "unexpected failure"}};
  for (const auto& c : cases) {
    archive::ExtractWriters writers(dir / "a.zip", 2, c.write);
    writers.Start(directory.entries[0], dir / "m.txt", 0, true);
    archive::ExtractWriters::Result result = writers.TakeOldest();
    EXPECT_TRUE(result.failed) << c.reason;
    EXPECT_EQ(result.message, c.reason);
    EXPECT_FALSE(fs::exists(dir / "m.txt"));
  }
}

}  // namespace
