// A seam that records what the program asks of the platform (message boxes, shell requests,
// process starts, password windows) and answers without showing or starting anything.
#pragma once
#include <windows.h>

#include <deque>
#include <optional>
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

  // Answers the password window with the next of `passwords` (nullopt: Cancel; none left:
  // Cancel). Records the question, never the password.
  bool AskPassword(HWND owner, const std::string& text, const std::string& caption,
                   tk::SecretText& answer) override {
    passwordQuestions.push_back({text, caption, owner});
    std::optional<std::string> next;
    if (!passwords.empty()) {
      next = passwords.front();
      passwords.pop_front();
    }
    if (!next) return false;
    next->copy(answer.Data(), answer.Capacity() - 1);
    return true;
  }

  struct Question {
    std::string text, caption;
    HWND owner;
  };
  std::vector<Message> messages;
  std::deque<std::optional<std::string>> passwords;
  std::vector<Question> passwordQuestions;
  std::vector<ShellCall> shellCalls;
  std::vector<Start> starts;
  bool startSucceeds = true;
};

}  // namespace testsupport
