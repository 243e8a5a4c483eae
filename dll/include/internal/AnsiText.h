// Conversions between the libraries' ANSI interface and the engine's UTF-8 and wide
// paths. Shared by zip32.dll and unzip32.dll; not part of their published interface.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace dlltext {

inline std::wstring ToWide(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  int length =
      MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// ANSI text for the caller; characters the code page lacks become '?' (no look-alikes).
inline std::string ToAnsi(std::wstring_view wide) {
  if (wide.empty()) return {};
  BOOL lossy = FALSE;
  int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                   static_cast<int>(wide.size()), nullptr, 0, "?", &lossy);
  std::string ansi(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      ansi.data(), length, "?", &lossy);
  return ansi;
}

inline std::string Utf8ToAnsi(std::string_view utf8) { return ToAnsi(ToWide(utf8, CP_UTF8)); }

inline std::string AnsiToUtf8(const char* ansi) {
  if (!ansi) return {};
  std::wstring wide = ToWide(ansi, CP_ACP);
  if (wide.empty()) return {};
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length,
                      nullptr, nullptr);
  return utf8;
}

// The path an ANSI name stands for, held as wide characters.
inline std::filesystem::path AnsiToPath(const char* ansi) {
  return ansi ? std::filesystem::path(ToWide(ansi, CP_ACP)) : std::filesystem::path();
}

inline std::string PathToAnsi(const std::filesystem::path& path) { return ToAnsi(path.native()); }

}  // namespace dlltext
