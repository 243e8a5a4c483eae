// The About window's launcher for the system-information tool, and the registry reader it uses.
#include <cstdio>
#include <optional>

#include "about/frmAbout.h"
#include "platform/toolkit/App.h"
#include "platform/toolkit/Handles.h"
#include "platform/toolkit/Seam.h"

namespace {

// Where the system records its system-information tool.
constexpr char kSysInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kSysInfoValue[] = "PATH";
constexpr char kSysInfoLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char kSysInfoLocationValue[] = "MSINFO";
constexpr char kSysInfoFile[] = "\\MSINFO32.EXE";

constexpr DWORD kValueBufferSize = 1024;

// An ordinary file: neither a folder nor hidden or system.
bool OrdinaryFileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

// The path as a command line. Unquoted, a path with blanks would let the system try
// "C:\Program" and its like before the real program.
std::string AsCommandLine(const std::string& path) {
  if (!path.empty() && path.front() == '"') return path;
  return "\"" + path + "\"";
}

// The tool's full path as the system records it, else its folder's MSINFO32.EXE if that exists.
std::optional<std::string> FindSysInfo() {
  std::string SysInfoPath;
  if (frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue, SysInfoPath))
    return SysInfoPath;
  if (!frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoLocationKey, kSysInfoLocationValue,
                             SysInfoPath))
    return std::nullopt;
  SysInfoPath += kSysInfoFile;
  if (!OrdinaryFileExists(SysInfoPath)) return std::nullopt;
  return SysInfoPath;
}

}  // namespace

void frmAbout::StartSysInfo() {
  bool started = false;
  try {
    if (auto SysInfoPath = FindSysInfo())
      started = tk::CurrentSeam().StartProcess(AsCommandLine(*SysInfoPath), SW_SHOWNORMAL);
  } catch (...) {
  }
  if (!started)
    tk::MsgBox("System Information Is Unavailable At This Time", MB_OK, tk::App::Title(), hwnd());
}

bool frmAbout::GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                           std::string& KeyVal) {
  // Read access is all this needs; asking for more fails for users who are not administrators.
  HKEY opened = nullptr;
  if (RegOpenKeyExA(KeyRoot, KeyName.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    KeyVal.clear();
    return false;
  }
  tk::RegKey hKey(opened);

  std::string tmpVal(kValueBufferSize, '\0');
  DWORD KeyValType = 0;
  DWORD KeyValSize = kValueBufferSize;
  if (RegQueryValueExA(hKey, SubKeyRef.c_str(), nullptr, &KeyValType,
                       reinterpret_cast<BYTE*>(tmpVal.data()), &KeyValSize) != ERROR_SUCCESS) {
    KeyVal.clear();
    return false;
  }
  // A string stored with its terminating zero counts it in its size. An empty value (size 0)
  // has nothing to trim.
  if (KeyValSize > 0 && tmpVal[KeyValSize - 1] == '\0')
    tmpVal.resize(KeyValSize - 1);
  else
    tmpVal.resize(KeyValSize);

  switch (KeyValType) {
    case REG_SZ:
      KeyVal = tmpVal;
      break;
    case REG_DWORD:
      // Byte by byte from the most significant, each without leading zero; no caller reads a
      // number, so the "&h" text is left as it is rather than turned into decimal digits.
      for (auto i = tmpVal.rbegin(); i != tmpVal.rend(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(static_cast<unsigned char>(*i)));
        KeyVal += hex;
      }
      KeyVal = "&h" + KeyVal;
      break;
    default:
      break;
  }
  return true;
}
