// The drawing state of XP_ProgressBar: every field the paint routines read and write. It is a
// plain struct so that the looks can be painted into any DC (a memory DC in the tests) without a
// hosting window; the control owns one and adds the off-screen surface around it.
#pragma once
#include <windows.h>

#include "platform/toolkit/Font.h"
#include "platform/toolkit/Numeric.h"

namespace xpbar {

// The look, chosen by the Scrolling property. Any value outside 0 to 9 draws like Smooth.
enum ProgressLook : long {
  Segmented = 0,
  Smooth = 1,
  Searching = 2,
  Flat = 3,
  Etched = 4,
  Shaded = 5,
  Dark = 6,
  Hatched = 7,
  Patterned = 8,
  Glossy = 9,
};

// 0 fills left to right; any other value fills bottom to top.
enum ProgressOrientation : long {
  Horizontal = 0,
  Vertical = 1,
};

struct ProgressBarState {
  COLORREF Color = 0;  // always plain RGB
  HDC drawDC = nullptr;
  HWND hwnd = nullptr;
  long Max = 100;
  long Min = 0;
  long percent = 0;  // the only stored form of Value
  tk::Bool16 ShowText = tk::kFalse;
  long Scrolling = Segmented;
  long Orientation = Horizontal;
  long BrushStyle = 0;
  tk::PictureRef Image;
  tk::Bool16 offscreen = tk::kFalse;
  tk::FontRef textFont;
  tk::FontRef Font;
  HGDIOBJ previousFont = nullptr;  // what the text step's font replaced; its selection restores it
  double fillFraction = 0;
  RECT clientRect{};
  RECT fillRect{};
  RECT gapRect{};
  RECT textRect{};  // carries over between redraws
  long blockWidth = 0;
  long blockGap = 2;
};

}  // namespace xpbar
