// The program's side of zip32.dll: the records in the library's layout, the four callbacks and
// the three calls. Texts cross the interface as NUL-terminated ANSI copies.
#pragma once
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/toolkit/Handles.h"

namespace ziplib {

using ZipPrintFn = int32_t(WINAPI*)(char* buffer, int32_t length);
using ZipPasswordFn = int32_t(WINAPI*)(char* buffer, int32_t size, const char* prompt, const char* name);
using ZipCommentFn = char*(WINAPI*)(char* buffer, int32_t size);
using ZipServiceFn = int32_t(WINAPI*)(const char* name, int32_t size);

// The callback table handed to ZpInit.
struct ZipCallbacks {
    ZipPrintFn print;
    ZipPasswordFn password;
    ZipCommentFn comment;
    ZipServiceFn service;
};

// The option record handed to ZpSetOptions. The program sets fJunkDir and nothing else.
struct ZipOptions {
    char* Date;
    char* szRootDir;
    char* szTempDir;
    int32_t switches1[13];
    int32_t fJunkDir;  // store entries under their bare file names
    int32_t switches2[14];
    uint8_t fLevel;
    uint8_t padding[3];
};

constexpr int kZipNameSlots = 100;
using ZipNameList = std::array<char*, kZipNameSlots>;
constexpr int kZipTextBufferSize = 4097;

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(ZipCallbacks) == 16);
static_assert(offsetof(ZipCallbacks, service) == 12);
static_assert(sizeof(ZipOptions) == 128);
static_assert(offsetof(ZipOptions, switches1) == 12);
static_assert(offsetof(ZipOptions, fJunkDir) == 64);
static_assert(offsetof(ZipOptions, switches2) == 68);
static_assert(offsetof(ZipOptions, fLevel) == 124);
static_assert(sizeof(ZipNameList) == 400);
#endif

// Returns the address it is given: how the callback table gets its entries.
template <class Fn>
Fn CallbackAddress(Fn f) {
    return f;
}

// What the callbacks report to: the main window while ZpArchive runs.
class ZipEvents {
public:
    virtual ~ZipEvents() = default;
    virtual void ZipPrinted(const std::string& text) = 0;
    virtual void ZipProcessed(int32_t size) = 0;
};

// Installs the receiver of the callbacks for the duration of one call.
class ZipEventsScope {
public:
    explicit ZipEventsScope(ZipEvents& events);
    ~ZipEventsScope();
    ZipEventsScope(const ZipEventsScope&) = delete;
    ZipEventsScope& operator=(const ZipEventsScope&) = delete;
};

int32_t WINAPI ZipPrintCallback(char* buffer, int32_t length);
int32_t WINAPI ZipPasswordCallback(char* buffer, int32_t size, const char* prompt, const char* name);
char* WINAPI ZipCommentCallback(char* buffer, int32_t size);
int32_t WINAPI ZipServiceCallback(const char* name, int32_t size);

// The text a print callback collects: bytes 0 to length inclusive, stopping at the first zero,
// never past index 4096.
std::string CollectPrintText(const char* buffer, int32_t length);

// zip32.dll loaded from the program's folder.
class Zip32 {
public:
    Zip32();
    bool Loaded() const { return init_ && setOptions_ && archive_; }
    // The three entry points; a missing library or entry point answers -1.
    int32_t ZpInit(ZipCallbacks* callbacks) const;
    // Passes an ANSI copy of the options and converts its texts back afterwards.
    int32_t ZpSetOptions(ZipOptions& options) const;
    // Passes an ANSI copy of the path and of the name list.
    int32_t ZpArchive(int16_t count, const std::string& archive,
                      const std::array<std::string, kZipNameSlots>& names) const;

private:
    tk::Module module_;
    int32_t(WINAPI* init_)(ZipCallbacks*) = nullptr;
    int32_t(WINAPI* setOptions_)(ZipOptions*) = nullptr;
    int32_t(WINAPI* archive_)(int32_t, char*, char**) = nullptr;
};

// What zip32.dll's status means, in words for the user.
std::string ZipStatusText(int32_t status);

}  // namespace ziplib
