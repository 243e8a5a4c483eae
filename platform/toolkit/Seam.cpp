#include "platform/toolkit/Seam.h"

#include <shellapi.h>

#include <vector>

#include "platform/toolkit/Handles.h"
#include "platform/toolkit/PasswordBox.h"

namespace tk {

int Seam::ShowMessage(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
  return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

HINSTANCE Seam::ShellExecuteVerb(HWND owner, const std::string& verb, const std::string& file,
                                 const std::string& parameters, const std::string& directory,
                                 int show) {
  return ShellExecuteA(owner, verb.c_str(), file.c_str(),
                       parameters.empty() ? nullptr : parameters.c_str(),
                       directory.empty() ? nullptr : directory.c_str(), show);
}

bool Seam::StartProcess(const std::string& commandLine, int windowStyle) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(windowStyle == 2 ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
  PROCESS_INFORMATION pi{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  // The program starts window programs and, through the command interpreter, the shell's "start":
  // no console may flash up for the interpreter. Window programs ignore the flag.
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi))
    return false;
  KernelHandle process(pi.hProcess), thread(pi.hThread);
  return true;
}

BOOL Seam::OpenFileDialog(OPENFILENAMEA* record) { return GetOpenFileNameA(record); }
BOOL Seam::SaveFileDialog(OPENFILENAMEA* record) { return GetSaveFileNameA(record); }
bool Seam::AskPassword(HWND owner, const std::string& text, const std::string& caption,
                       SecretText& answer) {
  return ShowPasswordWindow(owner, text, caption, answer);
}

namespace {
Seam& RealSeam() {
  static Seam real;
  return real;
}
Seam* g_current = nullptr;  // the test seam, when one is installed
}  // namespace

Seam& CurrentSeam() { return g_current ? *g_current : RealSeam(); }

SeamOverride::SeamOverride(Seam& seam) : previous_(g_current) { g_current = &seam; }
SeamOverride::~SeamOverride() { g_current = previous_; }

int MsgBox(const std::string& text, UINT flags, const std::string& caption, HWND owner) {
  return CurrentSeam().ShowMessage(owner, text, caption, flags);
}

}  // namespace tk
