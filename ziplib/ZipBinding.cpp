#include "ziplib/ZipBinding.h"

#include <cstring>
#include <vector>

#include "platform/toolkit/App.h"

namespace ziplib {

namespace {

// The library's callbacks carry no context; they report to the window of the running call.
ZipEvents* g_events = nullptr;

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

}  // namespace

ZipEventsScope::ZipEventsScope(ZipEvents& events) { g_events = &events; }
ZipEventsScope::~ZipEventsScope() { g_events = nullptr; }

std::string CollectPrintText(const char* buffer, int32_t length) {
    std::string text;
    if (!buffer) return text;
    for (int32_t i = 0; i <= length && i < kZipTextBufferSize; ++i) {
        if (buffer[i] == '\0') break;
        text.push_back(buffer[i]);
    }
    return text;
}

int32_t WINAPI ZipPrintCallback(char* buffer, int32_t length) {
    try {
        if (g_events) g_events->ZipPrinted(CollectPrintText(buffer, length));
    } catch (...) {
    }
    return 0;
}

int32_t WINAPI ZipPasswordCallback(char*, int32_t, const char*, const char*) { return 0; }

char* WINAPI ZipCommentCallback(char* buffer, int32_t) {
    if (buffer) memset(buffer, 0, kZipTextBufferSize);
    return buffer;
}

int32_t WINAPI ZipServiceCallback(const char*, int32_t size) {
    try {
        if (g_events) g_events->ZipProcessed(size);
    } catch (...) {
    }
    return 0;
}

Zip32::Zip32() {
    module_.Reset(LoadLibraryA((tk::App::Path() + "\\zip32.dll").c_str()));
    if (!module_) return;
    init_ = reinterpret_cast<decltype(init_)>(reinterpret_cast<void*>(GetProcAddress(module_, "ZpInit")));
    setOptions_ =
        reinterpret_cast<decltype(setOptions_)>(reinterpret_cast<void*>(GetProcAddress(module_, "ZpSetOptions")));
    archive_ = reinterpret_cast<decltype(archive_)>(reinterpret_cast<void*>(GetProcAddress(module_, "ZpArchive")));
}

int32_t Zip32::ZpInit(ZipCallbacks* callbacks) const { return init_ ? init_(callbacks) : -1; }

int32_t Zip32::ZpSetOptions(ZipOptions& options) const {
    if (!setOptions_) return -1;
    AnsiCopy date(options.Date), root(options.szRootDir), temp(options.szTempDir);
    ZipOptions copy = options;
    copy.Date = date.Get();
    copy.szRootDir = root.Get();
    copy.szTempDir = temp.Get();
    int32_t result = setOptions_(&copy);
    // The program's own texts are held elsewhere; the record keeps its null text pointers.
    std::memcpy(options.switches1, copy.switches1, sizeof options.switches1);
    options.fJunkDir = copy.fJunkDir;
    std::memcpy(options.switches2, copy.switches2, sizeof options.switches2);
    options.fLevel = copy.fLevel;
    return result;
}

int32_t Zip32::ZpArchive(int16_t count, const std::string& archive,
                         const std::array<std::string, kZipNameSlots>& names) const {
    if (!archive_) return -1;
    AnsiCopy path(archive);
    std::vector<AnsiCopy> copies;
    copies.reserve(kZipNameSlots);
    ZipNameList list{};
    for (int k = 0; k < kZipNameSlots; ++k) {
        copies.emplace_back(names[k].empty() ? nullptr : names[k].c_str());
        list[k] = copies.back().Get();
    }
    return archive_(count, path.Get(), list.data());
}

std::string ZipStatusText(int32_t status) {
    switch (status) {
    case 0: return "no error";
    case -1: return "zip32.dll could not be loaded from the program's folder";
    case 4: return "not enough memory";
    case 11: return "the archive is being read or written by another program";
    case 12: return "there was nothing to do";
    case 13: return "the archive is missing or empty";
    case 14: return "an error occurred writing a temporary file";
    case 15: return "the archive could not be created";
    case 16: return "the options were not valid";
    case 18: return "a listed file could not be read";
    default: return "error " + std::to_string(status);
    }
}

}  // namespace ziplib
