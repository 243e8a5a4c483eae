// A seam that records what the program asks of the platform (message boxes, shell requests,
// process starts) and answers without showing or starting anything.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "platform/toolkit/Seam.h"

namespace testsupport {

class RecordingSeam : public tk::Seam {
 public:
  struct Message {
    std::string text, caption;
    UINT flags;
  };
  struct ShellCall {
    HWND owner;
    std::string verb, file, parameters, directory;
    int show;
  };
  struct Start {
    std::string commandLine;
    int windowStyle;
  };

  int ShowMessage(HWND, const std::string& text, const std::string& caption, UINT flags) override {
    messages.push_back({text, caption, flags});
    return IDOK;
  }
  HINSTANCE ShellExecuteVerb(HWND owner, const std::string& verb, const std::string& file,
                             const std::string& parameters, const std::string& directory,
                             int show) override {
    shellCalls.push_back({owner, verb, file, parameters, directory, show});
    return reinterpret_cast<HINSTANCE>(42);  // above 32: success
  }
  bool StartProcess(const std::string& commandLine, int windowStyle) override {
    starts.push_back({commandLine, windowStyle});
    return startSucceeds;
  }

  std::vector<Message> messages;
  std::vector<ShellCall> shellCalls;
  std::vector<Start> starts;
  bool startSucceeds = true;
};

}  // namespace testsupport
