#include "platform/MsTop.h"

void SetTopMost(HWND hWnd, bool bOnTop) {
  SetWindowPos(hWnd, bOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}
