#include <gtest/gtest.h>

#include "platform/toolkit/App.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/Handles.h"
#include "platform/toolkit/Window.h"

namespace {

class TestForm : public tk::Form {
 public:
  void Form_KeyDown(int keyCode, int shift) override { keys.push_back({keyCode, shift}); }
  void OnCommand(int id, int code) override {
    if (code == BN_CLICKED) clicks.push_back(id);
  }
  std::vector<std::pair<int, int>> keys;
  std::vector<int> clicks;
};

TEST(Toolkit, FormClientAreaAndControlsAreInTwips) {
  ASSERT_EQ(tk::ScreenDpiX(), 96) << "the virtual display runs at 96 dpi";
  TestForm form;
  form.CreateForm({"Test", 7290, 5715});
  RECT client = form.ClientPx();
  EXPECT_EQ(client.right, 486);
  EXPECT_EQ(client.bottom, 381);

  tk::Button button;
  button.Create(form, 5, {5785, 4770, 1335, 350}, "&Open");
  RECT r{};
  GetWindowRect(button.hwnd(), &r);
  MapWindowPoints(nullptr, form.hwnd(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 386);  // 5785 / 15 = 385.67
  EXPECT_EQ(r.top, 318);
  EXPECT_EQ(r.right - r.left, 89);
  EXPECT_EQ(r.bottom - r.top, 23);  // 350 / 15 = 23.3
  EXPECT_NEAR(button.Left(), 5785, 15);
  EXPECT_EQ(button.Caption(), "&Open");

  button.Click();
  EXPECT_EQ(form.clicks, std::vector<int>{5});
  button.Enabled(false);
  EXPECT_FALSE(button.Enabled());
  form.Unload();
  EXPECT_FALSE(form.Loaded());
}

TEST(Toolkit, UnloadingTheLastFormEndsTheProgram) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  {
    TestForm a, b;
    a.CreateForm({"A", 1000, 1000});
    b.CreateForm({"B", 1000, 1000});
    EXPECT_EQ(tk::Form::Forms().size(), 2u);
    a.Unload();
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    PostMessageA(b.hwnd(), WM_CLOSE, 0, 0);
    tk::DoEvents();
    EXPECT_FALSE(b.Loaded());
    EXPECT_TRUE(tk::Form::Forms().empty());
  }
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(Toolkit, ListBoxKeepsInsertionOrder) {
  TestForm form;
  form.CreateForm({"Test", 3000, 3000});
  tk::ListBox list;
  list.Create(form, 7, {0, 0, 2000, 2000});
  for (const char* s : {"b", "a", "C:\\x", "a"}) list.AddItem(s);
  ASSERT_EQ(list.ListCount(), 4);
  EXPECT_EQ(list.List(0), "b");
  EXPECT_EQ(list.List(2), "C:\\x");
  list.ListIndex(3);
  EXPECT_EQ(list.ListIndex(), 3);
  list.RemoveItem(0);
  EXPECT_EQ(list.List(0), "a");
  EXPECT_EQ(list.List(9), "");
  list.Clear();
  EXPECT_EQ(list.ListCount(), 0);
}

TEST(Toolkit, KeyPreviewSeesKeysBeforeTheFocusedControl) {
  TestForm form;
  tk::Form::Style style{"Test", 3000, 3000};
  style.keyPreview = true;
  form.CreateForm(style);
  tk::ListBox list;
  list.Create(form, 7, {0, 0, 2000, 2000});
  MSG msg{list.hwnd(), WM_KEYDOWN, VK_F1, 0, 0, {}};
  tk::RouteMessage(msg);
  ASSERT_EQ(form.keys.size(), 1u);
  EXPECT_EQ(form.keys[0].first, 112);
}

TEST(Toolkit, TimerFiresOnceIntervalHasPassedAndStopsWhenDisabled) {
  // Earlier tests unloaded their last form, which asks the program to end; take that back.
  MSG quit;
  while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  int fired = 0;
  tk::Timer* self = nullptr;
  tk::Timer timer([&] {
    ++fired;
    self->Enabled(false);  // one-shot, as the main window's timer is used
  });
  self = &timer;
  timer.Interval(50);
  EXPECT_FALSE(timer.Enabled());
  timer.Enabled(true);
  DWORD start = GetTickCount();
  while (fired == 0 && GetTickCount() - start < 5000) {
    tk::DoEvents();
    Sleep(5);
  }
  EXPECT_EQ(fired, 1);
  for (int i = 0; i < 30; ++i) {
    tk::DoEvents();
    Sleep(5);
  }
  EXPECT_EQ(fired, 1);
}

TEST(Toolkit, FontHandlesAreRecreatedWithoutLeaking) {
  tk::StdFont font("Tahoma", 10, true);
  EXPECT_TRUE(font.Bold());
  font.Handle();
  DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 500; ++i) {
    font.Size(8 + i % 5);
    ASSERT_NE(font.Handle(), nullptr);
  }
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
  {
    tk::Brush brush(CreateSolidBrush(RGB(1, 2, 3)));
    tk::Brush moved = std::move(brush);
    EXPECT_FALSE(brush);
    EXPECT_TRUE(moved);
  }
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
}

TEST(Toolkit, ApplicationIdentity) {
  EXPECT_EQ(tk::App::Title(), "Parcelo");
  EXPECT_EQ(tk::App::Major(), 2);
  EXPECT_EQ(tk::App::Minor(), 0);
  EXPECT_EQ(tk::App::Revision(), 0);
  EXPECT_EQ(tk::App::EXEName(), "toolkit_tests");
  EXPECT_FALSE(tk::App::PrevInstance());
  EXPECT_FALSE(tk::App::PrevInstance()) << "the first call claims the instance for this process";
}

}  // namespace
