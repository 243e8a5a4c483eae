// What a hostile archive gets: for each class, the status, the message, and that nothing
// was written outside the target folder and no partial file was left inside it.
#include <gtest/gtest.h>

#include "archive/format/Bytes.h"
#include "archive/read/Unzip.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::UnzipStatus;
using namespace testing_support;

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(dir / "outside.txt", "untouched"); }

  UnzipStatus Run(const RawArchive& zip) {
    bytes_ = zip.Build();
    return ExtractBytes(dir, bytes_, recorder);
  }
  // Everything written, relative to the target folder.
  Files Inside() { return fs::exists(dir / "out") ? Tree(dir / "out") : Files{}; }
  // The folder around the target must hold exactly what it held before.
  void ExpectOutsideUnchanged() {
    auto tree = Tree(dir.path());
    for (auto it = tree.begin(); it != tree.end();) {
      it = it->first.rfind("out/", 0) == 0 ? tree.erase(it) : std::next(it);
    }
    EXPECT_EQ(tree, (Files{{"a.zip", bytes_}, {"outside.txt", "untouched"}}));
  }
  void ExpectMessage(const std::string& part) {
    EXPECT_NE(recorder.messages.find(part), std::string::npos) << recorder.messages;
  }

  TempDir dir;
  Recorder recorder;
  std::string bytes_;
};

struct HostileName {
  std::string name;
  const char* why;   // a part of the message
  uint8_t host = 3;  // made-by system: Unix, where a backslash is no separator, or DOS (0, 10)
};

class HostileNameTest : public HostileTest, public ::testing::WithParamInterface<HostileName> {};

TEST_P(HostileNameTest, IsRefusedAndTheRestExtracted) {
  RawArchive zip;
  zip.members = {Stored("ok.txt", "fine"), Stored(GetParam().name, "evil")};
  zip.members[1].madeBy = static_cast<uint16_t>(GetParam().host << 8 | 20);
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage(GetParam().why);
  EXPECT_EQ(Inside(), (Files{{"ok.txt", "fine"}}));
  ExpectOutsideUnchanged();
}

std::string LongPath() {
  std::string name;
  for (int i = 0; i < 16; ++i) name += std::string(254, 'a' + i) + "/";
  name.pop_back();
  return name;
}

const HostileName kHostileNames[] = {
    {"../evil.txt", "leaves the target"},
    {"a/../../evil.txt", "leaves the target"},
    {"/tmp/evil.txt", "absolute"},
    {"//server/share/evil.txt", "absolute"},
    {"C:/evil.txt", "colon"},
    {"C:evil.txt", "colon"},
    {"\\\\?\\C:\\evil.txt", "backslash"},
    {"\\\\.\\PhysicalDrive0", "backslash"},
    {"..\\evil.txt", "backslash"},
    {"sub\\evil.txt", "backslash"},
    // Where a backslash separates folders, the path it makes is judged.
    {"\\\\?\\C:\\evil.txt", "absolute", 0},
    {"\\\\.\\PhysicalDrive0", "absolute", 10},
    {"..\\evil.txt", "leaves the target", 0},
    {"sub\\..\\..\\evil.txt", "leaves the target", 11},
    {"\\evil.txt", "absolute", 14},
    {"C:\\evil.txt", "colon", 0},
    {"CON", "device"},
    {"sub/nul.txt", "device"},
    {"com1", "device"},
    {"file.txt:stream", "colon"},
    {"dots.", "ends in a dot"},
    {"blank ", "ends in a dot or a space"},
    {"bell\x07.txt", "control character"},
    {std::string("nul\0byte", 8), "control character"},
    {"", "empty"},
    {std::string(5000, 'x'), "too long"},
    {LongPath(), "too long"},
};

INSTANTIATE_TEST_SUITE_P(Names, HostileNameTest, ::testing::ValuesIn(kHostileNames));

TEST_F(HostileTest, NonUtf8NameFlaggedUtf8IsRefused) {
  RawMember m = Stored("caf\xE9.txt", "x");
  m.flags = 0x0800;
  RawArchive zip;
  zip.members = {m};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("not valid UTF-8");
  EXPECT_TRUE(Inside().empty());
}

TEST_F(HostileTest, SymbolicLinkMembersAreNeverCreated) {
  RawMember link = Stored("link", "../../outside.txt");
  link.madeBy = (3 << 8) | 20;     // Unix
  link.external = 0120777u << 16;  // symbolic link
  RawArchive zip;
  zip.members = {link, Stored("link/inside.txt", "stays inside")};
  EXPECT_EQ(Run(zip), UnzipStatus::kWarning);
  ExpectMessage("symbolic links are not created");
  // "link" became an ordinary folder; nothing went through to outside.txt.
  EXPECT_EQ(Inside(), (Files{{"link/", ""}, {"link/inside.txt", "stays inside"}}));
  ExpectOutsideUnchanged();
}

