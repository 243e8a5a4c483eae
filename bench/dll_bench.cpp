// dll_bench: drives zip32.dll and unzip32.dll the way the program does (LoadLibrary,
// GetProcAddress, the published records) and times the one call, for scripts/bench.
//   dll_bench zip <archive> <folder> [level]   archives everything in <folder>, recursively
//   dll_bench unzip <archive> <folder> [password]  extracts into <folder>, giving the
//                                                 password when asked
//   dll_bench list <archive>                    lists through the entry callback
// Prints one line: "status=N seconds=S members=M peak_mib=P" (the process's peak working
// set, as the system reports it).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/toolkit/Handles.h"
#include "unzip32.h"
#include "zip32.h"

namespace {

unsigned long g_members = 0;

int WINAPI Quiet(char*, long) { return 0; }
int WINAPI QuietUnzip(char*, unsigned long) { return 0; }
int WINAPI CountZipped(const char*, long) {
  ++g_members;
  return 0;
}
const char* g_password = nullptr;
int WINAPI GivePassword(char* buffer, int size, const char*, const char*) {
  if (!g_password || std::strlen(g_password) >= static_cast<size_t>(size)) {
    return UNZIP32_PASSWORD_SKIP_ALL;
  }
  std::strcpy(buffer, g_password);
  return UNZIP32_PASSWORD_GIVEN;
}
int WINAPI CountExtracted(char*, unsigned long) {
  ++g_members;
  return 0;
}
void WINAPI CountListed(unsigned long, unsigned long, unsigned, unsigned, unsigned, unsigned,
                        unsigned, unsigned, char, char*, char*, unsigned long, char) {
  ++g_members;
}

// The libraries are loaded once, by main, before the clock starts.
template <typename F>
F Entry(const char* library, const char* name) {
  HMODULE module = GetModuleHandleA(library);
  FARPROC proc = module ? GetProcAddress(module, name) : nullptr;
  if (!proc) {
    std::fprintf(stderr, "dll_bench: %s!%s not found\n", library, name);
    std::exit(2);
  }
  return reinterpret_cast<F>(reinterpret_cast<void*>(proc));
}

// Peak working set of the process: Wine's own modules included, so an upper bound for
// what the libraries use.
double PeakMib() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

int Zip(const char* archive, const char* folder, char level) {
  auto init = Entry<int(WINAPI*)(const ZipCallbacks*)>("zip32.dll", "ZpInit");
  auto setOptions = Entry<int(WINAPI*)(const ZipOptions*)>("zip32.dll", "ZpSetOptions");
  auto run = Entry<int(WINAPI*)(long, const char*, const ZipNameList*)>("zip32.dll", "ZpArchive");
  ZipCallbacks callbacks{};
  callbacks.Print = Quiet;
  callbacks.Service = CountZipped;
  init(&callbacks);
  ZipOptions options{};
  std::string root = folder;
  options.RootDir = root.data();
  options.Recurse = 1;
  options.Quiet = 1;
  options.Level = level;
  setOptions(&options);
  ZipNameList names{};
  char all[] = "*";
  names.Names[0] = all;
  return run(1, archive, &names);
}

int Unzip(const char* archive, const char* folder, bool list) {
  auto run = Entry<int(WINAPI*)(int, char**, int, char**, UnzipOptions*, UnzipCallbacks*)>(
      "unzip32.dll", "Wiz_SingleEntryUnzip");
  UnzipOptions options{};
  std::string name = archive;
  std::string target = folder ? folder : "";
  options.ZipFileName = name.data();
  options.ExtractDir = folder ? target.data() : nullptr;
  options.ListOnly = list ? 1 : 0;
  options.UseFolders = 1;
  options.Overwrite = 1;
  options.Quiet = 2;
  UnzipCallbacks callbacks{};
  callbacks.Print = QuietUnzip;
  callbacks.Message = CountListed;
  callbacks.Service = CountExtracted;
  callbacks.Password = GivePassword;
  return run(0, nullptr, 0, nullptr, &options, &callbacks);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: dll_bench zip|unzip|list archive [folder] [level]\n", stderr);
    return 2;
  }
  std::string command = argv[1];
  // Load both libraries before the clock starts.
  tk::Module zip(LoadLibraryA("zip32.dll")), unzip(LoadLibraryA("unzip32.dll"));
  if (!zip || !unzip) {
    std::fputs("dll_bench: cannot load the libraries\n", stderr);
    return 2;
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int status = 0;
  if (command == "zip" && argc >= 4) {
    status = Zip(argv[2], argv[3], argc >= 5 ? argv[4][0] : '6');
  } else if (command == "unzip" && argc >= 4) {
    g_password = argc >= 5 ? argv[4] : nullptr;
    status = Unzip(argv[2], argv[3], false);
  } else if (command == "list") {
    status = Unzip(argv[2], nullptr, true);
  } else {
    std::fputs("dll_bench: unknown command\n", stderr);
    return 2;
  }
  QueryPerformanceCounter(&end);
  double seconds =
      static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("status=%d seconds=%.3f members=%lu peak_mib=%.1f\n", status, seconds, g_members,
              PeakMib());
  return status;
}
