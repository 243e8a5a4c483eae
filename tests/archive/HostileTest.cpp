// What a hostile archive gets, one row per way of lying, each built here byte by byte: the
// status, the message, exactly what lands in the target folder, that the folder around the
// target is unchanged, and that listing reads the members extraction reads. Oddities that
// are legitimate are rows too: they still extract.
#include <gtest/gtest.h>

#include <cctype>

#include "archive/format/Bytes.h"
#include "archive/read/Unzip.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::UnzipStatus;
using namespace testing_support;

struct Case {
  std::string what;
  std::string bytes;  // the archive
  UnzipStatus status;
  std::vector<std::string> says;  // parts of what is printed
  Files inside;                   // what the target folder holds afterwards
  Files before = {};              // what it held before
};

std::string Zip(std::vector<RawMember> members) {
  RawArchive zip;
  zip.members = std::move(members);
  return zip.Build();
}

std::string LongPath() {
  std::string name;
  for (int i = 0; i < 16; ++i) name += std::string(254, 'a' + i) + "/";
  name.pop_back();
  return name;
}

// Names refused beside a good member; `host` is the made-by system: Unix, where a backslash
// is no separator, or DOS (0, 10, 11, 14), where the path it makes is judged.
void AddNames(std::vector<Case>& cases) {
  const struct {
    std::string name;
    const char* why;
    uint8_t host = 3;
  } names[] = {
      {"../evil.txt", "leaves the target"},
      {"a/../../evil.txt", "leaves the target"},
      {"./a/./../../evil", "leaves the target folder", 0},
      {"/tmp/evil.txt", "absolute"},
      {"//server/share/evil.txt", "absolute"},
      {"C:/evil.txt", "colon"},
      {"C:evil.txt", "colon"},
      {"a/C:/evil", "colon", 0},
      {"\\\\?\\C:\\evil.txt", "backslash"},
      {"\\\\.\\PhysicalDrive0", "backslash"},
      {"..\\evil.txt", "backslash"},
      {"sub\\evil.txt", "backslash"},
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
      {"tab\there", "control character", 0},
      {"del\x7F", "control character", 0},
      {"", "empty"},
      {std::string(5000, 'x'), "too long"},
      {LongPath(), "too long"},
      {"d/" + std::string(256, 'n'), "a part of it is too long", 0},
  };
  for (const auto& n : names) {
    RawMember bad = Stored(n.name, "evil");
    bad.madeBy = static_cast<uint16_t>(n.host << 8 | 20);
    cases.push_back({"name \"" + n.name.substr(0, 40) + "\": " + n.why +
                         (n.host == 3 ? "" : ", host " + std::to_string(n.host)),
                     Zip({Stored("ok.txt", "fine"), bad}),
                     UnzipStatus::kMemberError,
                     {n.why},
                     {{"ok.txt", "fine"}}});
  }
}

// A Zip64 end locator moved to `where` (given where it points); the record stays.
std::string Zip64LocatorAt(uint64_t (*where)(uint64_t)) {
  RawArchive zip;
  zip.members = {Stored("a", "a")};
  zip.zip64Count = 1;
  std::string bytes = zip.Build();
  auto* field = reinterpret_cast<unsigned char*>(bytes.data()) + bytes.rfind("PK\x06\x07") + 8;
  archive::Store64(field, where(archive::Load64(field)));
  return bytes;
}

// A locator that leads nowhere, without a Zip64 end record.
std::string LocatorTo(uint64_t target) {
  std::string bytes = Zip({Stored("a", "a")});
  unsigned char locator[20] = {};
  archive::Store32(locator, 0x07064b50);
  archive::Store64(locator + 8, target);
  archive::Store32(locator + 16, 1);
  return bytes.insert(bytes.rfind("PK\x05\x06"), reinterpret_cast<const char*>(locator),
                      sizeof locator);
}

