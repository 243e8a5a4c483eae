// The two libraries as the program uses them: loaded with LoadLibrary from the test's own
// folder, entry points found by their plain names, records filled and calls made exactly
// as the program does, and every callback checked for order, arguments and thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/read/Directory.h"
#include "archive/io/Stream.h"
#include "archive/methods/Zlib.h"
#include "platform/toolkit/Handles.h"
#include "tests/archive/TestSupport.h"
#include "unzip32.h"
#include "zip32.h"

namespace {

using namespace testing_support;

using tk::Module;

fs::path ExeFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(path).parent_path();
}

Module Load(const wchar_t* name) { return Module(LoadLibraryW((ExeFolder() / name).c_str())); }

// An export as the function type the header gives it (through void (*)(), which converts
// to any function pointer type).
template <typename F>
F Export(const Module& module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The ANSI text of a path, as the program hands paths over.
std::string Ansi(const fs::path& path) {
  const std::wstring& wide = path.native();
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, out.data(), n, nullptr, nullptr);
  out.pop_back();
  return out;
}

// What the callbacks saw. Callbacks are plain functions, so they record into one global.
struct Seen {
  DWORD thread = 0;
  bool otherThread = false;
  std::vector<std::string> calls;  // in order: "print", "service:<name>:<size>", ...
  std::string printed;
  int serviceAnswer = 0;
  int commentCalls = 0;
  int passwordCalls = 0;
  // The Password slot's answers in turn: a password, or "#" and a result (skips); the
  // questions as "again:" or "first:" and the member's name.
  std::vector<std::string> passwords;
  std::vector<std::string> asked;
  struct Listed {
    unsigned long uncompressed, compressed;
    unsigned factor, month, day, year, hour, minute;
    char flag;
    std::string name, method;
    unsigned long crc;
    char encrypted;
  };
  std::vector<Listed> listed;
  // For each service call: what was printed since the one before.
  std::vector<std::string> printedBefore;
  size_t reported = 0;
  void Note() {
    if (GetCurrentThreadId() != thread) otherThread = true;
  }
};
Seen seen;

int WINAPI ZipPrint(char* buffer, long length) {
  seen.Note();
  seen.calls.push_back("print");
  // The program reads up to and including index `length`, stopping at a NUL.
  EXPECT_EQ(buffer[length], '\0');
  EXPECT_EQ(std::strlen(buffer), static_cast<size_t>(length));
  seen.printed.append(buffer, static_cast<size_t>(length));
  return 0;
}
int WINAPI ZipPassword(char*, int, const char*, const char*) {
  ++seen.passwordCalls;
  return 0;
}
char* WINAPI ZipComment(char* buffer, unsigned long) {
  ++seen.commentCalls;
  std::memset(buffer, 0, ZIP_TEXT_BUFFER_SIZE);
  return buffer;
}
int WINAPI ZipService(const char* name, long size) {
  seen.Note();
  seen.calls.push_back("service:" + std::string(name) + ":" + std::to_string(size));
  return seen.serviceAnswer;
}

int WINAPI UnzipPrint(char* text, unsigned long length) {
  seen.Note();
  EXPECT_EQ(text[length], '\0');
  seen.printed.append(text, length);
  return 0;
}
int WINAPI UnzipReplace(char*) {
  seen.calls.push_back("replace");
  return 0;
}
void WINAPI UnzipEntry(unsigned long uncompressed, unsigned long compressed, unsigned factor,
                       unsigned month, unsigned day, unsigned year, unsigned hour, unsigned minute,
                       char flag, char* name, char* method, unsigned long crc, char encrypted) {
  seen.Note();
  seen.calls.push_back(std::string("entry:") + name);
  seen.listed.push_back({uncompressed, compressed, factor, month, day, year, hour, minute, flag,
                         name, method, crc, encrypted});
}
int WINAPI UnzipPassword(char* buffer, int size, const char* prompt, const char* name) {
  seen.Note();
  EXPECT_TRUE(std::strcmp(prompt, UNZIP32_PASSWORD_PROMPT) == 0 ||
              std::strcmp(prompt, UNZIP32_PASSWORD_AGAIN) == 0)
      << prompt;
  bool again = std::strcmp(prompt, UNZIP32_PASSWORD_AGAIN) == 0;
  seen.asked.push_back((again ? "again:" : "first:") + std::string(name));
  if (seen.asked.size() > seen.passwords.size()) return UNZIP32_PASSWORD_SKIP_ALL;
  const std::string& answer = seen.passwords[seen.asked.size() - 1];
  if (answer[0] == '#') return std::stoi(answer.substr(1));
  EXPECT_GT(size, 100);
  std::memcpy(buffer, answer.c_str(), answer.size() + 1);
  return UNZIP32_PASSWORD_GIVEN;
}
int WINAPI UnzipService(char* name, unsigned long size) {
  seen.Note();
  seen.printedBefore.push_back(seen.printed.substr(seen.reported));
  seen.reported = seen.printed.size();
  seen.calls.push_back("service:" + std::string(name) + ":" + std::to_string(size));
  return seen.serviceAnswer;
}

class DllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seen = Seen{};
    seen.thread = GetCurrentThreadId();
    zip_ = Load(L"zip32.dll");
    unzip_ = Load(L"unzip32.dll");
    ASSERT_TRUE(zip_ && unzip_) << "the libraries must sit beside the test";
    zpInit_ = Export<decltype(&ZpInit)>(zip_, "ZpInit");
    zpSetOptions_ = Export<decltype(&ZpSetOptions)>(zip_, "ZpSetOptions");
    zpArchive_ = Export<decltype(&ZpArchive)>(zip_, "ZpArchive");
    version_ = Export<decltype(&UzpVersion2)>(unzip_, "UzpVersion2");
    unzipCall_ = Export<decltype(&Wiz_SingleEntryUnzip)>(unzip_, "Wiz_SingleEntryUnzip");
    ASSERT_TRUE(zpInit_ && zpSetOptions_ && zpArchive_ && version_ && unzipCall_);

    WriteFile(dir / "one/first.txt", "the first file, with words repeated, words repeated");
    WriteFile(dir / "two/second.bin", std::string(3000, '\x07'));
    WriteFile(dir / "two/empty.txt", "");
    WriteFile(dir / "three/first.txt", "same bare name as one/first.txt");
  }

  // ZpInit, ZpSetOptions, ZpArchive as the program makes them: the callback table, the
  // options with only the junk-directory switch, the name list with a null after the last.
  int Zip(const fs::path& archive, const std::vector<fs::path>& files, bool recurse = false) {
    ZipCallbacks callbacks{ZipPrint, ZipPassword, ZipComment, ZipService};
    ZipOptions options{};
    options.JunkDir = 1;
    options.Recurse = recurse ? 1 : 0;
    std::vector<std::string> ansi;
    for (const auto& f : files) ansi.push_back(Ansi(f));
    ZipNameList names{};
    for (size_t i = 0; i < ansi.size(); ++i) names.Names[i] = ansi[i].data();
    std::string path = Ansi(archive);
    EXPECT_EQ(zpInit_(&callbacks), ZIP32_OK);
    EXPECT_EQ(zpSetOptions_(&options), ZIP32_OK);
    return zpArchive_(static_cast<long>(files.size()), path.data(), &names);
  }

  // RunUnzip's calls: version record, then the options with Quiet 2, UseFolders and
  // Overwrite 1, empty include and exclude lists, and the six callback slots.
  int Unzip(const fs::path& archive, bool listOnly, const fs::path& target = {}) {
    UnzipVersionInfo version{};
    version.StructLength = sizeof version;
    EXPECT_EQ(version_(&version), UNZIP32_OK);
    // Kept as members: the record points into them, and tests call again with it.
    archivePath_ = Ansi(archive);
    targetPath_ = target.empty() ? "" : Ansi(target) + "\\";
    options_ = UnzipOptions{};
    options_.Quiet = 2;
    options_.ListOnly = listOnly ? 1 : 0;
    options_.UseFolders = 1;
    options_.Overwrite = 1;
    options_.ZipFileName = archivePath_.data();
    options_.ExtractDir = target.empty() ? nullptr : targetPath_.data();
    callbacks_ = UnzipCallbacks{};
    callbacks_.Print = UnzipPrint;
    callbacks_.Sound = nullptr;
    callbacks_.Replace = UnzipReplace;
    callbacks_.Password = nullptr;
    callbacks_.Message = UnzipEntry;
    callbacks_.Service = UnzipService;
    char* none[1] = {nullptr};
    return unzipCall_(0, none, 0, none, &options_, &callbacks_);
  }

  TempDir dir;
  Module zip_, unzip_;
  decltype(&ZpInit) zpInit_ = nullptr;
  decltype(&ZpSetOptions) zpSetOptions_ = nullptr;
  decltype(&ZpArchive) zpArchive_ = nullptr;
  decltype(&UzpVersion2) version_ = nullptr;
  decltype(&Wiz_SingleEntryUnzip) unzipCall_ = nullptr;
  std::string archivePath_, targetPath_;
  UnzipOptions options_{};
  UnzipCallbacks callbacks_{};
};

