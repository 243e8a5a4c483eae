// cFileDialog through the real comdlg32 dialogs. A watcher thread finds the dialog this
// process shows, fills in its file-name box and presses OK or Cancel, as a user would.
#include <windows.h>
#include <commdlg.h>
#include <commctrl.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/cFileDialog.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Handles.h"

namespace {

// The file dialog this process shows, once it is on screen with its file-name box.
struct FoundDialog {
  HWND dialog = nullptr;
  HWND nameEdit = nullptr;
};

HWND FindFileNameEdit(HWND dialog) {
  // Explorer-style dialogs hold the name in an extended combo box (or a combo box) with an
  // edit inside; older ones in a plain edit.
  if (HWND combo = GetDlgItem(dialog, cmb13)) {
    char cls[64] = {};
    GetClassNameA(combo, cls, sizeof cls);
    if (std::string(cls) == WC_COMBOBOXEXA)
      return reinterpret_cast<HWND>(SendMessageA(combo, CBEM_GETEDITCONTROL, 0, 0));
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    return GetComboBoxInfo(combo, &info) ? info.hwndItem : nullptr;
  }
  return GetDlgItem(dialog, edt1);
}

BOOL CALLBACK FindOwnDialog(HWND hwnd, LPARAM lp) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[32] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (pid == GetCurrentProcessId() && std::string(cls) == "#32770" && IsWindowVisible(hwnd)) {
    *reinterpret_cast<HWND*>(lp) = hwnd;
    return FALSE;
  }
  return TRUE;
}

std::string WindowText(HWND hwnd) {
  char buf[1024] = {};
  GetWindowTextA(hwnd, buf, sizeof buf);
  return buf;
}

// Runs `act` on the dialog once it appears; stops looking when the dialog call has returned.
class DialogWatcher {
 public:
  explicit DialogWatcher(std::function<void(const FoundDialog&)> act)
      : thread_([this, act = std::move(act)] {
          while (!stop_) {
            HWND dialog = nullptr;
            EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&dialog));
            HWND edit = dialog ? FindFileNameEdit(dialog) : nullptr;
            if (dialog && edit && IsWindowVisible(edit)) {
              found_ = true;
              act({dialog, edit});
              return;
            }
            Sleep(50);
          }
        }) {}
  ~DialogWatcher() { Finish(); }
  // Call after the dialog call returned; true when the watcher had found the dialog.
  bool Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return found_;
  }

 private:
  std::atomic<bool> stop_{false}, found_{false};
  std::thread thread_;
};

