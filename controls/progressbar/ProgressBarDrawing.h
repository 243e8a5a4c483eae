// The drawing helpers every look shares: filled and framed rectangles, lines, shadings and the
// standard frame. Each draws into the DC it is given and creates and releases its own brushes and
// pens.
#pragma once
#include <windows.h>

#include "controls/progressbar/ProgressBarState.h"

namespace xpbar {

void FillRectColor(const RECT& rect, COLORREF colour, HDC dc);
void FrameRectColor(const RECT& rect, COLORREF colour, HDC dc);
// A one-pixel line from (X, Y) to (Width, Height); the end point itself is not painted.
void DrawLine(long X, long Y, long Width, long Height, HDC cHdc, COLORREF Color);
// Resolves both colours (written back), then draws the shading's lines one pen each. Never
// raises: a step that cannot be computed is skipped.
void DrawGradient(COLORREF& lEndColor, COLORREF& lStartcolor, long X, long Y, long X2, long Y2,
                  HDC hdc, bool bH) noexcept;
// The standard looks' frame with its rounded corners, around state.clientRect.
void DrawFrame(ProgressBarState& s);

}  // namespace xpbar
