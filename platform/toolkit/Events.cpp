#include "platform/toolkit/Events.h"

#include "platform/toolkit/Window.h"

namespace tk {

void RouteMessage(MSG& msg) {
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  Form* form = Form::FromHwnd(root);
  if (form && form->KeyPreview() && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)) {
    int shift = (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                (GetKeyState(VK_MENU) < 0 ? 4 : 0);
    try {
      form->Form_KeyDown(static_cast<int>(msg.wParam), shift);
    } catch (...) {
    }
  }
  // Tab order and mnemonics between a form's controls.
  if (form && IsDialogMessageA(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

void DoEvents() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the real loop
      return;
    }
    RouteMessage(msg);
  }
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) RouteMessage(msg);
  return static_cast<int>(msg.wParam);
}

Timer::Timer(std::function<void()> onTimer) : onTimer_(std::move(onTimer)) {}

void Timer::Enabled(bool on) {
  enabled_ = on;
  Apply();
}

void Timer::Interval(UINT ms) {
  interval_ = ms;
  Apply();
}

void Timer::Apply() {
  if (!window_) {
    static bool registered = [] {
      WNDCLASSEXA wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = &Timer::Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "ParceloTimer";
      return RegisterClassExA(&wc) != 0;
    }();
    (void)registered;
    window_.Reset(CreateWindowExA(0, "ParceloTimer", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr));
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  // Re-arming restarts the interval, as the toolkit's timer does.
  KillTimer(window_, 1);
  if (enabled_ && interval_ > 0) SetTimer(window_, 1, interval_, nullptr);
}

LRESULT CALLBACK Timer::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    auto* self = reinterpret_cast<Timer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && self->enabled_ && self->onTimer_) {
      try {
        self->onTimer_();
      } catch (...) {
      }
    }
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace tk
