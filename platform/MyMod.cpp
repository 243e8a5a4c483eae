#include "platform/MyMod.h"

#include <windows.h>

#include <cstring>
#include <unordered_set>

#include "platform/toolkit/Error.h"
#include "platform/toolkit/Seam.h"
#include "platform/toolkit/Window.h"

std::string GetWindowsDir() {
  char buffer[260] = {};
  if (GetWindowsDirectoryA(buffer, sizeof buffer) == 0) return {};
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::string GetPathNoFile(const std::string& sPath, bool bWithDrive) {
  std::string path = sPath;
  if (!bWithDrive) {
    if (path.size() < 3) tk::Raise(tk::kInvalidArgument);
    path.erase(0, 3);
  }
  // From the second-to-last character towards the start.
  for (size_t i = path.size() >= 2 ? path.size() - 1 : 0; i-- > 0;)
    if (path[i] == '\\') return path.substr(0, i);
  return path;
}

std::string GetFileNoPath(const std::string& sPath) {
  const size_t slash = sPath.rfind('\\');
  return slash == std::string::npos ? sPath : sPath.substr(slash + 1);
}

void ExploreFolder(const std::string& sPath, const std::string& sRoot, bool bSelect, bool bExplore,
                   bool bNoNewWindow) {
  std::string cmd = "explorer.exe ";
  if (bExplore)
    cmd += "/e";
  else if (!bNoNewWindow)
    cmd += "/n";
  if (!sRoot.empty()) cmd += ",/root, " + sRoot;
  if (!sPath.empty()) {
    if (bSelect) cmd += ",/select";
    cmd += "," + sPath;
  }
  // Nothing to report: the browser tells the user about a folder it cannot show.
  tk::CurrentSeam().StartProcess(GetWindowsDir() + "\\" + cmd, 1);
}

void RemoveDuplicates(tk::ListBox& list) {
  std::unordered_set<std::string> seen;
  for (int i = 0; i < list.ListCount();) {
    if (seen.insert(list.List(i)).second)
      ++i;
    else
      list.RemoveItem(i);
  }
}

bool IsFilePath(const std::string& sPath) {
  const bool drive = sPath.size() >= 3 && sPath[1] == ':' && sPath[2] == '\\';
  const bool network = sPath.size() >= 2 && sPath[0] == '\\' && sPath[1] == '\\';
  return drive || network;
}