TEST_F(DllTest, ExportsCarryPlainNamesOnly) {
  EXPECT_EQ(GetProcAddress(zip_, "_ZpInit@4"), nullptr);
  EXPECT_EQ(GetProcAddress(zip_, "ZpArchive@12"), nullptr);
  EXPECT_EQ(GetProcAddress(unzip_, "_Wiz_SingleEntryUnzip@24"), nullptr);
}

TEST_F(DllTest, VersionResourceSaysParcelo200) {
  for (const wchar_t* name : {L"zip32.dll", L"unzip32.dll"}) {
    std::wstring path = (ExeFolder() / name).native();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, L"Parcelo");
  }
}

TEST_F(DllTest, VersionRecordIsFilled) {
  UnzipVersionInfo version{};
  std::memset(&version, ' ', sizeof version);
  version.StructLength = 64;
  EXPECT_EQ(version_(&version), UNZIP32_OK);
  EXPECT_EQ(version.StructLength, 64u);
  EXPECT_EQ(version.UnzipVersion[0], 2);
  EXPECT_EQ(version.WinDllVersion[0], 2);
  EXPECT_STREQ(version.ZlibVersionText, zlibVersion());
  EXPECT_EQ(version.BetaText[0], '\0');
  UnzipVersionInfo tooShort{};
  tooShort.StructLength = 10;
  EXPECT_EQ(version_(&tooShort), UNZIP32_PARAMETERS);
  EXPECT_EQ(version_(nullptr), UNZIP32_PARAMETERS);
}

TEST_F(DllTest, ZipCallsServiceOncePerFileOnThisThread) {
  ASSERT_EQ(
      Zip(dir / "out.zip", {dir / "one/first.txt", dir / "two/second.bin", dir / "two/empty.txt"}),
      ZIP32_OK)
      << seen.printed;
  std::vector<std::string> services;
  for (const auto& c : seen.calls) {
    if (c.rfind("service:", 0) == 0) services.push_back(c);
  }
  EXPECT_EQ(services, (std::vector<std::string>{"service:" + Ansi(dir / "one/first.txt") + ":51",
                                                "service:" + Ansi(dir / "two/second.bin") + ":3000",
                                                "service:" + Ansi(dir / "two/empty.txt") + ":0"}));
  // Each file's progress line comes before its service call.
  ASSERT_GE(seen.calls.size(), 6u);
  EXPECT_EQ(seen.calls[0], "print");
  EXPECT_NE(seen.printed.find("  adding: first.txt (deflated"), std::string::npos);
  EXPECT_FALSE(seen.otherThread);
  EXPECT_EQ(seen.passwordCalls, 0);
  EXPECT_EQ(seen.commentCalls, 0);
}