std::vector<Case> MakeCases() {
  using enum archive::UnzipStatus;
  std::vector<Case> cases;
  AddNames(cases);
  auto add = [&cases](std::string what, std::string bytes, UnzipStatus status,
                      std::vector<std::string> says, Files inside, Files before = {}) {
    cases.push_back({std::move(what), std::move(bytes), status, std::move(says), std::move(inside),
                     std::move(before)});
  };
  const Files ok = {{"ok", "ok"}};
  const RawMember okMember = Stored("ok", "ok");
  const uint16_t unix = (3 << 8) | 20, mac = (19 << 8) | 20;

  // ---- names ----
  add("a name flagged UTF-8 that is not",
      Zip({{.name = "caf\xE9.txt", .plain = "x", .flags = 0x0800}}), kMemberError,
      {"not valid UTF-8"}, {});
  add("reserved device names with extensions, in folders, with superscript digits",
      Zip({Stored("aux.tar.gz", "1"),
           Stored("con/x.txt", "2"),
           Stored("LPT9", "3"),
           {.name = "COM\xC2\xB9.txt", .plain = "4", .flags = 0x0800},
           Stored("conin$", "5"),
           okMember}),
      kMemberError, {"it names a device"}, ok);
#ifdef _WIN32
  const Files firstOfSame = {{"same.txt", "first"}};  // one file to Windows, whatever the case
#else
  const Files firstOfSame = {{"same.txt", "first"}, {"SAME.txt", "second"}};
#endif
  add("duplicate names keep the first",
      Zip({Stored("same.txt", "first"), Stored("SAME.txt", "second"), Stored("same.txt", "third")}),
      kMemberError, {"appears twice"}, firstOfSame);
  add("two names for one file once dot parts are dropped",
      Zip({Stored("a.txt", "first"), Stored("./a.txt", "second")}), kMemberError, {"appears twice"},
      {{"a.txt", "first"}});
  add("a file and a folder of one name, and a folder in the target",
      Zip({Stored("taken", "would replace a folder"), Stored("d/", ""), Stored("d", "file"),
           Stored("f", "file"), Stored("f/", "")}),
      kMemberError,
      {"a folder or device is in the way", "a folder of the same name", "a file of the same name"},
      {{"taken/", ""}, {"taken/keep/", ""}, {"d/", ""}, {"f", "file"}}, {{"taken/keep/", ""}});
  add("a file under a file", Zip({Stored("f", "file"), Stored("f/inner.txt", "under a file")}),
      kMemberError, {"a file is in the way"}, {{"f", "file"}});

  // ---- links: never created, so nothing goes through them ----
  const std::string noLinks = "symbolic links are not created";
  add("a link member to outside, then a file through it",
      Zip({{.name = "link",
            .plain = "../../outside.txt",
            .madeBy = unix,
            .external = 0120777u << 16},
           Stored("link/inside.txt", "stays inside")}),
      kWarning, {noLinks}, {{"link/", ""}, {"link/inside.txt", "stays inside"}});
  add("a link member to a folder outside, then files through it",
      Zip({{.name = "up", .plain = "..", .madeBy = unix, .external = 0120755u << 16},
           Stored("up/outside-written.txt", "x")}),
      kWarning, {noLinks}, {{"up/", ""}, {"up/outside-written.txt", "x"}});
  add("a link member from macOS",
      Zip({{.name = "mac-link",
            .plain = "/etc/passwd",
            .madeBy = mac,
            .external = 0120644u << 16}}),
      kWarning, {noLinks}, {});

  // ---- sizes, ratios, overlaps ----
  std::vector<RawMember> bomb;  // many central entries, one compressed stream
  for (int i = 0; i < 5; ++i) {
    bomb.push_back({.name = "bomb" + std::to_string(i),
                    .plain = std::string(1 << 20, 'A'),
                    .method = 8,
                    .offset = 0,
                    .shareLocal = i > 0});
  }
  bomb[0].offset.reset();
  add("members sharing one local header (an overlapping bomb)", Zip(bomb), kMemberError,
      {"overlaps another member"}, {});
  add("a member whose data covers the next (b's local header and data)",
      Zip({{.name = "a.txt", .plain = "aaaa", .compressedSize = 43, .uncompressedSize = 43},
           Stored("b.txt", "bbbb")}),
      kMemberError, {"a.txt: its data overlaps"}, {{"b.txt", "bbbb"}});
  add("a member whose data reaches into the central header after it",
      Zip({Stored("first", "1"),
           {.name = "last", .plain = "0123456789", .compressedSize = 50, .uncompressedSize = 50}}),
      kMemberError, {"last: its data overlaps"}, {{"first", "1"}});
  add("two members starting inside each other (one in the other's local header)",
      Zip({Stored("a", std::string(200, 'a')),
           {.name = "b", .plain = std::string(200, 'a'), .offset = 10, .shareLocal = true}}),
      kMemberError, {"overlaps"}, {});
  add("data longer than the declared size",
      Zip({{.name = "longer.txt",
            .plain = std::string(100000, 'x'),
            .method = 8,
            .crc = Crc(std::string(1000, 'x')),
            .uncompressedSize = 1000}}),
      kMemberError, {"more data than its declared size"}, {});
  add("data shorter than the declared size",
      Zip({{.name = "shorter.txt",
            .plain = std::string(1000, 'y'),
            .method = 8,
            .uncompressedSize = 2000}}),
      kMemberError, {"shorter than its declared size"}, {});
  add("stored sizes that disagree",
      Zip({{.name = "stored.txt", .plain = "0123456789", .uncompressedSize = 5}}), kMemberError,
      {"two sizes differ"}, {});
  add("a ratio beyond deflate's, refused before any work",
      Zip({{.name = "ratio.bin", .plain = "small", .method = 8, .uncompressedSize = 0xFFFFFFF0}}),
      kMemberError, {"times its compressed size"}, {});
  add("a Zip64 uncompressed size of 2^62 from a few bytes",
      Zip({{.name = "bomb",
            .plain = "tiny",
            .method = 8,
            .uncompressedSize = 1ull << 62,
            .zip64 = true}}),
      kMemberError, {"times its compressed size"}, {});
  // 20 MB of zeros deflate to about 20 KB: a ratio deflate reaches, declared 100 times larger.
  const std::string zeros = Deflate(std::string(20 << 20, '\0'), 9);
  add("a ratio just past the limit, for a real stream",
      Zip({{.name = "zeros",
            .plain = std::string(20 << 20, '\0'),
            .data = zeros,
            .method = 8,
            .uncompressedSize = uint64_t{1100} * (zeros.size() + 1) + (64 << 10)}}),
      kMemberError, {"times its compressed size"}, {});
  add("a Zip64 compressed size far past the end of the file",
      Zip({{.name = "big",
            .plain = std::string(1000, 'b'),
            .method = 8,
            .compressedSize = 1ull << 40,
            .uncompressedSize = 1ull << 41,
            .zip64 = true},
           okMember}),
      kMemberError, {"big: its data"}, ok);
  add("a CRC that does not match",
      Zip({{.name = "crc.txt", .plain = std::string(50000, 'c'), .method = 8, .crc = 0x12345678},
           okMember}),
      kMemberError, {"CRC error"}, ok);
  add("a data descriptor member whose central CRC lies",
      Zip({{.name = "described",
            .plain = std::string(5000, 'd'),
            .method = 8,
            .flags = 8,
            .crc = 0xDEADBEEF},
           okMember}),
      kMemberError, {"described: CRC error"}, ok);
  add("a corrupt deflate stream (an invalid block type)",
      Zip({{.name = "corrupt.txt",
            .plain = std::string(50000, 'd'),
            .data = "\xFF" + Deflate(std::string(50000, 'd')).substr(1),
            .method = 8}}),
      kMemberError, {"corrupt"}, {});
  // Stored blocks of length 0, without the final bit: the stream goes on until the compressed
  // bytes run out, producing nothing.
  std::string empty;
  for (int i = 0; i < 20000; ++i) empty += std::string("\x00\x00\x00\xFF\xFF", 5);
  add("a deflate stream of empty blocks that never ends",
      Zip({{.name = "endless", .plain = "x", .data = empty, .method = 8, .uncompressedSize = 1},
           okMember}),
      kMemberError, {"ends before its stream does"}, ok);
  add("a deflated member with no compressed bytes",
      Zip({{.name = "nothing", .plain = "something", .data = "", .method = 8}}), kMemberError,
      {"nothing:"}, {});
  add("member data past the end of the file",
      Zip({{.name = "a.txt", .plain = std::string(1000, 'a'), .offset = 900000}}), kMemberError,
      {"points past the member data"}, {});
  add("offsets that wrap around with a prefix",
      RawArchive{
          .members =
              {{.name = "wrap", .plain = "w", .zip64 = true, .offset = 0xFFFFFFFFFFFFFFF0ull},
               okMember},
          .prefix = std::string(100, 'P'),
          .prefixShiftsOffsets = true}
          .Build(),
      kMemberError, {"wrap:"}, ok);

  // ---- extra fields, local headers and descriptors ----
  add("an extra field that overruns its block (claims 100 bytes, has 4)",
      Zip({{.name = "a.txt",
            .plain = "a",
            .centralExtra = archive::ByteBuilder().U16(0x1234).U16(100).U32(0).str()},
           okMember}),
      kMemberError, {"runs past the end of its block"}, ok);
  // One size where three are needed, all three marked as in the extra field.
  std::string short64 = Zip({{.name = "short64",
                              .plain = "x",
                              .centralExtra = archive::ByteBuilder().U16(1).U16(8).U64(1).str()},
                             okMember});
  for (size_t at : {20, 24, 42}) {
    archive::Store32(
        reinterpret_cast<unsigned char*>(short64.data()) + short64.find("PK\x01\x02") + at,
        0xFFFFFFFF);
  }
  add("a Zip64 extra field too short for the fields it must hold", short64, kMemberError,
      {"short64: the Zip64 extra field lacks a size or offset"}, ok);
  std::string localExtra = Zip({Stored("a", "a")});
  archive::Store16(reinterpret_cast<unsigned char*>(localExtra.data()) + 28, 0xFFFF);
  add("a local extra field that runs past the end of the file", localExtra, kMemberError,
      {"a: its data runs into another member or the central directory"}, {});
  // Headers that store a name differently agree when they mean the same (code page 437 here).
  add("local headers that disagree with the central ones",
      Zip({{.name = "central.txt", .plain = "n", .localName = "other12.txt"},  // same length
           {.name = "method.txt", .plain = "m", .localMethod = 8},
           {.name = "crc.txt", .plain = "c", .localCrc = 1},
           {.name = "sized", .plain = "0123456789", .localCompressedSize = 3},
           Stored("fine.txt", "f"),
           {.name = "\x94.txt",
            .plain = "o",
            .localName = "x.txt",
            .localExtra = UnicodePathField(1, "x.txt", "\xC3\xB6.txt")},  // ö.txt
           {.name = "\x84.txt",
            .plain = "a",
            .localName = "y.txt",
            .localExtra = UnicodePathField(1, "z.txt", "\xC3\xA4.txt")}}),  // ä.txt, stale
      kMemberError,
      {"central.txt: its local header gives a different name",
       "\xC3\xA4.txt: its local header gives a different name",
       "method.txt: its local header gives a different compression method",
       "crc.txt: its local header gives a different CRC or size",
       "sized: its local header gives a different CRC or size"},
      {{"fine.txt", "f"}, {"\xC3\xB6.txt", "o"}});
  std::string localEncrypted = Zip({Stored("secret", "s"), okMember});
  localEncrypted[6] = 1;  // local flags
  add("a local header marked encrypted under a plain central one", localEncrypted, kMemberError,
      {"secret: its local header and its central header differ on whether it is encrypted"}, ok);
  add("strong encryption and unknown methods, beside a plain member",
      Zip({{.name = "secret.txt", .plain = "xxxxxxxxxxxxxxxx", .flags = 0x41},
           {.name = "sound.wv", .plain = "\x07\x00", .method = 97},
           okMember}),
      kUnsupported,
      {"secret.txt: it uses PKWARE's strong encryption, which is not supported",
       "sound.wv: compression method 97 is not supported"},
      ok);

  // ---- end records ----
  const std::vector<RawMember> one = {Stored("a", "a")}, two = {Stored("a", "a"), Stored("b", "b")};
  add("a member count larger than the directory holds",
      RawArchive{.members = one, .count = 60000}.Build(), kDirectoryError,
      {"member count is larger"}, {});
  add("a member count larger than the headers present, before a comment",
      RawArchive{.members = two, .comment = std::string(200, 'c'), .count = 3}.Build(),
      kDirectoryError, {"larger than the central directory can hold"}, {});
  add("a Zip64 member count of 2^40", RawArchive{.members = one, .zip64Count = 1ull << 40}.Build(),
      kDirectoryError, {"member count is larger"}, {});
  add("a central directory offset past the end",
      RawArchive{.members = one, .centralOffset = 0x7FFFFFF0}.Build(), kDirectoryError, {}, {});
  add("a Zip64 central directory offset of 2^50",
      RawArchive{.members = one, .zip64Count = 1, .zip64CentralOffset = 1ull << 50}.Build(),
      kDirectoryError, {}, {});
  add("a Zip64 end record whose central directory lies past the end",
      RawArchive{.members = one, .zip64Count = 1, .zip64CentralOffset = 0x7FFFFFFFFFFFFFF0ull}
          .Build(),
      kDirectoryError, {"not where the end record says"}, {});
  // A locator that leads nowhere: readers that follow it and readers that ignore it would
  // read two different archives.
  add("a Zip64 locator pointing outside the file", LocatorTo(uint64_t{1} << 40), kDirectoryError,
      {"the Zip64 end locator points outside the archive"}, {});
  add("a Zip64 locator pointing at no Zip64 end record", LocatorTo(0), kDirectoryError,
      {"the Zip64 end locator does not point at a Zip64 end record"}, {});
  // A Zip64 end record found right before the locator, away from where the locator points,
  // counts only as a prefix's shift: the stored offset below it, and the same shift placing
  // the central directory. Anything else would be one archive to readers that follow the
  // locator and another to readers that do not.
  add("a Zip64 locator past the end, with a Zip64 end record right before it",
      Zip64LocatorAt([](uint64_t) { return uint64_t{1} << 40; }), kDirectoryError,
      {"the Zip64 end locator points outside the archive"}, {});
  add("a Zip64 locator short of its record by more than any prefix places the directory",
      Zip64LocatorAt([](uint64_t at) { return at - 7; }), kDirectoryError,
      {"not where the end record says"}, {});
  const std::string both = Zip(two);
  add("a truncated central directory",
      both.substr(0, both.rfind("PK\x01\x02") + 20) + both.substr(both.rfind("PK\x05\x06")),
      kDirectoryError, {"larger than the central directory can hold"}, {});
  add("a second end record in the comment: list and extract agree",
      RawArchive{.members = {Stored("real.txt", "real")},
                 .comment = Zip({Stored("fake.txt", "from the comment")})}
          .Build(),
      kOk, {}, {{"real.txt", "real"}});

  // A truncated archive is no archive.
  const std::string whole = Zip({Stored("a.txt", std::string(1000, 'a'))});
  for (size_t keep : {size_t{0}, size_t{10}, whole.size() / 2, whole.size() - 1}) {
    add("cut to " + std::to_string(keep) + " bytes", whole.substr(0, keep), kNotFound, {}, {});
  }

  // Legitimate oddities still extract.
  const std::vector<RawMember> odd = {
      Stored("dir/", ""),
      {.name = "descriptor.txt", .plain = std::string(3000, 'd'), .method = 8, .flags = 8},
      {.name = "zip64.txt", .plain = "small file with Zip64 fields", .method = 8, .zip64 = true},
      Stored("dir/stored.txt", "stored")};
  const Files extracted = {{"dir/", ""},
                           {"dir/stored.txt", "stored"},
                           {"descriptor.txt", std::string(3000, 'd')},
                           {"zip64.txt", "small file with Zip64 fields"}};
  const std::string stub = "#!/bin/sh\necho self-extractor stub\nexit 0\n";
  add("legitimate: plain", Zip(odd), kOk, {}, extracted);
  add("legitimate: a stub before, offsets from the archive",
      RawArchive{.members = odd, .prefix = stub, .prefixShiftsOffsets = true}.Build(), kOk, {},
      extracted);
  add("legitimate: a stub before, offsets from the file",
      RawArchive{.members = odd, .prefix = std::string(5000, 'M')}.Build(), kOk, {}, extracted);
  add("legitimate: junk after the end record",
      RawArchive{.members = odd, .trailing = std::string(300, '\0')}.Build(), kOk, {}, extracted);
  add("legitimate: Zip64 end records for one member",
      RawArchive{.members = odd, .zip64Count = 4}.Build(), kOk, {}, extracted);
  // The Zip64 end record found before the locator by the prefix's shift, which also places
  // the central directory.
  add("legitimate: a stub before a Zip64 archive, offsets from the archive",
      RawArchive{.members = odd, .prefix = stub, .prefixShiftsOffsets = true, .zip64Count = 4}
          .Build(),
      kOk, {}, extracted);
  return cases;
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = MakeCases();
  return cases;
}

