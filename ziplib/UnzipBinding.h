// The program's side of unzip32.dll: its option, callback and version records, the four
// callbacks and the two calls.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/toolkit/Handles.h"

namespace ziplib {

struct UnzipOptions {
    int32_t OnlyNewer;
    int32_t SpaceToUnderscore;
    int32_t PromptOverwrite;
    int32_t Quiet;
    int32_t ToStdout;
    int32_t TestOnly;
    int32_t ListOnly;
    int32_t Freshen;
    int32_t ShowComment;
    int32_t UseFolders;
    int32_t Overwrite;
    int32_t ConvertText;
    int32_t VerboseInfo;
    int32_t IgnoreCase;
    int32_t Privilege;
    char* ZipFileName;
    char* ExtractDir;
};

using UnzipPrintFn = int32_t(WINAPI*)(char* text, uint32_t length);
using UnzipSoundFn = void(WINAPI*)();
using UnzipReplaceFn = int32_t(WINAPI*)(char* name);
using UnzipPasswordFn = int32_t(WINAPI*)(char* buffer, int32_t size, const char* prompt, const char* name);
using UnzipEntryFn = void(WINAPI*)(uint32_t ucsize, uint32_t csize, uint32_t cfactor, uint32_t month, uint32_t day,
                                   uint32_t year, uint32_t hour, uint32_t minute, char flag, char* name,
                                   char* method, uint32_t crc, char encrypted);
using UnzipServiceFn = int32_t(WINAPI*)(char* name, uint32_t size);

struct UnzipCallbacks {
    UnzipPrintFn Print;
    UnzipSoundFn Sound;
    UnzipReplaceFn Replace;
    UnzipPasswordFn Password;
    UnzipEntryFn Message;
    UnzipServiceFn Service;
    // Written by the library, never read by the program.
    uint32_t TotalSizeComp;
    uint32_t TotalSize;
    uint32_t CompFactor;
    uint32_t NumMembers;
    uint16_t cchComment;
};

struct UnzipVersionInfo {
    uint32_t structlen;
    uint32_t flag;
    char betalevel[10];
    char date[20];
    char zlib_version[10];
    uint8_t unzip[4];
    uint8_t zipinfo[4];
    uint32_t os2dll;
    uint8_t windll[4];
};
static_assert(sizeof(UnzipVersionInfo) == 64);
static_assert(offsetof(UnzipVersionInfo, betalevel) == 8);
static_assert(offsetof(UnzipVersionInfo, date) == 18);
static_assert(offsetof(UnzipVersionInfo, zlib_version) == 38);
static_assert(offsetof(UnzipVersionInfo, os2dll) == 56);
static_assert(offsetof(UnzipVersionInfo, windll) == 60);

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(UnzipOptions) == 68);
static_assert(offsetof(UnzipOptions, ListOnly) == 24);
static_assert(offsetof(UnzipOptions, UseFolders) == 36);
static_assert(offsetof(UnzipOptions, Overwrite) == 40);
static_assert(offsetof(UnzipOptions, ZipFileName) == 60);
static_assert(offsetof(UnzipOptions, ExtractDir) == 64);
static_assert(offsetof(UnzipCallbacks, Message) == 16);
static_assert(offsetof(UnzipCallbacks, Service) == 20);
static_assert(offsetof(UnzipCallbacks, TotalSizeComp) == 24);
static_assert(offsetof(UnzipCallbacks, cchComment) == 40);
#endif

// What the callbacks report to: the main window while Wiz_SingleEntryUnzip runs.
class UnzipEvents {
public:
    virtual ~UnzipEvents() = default;
    virtual void UnzipPrinted(const std::string& text) = 0;
    virtual void UnzipListed(const std::string& name, uint32_t uncompressedSize) = 0;
    virtual void UnzipExtracted(const std::string& name, uint32_t uncompressedSize) = 0;
};

class UnzipEventsScope {
public:
    explicit UnzipEventsScope(UnzipEvents& events);
    ~UnzipEventsScope();
    UnzipEventsScope(const UnzipEventsScope&) = delete;
    UnzipEventsScope& operator=(const UnzipEventsScope&) = delete;
};

int32_t WINAPI UnzipPrintCallback(char* text, uint32_t length);
int32_t WINAPI UnzipReplaceCallback(char* name);
void WINAPI UnzipEntryCallback(uint32_t ucsize, uint32_t csize, uint32_t cfactor, uint32_t month, uint32_t day,
                               uint32_t year, uint32_t hour, uint32_t minute, char flag, char* name, char* method,
                               uint32_t crc, char encrypted);
int32_t WINAPI UnzipServiceCallback(char* name, uint32_t size);

// A member name as the list shows it: bytes 0 to 255, stopping at the first zero.
std::string MemberNameText(const char* name);

// unzip32.dll loaded from the program's folder.
class Unzip32 {
public:
    Unzip32();
    bool Loaded() const { return version_ && unzip_; }
    // A missing library or entry point answers -1.
    int32_t UzpVersion2(UnzipVersionInfo* info) const;
    // Processes every member (empty include and exclude lists) with ANSI copies of the two texts.
    int32_t Wiz_SingleEntryUnzip(UnzipOptions& options, const std::string& zipFileName, const char* extractDir,
                                 UnzipCallbacks& callbacks) const;

private:
    tk::Module module_;
    uint32_t(WINAPI* version_)(UnzipVersionInfo*) = nullptr;
    int32_t(WINAPI* unzip_)(int32_t, char**, int32_t, char**, UnzipOptions*, UnzipCallbacks*) = nullptr;
};

// What unzip32.dll's status means, in words for the user.
std::string UnzipStatusText(int32_t status);

}  // namespace ziplib
