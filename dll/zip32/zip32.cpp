// zip32.dll: the published interface (zip32.h) over the engine's RunZip.
#include "zip32.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "archive/write/Zip.h"
#include "internal/AnsiText.h"

// ZpArchive hands the engine's status on as it is: the published codes are its values.
using archive::ZipStatus;
static_assert(ZIP32_OK == static_cast<int>(ZipStatus::kOk));
static_assert(ZIP32_BAD_ARCHIVE == static_cast<int>(ZipStatus::kFormatError));
static_assert(ZIP32_NO_MEMORY == static_cast<int>(ZipStatus::kNoMemory));
static_assert(ZIP32_INTERNAL == static_cast<int>(ZipStatus::kInternalError));
static_assert(ZIP32_CANCELLED == static_cast<int>(ZipStatus::kCancelled));
static_assert(ZIP32_TEMP_FILE == static_cast<int>(ZipStatus::kTempFileError));
static_assert(ZIP32_READ_ARCHIVE == static_cast<int>(ZipStatus::kReadError));
static_assert(ZIP32_NOTHING_TO_DO == static_cast<int>(ZipStatus::kNothingToDo));
static_assert(ZIP32_NO_ARCHIVE == static_cast<int>(ZipStatus::kMissingArchive));
static_assert(ZIP32_WRITE == static_cast<int>(ZipStatus::kWriteError));
static_assert(ZIP32_CREATE == static_cast<int>(ZipStatus::kCannotCreate));
static_assert(ZIP32_PARAMETERS == static_cast<int>(ZipStatus::kBadParameters));
static_assert(ZIP32_OPEN_INPUT == static_cast<int>(ZipStatus::kCannotOpenInput));
static_assert(ZIP32_UNSUPPORTED == static_cast<int>(ZipStatus::kUnsupportedOption));

namespace {

// What ZpInit and ZpSetOptions hand over, kept until the next ZpArchive. The option texts
// are copied: the caller frees its own copies as soon as ZpSetOptions returns.
struct Settings {
  ZipCallbacks callbacks{};
  ZipOptions options{};
  std::string rootDir;
  bool hasRootDir = false;
};

std::mutex& SettingsLock() {
  static std::mutex lock;
  return lock;
}

Settings& CurrentSettings() {
  static Settings settings;
  return settings;
}

int LevelOf(char level) {
  if (level >= 1 && level <= 9) return level;
  if (level >= '0' && level <= '9') return level - '0';
  return 6;
}

// Reports the engine's events through the caller's callbacks, on the calling thread.
class CallbackEvents : public archive::ZipEvents {
 public:
  explicit CallbackEvents(const ZipCallbacks& callbacks) : callbacks_(callbacks) {}

  void Message(std::string_view text) override {
    if (!callbacks_.Print) return;
    std::string ansi = dlltext::Utf8ToAnsi(text);
    for (size_t at = 0; at < ansi.size(); at += ZIP_TEXT_BUFFER_SIZE - 1) {
      size_t length = std::min<size_t>(ansi.size() - at, ZIP_TEXT_BUFFER_SIZE - 1);
      char buffer[ZIP_TEXT_BUFFER_SIZE] = {};
      std::memcpy(buffer, ansi.data() + at, length);
      callbacks_.Print(buffer, static_cast<long>(length));
    }
  }

  bool FileDone(const std::filesystem::path& file, uint64_t size) override {
    if (!callbacks_.Service) return true;
    std::string name = dlltext::PathToAnsi(file);
    long reported = static_cast<long>(std::min<uint64_t>(size, 0x7FFFFFFF));
    return callbacks_.Service(name.c_str(), reported) == 0;
  }

  std::optional<std::string> Comment(std::string_view current) override {
    if (!callbacks_.Comment) return std::nullopt;
    std::vector<char> buffer(ZIP_TEXT_BUFFER_SIZE, '\0');
    std::string ansi = dlltext::Utf8ToAnsi(current);
    std::memcpy(buffer.data(), ansi.data(),
                std::min<size_t>(ansi.size(), ZIP_TEXT_BUFFER_SIZE - 1));
    const char* result = callbacks_.Comment(buffer.data(), ZIP_TEXT_BUFFER_SIZE);
    if (!result) return std::nullopt;
    return dlltext::AnsiToUtf8(
        std::string(result, strnlen(result, ZIP_TEXT_BUFFER_SIZE - 1)).c_str());
  }

 private:
  ZipCallbacks callbacks_;
};

int Archive(long count, const char* archiveName, const ZipNameList* names) {
  Settings settings;
  {
    std::lock_guard<std::mutex> hold(SettingsLock());
    settings = CurrentSettings();
  }
  CallbackEvents events(settings.callbacks);
  if (!archiveName || !names || count < 0 || count > ZIP_NAME_LIST_SLOTS) {
    events.Message("error: invalid arguments\n");
    return ZIP32_PARAMETERS;
  }
  const ZipOptions& o = settings.options;
  archive::ZipRequest request;
  request.archive = dlltext::AnsiToPath(archiveName);
  for (long i = 0; i < count && names->Names[i]; ++i) {
    request.names.push_back(dlltext::AnsiToPath(names->Names[i]));
  }
  if (settings.hasRootDir) request.rootDir = dlltext::AnsiToPath(settings.rootDir.c_str());
  request.level = LevelOf(o.Level);
  request.junkPaths = o.JunkDir != 0;
  request.recurse = o.Recurse != 0;
  request.noDirEntries = o.NoDirEntries != 0;
  request.deleteEntries = o.DeleteEntries != 0;
  request.update = o.Update != 0;
  request.freshen = o.Freshen != 0;
  request.encrypt = o.Encrypt != 0;
  request.quiet = o.Quiet != 0;
  request.askComment = o.Comment != 0;
  return static_cast<int>(archive::RunZip(request, events));
}

}  // namespace

extern "C" int WINAPI ZpInit(const ZipCallbacks* callbacks) noexcept {
  std::lock_guard<std::mutex> hold(SettingsLock());
  CurrentSettings().callbacks = callbacks ? *callbacks : ZipCallbacks{};
  return ZIP32_OK;
}

extern "C" int WINAPI ZpSetOptions(const ZipOptions* options) noexcept {
  try {
    std::lock_guard<std::mutex> hold(SettingsLock());
    Settings& settings = CurrentSettings();
    settings.options = options ? *options : ZipOptions{};
    settings.hasRootDir = options && options->RootDir && options->RootDir[0] != '\0';
    settings.rootDir = settings.hasRootDir ? options->RootDir : "";
    // The copy keeps no pointers into the caller's memory.
    settings.options.Date = nullptr;
    settings.options.RootDir = nullptr;
    settings.options.TempDir = nullptr;
    return ZIP32_OK;
  } catch (const std::bad_alloc&) {
    return ZIP32_NO_MEMORY;
  } catch (...) {
    return ZIP32_INTERNAL;
  }
}

extern "C" int WINAPI ZpArchive(long count, const char* archive,
                                const ZipNameList* names) noexcept {
  try {
    return Archive(count, archive, names);
  } catch (const std::bad_alloc&) {
    return ZIP32_NO_MEMORY;
  } catch (...) {
    return ZIP32_INTERNAL;
  }
}
