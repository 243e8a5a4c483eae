// The paint cycle, the standard looks and the percentage text.
#include "controls/progressbar/ProgressBarPaint.h"

#include "controls/progressbar/ProgressBarDrawing.h"
#include "controls/progressbar/ProgressBarGeometry.h"
#include "controls/progressbar/ProgressBarLooks.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Handles.h"

namespace xpbar {

namespace {

// The text passes select the Font into drawDC, draw transparently and put the DC back as they
// found it, so that no redraw depends on what the previous one left.
class TextPass {
 public:
  explicit TextPass(ProgressBarState& s)
      : s_(s),
        textColor_(GetTextColor(s.drawDC)),
        bkMode_(GetBkMode(s.drawDC)),
        font_(s.drawDC, TakeTextFont(s)) {
    s.previousFont = font_.previous();
    SetBkMode(s.drawDC, TRANSPARENT);
  }
  ~TextPass() {
    SetBkMode(s_.drawDC, bkMode_);
    SetTextColor(s_.drawDC, textColor_);
  }
  TextPass(const TextPass&) = delete;
  TextPass& operator=(const TextPass&) = delete;

 private:
  // The Font becomes the text font; its handle, null when there is none (nothing is selected).
  static HFONT TakeTextFont(ProgressBarState& s) {
    s.textFont = s.Font;
    return s.textFont ? s.textFont->Handle() : nullptr;
  }

  ProgressBarState& s_;
  COLORREF textColor_;
  int bkMode_;
  tk::ScopedSelect font_;
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
