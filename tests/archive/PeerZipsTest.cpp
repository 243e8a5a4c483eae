// Every archive of other projects' test suites is listed and extracted correctly, or
// refused with a non-zero status, without crash or hang and without writing outside the
// target. "Correctly" is judged by what Python's zipfile reads from the same archive
// (peer-zips-oracle.tsv, made by make_peer_oracle.py).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "archive/format/Names.h"
#include "archive/read/Unzip.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::UnzipStatus;
using namespace testing_support;

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  for (std::string field; std::getline(stream, field, separator);) fields.push_back(field);
  if (!line.empty() && line.back() == separator) fields.emplace_back();
  return fields;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct OracleMember {
  std::string name;
  std::string kind;  // "dir", "error", or the size
  uint32_t crc = 0;
};

// Name of the file a member becomes: "." parts dropped, no trailing slash.
std::string PathOf(const std::string& member) {
  std::string out;
  for (const auto& part : Split(member, '/')) {
    if (part.empty() || part == ".") continue;
    out += (out.empty() ? "" : "/") + part;
  }
  return out;
}

// Archives that all four peer tools accept but that we refuse in part, on purpose.
struct Refusal {
  const char* file;
  UnzipStatus status;
  const char* reason;
};

const Refusal kRefusals[] = {
    {"golang-go/dupdir.zip", UnzipStatus::kMemberError, "a file and a folder of one name"},
    {"golang-go/symlink.zip", UnzipStatus::kWarning, "symbolic link not created"},
    {"libarchive/bsdunzip_test_symlink_1.zip", UnzipStatus::kWarning, "symbolic links"},
    {"libarchive/bsdunzip_test_symlink_dotdot.zip", UnzipStatus::kWarning, "symbolic links"},
    {"libarchive/test_read_format_zip_symlink.zip", UnzipStatus::kWarning, "symbolic link"},
    {"libarchive/test_read_format_zip_7z_deflate.zip", UnzipStatus::kWarning, "symbolic links"},
    {"minizip-ng/infozip_symlinks.zip", UnzipStatus::kWarning, "symbolic link"},
    {"minizip-ng/dot_dot_backslash_name.zip", UnzipStatus::kMemberError, "..\\ in a name"},
    {"libzip/filename_duplicate.zip", UnzipStatus::kMemberError, "one name twice"},
    {"libzip/test-cp437.zip", UnzipStatus::kMemberError, "control characters in names"},
    {"libzip/test-cp437-comment-utf-8.zip", UnzipStatus::kMemberError, "control characters"},
#ifdef _WIN32
    // "ПРИВЕТ" and "привет": one file to Windows, so the second would overwrite the first.
    {"libarchive/test_read_format_zip_filename_utf8_ru.zip", UnzipStatus::kMemberError,
     "two names that differ only in case"},
#endif
};

// Names Python reads as code page 437 that mean something else, as read with code page 437
// for the rest: UTF-8 from Unix and macOS writers or in a Unicode path field, and
// backslashes that separate folders in archives from DOS and Windows writers.
struct MeantName {
  const char* file;
  const char* python;
  const char* meant;
};

const MeantName kMeantNames[] = {
    {"golang-go/utf8-osx.zip", "Σ╕ûτòî", "世界"},
    {"libarchive/test_compat_zip_8.zip", "arc\\test", "arc/test"},
    // Shift-JIS with 0x5C trail bytes: its names only under code page 932 (see the DLL tests).
    {"libarchive/test_read_format_zip_filename_cp932.zip", "ò\\é╛éµ/êΩùùò\\.txt",
     "ò/é╛éµ/êΩùùò/.txt"},
    {"libarchive/test_read_format_zip_filename_cp932.zip", "ò\\é╛éµ/è┐ÄÜ.txt", "ò/é╛éµ/è┐ÄÜ.txt"},
    {"libzip/test-cp437-fc-utf-8-filename.zip", "├ä├û├£├ƒ├ñ├╢├╝", "ÄÖÜßäöü"},
    {"libzip/test-utf8-unmarked.zip", "├ä├û├£├ñ├╢├╝├ƒ─ç├º─ë├⌐├¿├¬├½─ô", "ÄÖÜäöüßćçĉéèêëē"},
};

