// ziptool: the engine on the command line, for the interoperability tests.
//   ziptool zip [-0..-9] [-j] [-r] [-D] [-u] [-f] [-R root] archive name...
//   ziptool delete archive pattern...
//   ziptool unzip [-l] [-t] [-j] [-n] [-P password] [-d folder] archive [pattern...]
//                 [-x pattern...]
// Messages go to standard output; the exit code is the engine's status.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/read/Unzip.h"
#include "archive/write/Zip.h"

namespace {

class Printer : public archive::ZipEvents, public archive::UnzipEvents {
 public:
  void Message(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stdout); }
  // The password of -P, whenever asked (a wrong one fails after three tries); without it
  // every encrypted member is skipped.
  archive::PasswordAnswer Password(const archive::Entry&, bool,
                                   archive::crypto::Secret& password) override {
    if (!password_) return archive::PasswordAnswer::kSkipAll;
    password = archive::crypto::Secret(std::string_view(password_));
    return archive::PasswordAnswer::kGiven;
  }
  const char* password_ = nullptr;
};

int Usage() {
  std::fputs("usage: ziptool zip|delete|unzip [options] archive [names]\n", stderr);
  return 16;
}

int Zip(int argc, char** argv, bool deleting) {
  archive::ZipRequest request;
  request.deleteEntries = deleting;
  int i = 0;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
    std::string option = argv[i];
    if (option.size() == 2 && option[1] >= '0' && option[1] <= '9') {
      request.level = option[1] - '0';
    } else if (option == "-j") {
      request.junkPaths = true;
    } else if (option == "-r") {
      request.recurse = true;
    } else if (option == "-D") {
      request.noDirEntries = true;
    } else if (option == "-u") {
      request.update = true;
    } else if (option == "-f") {
      request.freshen = true;
    } else if (option == "-q") {
      request.quiet = true;
    } else if (option == "-R" && i + 1 < argc) {
      request.rootDir = argv[++i];
    } else {
      return Usage();
    }
  }
  if (i >= argc) return Usage();
  request.archive = argv[i++];
  for (; i < argc; ++i) request.names.emplace_back(argv[i]);
  Printer printer;
  return static_cast<int>(archive::RunZip(request, printer));
}

int Unzip(int argc, char** argv) {
  archive::UnzipRequest request;
  request.overwrite = true;
  Printer printer;
  int i = 0;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    std::string option = argv[i];
    if (option == "-l") {
      request.mode = archive::UnzipRequest::Mode::kList;
    } else if (option == "-t") {
      request.mode = archive::UnzipRequest::Mode::kTest;
    } else if (option == "-j") {
      request.useFolders = false;
    } else if (option == "-n") {
      request.overwrite = false;
    } else if (option == "-q") {
      request.quiet = 2;
    } else if (option == "-d" && i + 1 < argc) {
      request.targetDir = argv[++i];
    } else if (option == "-P" && i + 1 < argc) {
      printer.password_ = argv[++i];
    } else {
      return Usage();
    }
  }
  if (i >= argc) return Usage();
  request.archive = argv[i++];
  bool excluding = false;
  for (; i < argc; ++i) {
    if (std::strcmp(argv[i], "-x") == 0) {
      excluding = true;
    } else {
      (excluding ? request.exclude : request.include).emplace_back(argv[i]);
    }
  }
  return static_cast<int>(archive::RunUnzip(request, printer));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "zip") return Zip(argc - 2, argv + 2, false);
  if (command == "delete") return Zip(argc - 2, argv + 2, true);
  if (command == "unzip") return Unzip(argc - 2, argv + 2);
  return Usage();
}
