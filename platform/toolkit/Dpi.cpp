#include "platform/toolkit/Dpi.h"

namespace tk {

int ScaledPx(int px96) { return MulDiv(px96, ScreenDpiX(), 96); }

PictureRef LoadScaledIcon(int id, int px96) {
  return Picture::LoadIconResource(id, ScaledPx(px96));
}

void SetWindowIcons(HWND hwnd, int id) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  // Shared icons of the system's own sizes belong to the system: nothing to destroy.
  auto load = [&](int cxMetric, int cyMetric) {
    return reinterpret_cast<LPARAM>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                               GetSystemMetrics(cxMetric),
                                               GetSystemMetrics(cyMetric), LR_SHARED));
  };
  SendMessageA(hwnd, WM_SETICON, ICON_BIG, load(SM_CXICON, SM_CYICON));
  SendMessageA(hwnd, WM_SETICON, ICON_SMALL, load(SM_CXSMICON, SM_CYSMICON));
}

}  // namespace tk
