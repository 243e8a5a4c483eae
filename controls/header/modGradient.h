// modGradient: paints a two-colour linear gradient onto a drawing surface, one straight line per
// pixel column or row, and resolves colour values that name system colours. It knows nothing of
// the header that uses it: it is handed a surface and numbers.
#pragma once
#include <windows.h>

#include <cstdint>

namespace modGradient {

// What the painter needs from a surface. The header hands it its picture box; tests hand it a
// recorder or a memory surface.
class GradientSurface {
 public:
  virtual ~GradientSurface() = default;
  virtual void AutoRedraw(bool on) = 0;
  virtual void ScaleMode(int mode) = 0;  // 3 pixels, 1 twips
  virtual double ScaleWidth() const = 0;
  virtual double ScaleHeight() const = 0;
  // A one-pixel line in the colour (0x00BBGGRR), coordinates in the current scale.
  virtual void Line(double x1, double y1, double x2, double y2, COLORREF color) = 0;
};

constexpr int kScalePixels = 3;
constexpr int kScaleTwips = 1;
constexpr int32_t kLeftToRight = 0;
constexpr int32_t kTopToBottom = 1;

// The three components of one colour; the top byte never contributes.
struct RGBParts {
  int32_t red = 0, green = 0, blue = 0;
};
RGBParts SplitRGB(COLORREF c);

// Components of both end colours, 16-bit as the painter keeps them.
struct GradientColors {
  int16_t R1 = 0, G1 = 0, B1 = 0;
  int16_t R2 = 0, G2 = 0, B2 = 0;
};
GradientColors SplitGradientColors(COLORREF first, COLORREF second);

// A plain RGB value stays as it is; 0x800000nn becomes the current RGB value of system colour nn.
COLORREF TranslateColor(COLORREF c);

// Index of the last line drawn: extent / 100 * maxFill rounded half to even (maxFill above 100
// counts as 100), as a 16-bit bound. 0 for a style other than left-to-right or top-to-bottom.
// Raises an overflow error when the bound does not fit 16 bits.
int16_t GradientLineCount(double extentPx, int16_t maxFill, int32_t style);

// Colour of line i of a gradient whose last line is n (n at least 1; 0 raises division by zero).
COLORREF GradientLineColor(const GradientColors& colors, int16_t n, int32_t i);

// Paints lines 0..N of the gradient, LeftColor at the left or top edge and RightColor at the
// MaxFill limit; beyond it the surface keeps what it had. N below 1 draws nothing. Processes
// pending window events once before drawing. On return AutoRedraw is true and ScaleMode is twips.
void PaintGradient(GradientSurface& surface, COLORREF LeftColor, COLORREF RightColor,
                   int16_t MaxFill, int32_t Style);

}  // namespace modGradient
