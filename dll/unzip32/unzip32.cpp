// unzip32.dll: the published interface (unzip32.h) over the engine's RunUnzip.
#include "unzip32.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "archive/crypto/Encryption.h"
#include "archive/crypto/Secret.h"
#include "archive/methods/Methods.h"
#include "archive/read/MemberReader.h"
#include "archive/read/Unzip.h"
#include "internal/AnsiText.h"

// Wiz_SingleEntryUnzip hands the engine's status on as it is: the published codes are its values.
using archive::UnzipStatus;
static_assert(UNZIP32_OK == static_cast<int>(UnzipStatus::kOk));
static_assert(UNZIP32_WARNING == static_cast<int>(UnzipStatus::kWarning));
static_assert(UNZIP32_MEMBER_ERROR == static_cast<int>(UnzipStatus::kMemberError));
static_assert(UNZIP32_DIRECTORY_ERROR == static_cast<int>(UnzipStatus::kDirectoryError));
static_assert(UNZIP32_NO_MEMORY == static_cast<int>(UnzipStatus::kNoMemory));
static_assert(UNZIP32_NOT_FOUND == static_cast<int>(UnzipStatus::kNotFound));
static_assert(UNZIP32_PARAMETERS == static_cast<int>(UnzipStatus::kBadOptions));
static_assert(UNZIP32_NO_MATCH == static_cast<int>(UnzipStatus::kNoMatch));
static_assert(UNZIP32_DISK_FULL == static_cast<int>(UnzipStatus::kDiskFull));
static_assert(UNZIP32_CANCELLED == static_cast<int>(UnzipStatus::kCancelled));
static_assert(UNZIP32_UNSUPPORTED == static_cast<int>(UnzipStatus::kUnsupported));
static_assert(UNZIP32_BAD_PASSWORD == static_cast<int>(UnzipStatus::kBadPassword));
// The failed lines of encrypted members carry the engine's reasons as they are.
static_assert(std::string_view(UNZIP32_NO_PASSWORD_REASON) == archive::crypto::kNoPasswordReason);
static_assert(std::string_view(UNZIP32_WRONG_PASSWORD_REASON) ==
              archive::crypto::kWrongPasswordReason);

namespace {

unsigned long Saturate32(uint64_t value) {
  return static_cast<unsigned long>(std::min<uint64_t>(value, 0xFFFFFFFFu));
}

unsigned PercentSaved(uint64_t compressed, uint64_t uncompressed) {
  if (uncompressed == 0 || compressed >= uncompressed) return 0;
  return static_cast<unsigned>((100 * (uncompressed - compressed) + uncompressed / 2) /
                               uncompressed);
}

std::string MethodText(const archive::Entry& entry) {
  uint16_t method = entry.method;
  if (method == archive::crypto::kMethodAes && entry.IsEncrypted()) {
    try {
      method = archive::EncryptionOf(entry).method;
    } catch (const archive::ArchiveError&) {
      // Listed as the number it carries; extracting it says what is wrong.
    }
  }
  if (method == 0) return "Stored";
  if (method == 8) {
    static constexpr char kLevels[] = {'N', 'X', 'F', 'S'};
    return std::string("Defl:") + kLevels[(entry.flags >> 1) & 3];
  }
  std::string name = archive::MethodName(method);
  if (!name.empty()) return name;
  char text[16];
  std::snprintf(text, sizeof text, "Unk:%03u", static_cast<unsigned>(method));
  return text;
}

// Reports the engine's events through the caller's callbacks, on the calling thread.
class CallbackEvents : public archive::UnzipEvents {
 public:
  explicit CallbackEvents(const UnzipCallbacks* callbacks) : callbacks_(callbacks) {}

  void Message(std::string_view text) override { Print(dlltext::Utf8ToAnsi(text)); }

  void Listed(const archive::Entry& e) override {
    if (!callbacks_ || !callbacks_->Message) return;
    std::string name = dlltext::Utf8ToAnsi(e.name);
    std::string method = MethodText(e);
    callbacks_->Message(
        Saturate32(e.uncompressedSize), Saturate32(e.compressedSize),
        PercentSaved(e.compressedSize, e.uncompressedSize),
        static_cast<unsigned>(e.dosTime.Month()), static_cast<unsigned>(e.dosTime.Day()),
        static_cast<unsigned>(e.dosTime.Year()), static_cast<unsigned>(e.dosTime.Hour()),
        static_cast<unsigned>(e.dosTime.Minute()), e.IsDirectory() ? 'd' : ' ', name.data(),
        method.data(), e.crc, e.IsEncrypted() ? 'E' : ' ');
  }

  bool Done(const archive::Entry& e) override {
    if (!callbacks_ || !callbacks_->Service) return true;
    std::string name = dlltext::Utf8ToAnsi(e.name);
    return callbacks_->Service(name.data(), Saturate32(e.uncompressedSize)) == 0;
  }

  bool ConfirmReplace(const std::filesystem::path& path) override {
    if (!callbacks_ || !callbacks_->Replace) return false;
    std::string name = dlltext::PathToAnsi(path);
    return callbacks_->Replace(name.data()) != 0;
  }

  void Data(const void* bytes, size_t size) override {
    Print(std::string(static_cast<const char*>(bytes), size));
  }