void Type(const FoundDialog& d, const std::string& text) {
  SendMessageA(d.nameEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
void Press(const FoundDialog& d, int button) {
  PostMessageA(d.dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(d.dialog, button)));
}

// A fresh folder of files for each test.
class RealDialog : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp_));
    // A name no earlier run has left behind.
    const std::string base =
        std::string(temp_) + "parcelo-fd-" + std::to_string(GetCurrentProcessId()) + "-";
    for (int n = 0; folder_.empty() && n < 1000; ++n) {
      std::string candidate = base + std::to_string(n);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) folder_ = candidate;
    }
    ASSERT_FALSE(folder_.empty()) << base;
    for (const char* name : {"a.txt", "b.txt", "pick.txt"}) {
      tk::File file(
          CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      ASSERT_TRUE(file) << name;
    }
  }
  void TearDown() override {
    // The dialogs make the chosen folder the current one, which would keep it from going.
    SetCurrentDirectoryA(temp_);
    for (const char* name : {"a.txt", "b.txt", "pick.txt", "newarc.zip"})
      DeleteFileA(Path(name).c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  std::string Path(const std::string& name) const { return folder_ + "\\" + name; }
  char temp_[MAX_PATH] = {};
  std::string folder_;
};

TEST_F(RealDialog, OpenIsPrefilledAndTakesTheTypedPath) {
  cFileDialog dlg;
  dlg.FileName(Path("pick.txt"));
  dlg.Filter("Text (*.txt)|*.txt|All Files (*.*)|*.*");
  dlg.FilterIndex(2);
  dlg.DialogTitle("Choose a file");
  std::string shown, title, filter;
  DialogWatcher watcher([&](const FoundDialog& d) {
    shown = WindowText(d.nameEdit);
    title = WindowText(d.dialog);
    char text[256] = {};
    SendMessageA(GetDlgItem(d.dialog, cmb1), WM_GETTEXT, sizeof text,
                 reinterpret_cast<LPARAM>(text));
    filter = text;
    Type(d, Path("b.txt"));
    Press(d, IDOK);
  });
  dlg.ShowOpen();
  ASSERT_TRUE(watcher.Finish());
  // The box may show the full path or the name in the folder it opened.
  ASSERT_GE(shown.size(), 8u);
  EXPECT_EQ("pick.txt", shown.substr(shown.size() - 8)) << shown;
  EXPECT_EQ("Choose a file", title);
  EXPECT_EQ("All Files (*.*)", filter);
  EXPECT_EQ(Path("b.txt"), dlg.FileName());
  EXPECT_EQ(2, dlg.FilterIndex());
}

TEST_F(RealDialog, CancelledOpenRaises32755AndTakesNothing) {
  cFileDialog dlg;
  dlg.CancelError(tk::kTrue);
  DialogWatcher watcher([&](const FoundDialog& d) { Type(d, Path("a.txt")), Press(d, IDCANCEL); });
  long number = 0;
  std::string source;
  try {
    dlg.ShowOpen();
  } catch (const tk::RuntimeError& e) {
    number = e.Number();
    source = e.Source();
  }
  ASSERT_TRUE(watcher.Finish());
  EXPECT_EQ(32755, number);
  EXPECT_EQ("platform_tests.cFileDialog", source);
  EXPECT_EQ("", dlg.FileName());
}

TEST_F(RealDialog, SaveTakesTheTypedNameWithTheDefaultExtension) {
  cFileDialog dlg;
  dlg.Filter("Zip File (*.zip)|*.zip");
  dlg.DefaultExt("zip");
  DialogWatcher watcher([&](const FoundDialog& d) { Type(d, Path("newarc")), Press(d, IDOK); });
  dlg.ShowSave();
  ASSERT_TRUE(watcher.Finish());
  EXPECT_EQ(Path("newarc.zip"), dlg.FileName());
}

TEST_F(RealDialog, MultipleSelectionParsesIntoFolderAndNames) {
  cFileDialog dlg;
  dlg.InitDir(folder_);
  dlg.flags(OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST);
  DialogWatcher watcher(
      [&](const FoundDialog& d) { Type(d, "\"a.txt\" \"b.txt\""), Press(d, IDOK); });
  dlg.ShowOpen();
  ASSERT_TRUE(watcher.Finish());
  std::string dir;
  std::vector<std::string> files;
  int32_t count = 0;
  dlg.ParseMultiFileName(dir, files, count);
  EXPECT_EQ(folder_, dir);
  EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), files);
  EXPECT_EQ(2, count);
}

TEST_F(RealDialog, MultipleSelectionOfOneFileAfterALongerSeed) {
  cFileDialog dlg;
  // The dialog leaves what is left of a longer seed behind its result.
  dlg.FileName(Path("pick.txt") + R"(\stale\deeper\name.txt)");
  dlg.flags(OFN_ALLOWMULTISELECT);
  DialogWatcher watcher([&](const FoundDialog& d) { Type(d, Path("a.txt")), Press(d, IDOK); });
  dlg.ShowOpen();
  ASSERT_TRUE(watcher.Finish());
  std::string dir;
  std::vector<std::string> files;
  int32_t count = 0;
  dlg.ParseMultiFileName(dir, files, count);
  EXPECT_EQ(folder_ + "\\", dir);
  EXPECT_EQ(std::vector<std::string>{"a.txt"}, files);
  EXPECT_EQ(1, count);
}

}  // namespace