TEST_F(HostileTest, NeverWritesThroughALinkInTheTarget) {
  fs::create_directories(dir / "out");
  fs::create_directories(dir / "elsewhere");
  std::error_code ec;
  fs::create_directory_symlink(dir / "elsewhere", dir / "out/link", ec);
  if (ec) GTEST_SKIP() << "this system cannot make links: " << ec.message();
  RawArchive zip;
  zip.members = {Stored("link/x.txt", "through"), Stored("link", "over the link")};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("a link is in the way");
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
  EXPECT_TRUE(fs::is_symlink(dir / "out/link"));
}

TEST_F(HostileTest, NeverWritesOverAFolder) {
  fs::create_directories(dir / "out/taken/keep");
  RawArchive zip;
  zip.members = {Stored("taken", "would replace a folder"), Stored("d/", ""), Stored("d", "file"),
                 Stored("f", "file"), Stored("f/", "")};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("a folder or device is in the way");
  ExpectMessage("a folder of the same name");
  ExpectMessage("a file of the same name");
  EXPECT_EQ(Inside(), (Files{{"taken/", ""}, {"taken/keep/", ""}, {"d/", ""}, {"f", "file"}}));
}

TEST_F(HostileTest, DuplicateNamesKeepTheFirst) {
  RawArchive zip;
  zip.members = {Stored("same.txt", "first"), Stored("SAME.txt", "second"),
                 Stored("same.txt", "third")};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("appears twice");
#ifdef _WIN32
  // One file to Windows, whatever the case.
  EXPECT_EQ(Inside(), (Files{{"same.txt", "first"}}));
#else
  EXPECT_EQ(Inside(), (Files{{"same.txt", "first"}, {"SAME.txt", "second"}}));
#endif
}

TEST_F(HostileTest, MembersSharingOneLocalHeaderAreRefused) {
  // The construction of overlapping zip bombs: many central entries, one compressed stream.
  std::string big(1 << 20, 'A');
  RawMember first = Deflated("bomb0", big);
  RawArchive zip;
  zip.members = {first};
  for (int i = 1; i < 5; ++i) {
    RawMember again = first;
    again.name = "bomb" + std::to_string(i);
    again.shareLocal = true;
    again.offset = 0;
    zip.members.push_back(again);
  }
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("overlaps another member");
  EXPECT_TRUE(Inside().empty());
  ExpectOutsideUnchanged();
}

TEST_F(HostileTest, MemberWhoseDataCoversTheNextIsRefused) {
  RawMember a = Stored("a.txt", "aaaa");
  RawMember b = Stored("b.txt", "bbbb");
  // a's compressed size claims b's local header and data as its own.
  a.compressedSize = 4 + 30 + 5 + 4;
  a.uncompressedSize = a.compressedSize;
  a.data = "aaaa";
  RawArchive zip;
  zip.members = {a, b};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("a.txt: its data overlaps");
  EXPECT_EQ(Inside(), (Files{{"b.txt", "bbbb"}}));
}

TEST_F(HostileTest, OutputStopsAtTheDeclaredSize) {
  RawMember longer = Deflated("longer.txt", std::string(100000, 'x'));
  longer.uncompressedSize = 1000;  // the data holds 100 times more
  longer.crc = Crc(std::string(1000, 'x'));
  RawArchive zip;
  zip.members = {longer};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("more data than its declared size");
  EXPECT_TRUE(Inside().empty());  // no partial file
  ExpectOutsideUnchanged();
}

TEST_F(HostileTest, DataShorterThanDeclaredIsRefused) {
  RawMember shorter = Deflated("shorter.txt", std::string(1000, 'y'));
  shorter.uncompressedSize = 2000;
  RawArchive zip;
  zip.members = {shorter};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("shorter than its declared size");
  EXPECT_TRUE(Inside().empty());
}

TEST_F(HostileTest, StoredSizesThatDisagreeAreRefused) {
  RawMember stored = Stored("stored.txt", "0123456789");
  stored.uncompressedSize = 5;
  RawArchive zip;
  zip.members = {stored};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("two sizes differ");
  EXPECT_TRUE(Inside().empty());
}