  archive::PasswordAnswer Password(const archive::Entry& e, bool again,
                                   archive::crypto::Secret& password) override {
    if (!callbacks_ || !callbacks_->Password) return archive::PasswordAnswer::kSkipAll;
    std::string name = dlltext::Utf8ToAnsi(e.name);
    // The caller writes the password here; it is wiped with the buffer.
    archive::crypto::Secret buffer(kPasswordRoom);
    char* text = reinterpret_cast<char*>(buffer.data());
    int answer = callbacks_->Password(text, static_cast<int>(kPasswordRoom),
                                      again ? UNZIP32_PASSWORD_AGAIN : UNZIP32_PASSWORD_PROMPT,
                                      name.c_str());
    if (answer == UNZIP32_PASSWORD_SKIP) return archive::PasswordAnswer::kSkip;
    if (answer != UNZIP32_PASSWORD_GIVEN) return archive::PasswordAnswer::kSkipAll;
    // The password's bytes as the caller typed them (ANSI), up to the NUL; a caller that
    // left none gets the room's end as one.
    password = archive::crypto::Secret(text, strnlen(text, kPasswordRoom - 1));
    return archive::PasswordAnswer::kGiven;
  }

 private:
  void Print(std::string text) {
    if (!callbacks_ || !callbacks_->Print) return;
    callbacks_->Print(text.data(), static_cast<unsigned long>(text.size()));
  }

  // Room for a password: far more than anyone types.
  static constexpr size_t kPasswordRoom = 1024;

  const UnzipCallbacks* callbacks_;
};

std::vector<std::string> Patterns(int count, char** names) {
  std::vector<std::string> patterns;
  for (int i = 0; names && i < count && names[i]; ++i) {
    patterns.push_back(dlltext::AnsiToUtf8(names[i]));
  }
  return patterns;
}

int SingleEntryUnzip(int includeCount, char** includeNames, int excludeCount, char** excludeNames,
                     UnzipOptions* o, UnzipCallbacks* callbacks) {
  if (callbacks) {
    callbacks->TotalSizeComp = callbacks->TotalSize = callbacks->CompFactor = 0;
    callbacks->NumMembers = 0;
    callbacks->CommentLength = 0;
  }
  CallbackEvents events(callbacks);
  if (!o || includeCount < 0 || excludeCount < 0) {
    events.Message("error: invalid arguments\n");
    return UNZIP32_PARAMETERS;
  }
  archive::UnzipRequest request;
  request.archive = dlltext::AnsiToPath(o->ZipFileName);
  request.mode = o->ListOnly   ? archive::UnzipRequest::Mode::kList
                 : o->TestOnly ? archive::UnzipRequest::Mode::kTest
                               : archive::UnzipRequest::Mode::kExtract;
  if (o->ExtractDir && o->ExtractDir[0] != '\0')
    request.targetDir = dlltext::AnsiToPath(o->ExtractDir);
  request.include = Patterns(includeCount, includeNames);
  request.exclude = Patterns(excludeCount, excludeNames);
  request.ignoreCase = o->IgnoreCase != 0;
  request.useFolders = o->UseFolders != 0;
  request.overwrite = o->Overwrite != 0;
  request.confirmReplace = o->PromptOverwrite != 0;
  request.onlyNewer = o->OnlyNewer != 0;
  request.freshen = o->Freshen != 0;
  request.spaceToUnderscore = o->SpaceToUnderscore != 0;
  request.toOutput = o->ToStdout != 0;
  request.showComment = o->ShowComment != 0;
  request.quiet = static_cast<int>(o->Quiet);

  archive::UnzipTotals totals;
  archive::UnzipStatus status = archive::RunUnzip(request, events, &totals);
  if (callbacks) {
    callbacks->TotalSizeComp = Saturate32(totals.compressed);
    callbacks->TotalSize = Saturate32(totals.uncompressed);
    callbacks->CompFactor = PercentSaved(totals.compressed, totals.uncompressed);
    callbacks->NumMembers = Saturate32(totals.count);
    callbacks->CommentLength =
        static_cast<unsigned short>(std::min<size_t>(totals.commentLength, 0xFFFF));
  }
  return static_cast<int>(status);
}

void CopyText(char* field, size_t size, const char* text) {
  std::memset(field, 0, size);
  std::strncpy(field, text, size - 1);
}

}  // namespace

extern "C" int WINAPI UzpVersion2(UnzipVersionInfo* info) noexcept {
  if (!info || info->StructLength < sizeof(UnzipVersionInfo)) return UNZIP32_PARAMETERS;
  info->Flag = 2;
  CopyText(info->BetaText, sizeof info->BetaText, "");
  CopyText(info->DateText, sizeof info->DateText, __DATE__);
  CopyText(info->ZlibVersionText, sizeof info->ZlibVersionText, zlibVersion());
  const unsigned char version[4] = {2, 0, 0, 0};
  std::memcpy(info->UnzipVersion, version, 4);
  std::memcpy(info->ZipInfoVersion, version, 4);
  info->Os2DllVersion = 0;
  std::memcpy(info->WinDllVersion, version, 4);
  return UNZIP32_OK;
}

extern "C" int WINAPI Wiz_SingleEntryUnzip(int includeCount, char** includeNames, int excludeCount,
                                           char** excludeNames, UnzipOptions* options,
                                           UnzipCallbacks* callbacks) noexcept {
  try {
    return SingleEntryUnzip(includeCount, includeNames, excludeCount, excludeNames, options,
                            callbacks);
  } catch (const std::bad_alloc&) {
    return UNZIP32_NO_MEMORY;
  } catch (...) {
    return UNZIP32_DIRECTORY_ERROR;
  }
}
