// Sets the resolution Wine gives the programs that start after it in this prefix: LogPixels of
// HKEY_CURRENT_USER\Control Panel\Desktop. The GUI tests' DPI runs start with it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/toolkit/Handles.h"

int main(int argc, char** argv) {
  const long dpi = argc == 2 ? std::strtol(argv[1], nullptr, 10) : 0;
  if (dpi < 96 || dpi > 480) {
    std::fprintf(stderr, "usage: set_dpi DPI (96 to 480)\n");
    return 2;
  }
  HKEY h = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &h, nullptr) != ERROR_SUCCESS)
    return 1;
  tk::RegKey key(h);
  const DWORD value = static_cast<DWORD>(dpi);
  return RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value) == ERROR_SUCCESS
             ? 0
             : 1;
}
