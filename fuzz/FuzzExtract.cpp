// Fuzz target: extraction into a scratch folder on disk.
//
// Each input is written as an archive beside a sentinel file and extracted into a folder
// next to them, with the options the program uses. After every run the target checks what
// extraction promises whatever the archive: the folder around the target is unchanged,
// nothing inside it is a link or a leftover temporary file, a failure says why, and listing
// and extracting saw the same members. Encrypted members get one fixed password, the one the
// encrypted seeds (corpus/enc-*) were made with, whenever asked.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/read/Unzip.h"

namespace {

namespace fs = std::filesystem;

constexpr char kSentinel[] = "the folder around the target";

[[noreturn]] void Broken(const std::string& what) {
  std::fprintf(stderr, "fuzz_extract: broken promise: %s\n", what.c_str());
  std::abort();
}

class Recorder : public archive::UnzipEvents {
 public:
  void Message(std::string_view text) override { messages.append(text); }
  void Listed(const archive::Entry& entry) override { names.push_back(entry.rawName); }
  bool Done(const archive::Entry& entry) override {
    names.push_back(entry.rawName);
    return true;
  }
  archive::PasswordAnswer Password(const archive::Entry&, bool,
                                   archive::crypto::Secret& password) override {
    password = archive::crypto::Secret(std::string_view("fuzz"));
    return archive::PasswordAnswer::kGiven;
  }
  std::string messages;
  std::vector<std::string> names;
};

struct Scratch {
  Scratch() {
    root = fs::temp_directory_path() / ("pz-fuzz-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    std::ofstream(root / "sentinel.txt", std::ios::binary) << kSentinel;
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  fs::path root;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names CreateTempBeside gives: ".pz" and eight hex digits, ".tmp".
bool IsTemporaryName(const std::string& name) {
  if (name.size() != 15 || name.rfind(".pz", 0) != 0 || name.substr(11) != ".tmp") return false;
  return name.substr(3, 8).find_first_not_of("0123456789abcdef") == std::string::npos;
}

void CheckTarget(const fs::path& out) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(out, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    fs::file_status status = it->symlink_status();
    std::string name = it->path().filename().string();
    if (fs::is_symlink(status)) Broken("a link was created: " + it->path().string());
    if (!fs::is_regular_file(status) && !fs::is_directory(status)) {
      Broken("something else than a file or folder: " + it->path().string());
    }
    if (IsTemporaryName(name)) Broken("a temporary file was left: " + it->path().string());
  }
}

void CheckAround(const fs::path& root) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(root)) {
    names.push_back(item.path().filename().string());
  }
  for (const auto& name : names) {
    if (name != "a.zip" && name != "out" && name != "sentinel.txt") {
      Broken("written outside the target: " + name);
    }
  }
  if (ReadAll(root / "sentinel.txt") != kSentinel) Broken("the sentinel file changed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  const fs::path archivePath = scratch.root / "a.zip";
  const fs::path out = scratch.root / "out";
  {
    std::ofstream file(archivePath, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  archive::UnzipRequest list;
  list.archive = archivePath;
  list.mode = archive::UnzipRequest::Mode::kList;
  list.quiet = 2;
  Recorder listed;
  archive::UnzipStatus listStatus = archive::RunUnzip(list, listed);

  archive::UnzipRequest extract;
  extract.archive = archivePath;
  extract.targetDir = out;
  extract.overwrite = true;
  extract.quiet = 2;
  Recorder extracted;
  archive::UnzipStatus status = archive::RunUnzip(extract, extracted);

  if (status != archive::UnzipStatus::kOk && extracted.messages.empty()) {
    Broken("a failure without a message (status " + std::to_string(static_cast<int>(status)) + ")");
  }
  bool directoryRead = listStatus == archive::UnzipStatus::kOk;
  if (directoryRead && status != archive::UnzipStatus::kDiskFull &&
      listed.names != extracted.names) {
    Broken("listing and extracting saw different members");
  }
  if (!directoryRead && (status == archive::UnzipStatus::kOk || !extracted.names.empty())) {
    Broken("extraction read an archive that listing could not");
  }
  CheckAround(scratch.root);
  CheckTarget(out);
  std::error_code ec;
  fs::remove_all(out, ec);
  return 0;
}
