#include "platform/toolkit/UserControl.h"

namespace tk {

UserControl::~UserControl() {
  // The derived control is gone by now: its own destructor runs its termination. Destroy the
  // window here, so that no message reaches a half-destroyed object.
  terminated_ = true;
  handle_.Reset();
}

void UserControl::CreateUserControl(Form& parent, int id, const TwipsRect& where,
                                    const PropertyBag* stored) {
  static bool registered = [] {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    // CS_OWNDC: the control keeps one DC for its lifetime, as the hosting toolkit's controls do.
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "ParceloUserControl";
    return RegisterClassExA(&wc) != 0;
  }();
  (void)registered;
  CreateControl(parent, id, "ParceloUserControl", WS_CLIPCHILDREN, 0, where, "");
  UserControl_Initialize();
  if (stored) UserControl_ReadProperties(*stored);
  UserControl_Resize();
}

double UserControl::ScaleWidth() const {
  RECT r = ClientPx();
  return scaleMode_ == 3 ? r.right : r.right * TwipsPerPixelX();
}

double UserControl::ScaleHeight() const {
  RECT r = ClientPx();
  return scaleMode_ == 3 ? r.bottom : r.bottom * TwipsPerPixelY();
}

LRESULT UserControl::SubclassProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PaintScope paint(hwnd());
      UserControl_Paint();
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // every paint covers the whole client area; helps to avoid flicker
    case WM_SIZE:
      UserControl_Resize();
      return 0;
    case WM_DESTROY:
      if (!terminated_) {
        terminated_ = true;
        UserControl_Terminate();
      }
      break;
  }
  return Control::SubclassProc(msg, wp, lp);
}

}  // namespace tk
