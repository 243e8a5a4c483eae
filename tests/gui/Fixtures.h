// What the main window's GUI tests share: a hosted Form1, a fresh folder, real drops, the
// recording seam.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "gui/Watcher.h"
#include "platform/toolkit/Handles.h"
#include "support/RecordingSeam.h"

namespace guitest {

// Sends a real HDROP carrying these paths, as the file browser does.
inline void DropFiles(HWND target, const std::vector<std::string>& paths) {
  size_t chars = 1;
  for (const auto& p : paths) chars += p.size() + 1;
  HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + chars);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = FALSE;
  char* out = reinterpret_cast<char*>(drop + 1);
  for (const auto& p : paths) {
    memcpy(out, p.c_str(), p.size() + 1);
    out += p.size() + 1;
  }
  GlobalUnlock(mem);
  SendMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
}

using testsupport::RecordingSeam;

// A hosted main window and a fresh folder of its own, removed afterwards.
class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    // Under /tmp through Wine's Z: drive, so that the Unix-side oracle sees the same files.
    folder = std::string("Z:\\tmp\\parcelo-gui-") + std::to_string(GetCurrentProcessId()) + "-" +
             testing::UnitTest::GetInstance()->current_test_info()->name();
    RemoveTree(folder);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    form = std::make_unique<Form1>();
    ASSERT_TRUE(form->Load());
  }
  void TearDown() override {
    if (form->Loaded()) form->Unload();
    form.reset();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    RemoveTree(folder);
  }
  std::string Path(const std::string& name) const { return folder + "\\" + name; }
  std::string MakeFile(const std::string& name, size_t size, char fill = 'x') {
    std::string p = Path(name);
    std::ofstream(p, std::ios::binary) << std::string(size, fill);
    return p;
  }
  std::vector<std::string> ListItems() const {
    std::vector<std::string> items;
    for (int i = 0; i < form->List1.ListCount(); ++i) items.push_back(form->List1.List(i));
    return items;
  }
  static void RemoveTree(const std::string& dir) {
    std::string from = dir + std::string(1, '\0');
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationA(&op);
  }
  // Runs the Python oracle (tests/gui/zipcheck.py) on Unix paths and returns what it wrote.
  std::string Oracle(const std::string& mode, const std::string& zip,
                     const std::vector<std::string>& args) {
    static int serial = 0;
    std::string result = Path("oracle-" + std::to_string(++serial) + ".txt");
    std::string line = "Z:\\usr\\bin\\python3 " + std::string(PARCELO_SOURCE_DIR) +
                       "/tests/gui/zipcheck.py " + ToUnix(result) + " " + mode + " \"" +
                       ToUnix(zip) + "\"";
    for (const auto& a : args) line += " \"" + (a.size() > 1 && a[1] == ':' ? ToUnix(a) : a) + "\"";
    // The arguments may hold UTF-8 member names: pass them as Unicode, not through the ANSI page.
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
      return "oracle did not start";
    tk::KernelHandle thread(pi.hThread),
        process(pi.hProcess);  // waited for through the file it writes
    for (int i = 0; i < 600; ++i) {
      std::ifstream in(result);
      if (in) {
        std::string text((std::istreambuf_iterator<char>(in)), {});
        DeleteFileA(result.c_str());
        return text;
      }
      Sleep(50);
    }
    return "oracle gave no answer";
  }
  // Z:\tmp\x -> /tmp/x; a Unix path stays as it is.
  static std::string ToUnix(std::string path) {
    if (path.size() > 1 && (path[1] == ':')) path = path.substr(2);
    for (auto& c : path)
      if (c == '\\') c = '/';
    return path;
  }
  std::unique_ptr<Form1> form;
  std::string folder;
};

}  // namespace guitest
