#include "controls/progressbar/ProgressBarGeometry.h"

#include <algorithm>

#include "platform/toolkit/Error.h"
#include "platform/toolkit/Numeric.h"

namespace xpbar {

namespace {

long Red(COLORREF c) { return static_cast<long>(c & 0xFF); }
long Green(COLORREF c) { return static_cast<long>((c >> 8) & 0xFF); }
long Blue(COLORREF c) { return static_cast<long>((c >> 16) & 0xFF); }

long LightenComponent(long x, long a) {
  long v = a + ((255 - a) * x) / 255;
  return std::min(v, 255L);
}

long BlendComponent(long x1, long x2, long a) {
  return tk::CLng((255 - a) * static_cast<double>(x2) / 255 + a * static_cast<double>(x1) / 255);
}

// Rounds a single-precision component; the interpolated value never leaves 0..255 by more than
// the float's last bit.
BYTE ComponentByte(float v) {
  double r = tk::RoundHalfEven(v);
  return static_cast<BYTE>(std::clamp(r, 0.0, 255.0));
}

}  // namespace

COLORREF ResolveSysColor(COLORREF c) {
  return (c & 0x80000000u) ? GetSysColor(static_cast<int>(c & 0x7FFFFFFFu)) : c;
}

COLORREF LightenColor(COLORREF c, long a) {
  return RGB(LightenComponent(Red(c), a), LightenComponent(Green(c), a),
             LightenComponent(Blue(c), a));
}

COLORREF BlendColors(COLORREF c1, COLORREF c2, long a) {
  c1 = ResolveSysColor(c1);
  c2 = ResolveSysColor(c2);
  return RGB(BlendComponent(Red(c1), Red(c2), a), BlendComponent(Green(c1), Green(c2), a),
             BlendComponent(Blue(c1), Blue(c2), a));
}

long PercentFromValue(long v, long Max, long Min) {
  // 64 bits: a 32-bit product overflows for any v above 21474836, which froze the bar at 21 %
  // when Max is a byte total.
  double scaled = static_cast<double>(int64_t{v} * 100);
  return tk::CLng(tk::Divide(scaled, Max) + Min);
}

long ValueFromPercent(long percent, long Max, long Min) {
  double d = Min > 0 ? Min : 1;
  return tk::CLng((percent / 100.0 * Max) / d);
}

COLORREF Gradient::ColorAt(long i) const {
  // Each step rounded to single precision, as the painter's arithmetic is.
  float fi = static_cast<float>(i);
  float pr = dr * fi, pg = dg * fi, pb = db * fi;
  float r = r1 + pr, g = g1 + pg, b = b1 + pb;
  return RGB(ComponentByte(r), ComponentByte(g), ComponentByte(b));
}

Gradient MakeGradient(COLORREF lEndColor, COLORREF lStartcolor, long n) {
  Gradient gr;
  gr.n = n;
  gr.r1 = static_cast<float>(Red(lEndColor));
  gr.g1 = static_cast<float>(Green(lEndColor));
  gr.b1 = static_cast<float>(Blue(lEndColor));
  if (n != 0) {
    float fn = static_cast<float>(n);
    gr.dr = (static_cast<float>(Red(lStartcolor)) - gr.r1) / fn;
    gr.dg = (static_cast<float>(Green(lStartcolor)) - gr.g1) / fn;
    gr.db = (static_cast<float>(Blue(lStartcolor)) - gr.b1) / fn;
  }
  return gr;
}

Segment GradientLine(long X, long Y, long X2, long Y2, bool bH, long i) {
  if (bH) return {X + i, Y, X + i, Y2};
  return {X, Y + i, X2, Y + i};
}

void CalcFillRect(ProgressBarState& s) {
  s.blockWidth = s.Scrolling == Segmented ? 6 : 0;
  s.blockGap = 2;
  s.clientRect.left += 3;
  s.fillRect = s.clientRect;
  // 98, not 100: the filled end reaches the far edge at 98 percent.
  s.fillFraction = std::max(s.percent / 98.0, 0.0);
  long grid = s.blockWidth + s.blockGap;
  const RECT& c = s.clientRect;
  if (s.Orientation == Horizontal) {
    long e = tk::CLng((c.right - c.left) * s.fillFraction + c.left);
    s.fillRect.right = e - (e - s.fillRect.left) % grid;  // % keeps the dividend's sign
    if (s.fillRect.right < c.left) s.fillRect.right = c.left;
  } else {
    s.fillFraction = 1 - s.fillFraction;
    long e = tk::CLng((c.bottom - c.top) * s.fillFraction + c.top);
    s.fillRect.top = e - (e - s.fillRect.bottom) % grid;
    if (s.fillRect.top > c.bottom) s.fillRect.top = c.bottom;
  }
}

void RaiseShortFill(ProgressBarState& s) {
  if (s.fillRect.right <= 14) s.fillRect.right = 12;
}

RECT TubeBodyRect(const ProgressBarState& s) {
  const RECT& c = s.clientRect;
  if (s.Orientation == Horizontal) {
    long right = s.fillRect.right + 4 > c.right ? s.fillRect.right - 4 : s.fillRect.right;
    return {4, 8, right, c.bottom - 8};
  }
  return {9, s.fillRect.top, c.right - 8, c.bottom};
}

long SearchingBlockStart(const ProgressBarState& s, int i) {
  long pitch = (s.blockGap + 10) * i;
  if (s.Orientation == Horizontal) {
    // The group trails the filled end by 45 pixels at 0 percent and meets it at 100.
    return tk::CLng(s.fillRect.right + pitch - (100 - s.percent) / 100.0 * 45);
  }
  return s.fillRect.top + pitch;
}

int BlockGapCount(const ProgressBarState& s) {
  long step = s.blockWidth + s.blockGap;
  if (s.Orientation == Horizontal) {
    long first = s.fillRect.left + s.blockWidth, last = s.fillRect.right;
    return first <= last ? static_cast<int>((last - first) / step + 1) : 0;
  }
  long first = s.fillRect.bottom, last = s.fillRect.top + s.blockWidth;
  return first >= last ? static_cast<int>((first - last) / step + 1) : 0;
}

RECT BlockGapRect(const ProgressBarState& s, int k) {
  long step = s.blockWidth + s.blockGap;
  RECT g = s.clientRect;
  if (s.Orientation == Horizontal) {
    long x = s.fillRect.left + s.blockWidth + step * k;
    g.left = x + 1;
    g.right = x + 1 + s.blockGap;
  } else {
    long y = s.fillRect.bottom - step * k;
    g.top = y - 2;
    g.bottom = y - 2 + s.blockGap;
  }
  return g;
}

long AltFillEnd(long look, long percent, long W) {
  switch (look) {
    case Flat:
      return tk::CLng(percent / 100.0 * W);
    case Etched:
    case Glossy:
      return tk::CLng(tk::MulInt32(W - 4, percent) / 100.0);
    case Dark:
      return tk::CLng(tk::MulInt32(W - 5, percent) / 100.0);
    default:  // Shaded, Hatched, Patterned: 101, so the fill never meets the border
      return tk::CLng(percent / 101.0 * W);
  }
}

long GlossyHalf(long H) { return tk::CLng((H - 3) / 2.0); }

std::string PercentText(const ProgressBarState& s) {
  if (s.Scrolling == Searching) return "Searching..";
  return std::to_string(s.percent) + " %";
}

bool SplitsText(long look) { return look == Dark || look == Glossy; }

RECT CenteredTextRect(const RECT& measured, const RECT& client) {
  long w = measured.right - measured.left, h = measured.bottom - measured.top;
  RECT r;
  r.left = tk::CLng(client.right / 2.0 - w / 2.0);
  r.top = tk::CLng(client.bottom / 2.0 - h / 2.0);
  r.right = r.left + w;
  r.bottom = r.top + h;
  return r;
}

double TextFillX(long percent, const RECT& client) { return percent / 100.0 * client.right; }

RECT SplitTextRect(const RECT& textRect, long percent, const RECT& client) {
  RECT r = textRect;
  r.left = tk::CLng(client.right / 2.0 - (textRect.right - textRect.left) / 2.0);
  r.right = tk::CLng(TextFillX(percent, client));
  return r;
}

}  // namespace xpbar
