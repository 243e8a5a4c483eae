// What the About tests share: a scratch registry key, a scratch folder and a seam that records.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "platform/toolkit/Handles.h"
#include "support/RecordingSeam.h"

// A key under the current user's root, created if need be; empty when that fails.
inline tk::RegKey CreateUserKey(const std::string& path) {
  HKEY h = nullptr;
  LONG r = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &h, nullptr);
  return tk::RegKey(r == ERROR_SUCCESS ? h : nullptr);
}

// An existing key under the current user's root, opened with the given access; empty when refused.
inline tk::RegKey OpenUserKey(const std::string& path, REGSAM access) {
  HKEY h = nullptr;
  LONG r = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &h);
  return tk::RegKey(r == ERROR_SUCCESS ? h : nullptr);
}

// A fresh key under the current user's root, removed with everything below it at the end.
class TestKey {
 public:
  TestKey() {
    static int serial = 0;
    path_ = "Software\\ParceloTests\\About-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++serial);
    CreateUserKey(path_);
  }
  ~TestKey() {
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER,
                  "Software\\ParceloTests");  // only once nothing else is left in it
  }
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  const std::string& Path() const { return path_; }
  // Writes one value's bytes as they are, under the sub-key (created if need be; "" is the key
  // itself).
  bool SetRaw(const std::string& subKey, const std::string& name, DWORD type,
              const std::string& bytes) const {
    std::string where = subKey.empty() ? path_ : path_ + "\\" + subKey;
    tk::RegKey key = CreateUserKey(where);
    if (!key) return false;
    // The system counts a string's terminating zero itself when one follows the data: a
    // guard byte keeps a string stored without its zero as it is.
    std::string guarded = bytes + '\x7F';
    return RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                          static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
  }

 private:
  std::string path_;
};

using RecordingSeam = testsupport::RecordingSeam;
