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
  const Files ok = {{"ok", "ok"}};
  RawMember nonUtf8 = Stored("caf\xE9.txt", "x");
  nonUtf8.flags = 0x0800;
  RawMember superscript = Stored("COM\xC2\xB9.txt", "4");
  superscript.flags = 0x0800;
  RawMember unixLink = Stored("link", "../../outside.txt");
  unixLink.madeBy = (3 << 8) | 20;
  unixLink.external = 0120777u << 16;
  RawMember upLink = Stored("up", "..");
  upLink.madeBy = (3 << 8) | 20;
  upLink.external = 0120755u << 16;
  RawMember macLink = Stored("mac-link", "/etc/passwd");
  macLink.madeBy = (19 << 8) | 20;
  macLink.external = 0120644u << 16;
#ifdef _WIN32
  const Files firstOfSame = {{"same.txt", "first"}};  // one file to Windows, whatever the case
#else
  const Files firstOfSame = {{"same.txt", "first"}, {"SAME.txt", "second"}};
#endif
  cases.insert(
      cases.end(),
      {
          // ---- names ----
          {"a name flagged UTF-8 that is not",
           Zip({nonUtf8}),
           kMemberError,
           {"not valid UTF-8"},
           {}},
          {"reserved device names with extensions, in folders, with superscript digits",
           Zip({Stored("aux.tar.gz", "1"), Stored("con/x.txt", "2"), Stored("LPT9", "3"),
                superscript, Stored("conin$", "5"), Stored("ok", "ok")}),
           kMemberError,
           {"it names a device"},
           ok},
          {"duplicate names keep the first",
           Zip({Stored("same.txt", "first"), Stored("SAME.txt", "second"),
                Stored("same.txt", "third")}),
           kMemberError,
           {"appears twice"},
           firstOfSame},
          {"two names for one file once dot parts are dropped",
           Zip({Stored("a.txt", "first"), Stored("./a.txt", "second")}),
           kMemberError,
           {"appears twice"},
           {{"a.txt", "first"}}},
          {"a file and a folder of one name, and a folder in the target",
           Zip({Stored("taken", "would replace a folder"), Stored("d/", ""), Stored("d", "file"),
                Stored("f", "file"), Stored("f/", "")}),
           kMemberError,
           {"a folder or device is in the way", "a folder of the same name",
            "a file of the same name"},
           {{"taken/", ""}, {"taken/keep/", ""}, {"d/", ""}, {"f", "file"}},
           {{"taken/keep/", ""}}},
          {"a file under a file",
           Zip({Stored("f", "file"), Stored("f/inner.txt", "under a file")}),
           kMemberError,
           {"a file is in the way"},
           {{"f", "file"}}},

          // ---- links: never created, so nothing goes through them ----
          {"a link member to outside, then a file through it",
           Zip({unixLink, Stored("link/inside.txt", "stays inside")}),
           kWarning,
           {"symbolic links are not created"},
           {{"link/", ""}, {"link/inside.txt", "stays inside"}}},
          {"a link member to a folder outside, then files through it",
           Zip({upLink, Stored("up/outside-written.txt", "x")}),
           kWarning,
           {"symbolic links are not created"},
           {{"up/", ""}, {"up/outside-written.txt", "x"}}},
          {"a link member from macOS",
           Zip({macLink}),
           kWarning,
           {"symbolic links are not created"},
           {}},

          // ---- sizes, ratios, overlaps ----
          {"members sharing one local header (an overlapping bomb)",
           [] {
             RawMember first = Deflated("bomb0", std::string(1 << 20, 'A'));
             std::vector<RawMember> members = {first};
             for (int i = 1; i < 5; ++i) {
               RawMember again = first;
               again.name = "bomb" + std::to_string(i);
               again.shareLocal = true;
               again.offset = 0;
               members.push_back(again);
             }
             return Zip(members);
           }(),
           kMemberError,
           {"overlaps another member"},
           {}},
          {"a member whose data covers the next",
           [] {
             RawMember a = Stored("a.txt", "aaaa");
             a.compressedSize = 4 + 30 + 5 + 4;  // b's local header and data
             a.uncompressedSize = a.compressedSize;
             return Zip({a, Stored("b.txt", "bbbb")});
           }(),
           kMemberError,
           {"a.txt: its data overlaps"},
           {{"b.txt", "bbbb"}}},
          {"a member whose data overlaps the central directory",
           [] {
             RawMember m = Stored("last", "0123456789");
             m.compressedSize = 10 + 40;  // reaches into the central header after it
             m.uncompressedSize = 50;
             return Zip({Stored("first", "1"), m});
           }(),
           kMemberError,
           {"last: its data overlaps"},
           {{"first", "1"}}},
          {"two members starting inside each other (one shifted local header)",
           [] {
             RawMember a = Stored("a", std::string(200, 'a'));
             RawMember b = a;
             b.name = "b";
             b.shareLocal = true;
             b.offset = 10;  // in the middle of a's local header
             return Zip({a, b});
           }(),
           kMemberError,
           {"overlaps"},
           {}},
          {"data longer than the declared size",
           [] {
             RawMember m = Deflated("longer.txt", std::string(100000, 'x'));
             m.uncompressedSize = 1000;
             m.crc = Crc(std::string(1000, 'x'));
             return Zip({m});
           }(),
           kMemberError,
           {"more data than its declared size"},
           {}},
          {"data shorter than the declared size",
           [] {
             RawMember m = Deflated("shorter.txt", std::string(1000, 'y'));
             m.uncompressedSize = 2000;
             return Zip({m});
           }(),
           kMemberError,
           {"shorter than its declared size"},
           {}},
          {"stored sizes that disagree",
           [] {
             RawMember m = Stored("stored.txt", "0123456789");
             m.uncompressedSize = 5;
             return Zip({m});
           }(),
           kMemberError,
           {"two sizes differ"},
           {}},
          {"a ratio beyond deflate's, refused before any work",
           [] {
             RawMember m = Deflated("ratio.bin", "small");
             m.uncompressedSize = 0xFFFFFFF0;
             return Zip({m});
           }(),
           kMemberError,
           {"times its compressed size"},
           {}},
          {"a Zip64 uncompressed size of 2^62 from a few bytes",
           [] {
             RawMember m = Deflated("bomb", "tiny");
             m.zip64 = true;
             m.uncompressedSize = 1ull << 62;
             return Zip({m});
           }(),
           kMemberError,
           {"times its compressed size"},
           {}},
          {"a ratio just past the limit, for a real stream",
           [] {
             // 20 MB of zeros deflate to about 20 KB: a ratio deflate reaches, declared 100
             // times larger than it is.
             std::string zeros(20 << 20, '\0');
             RawMember m = Deflated("zeros", zeros);
             m.data = Deflate(zeros, 9);
             m.uncompressedSize = uint64_t{1100} * (m.data->size() + 1) + (64 << 10);
             return Zip({m});
           }(),
           kMemberError,
           {"times its compressed size"},
           {}},
          {"a Zip64 compressed size far past the end of the file",
           [] {
             RawMember m = Deflated("big", std::string(1000, 'b'));
             m.zip64 = true;
             m.compressedSize = 1ull << 40;
             m.uncompressedSize = 1ull << 41;
             return Zip({m, Stored("ok", "ok")});
           }(),
           kMemberError,
           {"big: its data"},
           ok},
          {"a CRC that does not match",
           [] {
             RawMember m = Deflated("crc.txt", std::string(50000, 'c'));
             m.crc = 0x12345678;
             return Zip({m, Stored("ok", "ok")});
           }(),
           kMemberError,
           {"CRC error"},
           ok},
          {"a data descriptor member whose central CRC lies",
           [] {
             RawMember m = Deflated("described", std::string(5000, 'd'));
             m.flags = 8;
             m.crc = 0xDEADBEEF;
             return Zip({m, Stored("ok", "ok")});
           }(),
           kMemberError,
           {"described: CRC error"},
           ok},
          {"a corrupt deflate stream",
           [] {
             RawMember m = Deflated("corrupt.txt", std::string(50000, 'd'));
             m.data = Deflate(m.plain);
             (*m.data)[0] = static_cast<char>(0xFF);  // an invalid block type
             return Zip({m});
           }(),
           kMemberError,
           {"corrupt"},
           {}},
          {"a deflate stream of empty blocks that never ends",
           [] {
             // Stored blocks of length 0, without the final bit: the stream goes on until
             // the compressed bytes run out, producing nothing.
             std::string empty;
             for (int i = 0; i < 20000; ++i) empty += std::string("\x00\x00\x00\xFF\xFF", 5);
             RawMember m = Deflated("endless", "x");
             m.data = empty;
             m.uncompressedSize = 1;
             return Zip({m, Stored("ok", "ok")});
           }(),
           kMemberError,
           {"ends before its stream does"},
           ok},
          {"a deflated member with no compressed bytes",
           [] {
             RawMember m = Deflated("nothing", "something");
             m.data = std::string();
             return Zip({m});
           }(),
           kMemberError,
           {"nothing:"},
           {}},
          {"member data past the end of the file",
           [] {
             RawMember m = Stored("a.txt", std::string(1000, 'a'));
             m.offset = 900000;
             return Zip({m});
           }(),
           kMemberError,
           {"points past the member data"},
           {}},
          {"offsets that wrap around with a prefix",
           [] {
             RawMember m = Stored("wrap", "w");
             m.zip64 = true;
             m.offset = 0xFFFFFFFFFFFFFFF0ull;
             RawArchive zip;
             zip.prefix = std::string(100, 'P');
             zip.prefixShiftsOffsets = true;
             zip.members = {m, Stored("ok", "ok")};
             return zip.Build();
           }(),
           kMemberError,
           {"wrap:"},
           ok},

          // ---- extra fields, local headers and descriptors ----
          {"an extra field that overruns its block",
           [] {
             RawMember m = Stored("a.txt", "a");
             m.centralExtra = archive::ByteBuilder().U16(0x1234).U16(100).U32(0).str();
             return Zip({m, Stored("ok", "ok")});
           }(),
           kMemberError,
           {"runs past the end of its block"},
           ok},
          {"a Zip64 extra field too short for the fields it must hold",
           [] {
             RawMember m = Stored("short64", "x");
             m.centralExtra = archive::ByteBuilder().U16(1).U16(8).U64(1).str();  // one of three
             std::string bytes = Zip({m, Stored("ok", "ok")});
             // All three marked as in the extra field.
             size_t central = bytes.find("PK\x01\x02", 0);
             for (size_t at : {central + 20, central + 24, central + 42}) {
               archive::Store32(reinterpret_cast<unsigned char*>(bytes.data()) + at, 0xFFFFFFFF);
             }
             return bytes;
           }(),
           kMemberError,
           {"short64: the Zip64 extra field lacks a size or offset"},
           ok},
          {"a local extra field that runs past the end of the file",
           [] {
             std::string bytes = Zip({Stored("a", "a")});
             archive::Store16(reinterpret_cast<unsigned char*>(bytes.data()) + 28, 0xFFFF);
             return bytes;
           }(),
           kMemberError,
           {"a: its data runs into another member or the central directory"},
           {}},
          {"local headers that disagree with the central ones",
           [] {
             RawMember name = Stored("central.txt", "n");
             name.localName = "other12.txt";  // same length, so only the name differs
             RawMember method = Stored("method.txt", "m");
             method.localMethod = 8;
             RawMember crc = Stored("crc.txt", "c");
             crc.localCrc = 1;
             RawMember size = Stored("sized", "0123456789");
             size.localCompressedSize = 3;
             // Headers that store a name differently agree when they mean the same (code
             // page 437 here).
             RawMember meant = Stored("\x94.txt", "o");
             meant.localName = "x.txt";
             meant.localExtra = UnicodePathField(1, "x.txt", "\xC3\xB6.txt");  // ö.txt
             RawMember stale = Stored("\x84.txt", "a");
             stale.localName = "y.txt";
             stale.localExtra = UnicodePathField(1, "z.txt", "\xC3\xA4.txt");  // for another
             return Zip({name, method, crc, size, Stored("fine.txt", "f"), meant, stale});
           }(),
           kMemberError,
           {"central.txt: its local header gives a different name",
            "\xC3\xA4.txt: its local header gives a different name",
            "method.txt: its local header gives a different compression method",
            "crc.txt: its local header gives a different CRC or size",
            "sized: its local header gives a different CRC or size"},
           {{"fine.txt", "f"}, {"\xC3\xB6.txt", "o"}}},
          {"a local header marked encrypted under a plain central one",
           [] {
             std::string bytes = Zip({Stored("secret", "s"), Stored("ok", "ok")});
             bytes[6] = 1;  // local flags
             return bytes;
           }(),
           kMemberError,
           {"secret: its local header and its central header differ on whether it is "
            "encrypted"},
           ok},
          {"strong encryption and unknown methods, beside a plain member",
           [] {
             RawMember strong = Stored("secret.txt", "xxxxxxxxxxxxxxxx");
             strong.flags = 0x41;
             RawMember wavpack = Stored("sound.wv", "\x07\x00");
             wavpack.method = 97;
             return Zip({strong, wavpack, Stored("ok", "ok")});
           }(),
           kUnsupported,
           {"secret.txt: it uses PKWARE's strong encryption, which is not supported",
            "sound.wv: compression method 97 is not supported"},
           ok},

          // ---- end records ----
          {"a member count larger than the directory holds",
           [] {
             RawArchive zip;
             zip.members = {Stored("a.txt", "a")};
             zip.count = 60000;
             return zip.Build();
           }(),
           kDirectoryError,
           {"member count is larger"},
           {}},
          {"a member count larger than the headers present, before a comment",
           [] {
             RawArchive zip;
             zip.members = {Stored("a", "a"), Stored("b", "b")};
             zip.count = 3;
             zip.comment = std::string(200, 'c');
             return zip.Build();
           }(),
           kDirectoryError,
           {"larger than the central directory can hold"},
           {}},
          {"a Zip64 member count of 2^40",
           [] {
             RawArchive zip;
             zip.members = {Stored("a.txt", "a")};
             zip.zip64Count = 1ull << 40;
             return zip.Build();
           }(),
           kDirectoryError,
           {"member count is larger"},
           {}},
          {"a central directory offset past the end",
           [] {
             RawArchive zip;
             zip.members = {Stored("a.txt", "a")};
             zip.centralOffset = 0x7FFFFFF0;
             return zip.Build();
           }(),
           kDirectoryError,
           {},
           {}},
          {"a Zip64 central directory offset of 2^50",
           [] {
             RawArchive zip;
             zip.members = {Stored("a.txt", "a")};
             zip.zip64Count = 1;
             zip.zip64CentralOffset = 1ull << 50;
             return zip.Build();
           }(),
           kDirectoryError,
           {},
           {}},
          {"a Zip64 end record whose central directory lies past the end",
           [] {
             RawArchive zip;
             zip.members = {Stored("a", "a")};
             zip.zip64Count = 1;
             zip.zip64CentralOffset = 0x7FFFFFFFFFFFFFF0ull;
             return zip.Build();
           }(),
           kDirectoryError,
           {"not where the end record says"},
           {}},
          // A locator that leads nowhere: readers that follow it and readers that ignore it
          // would read two different archives.
          {"a Zip64 locator pointing outside the file",
           LocatorTo(uint64_t{1} << 40),
           kDirectoryError,
           {"the Zip64 end locator points outside the archive"},
           {}},
          {"a Zip64 locator pointing at no Zip64 end record",
           LocatorTo(0),
           kDirectoryError,
           {"the Zip64 end locator does not point at a Zip64 end record"},
           {}},
          // A Zip64 end record found right before the locator, away from where the locator
          // points, counts only as a prefix's shift: the stored offset below it, and the
          // same shift placing the central directory. Anything else would be one archive to
          // readers that follow the locator and another to readers that do not.
          {"a Zip64 locator past the end, with a Zip64 end record right before it",
           Zip64LocatorAt([](uint64_t) { return uint64_t{1} << 40; }),
           kDirectoryError,
           {"the Zip64 end locator points outside the archive"},
           {}},
          {"a Zip64 locator short of its record by more than any prefix places the directory",
           Zip64LocatorAt([](uint64_t at) { return at - 7; }),
           kDirectoryError,
           {"not where the end record says"},
           {}},
          {"a truncated central directory",
           [] {
             std::string bytes = Zip({Stored("a", "a"), Stored("b", "b")});
             size_t second = bytes.rfind("PK\x01\x02");
             return bytes.substr(0, second + 20) + bytes.substr(bytes.rfind("PK\x05\x06"));
           }(),
           kDirectoryError,
           {"larger than the central directory can hold"},
           {}},
          {"a second end record in the comment: list and extract agree",
           [] {
             RawArchive outer;
             outer.members = {Stored("real.txt", "real")};
             outer.comment = Zip({Stored("fake.txt", "from the comment")});
             return outer.Build();
           }(),
           kOk,
           {},
           {{"real.txt", "real"}}},
      });

  // A truncated archive is no archive.
  const std::string whole = Zip({Stored("a.txt", std::string(1000, 'a'))});
  for (size_t keep : {size_t{0}, size_t{10}, whole.size() / 2, whole.size() - 1}) {
    cases.push_back(
        {"cut to " + std::to_string(keep) + " bytes", whole.substr(0, keep), kNotFound, {}, {}});
  }

  // Legitimate oddities still extract.
  RawMember descriptor = Deflated("descriptor.txt", std::string(3000, 'd'));
  descriptor.flags = 8;
  RawMember zip64 = Deflated("zip64.txt", "small file with Zip64 fields");
  zip64.zip64 = true;
  const Files extracted = {{"dir/", ""},
                           {"dir/stored.txt", "stored"},
                           {"descriptor.txt", std::string(3000, 'd')},
                           {"zip64.txt", "small file with Zip64 fields"}};
  const struct {
    const char* what;
    std::string prefix;
    bool shifts;
    std::string trailing;
    std::optional<uint64_t> zip64Count;
  } oddities[] = {
      {"plain", "", false, "", {}},
      {"a stub before, offsets from the archive",
       "#!/bin/sh\necho self-extractor stub\nexit 0\n",
       true,
       "",
       {}},
      {"a stub before, offsets from the file", std::string(5000, 'M'), false, "", {}},
      {"junk after the end record", "", false, std::string(300, '\0'), {}},
      {"Zip64 end records for one member", "", false, "", 4},
      // The Zip64 end record found before the locator by the prefix's shift, which also
      // places the central directory.
      {"a stub before a Zip64 archive, offsets from the archive", "#!/bin/sh\nexit 0\n", true, "",
       4},
  };
  for (const auto& o : oddities) {
    RawArchive zip;
    zip.members = {Stored("dir/", ""), descriptor, zip64, Stored("dir/stored.txt", "stored")};
    zip.prefix = o.prefix;
    zip.prefixShiftsOffsets = o.shifts;
    zip.trailing = o.trailing;
    zip.zip64Count = o.zip64Count;
    cases.push_back({std::string("legitimate: ") + o.what, zip.Build(), kOk, {}, extracted});
  }
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
