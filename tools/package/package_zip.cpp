// Packs files into a Zip archive with the zip32.dll that lies beside this program, calling it
// exactly as Parcelo does: ZpInit, ZpSetOptions, ZpArchive, each file stored under its bare
// name. The release bundle is made with it, so that our own library writes what we ship.
//
//   package_zip.exe ARCHIVE FILE...
//
// Exit status: the library's status (0 on success, the zip tool's codes otherwise), 2 for a
// wrong command line, 3 when zip32.dll or one of its entry points cannot be found.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "package_zip_records.h"

namespace {

struct LibraryCloser {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryCloser>;

// The library's messages go to the console, where the packaging script shows them.
int32_t WINAPI Print(char* text, int32_t length) noexcept {
    if (text && length > 0) std::fwrite(text, 1, strnlen(text, static_cast<size_t>(length)), stderr);
    return 0;
}

int32_t WINAPI Password(char*, int32_t, const char*, const char*) noexcept { return 0; }

char* WINAPI Comment(char* buffer, int32_t) noexcept {
    if (buffer) buffer[0] = '\0';  // no archive comment
    return buffer;
}

int32_t WINAPI Service(const char*, int32_t) noexcept { return 0; }

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
    if (argc < 3) {
        std::fprintf(stderr, "usage: package_zip ARCHIVE FILE...\n");
        return 2;
    }
    // From our own folder only: never a zip32.dll found elsewhere on the search path.
    const std::string dll = ProgramFolder() + "\\zip32.dll";
    Library library(LoadLibraryExA(dll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) {
        std::fprintf(stderr, "package_zip: cannot load %s (error %lu)\n", dll.c_str(), GetLastError());
        return 3;
    }
    auto init = Entry<ZpInitFn>(library.get(), "ZpInit");
    auto setOptions = Entry<ZpSetOptionsFn>(library.get(), "ZpSetOptions");
    auto archive = Entry<ZpArchiveFn>(library.get(), "ZpArchive");
    if (!init || !setOptions || !archive) {
        std::fprintf(stderr, "package_zip: %s lacks ZpInit, ZpSetOptions or ZpArchive\n", dll.c_str());
        return 3;
    }

    ZipCallbacks callbacks{};
    callbacks.print = &Print;
    callbacks.password = &Password;
    callbacks.comment = &Comment;
    callbacks.service = &Service;
    ZipOptions options{};
    options.fJunkDir = 1;

    std::vector<std::string> files(argv + 2, argv + argc);
    std::vector<char*> names;
    for (auto& f : files) names.push_back(f.data());
    names.push_back(nullptr);
    std::string path = argv[1];

    init(&callbacks);
    setOptions(&options);
    int32_t status = archive(static_cast<int32_t>(files.size()), path.data(), names.data());
    if (status != 0) std::fprintf(stderr, "package_zip: zip32.dll answered %d for %s\n", static_cast<int>(status), path.c_str());
    return status;
}