TEST_F(DllTest, ListingCallsEntryOncePerMemberWithThirteenArguments) {
  ASSERT_EQ(
      Zip(dir / "out.zip", {dir / "one/first.txt", dir / "two/second.bin", dir / "two/empty.txt"}),
      ZIP32_OK);
  seen = Seen{};
  seen.thread = GetCurrentThreadId();
  ASSERT_EQ(Unzip(dir / "out.zip", true), UNZIP32_OK) << seen.printed;
  ASSERT_EQ(seen.listed.size(), 3u);
  const auto& first = seen.listed[0];
  std::string content = ReadFile(dir / "one/first.txt");
  EXPECT_EQ(first.name, "first.txt");
  EXPECT_EQ(first.uncompressed, content.size());
  EXPECT_LT(first.compressed, first.uncompressed);
  EXPECT_EQ(first.method, "Defl:N");
  EXPECT_EQ(first.crc, archive::Crc32(0, content.data(), content.size()));
  EXPECT_EQ(first.flag, ' ');
  EXPECT_EQ(first.encrypted, ' ');
  EXPECT_EQ(first.factor, (100 * (first.uncompressed - first.compressed) + first.uncompressed / 2) /
                              first.uncompressed);
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_EQ(first.year, now.wYear);
  EXPECT_GE(first.month, 1u);
  EXPECT_LE(first.month, 12u);
  EXPECT_EQ(seen.listed[1].name, "second.bin");
  EXPECT_EQ(seen.listed[1].uncompressed, 3000u);
  EXPECT_EQ(seen.listed[2].name, "empty.txt");
  EXPECT_EQ(seen.listed[2].method, "Stored");
  EXPECT_EQ(seen.listed[2].factor, 0u);
  EXPECT_FALSE(seen.otherThread);
  EXPECT_EQ(callbacks_.NumMembers, 3u);
  EXPECT_EQ(callbacks_.TotalSize, content.size() + 3000);
  // Listing calls no service callback and writes nothing.
  for (const auto& c : seen.calls) EXPECT_EQ(c.rfind("service:", 0), std::string::npos) << c;
}

TEST_F(DllTest, ExtractionCallsServiceOncePerMember) {
  ASSERT_EQ(Zip(dir / "out.zip", {dir / "one/first.txt", dir / "two/second.bin"}), ZIP32_OK);
  seen = Seen{};
  seen.thread = GetCurrentThreadId();
  fs::create_directories(dir / "target");
  ASSERT_EQ(Unzip(dir / "out.zip", false, dir / "target"), UNZIP32_OK) << seen.printed;
  EXPECT_EQ(seen.calls,
            (std::vector<std::string>{"service:first.txt:51", "service:second.bin:3000"}));
  EXPECT_EQ(ReadFile(dir / "target/second.bin"), std::string(3000, '\x07'));
  EXPECT_FALSE(seen.otherThread);
  // A later listing keeps ExtractDir as it was.
  options_.ListOnly = 1;
  char* none[1] = {nullptr};
  EXPECT_EQ(unzipCall_(0, none, 0, none, &options_, &callbacks_), UNZIP32_OK);
}

TEST_F(DllTest, SameBareNameIsRefusedNamingBoth) {
  EXPECT_EQ(Zip(dir / "out.zip", {dir / "one/first.txt", dir / "three/first.txt"}),
            ZIP32_PARAMETERS);
  EXPECT_FALSE(fs::exists(dir / "out.zip"));
  EXPECT_NE(seen.printed.find(Ansi(dir / "one/first.txt")), std::string::npos) << seen.printed;
  EXPECT_NE(seen.printed.find(Ansi(dir / "three/first.txt")), std::string::npos);
}

