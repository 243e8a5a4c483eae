// The numbers behind the progress bar's pictures: colour arithmetic, the value mapping, gradient
// steps, fill rectangles, block and gap positions, text placement. Nothing here draws, so the
// tests can check every rule without a DC, and the paint routines only consume the results.
#pragma once
#include <windows.h>

#include <string>

#include "controls/progressbar/ProgressBarState.h"

namespace xpbar {

// ---- Colours --------------------------------------------------------------------------------

// A value with the top bit set names a system colour; anything else is already plain RGB.
COLORREF ResolveSysColor(COLORREF c);
// Moves each component toward white: x' = a + ((255 - a) * x) / 255, truncating.
COLORREF LightenColor(COLORREF c, long a);
// a = 255 gives c1, a = 0 gives c2; each weighted term is divided by 255 on its own.
COLORREF BlendColors(COLORREF c1, COLORREF c2, long a);

// ---- Value mapping --------------------------------------------------------------------------

// percent = round(v * 100 / Max + Min). The product is formed in 64 bits so that byte totals
// above 21474836 map correctly. Raises kDivisionByZero for Max 0 and kOverflow when the result
// does not fit 32 bits.
long PercentFromValue(long v, long Max, long Min);
// round(percent / 100 * Max / d), d = Min when Min > 0, else 1. Raises kOverflow.
long ValueFromPercent(long percent, long Max, long Min);

// ---- Gradients ------------------------------------------------------------------------------

// One shading run of n + 1 lines, computed in single precision as the painter does it.
struct Gradient {
  float r1 = 0, g1 = 0, b1 = 0;
  float dr = 0, dg = 0, db = 0;  // stay 0 when n is 0: the step cannot be computed
  long n = 0;
  COLORREF ColorAt(long i) const;  // colour of line i, 0 <= i <= n
};
// lEndColor is the colour of line 0, lStartcolor that of line n (both plain RGB).
Gradient MakeGradient(COLORREF lEndColor, COLORREF lStartcolor, long n);

struct Segment {
  long x1, y1, x2, y2;  // the end point is not painted
};
// Line i of a shading: vertical at X + i down to row Y2 when bH, else horizontal at Y + i up to
// column X2.
Segment GradientLine(long X, long Y, long X2, long Y2, bool bH, long i);

// ---- Standard looks (Segmented, Smooth, Searching and any unnamed look) ---------------------

// Sets blockWidth and blockGap, advances clientRect.left by 3 and puts the filled end on the
// block grid (fillRect, fillFraction).
void CalcFillRect(ProgressBarState& s);
// A short horizontal fill is always shown as a stub: fillRect.right <= 14 becomes 12.
void RaiseShortFill(ProgressBarState& s);
// The solid middle of the tube between the two shadings.
RECT TubeBodyRect(const ProgressBarState& s);
// Left column (horizontal) or top row (vertical) of Searching block i (0 to 2).
long SearchingBlockStart(const ProgressBarState& s, int i);
// The white gaps of the Segmented look, counted from the start of the fill.
int BlockGapCount(const ProgressBarState& s);
RECT BlockGapRect(const ProgressBarState& s, int k);

// ---- Alternative looks ----------------------------------------------------------------------

// The filled end of looks Flat to Glossy for client width W (the divisor differs per look).
long AltFillEnd(long look, long percent, long W);
// Height of each half of the Glossy track: round((H - 3) / 2).
long GlossyHalf(long H);

// ---- Text -----------------------------------------------------------------------------------

std::string PercentText(const ProgressBarState& s);
bool SplitsText(long look);
// The measured rectangle moved to the centre of the client area, keeping its size.
RECT CenteredTextRect(const RECT& measured, const RECT& client);
// Where the fill ends for the text passes: percent / 100 * W.
double TextFillX(long percent, const RECT& client);
// The second pass's rectangle: re-centred left edge, right edge at the filled end.
RECT SplitTextRect(const RECT& textRect, long percent, const RECT& client);

}  // namespace xpbar
