#include "ziplib/UnzipBinding.h"

#include <vector>

#include "platform/toolkit/App.h"
#include "ziplib/StatusTexts.h"

namespace ziplib {

namespace {
// Every code unzip32.h names, in the words of its description of Wiz_SingleEntryUnzip.
constexpr StatusText kUnzipStatusTexts[] = {
    {UNZIP32_OK, "no error"},
    {UNZIP32_WARNING, "symbolic links in the archive were not created"},
    {UNZIP32_MEMBER_ERROR,
     "a member failed its checks or was refused, or its file could not be written"},
    {UNZIP32_DIRECTORY_ERROR, "the archive's central directory is damaged"},
    {UNZIP32_NO_MEMORY, "not enough memory"},
    {UNZIP32_NOT_FOUND, "the archive does not exist, cannot be opened, or is not a Zip archive"},
    {UNZIP32_PARAMETERS, "the library was called with invalid arguments"},
    {UNZIP32_NO_MATCH, "an include pattern matched no member"},
    {UNZIP32_DISK_FULL, "the disk filled up"},
    {UNZIP32_CANCELLED, "the extraction was cancelled"},
    {UNZIP32_UNSUPPORTED, "a member is encrypted or uses an unsupported compression method"},
    {UNZIP32_BAD_PASSWORD, "encrypted members were skipped or their password was wrong"},
    {kLibraryMissing, "unzip32.dll could not be loaded from the program's folder"},
};
}  // namespace

std::string MemberNameText(const char* name) {
  std::string text;
  if (!name) return text;
  for (int i = 0; i <= 255 && name[i] != '\0'; ++i) text.push_back(name[i]);
  return text;
}

int WINAPI UnzipPrintCallback(char* text, unsigned long length) {
  try {
    UnzipEvents* events = UnzipEventsScope::Current();
    if (events && text) events->UnzipPrinted(std::string(text, strnlen(text, length)));
  } catch (...) {
  }
  return 0;
}

int WINAPI UnzipReplaceCallback(char*) { return 0; }

void WINAPI UnzipEntryCallback(unsigned long uncompressedSize, unsigned long, unsigned, unsigned,
                               unsigned, unsigned, unsigned, unsigned, char, char* name, char*,
                               unsigned long, char) {
  try {
    UnzipEvents* events = UnzipEventsScope::Current();
    if (events) events->UnzipListed(MemberNameText(name), uncompressedSize);
  } catch (...) {
  }
}

int WINAPI UnzipServiceCallback(char* name, unsigned long size) {
  try {
    UnzipEvents* events = UnzipEventsScope::Current();
    if (events) events->UnzipExtracted(MemberNameText(name), size);
  } catch (...) {
  }
  return 0;
}

int WINAPI UnzipPasswordCallback(char* buffer, int size, const char* prompt, const char* name) {
  try {
    UnzipEvents* events = UnzipEventsScope::Current();
    if (events) return events->UnzipPassword(buffer, size, prompt, MemberNameText(name));
  } catch (...) {
  }
  return UNZIP32_PASSWORD_SKIP_ALL;
}

Unzip32::Unzip32() {
  module_.Reset(LoadLibraryA((tk::App::Path() + "\\unzip32.dll").c_str()));
  if (!module_) return;
  version_ = reinterpret_cast<decltype(version_)>(
      reinterpret_cast<void*>(GetProcAddress(module_, "UzpVersion2")));
  unzip_ = reinterpret_cast<decltype(unzip_)>(
      reinterpret_cast<void*>(GetProcAddress(module_, "Wiz_SingleEntryUnzip")));
}

int32_t Unzip32::UzpVersion2(UnzipVersionInfo* info) const {
  return version_ ? version_(info) : kLibraryMissing;
}

int32_t Unzip32::Wiz_SingleEntryUnzip(UnzipOptions& options, const std::string& zipFileName,
                                      const char* extractDir, UnzipCallbacks& callbacks) const {
  if (!unzip_) return kLibraryMissing;
  std::vector<char> name(zipFileName.begin(), zipFileName.end());
  name.push_back('\0');
  std::vector<char> dir;
  if (extractDir) dir.assign(extractDir, extractDir + strlen(extractDir) + 1);
  UnzipOptions copy = options;
  copy.ZipFileName = name.data();
  copy.ExtractDir = extractDir ? dir.data() : nullptr;
  char* none[1] = {nullptr};
  char* noExclude[1] = {nullptr};
  int32_t status = unzip_(0, none, 0, noExclude, &copy, &callbacks);
  // Only the words come back; the texts are the caller's own.
  copy.ZipFileName = options.ZipFileName;
  copy.ExtractDir = options.ExtractDir;
  options = copy;
  return status;
}

std::string UnzipStatusText(int32_t status) { return TextOf(kUnzipStatusTexts, status); }

}  // namespace ziplib