TEST_F(HostileTest, RatioBeyondDeflateIsRefusedBeforeAnyWork) {
  RawMember bomb = Deflated("ratio.bin", "small");
  bomb.uncompressedSize = 0xFFFFFFF0;  // about 4 GiB from a few bytes
  RawArchive zip;
  zip.members = {bomb};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("times its compressed size");
  EXPECT_TRUE(Inside().empty());
}

TEST_F(HostileTest, CrcMismatchLeavesNoFile) {
  RawMember bad = Deflated("crc.txt", std::string(50000, 'c'));
  bad.crc = 0x12345678;
  RawArchive zip;
  zip.members = {bad, Stored("good.txt", "good")};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("CRC error");
  EXPECT_EQ(Inside(), (Files{{"good.txt", "good"}}));
}

TEST_F(HostileTest, CorruptDeflateStreamLeavesNoFile) {
  RawMember corrupt = Deflated("corrupt.txt", std::string(50000, 'd'));
  std::string data = Deflate(std::string(50000, 'd'));
  data[0] = static_cast<char>(0xFF);  // an invalid block type
  corrupt.data = data;
  RawArchive zip;
  zip.members = {corrupt};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("corrupt");
  EXPECT_TRUE(Inside().empty());
}

TEST_F(HostileTest, TruncatedArchiveIsNotAnArchive) {
  RawArchive zip;
  zip.members = {Stored("a.txt", std::string(1000, 'a'))};
  std::string full = zip.Build();
  for (size_t keep : {size_t{0}, size_t{10}, full.size() / 2, full.size() - 1}) {
    bytes_ = full.substr(0, keep);
    EXPECT_EQ(ExtractBytes(dir, bytes_, recorder), UnzipStatus::kNotFound) << keep;
    EXPECT_TRUE(Inside().empty());
  }
}

TEST_F(HostileTest, MemberDataPastTheEndOfFile) {
  RawMember m = Stored("a.txt", std::string(1000, 'a'));
  m.offset = 900000;  // far beyond the file
  RawArchive zip;
  zip.members = {m};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("points past the member data");
  EXPECT_TRUE(Inside().empty());
}

TEST_F(HostileTest, ImplausibleCountsAndOffsetsInTheEndRecord) {
  RawArchive count;
  count.members = {Stored("a.txt", "a")};
  count.count = 60000;
  EXPECT_EQ(Run(count), UnzipStatus::kDirectoryError);
  ExpectMessage("member count is larger");

  RawArchive offset;
  offset.members = {Stored("a.txt", "a")};
  offset.centralOffset = 0x7FFFFFF0;
  EXPECT_EQ(Run(offset), UnzipStatus::kDirectoryError);

  RawArchive zip64;
  zip64.members = {Stored("a.txt", "a")};
  zip64.zip64Count = 1ull << 40;
  EXPECT_EQ(Run(zip64), UnzipStatus::kDirectoryError);
  ExpectMessage("member count is larger");

  RawArchive zip64Offset;
  zip64Offset.members = {Stored("a.txt", "a")};
  zip64Offset.zip64Count = 1;
  zip64Offset.zip64CentralOffset = 1ull << 50;
  EXPECT_EQ(Run(zip64Offset), UnzipStatus::kDirectoryError);
  EXPECT_TRUE(Inside().empty());
}

TEST_F(HostileTest, ExtraFieldThatOverrunsItsBlock) {
  RawMember m = Stored("a.txt", "a");
  archive::ByteBuilder extra;
  extra.U16(0x1234).U16(100).U32(0);  // claims 100 bytes, has 4
  m.centralExtra = extra.str();
  RawArchive zip;
  zip.members = {m, Stored("b.txt", "b")};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("runs past the end of its block");
  EXPECT_EQ(Inside(), (Files{{"b.txt", "b"}}));
}

TEST_F(HostileTest, LocalHeaderThatDisagreesWithTheCentralOne) {
  RawMember name = Stored("central.txt", "n");
  name.localName = "other12.txt";  // same length, so only the name differs
  RawMember method = Stored("method.txt", "m");
  method.localMethod = 8;
  RawMember crc = Stored("crc.txt", "c");
  crc.localCrc = 1;
  // Headers that store a name differently agree when they mean the same (code page 437 here).
  RawMember meant = Stored("\x94.txt", "o");
  meant.localName = "x.txt";
  meant.localExtra = UnicodePathField(1, "x.txt", "\xC3\xB6.txt");  // ö.txt
  RawMember stale = Stored("\x84.txt", "a");
  stale.localName = "y.txt";
  stale.localExtra = UnicodePathField(1, "z.txt", "\xC3\xA4.txt");  // ä.txt, for another name
  RawArchive zip;
  zip.members = {name, method, crc, Stored("fine.txt", "f"), meant, stale};
  EXPECT_EQ(Run(zip), UnzipStatus::kMemberError);
  ExpectMessage("central.txt: its local header gives a different name");
  ExpectMessage("\xC3\xA4.txt: its local header gives a different name");
  ExpectMessage("method.txt: its local header gives a different compression method");
  ExpectMessage("crc.txt: its local header gives a different CRC or size");
  EXPECT_EQ(Inside(), (Files{{"fine.txt", "f"}, {"\xC3\xB6.txt", "o"}}));
}