// The encrypted archives whose password the upstream tests give (as make_peer_oracle.py
// reads them).
const std::map<std::string, std::string> kPasswords = {
    {"libarchive/bsdunzip_test_encrypted.zip", "password"},
    {"libarchive/test_read_format_zip_encryption_partially.zip", "12345678"},
    {"libarchive/test_read_format_zip_traditional_encryption_data.zip", "12345678"},
    {"libarchive/test_read_format_zip_winzip_aes128.zip", "password"},
    {"libarchive/test_read_format_zip_winzip_aes256.zip", "password"},
    {"libarchive/test_read_format_zip_winzip_aes256_large.zip", "password"},
    {"libarchive/test_read_format_zip_winzip_aes256_large_bzip2.zip", "password"},
    {"libarchive/test_read_format_zip_winzip_aes256_large_lzma.zip", "password"},
    {"libarchive/test_read_format_zip_winzip_aes256_large_ppmd.zip", "password"},
    {"libarchive/test_read_format_zip_winzip_aes256_large_xz.zip", "password"},
    {"libarchive/test_read_format_zip_winzip_aes256_large_zstd.zip", "password"},
    {"libarchive/test_read_format_zip_winzip_aes256_stored.zip", "password"},
    {"libzip/encrypt-1234.zip", "1234"},
    {"libzip/encrypt-aes128.zip", "foofoofoo"},
    {"libzip/encrypt-aes192.zip", "foofoofoo"},
    {"libzip/encrypt-aes256.zip", "foofoofoo"},
    {"libzip/encrypt.zip", "foo"},
    {"libzip/encrypt_plus_extra.zip", "foo"},
};

// Archives with two possible readings where Python takes another one than ours; our
// reading there is checked by the CRCs alone.
const char* const kOtherReadings[] = {
    // An archive inside the archive comment: Python takes the last end record in the file,
    // we take the one whose offsets are right as stored (as 7-Zip does).
    "libzip/zip-in-archive-comment.zip",
    "libzip/zip64-in-archive-comment.zip",
    // A wrong base offset: we fall back to the stored offsets and find both members.
    "golang-go/test-badbase.zip",
};

