// Primitives and the standard frame, shared by the standard and the alternative looks.
#include "controls/progressbar/ProgressBarDrawing.h"

#include "controls/progressbar/ProgressBarGeometry.h"
#include "platform/toolkit/Handles.h"

namespace xpbar {

namespace {

struct FramePixel {
  int fromRight;   // 0: x counted from the left edge; 1: x is r - x
  int fromBottom;  // 0: y counted from the top; 1: y is b - y
  int x, y;
  COLORREF colour;
};

// The rounded corners, left column first, then the right one, in painting order.
constexpr FramePixel kCornerPixels[] = {
    {0, 0, 0, 0, 0xFFFFFF}, {0, 0, 0, 1, 0xA6ABAC}, {0, 0, 0, 2, 0x7D7E7F}, {0, 0, 1, 0, 0xA7ABAC},
    {0, 0, 1, 1, 0x777777}, {0, 0, 2, 0, 0x7D7E7F}, {0, 0, 2, 2, 0xBEBEBE}, {0, 1, 0, 1, 0xFFFFFF},
    {0, 1, 1, 1, 0xA6ABAC}, {0, 1, 2, 1, 0x7D7E7F}, {0, 1, 0, 3, 0x7D7E7F}, {0, 1, 0, 2, 0xA7ABAC},
    {0, 1, 1, 2, 0x777777}, {1, 0, 1, 0, 0xFFFFFF}, {1, 0, 1, 1, 0xBEBEBE}, {1, 0, 1, 2, 0x7D7E7F},
    {1, 0, 2, 2, 0xBEBEBE}, {1, 0, 2, 1, 0x686868}, {1, 1, 1, 1, 0xFFFFFF}, {1, 1, 1, 2, 0xBEBEBE},
    {1, 1, 1, 3, 0x7D7E7F}, {1, 1, 2, 2, 0x777777}, {1, 1, 2, 1, 0xBEBEBE}, {1, 1, 3, 1, 0x7D7E7F},
};

}  // namespace

void FillRectColor(const RECT& rect, COLORREF colour, HDC dc) {
  tk::Brush brush(CreateSolidBrush(ResolveSysColor(colour)));
  if (brush) FillRect(dc, &rect, brush);
}

void FrameRectColor(const RECT& rect, COLORREF colour, HDC dc) {
  tk::Brush brush(CreateSolidBrush(colour));
  if (brush) FrameRect(dc, &rect, brush);
}

void DrawLine(long X, long Y, long Width, long Height, HDC cHdc, COLORREF Color) {
  tk::Pen pen(CreatePen(PS_SOLID, 1, ResolveSysColor(Color)));
  if (!pen) return;
  tk::ScopedSelect select(cHdc, pen);
  MoveToEx(cHdc, X, Y, nullptr);
  LineTo(cHdc, Width, Height);
}

void DrawGradient(COLORREF& lEndColor, COLORREF& lStartcolor, long X, long Y, long X2, long Y2,
                  HDC hdc, bool bH) noexcept {
  lEndColor = ResolveSysColor(lEndColor);
  lStartcolor = ResolveSysColor(lStartcolor);
  long n = bH ? X2 : Y2;
  Gradient gradient = MakeGradient(lEndColor, lStartcolor, n);
  for (long long i = 0; i <= n; ++i) {
    Segment line = GradientLine(X, Y, X2, Y2, bH, static_cast<long>(i));
    DrawLine(line.x1, line.y1, line.x2, line.y2, hdc, gradient.ColorAt(static_cast<long>(i)));
  }
}

void DrawFrame(ProgressBarState& s) {
  HDC dc = s.drawDC;
  s.clientRect.left -= 3;
  long r = s.clientRect.right, b = s.clientRect.bottom;
  DrawLine(2, 1, r - 2, 1, dc, 0xBEBEBE);
  DrawLine(2, b - 2, r - 2, b - 2, dc, 0xEFEFEF);
  DrawLine(1, 2, 1, b - 2, dc, 0xBEBEBE);
  DrawLine(2, 2, 2, b - 2, dc, 0xEFEFEF);
  DrawLine(2, 2, r - 2, 2, dc, 0xEFEFEF);
  DrawLine(r - 2, 2, r - 2, b - 2, dc, 0xEFEFEF);
  FrameRectColor(s.clientRect, 0x686868, dc);
  for (const FramePixel& p : kCornerPixels) {
    long x = p.fromRight ? r - p.x : p.x;
    long y = p.fromBottom ? b - p.y : p.y;
    SetPixelV(dc, x, y, ResolveSysColor(p.colour));
  }
}

}  // namespace xpbar
