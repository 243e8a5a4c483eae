// dllcli: zip32.dll and unzip32.dll on the command line, for the interoperability script
// under Wine. Same commands as ziptool:
//   dllcli zip [-0..-9] [-j] [-r] [-D] [-q] [-R root] archive name...
//   dllcli delete archive pattern...
//   dllcli unzip [-l] [-t] [-q] [-P password] [-d folder] archive
// Arguments arrive as Unicode and go to the libraries as ANSI, as the program passes them.
// Messages go to standard output; the exit code is the library's status.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/toolkit/Handles.h"
#include "unzip32.h"
#include "zip32.h"

namespace {

std::string Ansi(const std::wstring& wide) {
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, out.data(), n, nullptr, nullptr);
  out.pop_back();
  return out;
}

int WINAPI ZipPrint(char* buffer, long length) {
  std::fwrite(buffer, 1, static_cast<size_t>(length), stdout);
  return 0;
}

int WINAPI UnzipPrint(char* text, unsigned long length) {
  std::fwrite(text, 1, length, stdout);
  return 0;
}

// The password of -P, given through the Password slot whenever asked.
std::string password;

int WINAPI UnzipPassword(char* buffer, int size, const char*, const char*) {
  if (password.size() + 1 > static_cast<size_t>(size)) return UNZIP32_PASSWORD_SKIP_ALL;
  std::memcpy(buffer, password.c_str(), password.size() + 1);
  return UNZIP32_PASSWORD_GIVEN;
}

void WINAPI UnzipEntry(unsigned long size, unsigned long, unsigned, unsigned, unsigned, unsigned,
                       unsigned, unsigned, char, char* name, char*, unsigned long, char) {
  std::printf("%10lu  %s\n", size, name);
}

struct Library {
  explicit Library(const wchar_t* name) : module(LoadLibraryW(name)) {}
  template <typename F>
  F Get(const char* name) const {
    // Through void (*)(), which converts to any function pointer type.
    return module ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                  : nullptr;
  }
  tk::Module module;
};

int Zip(const std::vector<std::string>& args, bool deleting) {
  Library library(L"zip32.dll");
  auto init = library.Get<decltype(&ZpInit)>("ZpInit");
  auto setOptions = library.Get<decltype(&ZpSetOptions)>("ZpSetOptions");
  auto archive = library.Get<decltype(&ZpArchive)>("ZpArchive");
  if (!init || !setOptions || !archive) return 100;
  ZipOptions options{};
  options.DeleteEntries = deleting ? 1 : 0;
  std::string root;
  size_t i = 0;
  for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
    const std::string& a = args[i];
    if (a.size() == 2 && a[1] >= '0' && a[1] <= '9') {
      options.Level = a[1];
    } else if (a == "-j") {
      options.JunkDir = 1;
    } else if (a == "-r") {
      options.Recurse = 1;
    } else if (a == "-D") {
      options.NoDirEntries = 1;
    } else if (a == "-q") {
      options.Quiet = 1;
    } else if (a == "-R" && i + 1 < args.size()) {
      root = args[++i];
    } else {
      return 16;
    }
  }
  if (i >= args.size() || args.size() - i - 1 > ZIP_NAME_LIST_SLOTS) return 16;
  if (!root.empty()) options.RootDir = root.data();
  std::string path = args[i++];
  std::vector<std::string> names(args.begin() + static_cast<long>(i), args.end());
  ZipNameList list{};
  for (size_t k = 0; k < names.size(); ++k) list.Names[k] = names[k].data();
  ZipCallbacks callbacks{ZipPrint, nullptr, nullptr, nullptr};
  init(&callbacks);
  setOptions(&options);
  return archive(static_cast<long>(names.size()), path.data(), &list);
}

int Unzip(const std::vector<std::string>& args) {
  Library library(L"unzip32.dll");
  auto unzip = library.Get<decltype(&Wiz_SingleEntryUnzip)>("Wiz_SingleEntryUnzip");
  if (!unzip) return 100;
  UnzipOptions options{};
  options.UseFolders = 1;
  options.Overwrite = 1;
  std::string target;
  size_t i = 0;
  for (; i < args.size() && args[i][0] == '-'; ++i) {
    if (args[i] == "-l") {
      options.ListOnly = 1;
    } else if (args[i] == "-t") {
      options.TestOnly = 1;
    } else if (args[i] == "-q") {
      options.Quiet = 2;
    } else if (args[i] == "-d" && i + 1 < args.size()) {
      target = args[++i] + "\\";
    } else if (args[i] == "-P" && i + 1 < args.size()) {
      password = args[++i];
    } else {
      return 10;
    }
  }
  if (i + 1 != args.size()) return 10;
  std::string path = args[i];
  options.ZipFileName = path.data();
  options.ExtractDir = target.empty() ? nullptr : target.data();
  UnzipCallbacks callbacks{};
  callbacks.Print = UnzipPrint;
  callbacks.Message = UnzipEntry;
  if (!password.empty()) callbacks.Password = UnzipPassword;
  char* none[1] = {nullptr};
  return unzip(0, none, 0, none, &options, &callbacks);
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int k = 1; k < count; ++k) args.push_back(Ansi(wide[k]));
  LocalFree(wide);
  if (args.empty()) return 16;
  std::string command = args[0];
  args.erase(args.begin());
  int status = command == "zip"      ? Zip(args, false)
               : command == "delete" ? Zip(args, true)
               : command == "unzip"  ? Unzip(args)
                                     : 16;
  std::fflush(stdout);
  return status;
}