TEST_F(DllTest, StatusForEachFailureClass) {
  // zip32
  EXPECT_EQ(Zip(dir / "out.zip", {dir / "missing.txt"}), ZIP32_OPEN_INPUT);
  EXPECT_EQ(Zip(dir / "out.zip", {}), ZIP32_NOTHING_TO_DO);
  EXPECT_EQ(Zip(dir / "no folder/out.zip", {dir / "one/first.txt"}), ZIP32_CREATE);
  EXPECT_EQ(zpArchive_(1, nullptr, nullptr), ZIP32_PARAMETERS);
  EXPECT_EQ(zpArchive_(101, "x.zip", nullptr), ZIP32_PARAMETERS);
  seen.serviceAnswer = 1;
  EXPECT_EQ(Zip(dir / "out.zip", {dir / "one/first.txt", dir / "two/second.bin"}), ZIP32_CANCELLED);
  EXPECT_FALSE(fs::exists(dir / "out.zip"));
  seen.serviceAnswer = 0;
  // unzip32
  EXPECT_EQ(Unzip(dir / "missing.zip", true), UNZIP32_NOT_FOUND);
  WriteFile(dir / "words.zip", "no archive here");
  EXPECT_EQ(Unzip(dir / "words.zip", true), UNZIP32_NOT_FOUND);
  EXPECT_EQ(unzipCall_(0, nullptr, 0, nullptr, nullptr, nullptr), UNZIP32_PARAMETERS);
  RawArchive zip;
  RawMember secret = Stored("secret.txt", "xxxxxxxxxxxx");
  secret.flags = 0x41;  // PKWARE's strong encryption
  RawMember open;
  open.name = "open.txt";
  open.plain = "open";
  zip.members = {secret, open};
  WriteFile(dir / "mixed.zip", zip.Build());
  seen.printed.clear();
  EXPECT_EQ(Unzip(dir / "mixed.zip", false, dir / "mixed"), UNZIP32_UNSUPPORTED);
  EXPECT_NE(seen.printed.find("secret.txt: it uses PKWARE's strong encryption"), std::string::npos)
      << seen.printed;
  EXPECT_EQ(ReadFile(dir / "mixed/open.txt"), "open");
  EXPECT_FALSE(fs::exists(dir / "mixed/secret.txt"));
  RawArchive two;
  two.members = {open, open};
  two.members[1].name = "next.txt";
  WriteFile(dir / "two.zip", two.Build());
  seen.serviceAnswer = 1;
  seen.calls.clear();
  EXPECT_EQ(Unzip(dir / "two.zip", false, dir / "again"), UNZIP32_CANCELLED);
  EXPECT_EQ(seen.calls, (std::vector<std::string>{"service:open.txt:4"}));
  EXPECT_FALSE(fs::exists(dir / "again/next.txt"));
}

