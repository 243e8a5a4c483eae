// Shared helpers of the header tests: a memory surface of a given pixel size, pixel reads, the
// process's GDI object count, and a host window for the control.
#pragma once
#include <windows.h>
#include <winternl.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/toolkit/Font.h"
#include "platform/toolkit/Seam.h"
#include "platform/toolkit/Window.h"

namespace headertest {

// Nearest integer with halves to even, independent of the code under test.
inline long RoundEven(double x) { return std::lrint(x); }  // default rounding mode: to nearest even

inline COLORREF Rgb(int r, int g, int b) { return static_cast<COLORREF>(r | (g << 8) | (b << 16)); }

// Live GDI objects of this process. Wine leaves GetGuiResources unimplemented, so there the
// handle table that gdi32 shares through the PEB is counted instead.
inline long GdiObjectCount() {
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) {
        struct Entry {
            uint64_t object;
            uint32_t owner;
            uint16_t unique;
            uint8_t type;
            uint8_t flags;
            uint64_t user;
        };
        static_assert(sizeof(Entry) == 24);
        using QueryFn = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
        auto query = reinterpret_cast<QueryFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
        PROCESS_BASIC_INFORMATION info{};
        if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info, nullptr) != 0) return -1;
        auto* peb = reinterpret_cast<char*>(info.PebBaseAddress);
#ifdef _WIN64
        auto* table = *reinterpret_cast<Entry**>(peb + 0xF8);  // PEB.GdiSharedHandleTable
#else
        auto* table = *reinterpret_cast<Entry**>(peb + 0x94);
#endif
        if (!table) return -1;
        long n = 0;
        for (int i = 0; i < 0x10000; ++i) n += table[i].type != 0;
        return n;
    }
    return static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
}

// Records message boxes instead of showing them.
class RecordingSeam : public tk::Seam {
public:
    struct Message {
        std::string text, caption;
        UINT flags;
    };
    int ShowMessage(HWND, const std::string& text, const std::string& caption, UINT flags) override {
        messages.push_back({text, caption, flags});
        return IDOK;
    }
    std::vector<Message> messages;
};

// A plain window to host a control.
class HostForm : public tk::Form {
public:
    HostForm() {
        Style s;
        s.caption = "header test";
        s.clientWidthTwips = 7335;
        s.clientHeightTwips = 3000;
        CreateForm(s);
    }
};

}  // namespace headertest
