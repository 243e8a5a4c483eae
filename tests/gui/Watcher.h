// Answers this process's dialogs from a second thread, as a user would: message boxes are read
// (text, caption, icon) and closed, file dialogs get a typed name and OK or Cancel, password
// windows a typed password and Enter, or Esc.
#pragma once
#include <windows.h>
#include <dlgs.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace guitest {

inline std::string WindowText(HWND hwnd) {
  char buf[4096] = {};
  GetWindowTextA(hwnd, buf, sizeof buf);
  return buf;
}

struct SeenDialog {
  std::string caption;
  std::string text;      // a message box's or password window's text ("" for file dialogs)
  std::string iconName;  // "exclamation", "information", "error", "question" or ""
  bool fileDialog = false;
  bool passwordWindow = false;
  HWND hwnd = nullptr;
  bool ownerEnabled = true;  // for a password window: whether its owner took input meanwhile
  RECT clientPx{};
};

inline std::string MessageBoxIcon(HWND dialog) {
  // Windows numbers the icon 0x14; Wine's message box numbers it stc1.
  HWND iconStatic = GetDlgItem(dialog, 0x14);
  if (!iconStatic) iconStatic = GetDlgItem(dialog, stc1);
  if (!iconStatic) return "";
  auto icon = reinterpret_cast<HICON>(SendMessageA(iconStatic, STM_GETICON, 0, 0));
  if (!icon) return "";
  if (icon == LoadIcon(nullptr, IDI_EXCLAMATION)) return "exclamation";
  if (icon == LoadIcon(nullptr, IDI_INFORMATION)) return "information";
  if (icon == LoadIcon(nullptr, IDI_ERROR)) return "error";
  if (icon == LoadIcon(nullptr, IDI_QUESTION)) return "question";
  return "other";
}

inline HWND FileNameEdit(HWND dialog) {
  // The name box is an edit inside a combo box, itself sometimes inside a ComboBoxEx.
  if (HWND combo = GetDlgItem(dialog, cmb13)) {
    if (HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr)) return edit;
    if (HWND inner = FindWindowExA(combo, nullptr, "ComboBox", nullptr))
      if (HWND edit = FindWindowExA(inner, nullptr, "Edit", nullptr)) return edit;
  }
  return GetDlgItem(dialog, edt1);
}

inline void Press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// What to do with a file dialog: type this name and press OK, or cancel when it is empty.
using FileAnswer = std::function<std::string(const std::string& title)>;
// What to do with a password window: type this password and press Enter, or Esc for nullopt.
using PasswordAnswer = std::function<std::optional<std::string>(const std::string& text)>;

// The masked edit box of one of our forms: what makes it a password window.
inline HWND PasswordEdit(HWND form) {
  for (HWND child = FindWindowExA(form, nullptr, "Edit", nullptr); child;
       child = FindWindowExA(form, child, "Edit", nullptr))
    if (GetWindowLongA(child, GWL_STYLE) & ES_PASSWORD) return child;
  return nullptr;
}

// The text of a password window: its one label.
inline std::string PasswordText(HWND form) {
  HWND label = FindWindowExA(form, nullptr, "Static", nullptr);
  return label ? WindowText(label) : std::string();
}

inline void PostKey(HWND target, WPARAM key) {
  PostMessageA(target, WM_KEYDOWN, key, 1);
  PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

class DialogWatcher {
 public:
  // fileAnswer is asked for each file dialog; message boxes are always closed with OK.
  explicit DialogWatcher(FileAnswer fileAnswer = nullptr, PasswordAnswer passwordAnswer = nullptr)
      : fileAnswer_(std::move(fileAnswer)),
        passwordAnswer_(std::move(passwordAnswer)),
        thread_([this] { Run(); }) {}
  ~DialogWatcher() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::vector<SeenDialog> Seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }
  std::vector<SeenDialog> MessageBoxes() {
    std::vector<SeenDialog> boxes;
    for (auto& d : Seen())
      if (!d.fileDialog && !d.passwordWindow) boxes.push_back(d);
    return boxes;
  }
  std::vector<SeenDialog> PasswordWindows() {
    std::vector<SeenDialog> windows;
    for (auto& d : Seen())
      if (d.passwordWindow) windows.push_back(d);
    return windows;
  }

 private:
  static BOOL CALLBACK Find(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    bool ours =
        std::string(cls) == "#32770" || (std::string(cls) == "ParceloForm" && PasswordEdit(hwnd));
    if (pid == GetCurrentProcessId() && ours && IsWindowVisible(hwnd)) {
      reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
    }
    return TRUE;
  }

  void Run() {
    std::vector<HWND> answered;
    while (!stop_) {
      std::vector<HWND> dialogs;
      EnumWindows(Find, reinterpret_cast<LPARAM>(&dialogs));
      for (HWND d : dialogs) {
        if (std::find(answered.begin(), answered.end(), d) != answered.end() && IsWindow(d))
          continue;
        if (Answer(d)) answered.push_back(d);
      }
      Sleep(30);
    }
  }

  bool Answer(HWND d) {
    SeenDialog seen;
    seen.caption = WindowText(d);
    seen.hwnd = d;
    if (HWND edit = PasswordEdit(d)) {
      seen.passwordWindow = true;
      seen.text = PasswordText(d);
      HWND owner = GetWindow(d, GW_OWNER);
      seen.ownerEnabled = !owner || IsWindowEnabled(owner);
      GetClientRect(d, &seen.clientPx);
      std::optional<std::string> password =
          passwordAnswer_ ? passwordAnswer_(seen.text) : std::nullopt;
      Record(seen);
      if (password) {
        SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password->c_str()));
        PostKey(edit, VK_RETURN);
      } else {
        PostKey(edit, VK_ESCAPE);
      }
      return true;
    }
    HWND edit = FileNameEdit(d);
    if (edit) {
      if (!IsWindowVisible(edit)) return false;  // not ready yet
      seen.fileDialog = true;
      std::string name = fileAnswer_ ? fileAnswer_(seen.caption) : std::string();
      Record(seen);
      if (name.empty()) {
        Press(d, IDCANCEL);
      } else {
        SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        Press(d, IDOK);
      }
      return true;
    }
    HWND textStatic = GetDlgItem(d, 0xFFFF);
    if (!textStatic) return false;
    seen.text = WindowText(textStatic);
    seen.iconName = MessageBoxIcon(d);
    Record(seen);
    Press(d, IDOK);
    return true;
  }

  void Record(const SeenDialog& s) {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.push_back(s);
  }

  FileAnswer fileAnswer_;
  PasswordAnswer passwordAnswer_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SeenDialog> seen_;
  std::thread thread_;
};

// Pumps the window's messages until cond() holds or timeoutMs passes; returns cond().
template <class Cond>
bool PumpUntil(Cond cond, DWORD timeoutMs = 8000) {
  DWORD start = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - start > timeoutMs) return cond();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
  return true;
}

}  // namespace guitest