// The Password slot: asked on the calling thread for a member no password so far fits, with
// the second prompt after a wrong one, three times at most; a fitting password kept for the
// archive; skip, skip all (and any other result); a null slot; listing never asks.
TEST_F(DllTest, PasswordSlotIsAskedAsPublished) {
  RawArchive zip;
  zip.members = {Stored("open.txt", "open"),
                 Encrypted(Deflated("b.txt", std::string(5000, 'b')), "one"),
                 Encrypted(Deflated("c.txt", std::string(7000, 'c')), "one", 3),
                 Encrypted(Stored("d.txt", "dd"), "two", 1)};
  WriteFile(dir / "locked.zip", zip.Build());
  const std::string skip = "#-1", all = "#-2", other = "#7";
  struct Case {
    const char* what;
    bool slot;
    std::vector<std::string> passwords;
    std::vector<std::string> asked;
    std::string written;  // initials of the files there afterwards, in name order
    int status;
    std::string noPassword, wrong;  // initials of the members failed for either reason
  } const cases[] = {
      {"null slot", false, {}, {}, "o", UNZIP32_BAD_PASSWORD, "bcd", ""},
      {"asked once an archive",
       true,
       {"one", "two"},
       {"first:b.txt", "first:d.txt"},
       "bcdo",
       UNZIP32_OK,
       "",
       ""},
      {"wrong then right",
       true,
       {"eno", "one", "two"},
       {"first:b.txt", "again:b.txt", "first:d.txt"},
       "bcdo",
       UNZIP32_OK,
       "",
       ""},
      {"three wrong, then skip all",
       true,
       {"x", "y", "z", all},
       {"first:b.txt", "again:b.txt", "again:b.txt", "first:c.txt"},
       "o",
       UNZIP32_BAD_PASSWORD,
       "cd",
       "b"},
      {"skip one, any other result skips all",
       true,
       {skip, "one", other},
       {"first:b.txt", "first:c.txt", "first:d.txt"},
       "co",
       UNZIP32_BAD_PASSWORD,
       "bd",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    seen = Seen{};
    seen.thread = GetCurrentThreadId();
    seen.passwords = c.passwords;
    fs::path out = dir / ("out " + std::string(c.what));
    UnzipVersionInfo version{};
    version.StructLength = sizeof version;
    version_(&version);
    archivePath_ = Ansi(dir / "locked.zip");
    targetPath_ = Ansi(out) + "\\";
    options_ = UnzipOptions{};
    options_.Quiet = 2;
    options_.UseFolders = 1;
    options_.Overwrite = 1;
    options_.ZipFileName = archivePath_.data();
    options_.ExtractDir = targetPath_.data();
    callbacks_ = UnzipCallbacks{};
    callbacks_.Print = UnzipPrint;
    callbacks_.Password = c.slot ? UnzipPassword : nullptr;
    callbacks_.Service = UnzipService;
    char* none[1] = {nullptr};
    EXPECT_EQ(unzipCall_(0, none, 0, none, &options_, &callbacks_), c.status) << seen.printed;
    EXPECT_EQ(seen.asked, c.asked);
    EXPECT_FALSE(seen.otherThread);
    std::string written;
    for (const auto& [path, content] : Tree(out)) written += path[0];
    EXPECT_EQ(written, c.written);
    for (char m : std::string("bcd")) {
      std::string name = std::string(1, m) + ".txt";
      std::string reason = c.noPassword.find(m) != std::string::npos ? UNZIP32_NO_PASSWORD_REASON
                           : c.wrong.find(m) != std::string::npos    ? UNZIP32_WRONG_PASSWORD_REASON
                                                                     : "";
      if (reason.empty()) continue;
      std::string line = UNZIP32_FAILED_LINE + name + ": " + reason + "\n";
      EXPECT_NE(seen.printed.find(line), std::string::npos) << line << seen.printed;
    }
    // Listing with the slot set asks nothing and marks the encrypted members.
    seen.asked.clear();
    options_.ListOnly = 1;
    callbacks_.Message = UnzipEntry;
    EXPECT_EQ(unzipCall_(0, none, 0, none, &options_, &callbacks_), UNZIP32_OK);
    EXPECT_TRUE(seen.asked.empty());
    std::string flags;
    for (const auto& l : seen.listed) flags += l.encrypted;
    EXPECT_EQ(flags, " EEE");
  }
}

TEST_F(DllTest, EachMemberNotHandledIsReportedByItsLineBeforeItsServiceCall) {
  RawMember good;
  good.name = "good.txt";
  good.plain = "fine";
  RawMember damaged = good;
  damaged.name = "damaged.txt";
  damaged.crc = 0x12345678;
  RawMember unsafe = good;
  unsafe.name = "../outside.txt";
  RawMember link = good;
  link.name = "link-to-good";
  link.plain = "good.txt";
  link.madeBy = (3 << 8) | 20;  // Unix
  link.external = 0120777u << 16;
  RawArchive zip;
  zip.members = {good, damaged, link, unsafe, good};
  zip.members[4].name = "last.txt";
  WriteFile(dir / "mixed.zip", zip.Build());
  EXPECT_EQ(Unzip(dir / "mixed.zip", false, dir / "mixed"), UNZIP32_MEMBER_ERROR) << seen.printed;
  struct Expected {
    const char* service;
    const char* line;  // the member's line, or "" for none
  } const expected[] = {
      {"service:good.txt:4", ""},
      {"service:damaged.txt:4", UNZIP32_FAILED_LINE "damaged.txt: "},
      {"service:link-to-good:8", UNZIP32_SKIPPED_LINE "link-to-good: "},
      {"service:../outside.txt:4", UNZIP32_FAILED_LINE "../outside.txt: "},
      {"service:last.txt:4", ""},
  };
  ASSERT_EQ(seen.calls.size(), std::size(expected));
  ASSERT_EQ(seen.printedBefore.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(seen.calls[i], expected[i].service);
    const std::string& before = seen.printedBefore[i];
    if (*expected[i].line) {
      EXPECT_EQ(before.rfind(expected[i].line, 0), 0u) << before;
      EXPECT_EQ(std::count(before.begin(), before.end(), '\n'), 1) << "one line: " << before;
    } else {
      EXPECT_EQ(before, "") << seen.calls[i];
    }
  }
  EXPECT_EQ(seen.printed.size(), seen.reported) << "nothing printed after the last member";
}

TEST_F(DllTest, UpdateKeepsOtherMembers) {
  ASSERT_EQ(Zip(dir / "out.zip", {dir / "one/first.txt"}), ZIP32_OK);
  ASSERT_EQ(Zip(dir / "out.zip", {dir / "two/second.bin"}), ZIP32_OK);
  seen.listed.clear();
  ASSERT_EQ(Unzip(dir / "out.zip", true), UNZIP32_OK);
  ASSERT_EQ(seen.listed.size(), 2u);
  EXPECT_EQ(seen.listed[0].name, "first.txt");
  EXPECT_EQ(seen.listed[1].name, "second.bin");
}

TEST_F(DllTest, UnicodeNamesInAnsiOutUnicodeOnDisk) {
  // A name the ANSI code page can hold goes in as ANSI and is stored as UTF-8.
  const std::wstring latin = L"caf\u00e9.txt";
  std::string latinAnsi = Ansi(latin);
  bool representable = latinAnsi != "caf?.txt";
  if (representable) {
    WriteFile(dir.path() / latin, "latin");
    ASSERT_EQ(Zip(dir / "latin.zip", {dir.path() / latin}), ZIP32_OK) << seen.printed;
    archive::FileStream in(dir / "latin.zip", archive::FileStream::Mode::kRead);
    auto entries = archive::ReadDirectory(in).entries;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "caf\xC3\xA9.txt");
    EXPECT_EQ(entries[0].flags & 0x0800, 0x0800);
  }
  // A name it cannot hold is listed with '?' but extracted under its true name.
  RawArchive zip;
  RawMember japanese;
  japanese.name = "\xE6\x97\xA5\xE6\x9C\xAC.txt";  // 日本.txt
  japanese.plain = "nihon";
  japanese.flags = 0x0800;
  zip.members = {japanese};
  WriteFile(dir / "japanese.zip", zip.Build());
  seen.listed.clear();
  ASSERT_EQ(Unzip(dir / "japanese.zip", true), UNZIP32_OK);
  ASSERT_EQ(seen.listed.size(), 1u);
  if (GetACP() != 932) {
    EXPECT_EQ(seen.listed[0].name, "??.txt");
  }
  ASSERT_EQ(Unzip(dir / "japanese.zip", false, dir / "jp"), UNZIP32_OK) << seen.printed;
  EXPECT_EQ(ReadFile(dir.path() / L"jp" / L"\u65e5\u672c.txt"), "nihon");
}

