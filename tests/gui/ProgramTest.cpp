// Parcelo.exe started as a user starts it: one window, one copy.
#include <gtest/gtest.h>

#include <string>

#include "platform/toolkit/App.h"
#include "platform/toolkit/Handles.h"

namespace {

struct Started {
  tk::KernelHandle process;
  DWORD id = 0;
};

Started Start() {
  std::string exe = tk::App::Path() + "\\Parcelo.exe";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string line = "\"" + exe + "\"";
  Started s;
  if (CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                     &pi)) {
    s.process.Reset(pi.hProcess);
    tk::KernelHandle thread(pi.hThread);
    s.id = pi.dwProcessId;
  }
  return s;
}

struct Found {
  DWORD pid;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectForms(HWND hwnd, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[32] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (pid == f->pid && std::string(cls) == "ParceloForm" && IsWindowVisible(hwnd))
    f->windows.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> VisibleForms(DWORD pid) {
  Found f{pid, {}};
  EnumWindows(CollectForms, reinterpret_cast<LPARAM>(&f));
  return f.windows;
}

HWND WaitForMainWindow(DWORD pid) {
  for (int i = 0; i < 300; ++i) {
    auto forms = VisibleForms(pid);
    if (!forms.empty()) return forms.front();
    Sleep(50);
  }
  return nullptr;
}

TEST(Program, ShowsItsMainWindowAndEndsASecondCopyAtOnce) {
  Started first = Start();
  ASSERT_TRUE(first.process) << "Parcelo.exe beside the tests";
  HWND main = WaitForMainWindow(first.id);
  ASSERT_NE(main, nullptr);
  char caption[64] = {};
  GetWindowTextA(main, caption, sizeof caption);
  EXPECT_STREQ(caption, "Parcelo");
  RECT client{};
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 486);
  EXPECT_EQ(client.bottom, 381);
  // Centred on the screen's work area.
  RECT outer{}, work{};
  GetWindowRect(main, &outer);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR((outer.left + outer.right) / 2, (work.left + work.right) / 2, 2);
  EXPECT_NEAR((outer.top + outer.bottom) / 2, (work.top + work.bottom) / 2, 2);

  Started second = Start();
  ASSERT_TRUE(second.process);
  ASSERT_EQ(WaitForSingleObject(second.process, 20000), WAIT_OBJECT_0)
      << "the second copy ends by itself";
  DWORD code = 1;
  GetExitCodeProcess(second.process, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(VisibleForms(second.id).empty());
  EXPECT_EQ(VisibleForms(first.id).size(), 1u);

  PostMessageA(main, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(first.process, 20000), WAIT_OBJECT_0)
      << "closing the window ends the program";
}

}  // namespace
