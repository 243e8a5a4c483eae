// More hostile archives, one case per way of lying, each built here byte by byte: the
// status, the message, exactly what lands in the target folder, and that the folder around
// the target is unchanged. The cases HostileTest covers are not repeated; these are the
// variants it leaves out (Zip64 fields, local headers and descriptors, names that become
// one another, streams that would run forever).
#include <gtest/gtest.h>

#include <functional>

#include "archive/format/Bytes.h"
#include "archive/format/Format.h"
#include "archive/read/Unzip.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::UnzipStatus;
using namespace testing_support;

struct Case {
  const char* what;
  std::function<std::string()> build;  // the archive's bytes
  UnzipStatus status;
  const char* message;  // a part of what is printed
  Files inside;         // what the target folder holds afterwards
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  auto add = [&](const char* what, std::function<std::string()> build, UnzipStatus status,
                 const char* message, Files inside) {
    cases.push_back({what, std::move(build), status, message, std::move(inside)});
  };

  // ---- names ----
  add("a component longer than 255 UTF-16 units",
      [] {
        RawArchive zip;
        zip.members = {Stored("d/" + std::string(256, 'n'), "x"), Stored("ok", "ok")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "a part of it is too long", {{"ok", "ok"}});
  add("reserved device names with extensions, in folders, with superscript digits",
      [] {
        RawArchive zip;
        zip.members = {Stored("aux.tar.gz", "1"), Stored("con/x.txt", "2"),
                       Stored("LPT9", "3"),       Stored("COM\xC2\xB9.txt", "4"),
                       Stored("conin$", "5"),     Stored("ok", "ok")};
        zip.members[3].flags = 0x0800;
        return zip.Build();
      },
      UnzipStatus::kMemberError, "it names a device", {{"ok", "ok"}});
  add("tab and DEL in a name",
      [] {
        RawArchive zip;
        zip.members = {Stored("tab\there", "1"), Stored("del\x7F", "2"), Stored("ok", "ok")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "control character", {{"ok", "ok"}});
  add("a dot-dot hidden behind dot components",
      [] {
        RawArchive zip;
        zip.members = {Stored("./a/./../../evil", "x"), Stored("ok", "ok")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "leaves the target folder", {{"ok", "ok"}});
  add("a colon in a folder part (drive letter further in)",
      [] {
        RawArchive zip;
        zip.members = {Stored("a/C:/evil", "x"), Stored("ok", "ok")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "colon", {{"ok", "ok"}});
  add("two names for one file once dot parts are dropped",
      [] {
        RawArchive zip;
        zip.members = {Stored("a.txt", "first"), Stored("./a.txt", "second")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "appears twice", {{"a.txt", "first"}});
  add("a folder entry and a file under one name the other way round",
      [] {
        RawArchive zip;
        zip.members = {Stored("f", "file"), Stored("f/inner.txt", "under a file")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "a file is in the way", {{"f", "file"}});

  // ---- links ----
  add("a link member whose target is a folder outside, then files through it",
      [] {
        RawMember link = Stored("up", "..");
        link.madeBy = (3 << 8) | 20;
        link.external = 0120755u << 16;
        RawArchive zip;
        zip.members = {link, Stored("up/outside-written.txt", "x")};
        return zip.Build();
      },
      UnzipStatus::kWarning, "symbolic links are not created",
      {{"up/", ""}, {"up/outside-written.txt", "x"}});
  add("a link member from macOS",
      [] {
        RawMember link = Stored("mac-link", "/etc/passwd");
        link.madeBy = (19 << 8) | 20;
        link.external = 0120644u << 16;
        RawArchive zip;
        zip.members = {link};
        return zip.Build();
      },
      UnzipStatus::kWarning, "symbolic links are not created", {});

  // ---- sizes, ratios, overlaps ----
  add("a Zip64 compressed size far past the end of the file",
      [] {
        RawMember m = Deflated("big", std::string(1000, 'b'));
        m.zip64 = true;
        m.compressedSize = 1ull << 40;
        m.uncompressedSize = 1ull << 41;
        RawArchive zip;
        zip.members = {m, Stored("ok", "ok")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "big: its data", {{"ok", "ok"}});
  add("a Zip64 uncompressed size of 2^62 from a few bytes",
      [] {
        RawMember m = Deflated("bomb", "tiny");
        m.zip64 = true;
        m.uncompressedSize = 1ull << 62;
        RawArchive zip;
        zip.members = {m};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "times its compressed size", {});
  add("a ratio just past the limit, for a real stream",
      [] {
        // 20 MB of zeros deflate to about 20 KB: a ratio deflate reaches, declared 100 times
        // larger than it is.
        std::string zeros(20 << 20, '\0');
        RawMember m = Deflated("zeros", zeros);
        m.data = Deflate(zeros, 9);
        m.uncompressedSize = uint64_t{1100} * (m.data->size() + 1) + (64 << 10);
        RawArchive zip;
        zip.members = {m};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "times its compressed size", {});
  add("a deflate stream of empty blocks that never ends",
      [] {
        // Stored blocks of length 0, without the final bit: the stream goes on until the
        // compressed bytes run out, producing nothing.
        std::string empty;
        for (int i = 0; i < 20000; ++i) empty += std::string("\x00\x00\x00\xFF\xFF", 5);
        RawMember m = Deflated("endless", "x");
        m.data = empty;
        m.uncompressedSize = 1;
        RawArchive zip;
        zip.members = {m, Stored("ok", "ok")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "ends before its stream does", {{"ok", "ok"}});
  add("a deflated member with no compressed bytes",
      [] {
        RawMember m = Deflated("nothing", "something");
        m.data = std::string();
        RawArchive zip;
        zip.members = {m};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "nothing:", {});
  add("a member whose data overlaps the central directory",
      [] {
        RawMember m = Stored("last", "0123456789");
        m.compressedSize = 10 + 40;  // reaches into the central header after it
        m.uncompressedSize = 50;
        RawArchive zip;
        zip.members = {Stored("first", "1"), m};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "last: its data overlaps", {{"first", "1"}});
  add("two members starting inside each other (one shifted local header)",
      [] {
        RawMember a = Stored("a", std::string(200, 'a'));
        RawMember b = a;
        b.name = "b";
        b.shareLocal = true;
        b.offset = 10;  // in the middle of a's local header
        RawArchive zip;
        zip.members = {a, b};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "overlaps", {});

  // ---- local headers and descriptors ----
  add("a local extra field that runs past the end of the file",
      [] {
        RawArchive zip;
        zip.members = {Stored("a", "a")};
        std::string bytes = zip.Build();
        archive::Store16(reinterpret_cast<unsigned char*>(bytes.data()) + 28, 0xFFFF);
        return bytes;
      },
      UnzipStatus::kMemberError, "a: its data runs into another member or the central directory",
      {});
  add("a local header marked encrypted under a plain central one",
      [] {
        RawArchive zip;
        zip.members = {Stored("secret", "s"), Stored("ok", "ok")};
        std::string bytes = zip.Build();
        bytes[6] = 1;  // local flags
        return bytes;
      },
      UnzipStatus::kMemberError,
      "secret: its local header and its central header differ on whether it is encrypted",
      {{"ok", "ok"}});
  add("a local size that disagrees without a descriptor",
      [] {
        RawMember m = Stored("sized", "0123456789");
        m.localCompressedSize = 3;
        RawArchive zip;
        zip.members = {m, Stored("ok", "ok")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "different CRC or size", {{"ok", "ok"}});
  add("a data descriptor member whose central CRC lies",
      [] {
        RawMember m = Deflated("described", std::string(5000, 'd'));
        m.flags = 8;
        m.crc = 0xDEADBEEF;
        RawArchive zip;
        zip.members = {m, Stored("ok", "ok")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "described: CRC error", {{"ok", "ok"}});
  add("a Zip64 extra field too short for the fields it must hold",
      [] {
        RawMember m = Stored("short64", "x");
        archive::ByteBuilder b;
        b.U16(1).U16(8).U64(1);  // one size where three are needed
        m.centralExtra = b.str();
        RawArchive zip;
        zip.members = {m, Stored("ok", "ok")};
        std::string bytes = zip.Build();
        // Mark all three as in the extra field.
        size_t central = bytes.find("PK\x01\x02", 0);
        for (size_t at : {central + 20, central + 24, central + 42}) {
          archive::Store32(reinterpret_cast<unsigned char*>(bytes.data()) + at, 0xFFFFFFFF);
        }
        return bytes;
      },
      UnzipStatus::kMemberError, "short64: the Zip64 extra field lacks a size or offset",
      {{"ok", "ok"}});

  // ---- structure ----
  add("an end record whose count is larger than the headers present",
      [] {
        RawArchive zip;
        zip.members = {Stored("a", "a"), Stored("b", "b")};
        zip.count = 3;
        zip.comment = std::string(200, 'c');
        return zip.Build();
      },
      UnzipStatus::kDirectoryError, "larger than the central directory can hold", {});
  add("a Zip64 end record whose central directory lies past the end",
      [] {
        RawArchive zip;
        zip.members = {Stored("a", "a")};
        zip.zip64Count = 1;
        zip.zip64CentralOffset = 0x7FFFFFFFFFFFFFF0ull;
        return zip.Build();
      },
      UnzipStatus::kDirectoryError, "not where the end record says", {});
  // A locator that leads nowhere: readers that follow it and readers that ignore it would
  // read two different archives.
  for (uint64_t target : {uint64_t{1} << 40, uint64_t{0}}) {
    add(target ? "a Zip64 locator pointing outside the file"
               : "a Zip64 locator pointing at no Zip64 end record",
        [target] {
          RawArchive zip;
          zip.members = {Stored("a", "a")};
          std::string bytes = zip.Build();
          unsigned char locator[20] = {};
          archive::Store32(locator, 0x07064b50);
          archive::Store64(locator + 8, target);
          archive::Store32(locator + 16, 1);
          size_t end = bytes.rfind("PK\x05\x06");
          return bytes.insert(end, reinterpret_cast<const char*>(locator), sizeof locator);
        },
        UnzipStatus::kDirectoryError,
        target ? "the Zip64 end locator points outside the archive"
               : "the Zip64 end locator does not point at a Zip64 end record",
        {});
  }
  // A Zip64 end record found right before the locator, away from where the locator points,
  // counts only as a prefix's shift: the stored offset below it, and the same shift placing
  // the central directory. Anything else would be one archive to readers that follow the
  // locator and another to readers that do not.
  const auto zip64WithLocatorAt = [](std::function<uint64_t(uint64_t)> where,
                                     const std::string& prefix, bool shifted) {
    return [=] {
      RawArchive zip;
      zip.members = {Stored("a", "a")};
      zip.zip64Count = 1;
      zip.prefix = prefix;
      zip.prefixShiftsOffsets = shifted;
      std::string bytes = zip.Build();
      size_t locator = bytes.rfind("PK\x06\x07");
      auto* field = reinterpret_cast<unsigned char*>(bytes.data()) + locator + 8;
      archive::Store64(field, where(archive::Load64(field)));
      return bytes;
    };
  };
  add("a Zip64 locator past the end, with a Zip64 end record right before it",
      zip64WithLocatorAt([](uint64_t) { return uint64_t{1} << 40; }, "", false),
      UnzipStatus::kDirectoryError, "the Zip64 end locator points outside the archive", {});
  add("a Zip64 locator short of its record by more than any prefix places the directory",
      zip64WithLocatorAt([](uint64_t at) { return at - 7; }, "", false),
      UnzipStatus::kDirectoryError, "not where the end record says", {});
  add("a truncated central directory",
      [] {
        RawArchive zip;
        zip.members = {Stored("a", "a"), Stored("b", "b")};
        std::string bytes = zip.Build();
        size_t second = bytes.rfind("PK\x01\x02");
        return bytes.substr(0, second + 20) + bytes.substr(bytes.rfind("PK\x05\x06"));
      },
      UnzipStatus::kDirectoryError, "larger than the central directory can hold", {});
  add("offsets that wrap around with a prefix",
      [] {
        RawMember m = Stored("wrap", "w");
        m.zip64 = true;
        m.offset = 0xFFFFFFFFFFFFFFF0ull;
        RawArchive zip;
        zip.prefix = std::string(100, 'P');
        zip.prefixShiftsOffsets = true;
        zip.members = {m, Stored("ok", "ok")};
        return zip.Build();
      },
      UnzipStatus::kMemberError, "wrap:", {{"ok", "ok"}});
  return cases;
}

class HostileMoreTest : public ::testing::TestWithParam<size_t> {
 protected:
  TempDir dir;
};

TEST_P(HostileMoreTest, RefusedWithAMessageAndNothingOutside) {
  const Case c = Cases()[GetParam()];
  SCOPED_TRACE(c.what);
  WriteFile(dir / "outside.txt", "untouched");
  fs::create_directories(dir / "sibling");
  WriteFile(dir / "sibling/keep.txt", "kept");
  const std::string bytes = c.build();
  Recorder recorder;
  EXPECT_EQ(ExtractBytes(dir, bytes, recorder), c.status) << recorder.messages;
  EXPECT_NE(recorder.messages.find(c.message), std::string::npos) << recorder.messages;
  EXPECT_FALSE(recorder.messages.empty()) << "a failure without a word";
  // Exactly the expected files: no partial file, no temporary file, nothing else.
  Files inside = fs::exists(dir / "out") ? Tree(dir / "out") : Files{};
  EXPECT_EQ(inside, c.inside);
  Files around = Tree(dir.path());
  for (auto it = around.begin(); it != around.end();) {
    it = it->first.rfind("out/", 0) == 0 ? around.erase(it) : std::next(it);
  }
  EXPECT_EQ(around, (Files{{"a.zip", bytes},
                           {"outside.txt", "untouched"},
                           {"sibling/", ""},
                           {"sibling/keep.txt", "kept"}}));

  // Listing reads the same members, whatever extraction made of them.
  archive::UnzipRequest list;
  list.archive = dir / "a.zip";
  list.mode = archive::UnzipRequest::Mode::kList;
  Recorder listed;
  UnzipStatus listStatus = archive::RunUnzip(list, listed);
  if (c.status == UnzipStatus::kDirectoryError) {
    EXPECT_EQ(listStatus, UnzipStatus::kDirectoryError);
  } else {
    EXPECT_EQ(listStatus, UnzipStatus::kOk);
    EXPECT_EQ(listed.listed, recorder.done);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileMoreTest, ::testing::Range<size_t>(0, Cases().size()),
                         [](const ::testing::TestParamInfo<size_t>& p) {
                           return "case" + std::to_string(p.param);
                         });

}  // namespace
