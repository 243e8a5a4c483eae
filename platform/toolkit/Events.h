// The message loop, the explicit "process pending events" step and the one-shot timer.
#pragma once
#include <windows.h>

#include <functional>

#include "platform/toolkit/Handles.h"

namespace tk {

// Processes every pending window event and returns.
void DoEvents();
// Runs the program's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();
// Routes one message the way the loop does (key preview, dialog navigation, dispatch).
void RouteMessage(MSG& msg);

class Timer {
 public:
  explicit Timer(std::function<void()> onTimer);
  bool Enabled() const { return enabled_; }
  void Enabled(bool on);
  UINT Interval() const { return interval_; }
  void Interval(UINT ms);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Apply();
  std::function<void()> onTimer_;
  WindowHandle window_;  // message-only window that receives WM_TIMER
  bool enabled_ = false;
  UINT interval_ = 0;
};

}  // namespace tk