class HostileTest : public ::testing::TestWithParam<size_t> {};

TEST_P(HostileTest, StatusMessageAndFilesAndNothingOutside) {
  const Case& c = Cases()[GetParam()];
  SCOPED_TRACE(c.what);
  TempDir dir;
  WriteFile(dir / "outside.txt", "untouched");
  WriteFile(dir / "sibling/keep.txt", "kept");
  for (const auto& [name, content] : c.before) {
    if (name.back() == '/') {
      fs::create_directories(dir / ("out/" + name));
    } else {
      WriteFile(dir / ("out/" + name), content);
    }
  }
  Recorder recorder;
  EXPECT_EQ(ExtractBytes(dir, c.bytes, recorder), c.status) << recorder.messages;
  for (const auto& part : c.says) {
    EXPECT_NE(recorder.messages.find(part), std::string::npos) << recorder.messages;
  }
  if (c.status != UnzipStatus::kOk) {
    EXPECT_FALSE(recorder.messages.empty()) << "a failure without a word";
  }
  // Exactly the expected files: no partial file, no temporary file, nothing else.
  EXPECT_EQ(Tree(dir / "out"), c.inside);
  Files around = Tree(dir.path());
  for (auto it = around.begin(); it != around.end();) {
    it = it->first.rfind("out/", 0) == 0 ? around.erase(it) : std::next(it);
  }
  EXPECT_EQ(around, (Files{{"a.zip", c.bytes},
                           {"outside.txt", "untouched"},
                           {"sibling/", ""},
                           {"sibling/keep.txt", "kept"}}));

  // Listing reads the same members, whatever extraction made of them.
  Recorder listed;
  UnzipStatus listStatus = ExtractBytes(dir, c.bytes, listed, archive::UnzipRequest::Mode::kList);
  if (c.status == UnzipStatus::kDirectoryError || c.status == UnzipStatus::kNotFound) {
    EXPECT_EQ(listStatus, c.status);
  } else {
    EXPECT_EQ(listStatus, UnzipStatus::kOk);
    EXPECT_EQ(listed.listed, recorder.done);
  }
}

