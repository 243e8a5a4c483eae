// Puts a window into or out of the topmost band.
#pragma once
#include <windows.h>

// True makes the window topmost, false not topmost; neither moves nor resizes it. A failing
// platform call is ignored.
void SetTopMost(HWND hWnd, bool bOnTop);
