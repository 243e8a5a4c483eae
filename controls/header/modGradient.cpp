#include "controls/header/modGradient.h"

#include <olectl.h>

#include "platform/toolkit/Events.h"
#include "platform/toolkit/Numeric.h"

namespace modGradient {

RGBParts SplitRGB(COLORREF c) {
  RGBParts p;
  p.red = static_cast<int32_t>(c & 0xFF);
  p.green = static_cast<int32_t>((c & 0xFF00) / 256);
  p.blue = static_cast<int32_t>((c & 0xFF0000) / 65536);
  return p;
}

GradientColors SplitGradientColors(COLORREF first, COLORREF second) {
  GradientColors g;
  RGBParts a = SplitRGB(first);
  g.R1 = tk::ToInt16(a.red);
  g.G1 = tk::ToInt16(a.green);
  g.B1 = tk::ToInt16(a.blue);
  RGBParts b = SplitRGB(second);
  g.R2 = tk::ToInt16(b.red);
  g.G2 = tk::ToInt16(b.green);
  g.B2 = tk::ToInt16(b.blue);
  return g;
}

COLORREF TranslateColor(COLORREF c) {
  COLORREF rgb = 0;
  // The status is of no use here: an unknown value leaves the output at 0 (black).
  (void)OleTranslateColor(static_cast<OLE_COLOR>(c), nullptr, &rgb);
  return rgb;
}

int16_t GradientLineCount(double extentPx, int16_t maxFill, int32_t style) {
  if (maxFill > 100) maxFill = 100;
  if (style != kLeftToRight && style != kTopToBottom) return 0;
  // Divide first: the rounding of the result depends on the order.
  int32_t n = tk::CLng(extentPx / 100.0 * maxFill);
  return tk::ToInt16(n);
}

static int32_t Step(int16_t first, int16_t second, int16_t n, int32_t i) {
  int16_t d = tk::ToInt16(int32_t{second} - first);
  return tk::CLng(tk::Divide(d, n) * i + first);
}

COLORREF GradientLineColor(const GradientColors& c, int16_t n, int32_t i) {
  int32_t red = Step(c.R1, c.R2, n, i);
  int32_t green = Step(c.G1, c.G2, n, i);
  int32_t blue = Step(c.B1, c.B2, n, i);
  return static_cast<COLORREF>(red + 256 * green + 65536 * blue);
}

void PaintGradient(GradientSurface& surface, COLORREF LeftColor, COLORREF RightColor,
                   int16_t MaxFill, int32_t Style) {
  GradientColors colors = SplitGradientColors(LeftColor, RightColor);
  // Let pending events run first; one of them may be a resize that paints again before we do.
  tk::DoEvents();
  if (MaxFill > 100) MaxFill = 100;
  surface.AutoRedraw(true);
  surface.ScaleMode(kScalePixels);
  double extent = Style == kTopToBottom ? surface.ScaleHeight() : surface.ScaleWidth();
  int16_t n = GradientLineCount(extent, MaxFill, Style);
  // With no step to take (N of 0: no fill, a strip too thin for it, or an unknown style)
  // nothing is drawn, as for a negative N: the surface keeps its background.
  for (int32_t i = 0; n > 0 && i <= n; ++i) {
    COLORREF color = GradientLineColor(colors, n, i);
    if (Style == kLeftToRight) {
      surface.Line(i, 0, i, surface.ScaleHeight(), color);
    } else if (Style == kTopToBottom) {
      surface.Line(0, i, surface.ScaleWidth(), i, color);
    }
  }
  surface.ScaleMode(kScaleTwips);
}

}  // namespace modGradient