// Other projects' archives whose names depend on how unmarked names are read, extracted as
// the program extracts them. The ctest entries dll_names_ru and dll_names_ja run this under
// Russian and Japanese locales, from which Wine takes the OEM code page (866, 932);
// PARCELO_OEMCP makes sure the locale took.
struct NamedArchive {
  const char* file;
  UINT oem;  // 0: the names are the same under every OEM code page
  int status;
  std::vector<std::wstring> names;  // files written, '/' between folders
};

const NamedArchive kNamedArchives[] = {
    // Windows' own compressed folders in Russian: code page 866, no UTF-8 flag. Windows tells
    // the two names apart only by case, so the second is refused.
    {"libarchive/test_read_format_zip_filename_cp866.zip", 866, UNZIP32_MEMBER_ERROR, {L"ПРИВЕТ"}},
    {"libarchive/test_read_format_zip_filename_cp866.zip", 437, UNZIP32_OK, {L"ÅÉêéàÆ", L"»α¿óÑΓ"}},
    // Japanese: Shift-JIS, whose trail bytes 0x5C are no backslashes.
    {"libarchive/test_read_format_zip_filename_cp932.zip",
     932,
     UNZIP32_OK,
     {L"表だよ/一覧表.txt", L"表だよ/漢字.txt"}},
    // UTF-8 without the flag from macOS and Unix writers.
    {"golang-go/utf8-osx.zip", 0, UNZIP32_OK, {L"世界"}},
    {"libzip/test-utf8-unmarked.zip", 0, UNZIP32_OK, {L"ÄÖÜäöüßćçĉéèêëē"}},
    // Unicode path fields whose CRC matches the stored name.
    {"libzip/test-cp437-fc-utf-8-filename.zip", 0, UNZIP32_OK, {L"ÄÖÜßäöü"}},
    {"libzip/utf-8-standardization-input.zip", 0, UNZIP32_OK, {L"ibm437-üéâäàåçêëè.txt"}},
    // Stale fields (their CRC is another name's) are ignored: the stored names in code page
    // 437 mean what the local headers' fields say; the fourth's local field is stale, so its
    // two headers disagree and it is refused.
    {"libarchive/test_read_format_zip_7075_utf8_paths.zip",
     437,
     UNZIP32_MEMBER_ERROR,
     {L"File 1.txt", L"File 2 - ö.txt", L"File 3 - ä.txt"}},
    // A DOS writer's backslash separates folders.
    {"libarchive/test_compat_zip_8.zip", 0, UNZIP32_OK, {L"arc/test"}},
};

