// What the bar's paint tests share: the common canvas, and a bar state set up to paint into it.
#pragma once
#include <windows.h>

#include <memory>

#include "controls/progressbar/ProgressBarPaint.h"
#include "controls/progressbar/ProgressBarState.h"
#include "support/Canvas.h"

namespace pbtest {

using testsupport::Canvas;

// A bar of the given size and look, drawing into the canvas.
inline xpbar::ProgressBarState BarState(const Canvas& canvas, long look, long percent,
                                        long orientation = 0, COLORREF colour = 0xFF0000) {
  xpbar::ProgressBarState s;
  s.drawDC = canvas.dc();
  s.Color = colour;
  s.Scrolling = look;
  s.Orientation = orientation;
  s.percent = percent;
  s.Font = std::make_shared<tk::StdFont>();
  return s;
}

// The paint cycle without the window: limit, client area, picture.
inline void Paint(xpbar::ProgressBarState& s, const Canvas& canvas) {
  xpbar::LimitPercent(s);
  s.clientRect = {0, 0, canvas.width(), canvas.height()};
  xpbar::PaintPicture(s);
}

}  // namespace pbtest
