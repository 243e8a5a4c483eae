// The records of zip32.dll's published interface, as the driver passes them.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

using ZipPrintFn = int32_t(WINAPI*)(char* buffer, int32_t length);
using ZipPasswordFn = int32_t(WINAPI*)(char* buffer, int32_t size, const char* prompt, const char* name);
using ZipCommentFn = char*(WINAPI*)(char* buffer, int32_t size);
using ZipServiceFn = int32_t(WINAPI*)(const char* name, int32_t size);

struct ZipCallbacks {
    ZipPrintFn print;
    ZipPasswordFn password;
    ZipCommentFn comment;
    ZipServiceFn service;
};

struct ZipOptions {
    char* Date;
    char* szRootDir;
    char* szTempDir;
    int32_t switches1[13];
    int32_t fJunkDir;  // store entries under their bare file names
    int32_t switches2[14];
    uint8_t fLevel;  // 0: the library's own level
    uint8_t padding[3];
};

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(ZipCallbacks) == 16);
static_assert(sizeof(ZipOptions) == 128);
static_assert(offsetof(ZipOptions, fJunkDir) == 64);
static_assert(offsetof(ZipOptions, fLevel) == 124);
#endif

using ZpInitFn = int32_t(WINAPI*)(ZipCallbacks*);
using ZpSetOptionsFn = int32_t(WINAPI*)(ZipOptions*);
using ZpArchiveFn = int32_t(WINAPI*)(int32_t count, char* archive, char** names);
