// The seven alternative looks. They always fill from left to right and use the client area as
// it is (left and top 0); W and H are its right and bottom.
#include "controls/progressbar/ProgressBarLooks.h"

#include "controls/progressbar/ProgressBarDrawing.h"
#include "controls/progressbar/ProgressBarGeometry.h"
#include "platform/toolkit/Handles.h"
#include "platform/toolkit/Numeric.h"

namespace xpbar {

namespace {

void Edge(ProgressBarState& s, UINT edge) {
  RECT r = s.clientRect;
  DrawEdge(s.drawDC, &r, edge, BF_RECT);
}

// Paints the hatch opaquely on the given background, then gives the DC its old background back.
class OpaqueBackground {
 public:
  OpaqueBackground(HDC dc, COLORREF colour)
      : dc_(dc), colour_(SetBkColor(dc, colour)), mode_(SetBkMode(dc, OPAQUE)) {}
  ~OpaqueBackground() {
    SetBkMode(dc_, mode_);
    SetBkColor(dc_, colour_);
  }
  OpaqueBackground(const OpaqueBackground&) = delete;
  OpaqueBackground& operator=(const OpaqueBackground&) = delete;

 private:
  HDC dc_;
  COLORREF colour_;
  int mode_;
};

}  // namespace

void DrawFlat(ProgressBarState& s) {
  long W = s.clientRect.right, H = s.clientRect.bottom;
  FrameRectColor(s.clientRect, LightenColor(s.Color, 100), s.drawDC);
  s.fillRect = {1, 1, AltFillEnd(Flat, s.percent, W) + s.clientRect.left, H - 1};
  FillRectColor(s.fillRect, LightenColor(s.Color, 180), s.drawDC);
}

void DrawEtched(ProgressBarState& s) {
  long W = s.clientRect.right, H = s.clientRect.bottom;
  Edge(s, EDGE_ETCHED);
  long n = AltFillEnd(Etched, s.percent, W) + s.clientRect.left;
  COLORREF from = LightenColor(s.Color, 140), to = LightenColor(s.Color, 200);
  DrawGradient(from, to, 2, 2, n, H - 3, s.drawDC, true);
}

void DrawShaded(ProgressBarState& s) {
  long W = s.clientRect.right, H = s.clientRect.bottom;
  FrameRectColor(s.clientRect, LightenColor(s.Color, 10), s.drawDC);
  s.fillRect.right = AltFillEnd(Shaded, s.percent, W) + s.clientRect.left;
  COLORREF colour = s.Color, light = LightenColor(s.Color, 100);
  DrawGradient(colour, light, 2, 2, W - 2, H - 5, s.drawDC, false);  // the track
  COLORREF nearWhite = LightenColor(s.Color, 250);
  colour = s.Color;
  DrawGradient(nearWhite, colour, 3, 3, s.fillRect.right, H - 6, s.drawDC, false);  // the fill
  DrawLine(s.fillRect.right, 2, s.fillRect.right, H - 2, s.drawDC, LightenColor(s.Color, 25));
}

void DrawDark(ProgressBarState& s) {
  long W = s.clientRect.right, H = s.clientRect.bottom;
  FrameRectColor(s.clientRect, BlendColors(s.Color, 0x000000, 200), s.drawDC);
  COLORREF d = LightenColor(ResolveSysColor(BlendColors(s.Color, 0x000000, 100)), 10);
  long n = AltFillEnd(Dark, s.percent, W) + s.clientRect.left;
  COLORREF black = 0x000000;
  DrawGradient(black, d, 2, 2, n, H - 2, s.drawDC, true);
}

void DrawHatched(ProgressBarState& s) {
  long W = s.clientRect.right, H = s.clientRect.bottom;
  Edge(s, EDGE_BUMP);
  s.fillRect = {2, 2, AltFillEnd(Hatched, s.percent, W) + s.clientRect.left, H - 2};
  int16_t style = tk::CInt(s.BrushStyle);  // outside 16 bits: overflow, as the conversion demands
  // Only the six documented hatches make a hatch brush; any other style leaves the fill undrawn.
  if (style < HS_HORIZONTAL || style > HS_DIAGCROSS) return;
  tk::Brush brush(CreateHatchBrush(style, ResolveSysColor(s.Color)));
  if (!brush) return;
  OpaqueBackground background(s.drawDC, LightenColor(s.Color, 140));
  FillRect(s.drawDC, &s.fillRect, brush);
}

void DrawPatterned(ProgressBarState& s) {
  long W = s.clientRect.right, H = s.clientRect.bottom;
  Edge(s, BDR_SUNKENOUTER);
  if (!s.Image) return;
  tk::Brush brush(CreatePatternBrush(s.Image->BitmapHandle()));
  if (!brush) return;  // a picture without a usable bitmap
  tk::ScopedSelect select(s.drawDC, brush);
  long w = AltFillEnd(Patterned, s.percent, W) + s.clientRect.left;
  s.fillRect.right = w;
  PatBlt(s.drawDC, 2, 2, w, H - 4, PATCOPY);
}

void DrawGlossy(ProgressBarState& s) {
  long W = s.clientRect.right, H = s.clientRect.bottom;
  HDC dc = s.drawDC;
  long n = AltFillEnd(Glossy, s.percent, W) + s.clientRect.left;
  s.fillRect.right = n;
  long h = GlossyHalf(H);
  COLORREF white = 0xFFFFFF, silver = 0xC0C0C0;
  DrawGradient(white, silver, 2, 2, W - 3, h, dc, false);  // upper track
  COLORREF s1 = BlendColors(0xC0C0C0, 0x000000, 255);
  silver = 0xC0C0C0;
  DrawGradient(s1, silver, 2, h, W - 3, h, dc, false);  // lower track
  COLORREF upperFrom = LightenColor(s.Color, 150), upperTo = BlendColors(s.Color, 0x000000, 180);
  DrawGradient(upperFrom, upperTo, 2, 2, n, h, dc, false);  // upper fill
  COLORREF lowerFrom = BlendColors(s.Color, 0x000000, 190), colour = s.Color;
  DrawGradient(lowerFrom, colour, 2, h, n, h, dc, false);  // lower fill
  s.clientRect.left += 3;
  DrawFrame(s);
}

}  // namespace xpbar
