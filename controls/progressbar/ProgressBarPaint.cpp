// Primitives, the standard looks, the frame and the percentage text.
#include "controls/progressbar/ProgressBarPaint.h"

#include "controls/progressbar/ProgressBarGeometry.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Handles.h"

namespace xpbar {

namespace {

// The text passes select the Font into drawDC (remembering previousFont), draw transparently and
// put the DC back as they found it, so that no redraw depends on what the previous one left.
class TextPass {
 public:
  explicit TextPass(ProgressBarState& s)
      : s_(s), textColor_(GetTextColor(s.drawDC)), bkMode_(GetBkMode(s.drawDC)) {
    s.textFont = s.Font;
    HFONT font = s.textFont ? s.textFont->Handle() : nullptr;
    s.previousFont = font ? SelectObject(s.drawDC, font) : nullptr;
    SetBkMode(s.drawDC, TRANSPARENT);
  }
  ~TextPass() {
    if (s_.previousFont) SelectObject(s_.drawDC, s_.previousFont);
    SetBkMode(s_.drawDC, bkMode_);
    SetTextColor(s_.drawDC, textColor_);
  }
  TextPass(const TextPass&) = delete;
  TextPass& operator=(const TextPass&) = delete;

 private:
  ProgressBarState& s_;
  COLORREF textColor_;
  int bkMode_;
};

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

void DrawSearchingBlocks(ProgressBarState& s) {
  for (int i = 0; i <= 2; ++i) {
    COLORREF c1 = LightenColor(s.Color, 220 - 40 * i);
    COLORREF c2 = LightenColor(s.Color, 200 - 40 * i);
    long start = SearchingBlockStart(s, i);
    if (s.Orientation == Horizontal) {
      DrawGradient(c1, c2, start, 3, 9, s.clientRect.bottom - 2, s.drawDC, true);
    } else {
      DrawGradient(c1, c2, s.clientRect.right - 2, start, 2, 9, s.drawDC, false);
    }
  }
}

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

void LimitPercent(ProgressBarState& s) {
  if (s.percent > 100) s.percent = 100;
}

void PaintPicture(ProgressBarState& s) {
  FillRectColor(s.clientRect, s.Scrolling == Dark ? 0x000000 : 0xFFFFFF, s.drawDC);
  switch (s.Scrolling) {
    case Flat:
      DrawFlat(s);
      break;
    case Etched:
      DrawEtched(s);
      break;
    case Shaded:
      DrawShaded(s);
      break;
    case Dark:
      DrawDark(s);
      break;
    case Hatched:
      DrawHatched(s);
      break;
    case Patterned:
      DrawPatterned(s);
      break;
    case Glossy:
      DrawGlossy(s);
      break;
    default:
      CalcFillRect(s);
      DrawFill(s);
      if (s.Scrolling == Segmented) DrawBlockGaps(s);
      DrawFrame(s);
      break;
  }
  DrawPercentText(s);
}

void DrawFill(ProgressBarState& s) {
  HDC dc = s.drawDC;
  if (s.Orientation == Horizontal) RaiseShortFill(s);
  RECT body = TubeBodyRect(s);
  if (s.Scrolling == Searching) {
    DrawSearchingBlocks(s);
    return;
  }
  COLORREF light = LightenColor(s.Color, 150);
  COLORREF colour = s.Color;
  if (s.Orientation == Horizontal) {
    // Two overlapping shadings around a solid middle give the tube its rounded look.
    DrawGradient(light, colour, 4, 3, body.right, 6, dc, false);
    FillRectColor(body, s.Color, dc);
    DrawGradient(colour, light, 4, body.bottom - 2, body.right, 6, dc, false);
  } else {
    DrawGradient(light, colour, 4, s.fillRect.top, 4, s.clientRect.bottom, dc, true);
    FillRectColor(body, s.Color, dc);
    DrawGradient(colour, light, s.clientRect.right - 8, s.fillRect.top, 4, s.clientRect.bottom, dc,
                 true);
  }
}

void DrawBlockGaps(ProgressBarState& s) {
  tk::Brush white(CreateSolidBrush(0xFFFFFF));
  s.gapRect = s.clientRect;
  int gaps = BlockGapCount(s);
  for (int k = 0; k < gaps; ++k) {
    s.gapRect = BlockGapRect(s, k);
    FillRect(s.drawDC, &s.gapRect, white);
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

void DrawPercentText(ProgressBarState& s) {
  bool split = SplitsText(s.Scrolling);
  std::string text = PercentText(s);
  if (!s.ShowText) return;
  {
    TextPass pass(s);
    SetTextColor(s.drawDC, ResolveSysColor(s.Scrolling == Dark ? 0xC0C0C0 : 0x000000));
    CenterTextRect(s, text);
    double x = TextFillX(s.percent, s.clientRect);
    // Once the fill has passed the whole text, only the contrasting pass shows.
    if (!(split && x > s.textRect.right)) {
      DrawTextA(s.drawDC, text.c_str(), static_cast<int>(text.size()), &s.textRect, DT_SINGLELINE);
    }
  }
  if (split) DrawSplitText(s, text);
}

void CenterTextRect(ProgressBarState& s, const std::string& text) {
  RECT measured = s.textRect;
  DrawTextA(s.drawDC, text.c_str(), static_cast<int>(text.size()), &measured, DT_CALCRECT);
  s.textRect = CenteredTextRect(measured, s.clientRect);
}

void DrawSplitText(ProgressBarState& s, const std::string& text) {
  TextPass pass(s);
  if (TextFillX(s.percent, s.clientRect) < s.textRect.left) return;
  SetTextColor(s.drawDC,
               ResolveSysColor(s.Scrolling == Dark ? LightenColor(s.Color, 80) : 0xFFFFFF));
  s.textRect = SplitTextRect(s.textRect, s.percent, s.clientRect);
  // Clipping to the shortened rectangle keeps only the part over the fill.
  DrawTextA(s.drawDC, text.c_str(), static_cast<int>(text.size()), &s.textRect, DT_SINGLELINE);
}

}  // namespace xpbar
