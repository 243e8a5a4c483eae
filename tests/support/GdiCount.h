// The number of GDI objects the process holds. Windows answers GetGuiResources; Wine's answers
// 0, so there the live entries of the process's GDI handle table (which Wine, like Windows,
// publishes in the PEB) are counted instead.
#pragma once
#include <windows.h>
#include <winternl.h>

#include <cstdint>

namespace testsupport {

inline bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

inline long WineGdiTableCount() {
  // Wine's GDI_HANDLE_ENTRY: UINT64 Object, ULONG Owner, USHORT Unique, UCHAR Type, UCHAR
  // Flags, UINT64 UserPointer; a free entry has Type 0. 0x10000 entries.
  struct Entry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t userPointer;
  };
  static_assert(sizeof(Entry) == 24);
  using Query = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION info{};
  if (!query ||
      query(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
    return 0;
  auto* peb = reinterpret_cast<const BYTE*>(info.PebBaseAddress);
  const size_t offset = sizeof(void*) == 8 ? 0xF8 : 0x94;  // PEB.GdiSharedHandleTable
  auto* table = *reinterpret_cast<const Entry* const*>(peb + offset);
  if (!table) return 0;
  long n = 0;
  for (size_t i = 0; i < 0x10000; ++i) n += table[i].type != 0;
  return n;
}

inline long GdiObjectCount() {
  long n = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
  if (n == 0 && RunningUnderWine()) n = WineGdiTableCount();
  return n;
}

}  // namespace testsupport
