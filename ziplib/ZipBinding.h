// The program's side of zip32.dll: the records of its published header (zip32.h), the four
// callbacks and the three calls. Texts cross the interface as NUL-terminated ANSI copies.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "dll/include/zip32.h"
#include "platform/toolkit/Handles.h"

namespace ziplib {

constexpr int kZipNameSlots = ZIP_NAME_LIST_SLOTS;
constexpr int kZipTextBufferSize = ZIP_TEXT_BUFFER_SIZE;

// What the binding answers when zip32.dll or one of its entry points is missing.
constexpr int32_t kLibraryMissing = -1;

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

// Installs the receiver of a library's callbacks for the duration of one call: the callbacks
// carry no context, so they report to the one installed.
template <class Events>
class EventsScope {
 public:
  explicit EventsScope(Events& events) { current_ = &events; }
  ~EventsScope() { current_ = nullptr; }
  EventsScope(const EventsScope&) = delete;
  EventsScope& operator=(const EventsScope&) = delete;
  // The receiver of the running call; null between calls.
  static Events* Current() { return current_; }

 private:
  static inline Events* current_ = nullptr;
};
using ZipEventsScope = EventsScope<ZipEvents>;

int WINAPI ZipPrintCallback(char* buffer, long length);
int WINAPI ZipPasswordCallback(char* buffer, int size, const char* prompt, const char* name);
char* WINAPI ZipCommentCallback(char* buffer, unsigned long size);
int WINAPI ZipServiceCallback(const char* name, long size);

// The text a print callback collects: bytes 0 to length inclusive, stopping at the first zero,
// never past index 4096.
std::string CollectPrintText(const char* buffer, long length);

// zip32.dll loaded from the program's folder.
class Zip32 {
 public:
  Zip32();
  bool Loaded() const { return init_ && setOptions_ && archive_; }
  // The three entry points; a missing library or entry point answers kLibraryMissing.
  int32_t ZpInit(const ZipCallbacks* callbacks) const;
  // Passes a copy of the options whose texts are ANSI copies living for the call (the
  // library keeps copies of its own); the caller's record is left as it was.
  int32_t ZpSetOptions(const ZipOptions& options) const;
  // Passes an ANSI copy of the path and of the name list.
  int32_t ZpArchive(int16_t count, const std::string& archive,
                    const std::array<std::string, kZipNameSlots>& names) const;

 private:
  tk::Module module_;
  decltype(&::ZpInit) init_ = nullptr;
  decltype(&::ZpSetOptions) setOptions_ = nullptr;
  decltype(&::ZpArchive) archive_ = nullptr;
};

// What zip32.dll's status means, in words for the user: every ZIP32_* code and
// kLibraryMissing; any other number as "error N".
std::string ZipStatusText(int32_t status);

}  // namespace ziplib
