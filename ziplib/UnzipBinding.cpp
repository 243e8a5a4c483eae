#include "ziplib/UnzipBinding.h"

#include <vector>

#include "platform/toolkit/App.h"

namespace ziplib {

namespace {
UnzipEvents* g_events = nullptr;  // the window of the running call; the callbacks carry no context
}

UnzipEventsScope::UnzipEventsScope(UnzipEvents& events) { g_events = &events; }
UnzipEventsScope::~UnzipEventsScope() { g_events = nullptr; }

std::string MemberNameText(const char* name) {
    std::string text;
    if (!name) return text;
    for (int i = 0; i <= 255 && name[i] != '\0'; ++i) text.push_back(name[i]);
    return text;
}

int32_t WINAPI UnzipPrintCallback(char* text, uint32_t length) {
    try {
        if (g_events && text) g_events->UnzipPrinted(std::string(text, strnlen(text, length)));
    } catch (...) {
    }
    return 0;
}

int32_t WINAPI UnzipReplaceCallback(char*) { return 0; }

void WINAPI UnzipEntryCallback(uint32_t ucsize, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                               uint32_t, char, char* name, char*, uint32_t, char) {
    try {
        if (g_events) g_events->UnzipListed(MemberNameText(name), ucsize);
    } catch (...) {
    }
}

int32_t WINAPI UnzipServiceCallback(char* name, uint32_t size) {
    try {
        if (g_events) g_events->UnzipExtracted(MemberNameText(name), size);
    } catch (...) {
    }
    return 0;
}

Unzip32::Unzip32() {
    module_.Reset(LoadLibraryA((tk::App::Path() + "\\unzip32.dll").c_str()));
    if (!module_) return;
    version_ = reinterpret_cast<decltype(version_)>(reinterpret_cast<void*>(GetProcAddress(module_, "UzpVersion2")));
    unzip_ = reinterpret_cast<decltype(unzip_)>(
        reinterpret_cast<void*>(GetProcAddress(module_, "Wiz_SingleEntryUnzip")));
}

int32_t Unzip32::UzpVersion2(UnzipVersionInfo* info) const {
    return version_ ? static_cast<int32_t>(version_(info)) : -1;
}

int32_t Unzip32::Wiz_SingleEntryUnzip(UnzipOptions& options, const std::string& zipFileName,
                                      const char* extractDir, UnzipCallbacks& callbacks) const {
    if (!unzip_) return -1;
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

std::string UnzipStatusText(int32_t status) {
    switch (status) {
    case 0: return "no error";
    case -1: return "unzip32.dll could not be loaded from the program's folder";
    case 1: return "one or more warnings were reported";
    case 2: return "the archive is damaged (a format error)";
    case 3: return "the archive is damaged";
    case 4: case 5: case 6: case 7: return "not enough memory";
    case 9: return "the archive was not found, or it is not a Zip archive";
    case 10: return "the options were not valid";
    case 11: return "no member matched";
    case 50: return "the disk is full";
    case 51: return "the archive ended unexpectedly";
    case 80: return "the extraction was cancelled";
    case 81: return "a member uses an unsupported compression method or encryption";
    case 82: return "a member needs a password";
    default: return "error " + std::to_string(status);
    }
}

}  // namespace ziplib