// The row's number and its words, as a test name.
std::string RowName(const ::testing::TestParamInfo<size_t>& row) {
  std::string name = std::to_string(row.param) + "_";
  bool upper = true;
  for (char c : Cases()[row.param].what) {
    if (!std::isalnum(static_cast<unsigned char>(c))) {
      upper = true;
    } else if (name.size() < 60) {
      name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
      upper = false;
    }
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileTest, ::testing::Range<size_t>(0, Cases().size()), RowName);

// A link already in the target is never followed, whatever the archive says.
TEST(HostileTarget, NeverWritesThroughALinkInTheTarget) {
  TempDir dir;
  fs::create_directories(dir / "out");
  fs::create_directories(dir / "elsewhere");
  std::error_code ec;
  fs::create_directory_symlink(dir / "elsewhere", dir / "out/link", ec);
  if (ec) GTEST_SKIP() << "this system cannot make links: " << ec.message();
  Recorder recorder;
  EXPECT_EQ(
      ExtractBytes(dir, Zip({Stored("link/x.txt", "through"), Stored("link", "over")}), recorder),
      UnzipStatus::kMemberError);
  EXPECT_NE(recorder.messages.find("a link is in the way"), std::string::npos) << recorder.messages;
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
  EXPECT_TRUE(fs::is_symlink(dir / "out/link"));
}

}  // namespace
