#include "ziplib/ZipBinding.h"

#include <cstring>
#include <vector>

#include "platform/toolkit/App.h"
#include "ziplib/StatusTexts.h"

namespace ziplib {

namespace {

// A NUL-terminated ANSI copy of a text, alive as long as the object; empty texts stay null
// where the record held null.
class AnsiCopy {
 public:
  explicit AnsiCopy(const char* text) : null_(text == nullptr) {
    if (text) buffer_.assign(text, text + strlen(text) + 1);
  }
  explicit AnsiCopy(const std::string& text) : null_(false), buffer_(text.begin(), text.end()) {
    buffer_.push_back('\0');
  }
  char* Get() { return null_ ? nullptr : buffer_.data(); }

 private:
  bool null_;
  std::vector<char> buffer_;
};

// Every code zip32.h names, in the words of its description of ZpArchive.
constexpr StatusText kZipStatusTexts[] = {
    {ZIP32_OK, "no error"},
    {ZIP32_BAD_ARCHIVE, "the existing file is not a readable Zip archive"},
    {ZIP32_NO_MEMORY, "not enough memory"},
    {ZIP32_INTERNAL, "an unexpected failure inside zip32.dll"},
    {ZIP32_CANCELLED, "the work was cancelled"},
    {ZIP32_TEMP_FILE, "the new archive could not replace the old one"},
    {ZIP32_READ_ARCHIVE, "the existing archive could not be read"},
    {ZIP32_NOTHING_TO_DO, "there was nothing to do"},
    {ZIP32_NO_ARCHIVE, "there is no archive to remove members from"},
    {ZIP32_WRITE, "writing the new archive failed (is the disk full?)"},
    {ZIP32_CREATE, "no temporary file can be created beside the archive"},
    {ZIP32_PARAMETERS, "the arguments were not valid, or two files would be stored under one name"},
    {ZIP32_OPEN_INPUT, "a listed file is missing or could not be read"},
    {ZIP32_UNSUPPORTED, "encryption is not supported"},
    {kLibraryMissing, "zip32.dll could not be loaded from the program's folder"},
};

}  // namespace

std::string CollectPrintText(const char* buffer, long length) {
  std::string text;
  if (!buffer) return text;
  for (long i = 0; i <= length && i < kZipTextBufferSize; ++i) {
    if (buffer[i] == '\0') break;
    text.push_back(buffer[i]);
  }
  return text;
}

int WINAPI ZipPrintCallback(char* buffer, long length) {
  try {
    ZipEvents* events = ZipEventsScope::Current();
    if (events) events->ZipPrinted(CollectPrintText(buffer, length));
  } catch (...) {
  }
  return 0;
}

int WINAPI ZipPasswordCallback(char*, int, const char*, const char*) { return 0; }

char* WINAPI ZipCommentCallback(char* buffer, unsigned long) {
  if (buffer) memset(buffer, 0, kZipTextBufferSize);
  return buffer;
}

int WINAPI ZipServiceCallback(const char*, long size) {
  try {
    ZipEvents* events = ZipEventsScope::Current();
    if (events) events->ZipProcessed(size);
  } catch (...) {
  }
  return 0;
}

Zip32::Zip32() {
  module_.Reset(LoadLibraryA((tk::App::Path() + "\\zip32.dll").c_str()));
  if (!module_) return;
  init_ =
      reinterpret_cast<decltype(init_)>(reinterpret_cast<void*>(GetProcAddress(module_, "ZpInit")));
  setOptions_ = reinterpret_cast<decltype(setOptions_)>(
      reinterpret_cast<void*>(GetProcAddress(module_, "ZpSetOptions")));
  archive_ = reinterpret_cast<decltype(archive_)>(
      reinterpret_cast<void*>(GetProcAddress(module_, "ZpArchive")));
}

int32_t Zip32::ZpInit(const ZipCallbacks* callbacks) const {
  return init_ ? init_(callbacks) : kLibraryMissing;
}

int32_t Zip32::ZpSetOptions(const ZipOptions& options) const {
  if (!setOptions_) return kLibraryMissing;
  AnsiCopy date(options.Date), root(options.RootDir), temp(options.TempDir);
  ZipOptions copy = options;
  copy.Date = date.Get();
  copy.RootDir = root.Get();
  copy.TempDir = temp.Get();
  return setOptions_(&copy);
}

int32_t Zip32::ZpArchive(int16_t count, const std::string& archive,
                         const std::array<std::string, kZipNameSlots>& names) const {
  if (!archive_) return kLibraryMissing;
  AnsiCopy path(archive);
  std::vector<AnsiCopy> copies;
  copies.reserve(kZipNameSlots);
  ZipNameList list{};
  for (int k = 0; k < kZipNameSlots; ++k) {
    copies.emplace_back(names[k].empty() ? nullptr : names[k].c_str());
    list.Names[k] = copies.back().Get();
  }
  return archive_(count, path.Get(), &list);
}

std::string ZipStatusText(int32_t status) { return TextOf(kZipStatusTexts, status); }

}  // namespace ziplib
