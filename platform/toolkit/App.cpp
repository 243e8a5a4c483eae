#include "platform/toolkit/App.h"

#include <windows.h>

#include "platform/toolkit/Handles.h"

namespace tk::App {

const std::string& Title() {
  static const std::string title = "Parcelo";
  return title;
}
int Major() { return 2; }
int Minor() { return 0; }
int Revision() { return 0; }

static std::string ModulePath() {
  char buf[MAX_PATH * 2] = {};
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  return std::string(buf, n);
}

std::string Path() {
  std::string p = ModulePath();
  auto slash = p.find_last_of('\\');
  return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

std::string EXEName() {
  std::string p = ModulePath();
  auto slash = p.find_last_of('\\');
  std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
  auto dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool PrevInstance() {
  // Keyed by the program's name, so that test programs do not count as copies of Parcelo.
  static KernelHandle mutex;
  static bool previous = [] {
    std::string name = "Local\\" + EXEName() + ".PrevInstance";
    mutex.Reset(CreateMutexA(nullptr, TRUE, name.c_str()));
    return GetLastError() == ERROR_ALREADY_EXISTS;
  }();
  return previous;
}

}  // namespace tk::App
