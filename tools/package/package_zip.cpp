// Packs files into a Zip archive with the zip32.dll that lies beside this program, through its
// published interface: ZpInit, ZpSetOptions, ZpArchive, each file stored under its bare name,
// as Parcelo stores them. The release bundle is made with it, so that our own library writes
// what we ship.
//
//   package_zip.exe ARCHIVE FILE...
//
// Exit status: the library's status (0 on success, the zip tool's codes otherwise), 2 for a
// wrong command line, 3 when zip32.dll or one of its entry points cannot be found.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/toolkit/Handles.h"
#include "zip32.h"

namespace {

// The library's warnings and errors go to the console, where the packaging script shows them.
int WINAPI Print(char* text, long length) noexcept {
  if (text && length > 0) std::fwrite(text, 1, strnlen(text, static_cast<size_t>(length)), stderr);
  return 0;
}

std::string ProgramFolder() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ".";
    if (n < path.size()) {
      std::string full(path.data(), n);
      return full.substr(0, full.find_last_of("\\/"));
    }
    path.resize(path.size() * 2);
  }
}

template <typename Fn>
Fn Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc - 2 >= ZIP_NAME_LIST_SLOTS) {
    std::fprintf(stderr, "usage: package_zip ARCHIVE FILE... (at most %d files)\n",
                 ZIP_NAME_LIST_SLOTS - 1);
    return 2;
  }
  // From our own folder only: never a zip32.dll found elsewhere on the search path.
  const std::string dll = ProgramFolder() + "\\zip32.dll";
  tk::Module library(LoadLibraryExA(dll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!library) {
    std::fprintf(stderr, "package_zip: cannot load %s (error %lu)\n", dll.c_str(), GetLastError());
    return 3;
  }
  auto init = Entry<decltype(&ZpInit)>(library, "ZpInit");
  auto setOptions = Entry<decltype(&ZpSetOptions)>(library, "ZpSetOptions");
  auto archive = Entry<decltype(&ZpArchive)>(library, "ZpArchive");
  if (!init || !setOptions || !archive) {
    std::fprintf(stderr, "package_zip: %s lacks ZpInit, ZpSetOptions or ZpArchive\n", dll.c_str());
    return 3;
  }

  ZipCallbacks callbacks{};
  callbacks.Print = &Print;  // the other slots stay null: the library never calls them
  ZipOptions options{};
  options.JunkDir = 1;  // bare names, as Parcelo stores them
  options.Quiet = 1;    // warnings and errors only
  options.Level = 9;    // a release is packed once and downloaded often

  ZipNameList names{};
  for (int i = 2; i < argc; ++i) names.Names[i - 2] = argv[i];

  init(&callbacks);
  setOptions(&options);
  int status = archive(argc - 2, argv[1], &names);
  if (status != ZIP32_OK)
    std::fprintf(stderr, "package_zip: zip32.dll answered %d for %s\n", status, argv[1]);
  return status;
}
