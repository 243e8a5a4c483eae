// The program's side of unzip32.dll: the records of its published header (unzip32.h), the
// five callbacks and the two calls.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "dll/include/unzip32.h"
#include "platform/toolkit/Handles.h"
#include "ziplib/ZipBinding.h"

namespace ziplib {

// What the callbacks report to: the main window while Wiz_SingleEntryUnzip runs.
class UnzipEvents {
 public:
  virtual ~UnzipEvents() = default;
  virtual void UnzipPrinted(const std::string& text) = 0;
  virtual void UnzipListed(const std::string& name, uint32_t uncompressedSize) = 0;
  virtual void UnzipExtracted(const std::string& name, uint32_t uncompressedSize) = 0;
  // An encrypted member asks for its password: answers as UnzipPasswordProc does.
  virtual int UnzipPassword(char* buffer, int size, const char* prompt,
                            const std::string& name) = 0;
};

using UnzipEventsScope = EventsScope<UnzipEvents>;

int WINAPI UnzipPrintCallback(char* text, unsigned long length);
int WINAPI UnzipReplaceCallback(char* name);
void WINAPI UnzipEntryCallback(unsigned long uncompressedSize, unsigned long compressedSize,
                               unsigned factor, unsigned month, unsigned day, unsigned year,
                               unsigned hour, unsigned minute, char flag, char* name, char* method,
                               unsigned long crc, char encrypted);
int WINAPI UnzipServiceCallback(char* name, unsigned long size);
// Skips every encrypted member when no receiver answers or the answer fails.
int WINAPI UnzipPasswordCallback(char* buffer, int size, const char* prompt, const char* name);

// A member name as the list shows it: bytes 0 to 255, stopping at the first zero.
std::string MemberNameText(const char* name);

// unzip32.dll loaded from the program's folder.
class Unzip32 {
 public:
  Unzip32();
  bool Loaded() const { return version_ && unzip_; }
  // A missing library or entry point answers kLibraryMissing.
  int32_t UzpVersion2(UnzipVersionInfo* info) const;
  // Processes every member (empty include and exclude lists) with ANSI copies of the two
  // texts; the option words come back into `options`, its text pointers stay the caller's.
  int32_t Wiz_SingleEntryUnzip(UnzipOptions& options, const std::string& zipFileName,
                               const char* extractDir, UnzipCallbacks& callbacks) const;

 private:
  tk::Module module_;
  decltype(&::UzpVersion2) version_ = nullptr;
  decltype(&::Wiz_SingleEntryUnzip) unzip_ = nullptr;
};

// What unzip32.dll's status means, in words for the user: every UNZIP32_* code and
// kLibraryMissing; any other number as "error N".
std::string UnzipStatusText(int32_t status);

}  // namespace ziplib
