// The progress bar's paint cycle: the background, the chosen look and the percentage text. The
// standard looks are drawn here; the alternative ones come from ProgressBarLooks.h, and both use
// the helpers of ProgressBarDrawing.h. Every routine draws into state.drawDC.
#pragma once
#include <windows.h>

#include <string>

#include "controls/progressbar/ProgressBarState.h"

namespace xpbar {

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
void DrawPercentText(ProgressBarState& s);
void CenterTextRect(ProgressBarState& s, const std::string& text);
void DrawSplitText(ProgressBarState& s, const std::string& text);

}  // namespace xpbar
