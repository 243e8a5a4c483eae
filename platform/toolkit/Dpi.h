// Pictures at the screen's resolution. Parcelo declares itself aware of the system's DPI: it
// draws at the resolution the session had when it started, and keeps it for the process's life
// (when the scaling changes later, or on a monitor of another scaling, Windows stretches its
// windows as a whole). So these ask the screen every time and keep nothing per monitor.
#pragma once
#include <windows.h>

#include "platform/toolkit/Font.h"

namespace tk {

// A length designed in pixels at 96 dpi, in pixels at the screen's resolution.
int ScaledPx(int px96);

// An icon resource of this module at the size that was designed in pixels at 96 dpi, scaled to
// the screen: the resource's own image of that size where it has one (nothing stretched).
PictureRef LoadScaledIcon(int id, int px96);

// Gives a window its two icons from an icon resource of this module, each at the size Windows
// draws it at (the caption's small one and the task switcher's large one).
void SetWindowIcons(HWND hwnd, int id);

}  // namespace tk
