// The one thin seam between the program and the calls a test must be able to observe or
// answer: message boxes, shell "open", process starts, the common file dialogs and the
// password window. By default
// every call is the real Win32 one.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <commdlg.h>

#include <string>

#include "platform/toolkit/Secret.h"

namespace tk {

class Seam {
 public:
  virtual ~Seam() = default;
  virtual int ShowMessage(HWND owner, const std::string& text, const std::string& caption,
                          UINT flags);
  virtual HINSTANCE ShellExecuteVerb(HWND owner, const std::string& verb, const std::string& file,
                                     const std::string& parameters, const std::string& directory,
                                     int show);
  // Starts a command line without waiting; windowStyle 1 normal with focus, 2 minimised with focus.
  // Returns false when the process could not be started.
  virtual bool StartProcess(const std::string& commandLine, int windowStyle);
  virtual BOOL OpenFileDialog(OPENFILENAMEA* record);
  virtual BOOL SaveFileDialog(OPENFILENAMEA* record);
  // The password window (PasswordBox.h): true on OK, with the password in `answer`.
  virtual bool AskPassword(HWND owner, const std::string& text, const std::string& caption,
                           SecretText& answer);
};

// The seam in force: the real one unless a test has installed another.
Seam& CurrentSeam();

// Installs a seam for its lifetime (tests only).
class SeamOverride {
 public:
  explicit SeamOverride(Seam& seam);
  ~SeamOverride();
  SeamOverride(const SeamOverride&) = delete;
  SeamOverride& operator=(const SeamOverride&) = delete;

 private:
  Seam* previous_;
};

// Message box through the seam with the toolkit's argument order.
int MsgBox(const std::string& text, UINT flags, const std::string& caption, HWND owner = nullptr);

}  // namespace tk
