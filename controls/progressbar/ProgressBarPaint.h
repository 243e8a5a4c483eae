// The progress bar's drawing: primitives, the standard looks with their frame, the seven
// alternative looks and the percentage text. Every routine draws into state.drawDC and creates
// and releases its own brushes and pens.
#pragma once
#include <windows.h>

#include <string>

#include "controls/progressbar/ProgressBarState.h"

namespace xpbar {

// ---- Primitives -----------------------------------------------------------------------------

void FillRectColor(const RECT& rect, COLORREF colour, HDC dc);
void FrameRectColor(const RECT& rect, COLORREF colour, HDC dc);
// A one-pixel line from (X, Y) to (Width, Height); the end point itself is not painted.
void DrawLine(long X, long Y, long Width, long Height, HDC cHdc, COLORREF Color);
// Resolves both colours (written back), then draws the shading's lines one pen each. Never
// raises: a step that cannot be computed is skipped.
void DrawGradient(COLORREF& lEndColor, COLORREF& lStartcolor, long X, long Y, long X2, long Y2,
                  HDC hdc, bool bH) noexcept;

// ---- The paint cycle ------------------------------------------------------------------------

// Limits percent to at most 100 (no lower limit) and stores the result.
void LimitPercent(ProgressBarState& s);
// The picture itself: background, the chosen look, the text. Expects clientRect to hold the
// client area (left and top 0) and percent already limited. May raise kOverflow (a Hatched
// BrushStyle outside the 16-bit range, arithmetic on extreme negative values).
void PaintPicture(ProgressBarState& s);

// ---- The routines PaintPicture is made of ---------------------------------------------------

void DrawFill(ProgressBarState& s);
void DrawBlockGaps(ProgressBarState& s);
void DrawFrame(ProgressBarState& s);
void DrawPercentText(ProgressBarState& s);
void CenterTextRect(ProgressBarState& s, const std::string& text);
void DrawSplitText(ProgressBarState& s, const std::string& text);

void DrawFlat(ProgressBarState& s);
void DrawEtched(ProgressBarState& s);
void DrawShaded(ProgressBarState& s);
void DrawDark(ProgressBarState& s);
void DrawHatched(ProgressBarState& s);
void DrawPatterned(ProgressBarState& s);
void DrawGlossy(ProgressBarState& s);

}  // namespace xpbar