TEST_F(DllTest, PeerArchivesExtractUnderTheirWritersNames) {
  const UINT oem = GetOEMCP();
  if (const char* expected = std::getenv("PARCELO_OEMCP")) {
    ASSERT_EQ(oem, static_cast<UINT>(std::atoi(expected))) << "the locale did not take";
  }
  int checked = 0;
  for (const auto& c : kNamedArchives) {
    if (c.oem != 0 && c.oem != oem) continue;
    SCOPED_TRACE(c.file);
    ++checked;
    const fs::path archive = PeerZipsFolder() / c.file;
    const fs::path target = dir / ("out" + std::to_string(checked));
    seen.listed.clear();
    ASSERT_EQ(Unzip(archive, true), UNZIP32_OK);
    ASSERT_EQ(Unzip(archive, false, target), c.status) << seen.printed;
    std::vector<std::wstring> written;
    for (const auto& item : fs::recursive_directory_iterator(target)) {
      if (item.is_regular_file()) {
        written.push_back(item.path().lexically_relative(target).generic_wstring());
      }
    }
    std::sort(written.begin(), written.end());
    std::vector<std::wstring> expected = c.names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(written, expected);
    // The listing gives each name in ANSI, '?' for what the code page lacks.
    for (const auto& name : c.names) {
      const std::wstring wide = fs::path(name).native();
      std::string ansi(wide.size() * 2, '\0');
      BOOL lossy = FALSE;
      ansi.resize(static_cast<size_t>(WideCharToMultiByte(
          CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), ansi.data(),
          static_cast<int>(ansi.size()), "?", &lossy)));
      EXPECT_TRUE(std::any_of(seen.listed.begin(), seen.listed.end(), [&](const Seen::Listed& l) {
        return l.name == ansi;
      })) << ansi;
    }
  }
  EXPECT_GE(checked, 6);
  std::printf("OEM code page %u: %d archives checked\n", oem, checked);
}

TEST_F(DllTest, NamesOutsideTheAnsiCodePagePackedAsUtf8) {
  // A folder's files are found by their wide names, so a name the ANSI code page cannot hold
  // is packed too, as UTF-8 with the flag set, like any other name beyond ASCII.
  WriteFile(dir.path() / L"mixed" / L"日本.txt", "nihon");
  WriteFile(dir.path() / L"mixed" / L"привет.txt", "privet");
  ASSERT_EQ(Zip(dir / "mixed.zip", {dir / "mixed"}, true), ZIP32_OK) << seen.printed;
  archive::FileStream in(dir / "mixed.zip", archive::FileStream::Mode::kRead);
  auto entries = archive::ReadDirectory(in).entries;
  std::vector<std::string> names;
  for (const auto& e : entries) {
    EXPECT_EQ(e.flags & 0x0800, 0x0800) << e.name;
    names.push_back(e.rawName);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"привет.txt", "日本.txt"}));  // sorted by bytes
}

}  // namespace

namespace {

// The older methods and PPMd through the library: the shared archives extract whole to their
// members and sizes (the engine checks every CRC), the three old methods' to one text.
TEST_F(DllTest, OlderMethodsAndPpmdExtract) {
  std::vector<std::string> oldTexts;
  int n = 0;
  for (const MethodArchive& a : MethodArchives()) {
    SCOPED_TRACE(a.file);
    const fs::path target = dir / ("m" + std::to_string(++n));
    ASSERT_EQ(Unzip(TestData() / a.file, false, target), UNZIP32_OK) << seen.printed;
    const Files files = Tree(target);
    ASSERT_EQ(SizesOf(files), a.sizes);
    if (a.oldText) oldTexts.push_back(files.begin()->second);
  }
  ASSERT_EQ(oldTexts.size(), 3u);
  EXPECT_EQ(oldTexts[1], oldTexts[0]);
  EXPECT_EQ(oldTexts[2], oldTexts[0]);
}

}  // namespace
