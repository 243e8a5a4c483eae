// CodePage.h on Windows: the OEM code page and MultiByteToWideChar.
#include <windows.h>

#include "archive/io/CodePage.h"

namespace archive {

std::optional<std::string> CodePageToUtf8(unsigned codePage, std::string_view bytes) {
  if (bytes.empty()) return std::string();
  if (!IsValidCodePage(codePage)) return std::nullopt;
  // No MB_ERR_INVALID_CHARS: a byte that is not text becomes the code page's default
  // character, as Windows' own folders show it.
  int size = static_cast<int>(bytes.size());
  int units = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  if (units <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), units);
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

NameCodePage SystemNameCodePage() {
  UINT oem = GetOEMCP();
  if (oem == 0 || !IsValidCodePage(oem)) return NameCodePage{};
  return NameCodePage{oem, &CodePageToUtf8};
}

}  // namespace archive