TEST(PeerZipsTest, ListedAndExtractedCorrectlyOrRefused) {
  const fs::path folder = PeerZipsFolder();
  std::ifstream manifest(folder / "MANIFEST.tsv");
  ASSERT_TRUE(manifest) << "missing " << archive::PathToUtf8(folder / "MANIFEST.tsv");
  std::ifstream oracleFile(SourceRoot() / "tests" / "archive" / "peer-zips-oracle.tsv",
                           std::ios::binary);
  ASSERT_TRUE(oracleFile);
  std::map<std::string, std::vector<OracleMember>> oracle;
  for (std::string line; std::getline(oracleFile, line);) {
    auto f = Split(line, '\t');
    ASSERT_EQ(f.size(), 4u) << line;
    OracleMember m{Unescape(f[1]), f[2],
                   f[3].empty() ? 0 : static_cast<uint32_t>(std::stoul(f[3], nullptr, 16))};
    for (const auto& meant : kMeantNames) {
      if (f[0] == meant.file && m.name == meant.python) m.name = meant.meant;
    }
    oracle[f[0]].push_back(m);
  }

  std::string header;
  std::getline(manifest, header);
  int archives = 0, clean = 0;
  for (std::string line; std::getline(manifest, line);) {
    auto f = Split(line, '\t');
    ASSERT_GE(f.size(), 7u) << line;
    const std::string file = f[0] + "/" + f[1];
    const bool peersAccept = f[3] == "0" && f[4] == "0" && f[5] == "0" && f[6] == "0";
    SCOPED_TRACE(file);
    ++archives;

    TempDir scratch;
    Recorder listing, extraction;
    archive::UnzipRequest request;
    request.archive = folder / f[0] / f[1];
    request.mode = archive::UnzipRequest::Mode::kList;
    UnzipStatus listed = archive::RunUnzip(request, listing);
    request.mode = archive::UnzipRequest::Mode::kExtract;
    request.targetDir = scratch / "out";
    request.overwrite = true;
    auto password = kPasswords.find(file);
    if (password != kPasswords.end()) extraction.answers = {password->second};
    UnzipStatus extracted = archive::RunUnzip(request, extraction);

    // Nothing outside the target.
    for (const auto& item : Tree(scratch.path())) {
      EXPECT_EQ(item.first.rfind("out/", 0), 0u) << item.first;
    }
    // Listing and extraction read the archive the same way.
    if (listed == UnzipStatus::kNotFound || listed == UnzipStatus::kDirectoryError) {
      EXPECT_EQ(extracted, listed);
      EXPECT_NE(extraction.messages, "");
    } else {
      EXPECT_EQ(listing.listed, extraction.done);
    }

    // Every file we wrote is a member Python reads with the same bytes.
    const auto& expected = oracle[file];
    auto tree = fs::exists(scratch / "out") ? Tree(scratch / "out") : Files{};
    for (const auto& [path, content] : tree) {
      if (path.back() == '/') continue;
      const OracleMember* match = nullptr;
      for (const auto& m : expected) {
        if (PathOf(m.name) == path) {
          match = &m;
          break;
        }
      }
      bool pythonFailed = expected.size() == 1 && expected[0].name == "*";
      for (const char* other : kOtherReadings) pythonFailed = pythonFailed || file == other;
      if (!match) {
        EXPECT_TRUE(pythonFailed) << "we wrote " << path << ", which Python does not list";
        continue;
      }
      if (match->kind == "error" || match->kind == "dir") continue;
      EXPECT_EQ(content.size(), std::stoull(match->kind)) << path;
      EXPECT_EQ(Crc(content), match->crc) << path;
    }

    const Refusal* refusal = nullptr;
    for (const auto& r : kRefusals) {
      if (file == r.file) refusal = &r;
    }
    if (refusal) {
      EXPECT_EQ(extracted, refusal->status) << refusal->reason << "\n" << extraction.messages;
      EXPECT_NE(extraction.messages, "");
    } else if (peersAccept) {
      EXPECT_EQ(listed, UnzipStatus::kOk) << listing.messages;
      EXPECT_EQ(extracted, UnzipStatus::kOk) << extraction.messages;
      // ... and then every member Python reads is there.
      for (const auto& m : expected) {
        std::string path = PathOf(m.name);
        if (m.kind == "dir" || m.kind == "0") {
          EXPECT_TRUE(tree.count(path) || tree.count(path + "/")) << path;
        } else if (m.kind != "error") {
          EXPECT_TRUE(tree.count(path)) << path;
        }
      }
    }
    if (extracted != UnzipStatus::kOk) {
      EXPECT_NE(extraction.messages, "");
    }
    // With its password an archive is read: no member fails for its password, and one at
    // least is written (and matched above) unless all use a method not read.
    if (password != kPasswords.end()) {
      EXPECT_NE(extracted, UnzipStatus::kBadPassword) << extraction.messages;
      EXPECT_TRUE(!tree.empty() || extracted == UnzipStatus::kUnsupported) << extraction.messages;
    }
    if (extracted == UnzipStatus::kOk) ++clean;
  }
  EXPECT_EQ(archives, 305);
  std::printf("%d archives, %d extracted completely, %d refused in part or whole\n", archives,
              clean, archives - clean);
}

// The archives in the methods beyond deflate extract whole to their members and sizes, the
// three old methods' to one text, which unzip gives too where it reads the method.
TEST(PeerZipsTest, ArchivesOfTheOtherMethodsExtract) {
  if (!fs::exists(TestData())) GTEST_SKIP() << "no " << archive::PathToUtf8(TestData());
  std::vector<std::string> oldTexts;
  for (const MethodArchive& row : MethodArchives()) {
    SCOPED_TRACE(row.file);
    TempDir dir;
    Recorder recorder;
    EXPECT_EQ(ExtractBytes(dir, ReadFile(TestData() / row.file), recorder), UnzipStatus::kOk)
        << recorder.messages;
    const Files files = Tree(dir / "out");
    ASSERT_EQ(SizesOf(files), row.sizes);
    if (row.oldText) oldTexts.push_back(files.begin()->second);
    if (row.unzipReads && HasTool("unzip")) {
      WriteFile(dir / "peer.txt", "");
      const std::string command = "unzip -p '" + (TestData() / row.file).string() + "' > '" +
                                  (dir / "peer.txt").string() + "'";
      ASSERT_EQ(std::system(command.c_str()), 0);
      EXPECT_EQ(ReadFile(dir / "peer.txt"), files.begin()->second);
    }
  }
  ASSERT_EQ(oldTexts.size(), 3u);
  EXPECT_EQ(oldTexts[1], oldTexts[0]);
  EXPECT_EQ(oldTexts[2], oldTexts[0]);
}

}  // namespace