TEST_F(HostileTest, EncryptionAndUnknownMethodsAreRefusedOthersProcessed) {
  RawMember encrypted = Stored("secret.txt", "xxxxxxxxxxxxxxxx");
  encrypted.flags = 0x41;  // PKWARE's strong encryption
  RawMember wavpack = Stored("sound.wv", "\x07\x00");
  wavpack.method = 97;
  RawArchive zip;
  zip.members = {encrypted, wavpack, Stored("open.txt", "open")};
  EXPECT_EQ(Run(zip), UnzipStatus::kUnsupported);
  ExpectMessage("secret.txt: it uses PKWARE's strong encryption, which is not supported");
  ExpectMessage("sound.wv: compression method 97 is not supported");
  EXPECT_EQ(Inside(), (Files{{"open.txt", "open"}}));
}

TEST_F(HostileTest, SecondEndRecordInTheCommentListAndExtractAgree) {
  RawArchive inner;
  inner.members = {Stored("fake.txt", "from the comment")};
  RawArchive outer;
  outer.members = {Stored("real.txt", "real")};
  outer.comment = inner.Build();
  bytes_ = outer.Build();
  WriteFile(dir / "a.zip", bytes_);
  archive::UnzipRequest list;
  list.archive = dir / "a.zip";
  list.mode = archive::UnzipRequest::Mode::kList;
  EXPECT_EQ(archive::RunUnzip(list, recorder), UnzipStatus::kOk);
  EXPECT_EQ(ExtractBytes(dir, bytes_, recorder), UnzipStatus::kOk);
  EXPECT_EQ(recorder.listed, recorder.done);
  EXPECT_EQ(recorder.listed, (std::vector<std::string>{"real.txt"}));
  EXPECT_EQ(Inside(), (Files{{"real.txt", "real"}}));
}

// Oddities that are legitimate still extract.
TEST_F(HostileTest, LegitimateOdditiesStillWork) {
  RawMember descriptor = Deflated("descriptor.txt", std::string(3000, 'd'));
  descriptor.flags = 8;
  RawMember zip64 = Deflated("zip64.txt", "small file with Zip64 fields");
  zip64.zip64 = true;
  struct Case {
    const char* what;
    RawArchive zip;
  };
  std::vector<Case> cases(6);
  cases[0] = {"stub before, offsets from the archive", {}};
  cases[0].zip.prefix = "#!/bin/sh\necho self-extractor stub\nexit 0\n";
  cases[0].zip.prefixShiftsOffsets = true;
  cases[1] = {"stub before, offsets from the file", {}};
  cases[1].zip.prefix = std::string(5000, 'M');
  cases[2] = {"junk after the end record", {}};
  cases[2].zip.trailing = std::string(300, '\0');
  cases[3] = {"Zip64 end records for one member", {}};
  cases[3].zip.zip64Count = 4;
  cases[4] = {"plain", {}};
  // The Zip64 end record found before the locator by the prefix's shift, which also places
  // the central directory.
  cases[5] = {"stub before a Zip64 archive, offsets from the archive", {}};
  cases[5].zip.prefix = "#!/bin/sh\nexit 0\n";
  cases[5].zip.prefixShiftsOffsets = true;
  cases[5].zip.zip64Count = 4;
  for (auto& c : cases) {
    c.zip.members = {Stored("dir/", ""), descriptor, zip64, Stored("dir/stored.txt", "stored")};
    Recorder events;
    TempDir scratch;
    EXPECT_EQ(ExtractBytes(scratch, c.zip.Build(), events), UnzipStatus::kOk) << c.what << "\n"
                                                                              << events.messages;
    EXPECT_EQ(Tree(scratch / "out"), (Files{{"dir/", ""},
                                            {"dir/stored.txt", "stored"},
                                            {"descriptor.txt", std::string(3000, 'd')},
                                            {"zip64.txt", "small file with Zip64 fields"}}))
        << c.what;
  }
}

}  // namespace
