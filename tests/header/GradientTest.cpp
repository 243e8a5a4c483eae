// The gradient painter: component splitting, system colours, and the lines it draws, checked
// through a recording surface and pixel by pixel on the memory surface the header uses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HeaderTestSupport.h"
#include "controls/header/PictureSurface.h"
#include "controls/header/modGradient.h"
#include "platform/toolkit/Error.h"

using namespace modGradient;
using headertest::Rgb;
using headertest::RoundEven;

namespace {

// Colour of gradient line i of n, straight from the formula: d / n * i + first per component.
COLORREF FormulaColor(COLORREF a, COLORREF b, long n, long i) {
  auto comp = [&](int shift) {
    int first = (a >> shift) & 0xFF, second = (b >> shift) & 0xFF;
    return RoundEven(static_cast<double>(second - first) / n * i + first);
  };
  return static_cast<COLORREF>(comp(0) | (comp(8) << 8) | (comp(16) << 16));
}

// Records what the painter asks of its surface.
class RecordingSurface : public GradientSurface {
 public:
  RecordingSurface(double w, double h) : width(w), height(h) {}
  void AutoRedraw(bool on) override {
    calls.push_back(on ? "AutoRedraw true" : "AutoRedraw false");
    if (onFirstCall) std::exchange(onFirstCall, nullptr)();
  }
  void ScaleMode(int mode) override {
    calls.push_back("ScaleMode " + std::to_string(mode));
    scaleMode = mode;
  }
  double ScaleWidth() const override { return width; }
  double ScaleHeight() const override {
    ++heightReads;
    return height + growPerRead * (heightReads - 1);
  }
  void Line(double x1, double y1, double x2, double y2, COLORREF color) override {
    EXPECT_EQ(scaleMode, kScalePixels) << "lines are drawn in pixels";
    lines.push_back({x1, y1, x2, y2, color});
  }
  struct LineCall {
    double x1, y1, x2, y2;
    COLORREF color;
  };
  double width, height, growPerRead = 0;
  mutable int heightReads = 0;
  int scaleMode = kScaleTwips;
  std::vector<std::string> calls;
  std::vector<LineCall> lines;
  void (*onFirstCall)() = nullptr;
};

// A memory surface of the given pixel size, filled with a marker colour.
struct Strip {
  Strip(int w, int h, COLORREF fill = Rgb(1, 2, 3)) {
    surface.BackColor(fill);
    surface.Move(0, 0, w * tk::TwipsPerPixelX(), h * tk::TwipsPerPixelY());
    surface.Cls();
  }
  COLORREF At(int x, int y) const { return GetPixel(surface.ImageDC(), x, y); }
  header::PictureSurface surface;
};

}  // namespace

TEST(SplitRGB, TakesTheThreeLowBytesAndIgnoresTheTopByte) {
  struct Case {
    COLORREF c;
    int r, g, b;
  } cases[] = {{0x00FF0000, 0, 0, 255},
               {0x000000FF, 255, 0, 0},
               {0x00123456, 0x56, 0x34, 0x12},
               {0xAB123456, 0x56, 0x34, 0x12},
               {0x80000010, 0x10, 0, 0}};
  for (const auto& c : cases) {
    RGBParts p = SplitRGB(c.c);
    EXPECT_EQ(p.red, c.r) << std::hex << c.c;
    EXPECT_EQ(p.green, c.g) << std::hex << c.c;
    EXPECT_EQ(p.blue, c.b) << std::hex << c.c;
  }
  GradientColors g = SplitGradientColors(0x00030201, 0xFF0A0B0C);
  EXPECT_EQ((std::vector<int>{g.R1, g.G1, g.B1, g.R2, g.G2, g.B2}),
            (std::vector<int>{1, 2, 3, 0x0C, 0x0B, 0x0A}));
}

TEST(TranslateColor, KeepsPlainColoursAndResolvesSystemColours) {
  EXPECT_EQ(TranslateColor(0x00123456), 0x00123456u);
  EXPECT_EQ(TranslateColor(0x00FFFFFF), 0x00FFFFFFu);
  EXPECT_EQ(TranslateColor(0x80000010), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(TranslateColor(0x8000000F), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(TranslateColor(0x80000015), GetSysColor(COLOR_3DDKSHADOW));
}

TEST(PaintGradient, DrawsNPlusOneLinesAndLeavesTheSurfaceInTwips) {
  // Width 2, red to blue: the last line lies one past the last column, in exactly RightColor.
  RecordingSurface s(2, 5);
  s.scaleMode = kScalePixels;
  PaintGradient(s, 0x000000FF, 0x00FF0000, 100, kLeftToRight);
  EXPECT_EQ(s.calls, (std::vector<std::string>{"AutoRedraw true", "ScaleMode 3", "ScaleMode 1"}));
  ASSERT_EQ(s.lines.size(), 3u);
  COLORREF expected[] = {0x000000FF, 0x00800080, 0x00FF0000};  // 127.5 rounds to the even 128
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(s.lines[i].color, expected[i]) << i;
    EXPECT_EQ(s.lines[i].x1, i);
    EXPECT_EQ(s.lines[i].x2, i);
    EXPECT_EQ(s.lines[i].y1, 0);
    EXPECT_EQ(s.lines[i].y2, 5);
  }
}

TEST(PaintGradient, ReadsTheCrossExtentAfreshAtEveryStep) {
  RecordingSurface s(4, 10);
  s.growPerRead = 1;
  PaintGradient(s, 0, 0xFFFFFF, 100, kLeftToRight);
  ASSERT_EQ(s.lines.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(s.lines[i].y2, 10 + i);
}

TEST(PaintGradient, LineCountFollowsMaxFillAndStyle) {
  struct Case {
    int16_t maxFill;
    int32_t style;
    double w, h;
    size_t lines;
  } cases[] = {
      {100, kTopToBottom, 489, 41, 42},   // the header: every row plus one past the last
      {50, kLeftToRight, 200, 10, 101},   // N = 100
      {150, kLeftToRight, 200, 10, 201},  // above 100 counts as 100
      {33, kLeftToRight, 10, 10, 4},      // 3.3 rounds to 3
      {25, kLeftToRight, 10, 10, 3},      // 2.5 rounds to the even 2
      {35, kLeftToRight, 10, 10, 5},      // 3.5 rounds to the even 4
      {0, kLeftToRight, 200, 10, 0},      // N = 0: nothing, like a negative N
      {-20, kTopToBottom, 200, 10, 0},    // N = -2: nothing
      {-1, kTopToBottom, 200, 10, 0},     // -0.1 rounds to N = 0
      {4, kLeftToRight, 10, 10, 0},       // 0.4 rounds to N = 0
      {100, 2, 200, 10, 0},               // unknown style: nothing
  };
  for (const auto& c : cases) {
    RecordingSurface s(c.w, c.h);
    PaintGradient(s, 0x00332211, 0x00FFFFFF, c.maxFill, c.style);
    EXPECT_EQ(s.lines.size(), c.lines) << c.maxFill << " " << c.style;
    if (!s.lines.empty()) {
      EXPECT_EQ(s.lines[0].color, 0x00332211u);
    }
    EXPECT_EQ(s.scaleMode, kScaleTwips);
  }
}

TEST(PaintGradient, LineCountBeyondSixteenBitsIsAnOverflowError) {
  RecordingSurface s(40000, 5);
  try {
    PaintGradient(s, 0, 0xFFFFFF, 100, kLeftToRight);
    FAIL() << "no error";
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), tk::kOverflow);
  }
  EXPECT_TRUE(s.lines.empty());
}

namespace {
int g_sinkCalls = 0;
LRESULT CALLBACK SinkProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP + 7) ++g_sinkCalls;
  return DefWindowProcA(h, msg, wp, lp);
}
int g_sinkCallsAtFirstDraw = -1;
}  // namespace

TEST(PaintGradient, ProcessesPendingEventsBeforeDrawing) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = SinkProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "HeaderTestSink";
  RegisterClassA(&wc);
  tk::WindowHandle sink(CreateWindowExA(0, "HeaderTestSink", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, GetModuleHandleA(nullptr), nullptr));
  ASSERT_TRUE(sink);
  g_sinkCalls = 0;
  PostMessageA(sink, WM_APP + 7, 0, 0);
  PostMessageA(sink, WM_APP + 7, 0, 0);
  RecordingSurface s(3, 3);
  s.onFirstCall = [] { g_sinkCallsAtFirstDraw = g_sinkCalls; };
  PaintGradient(s, 0, 0xFFFFFF, 100, kLeftToRight);
  EXPECT_EQ(g_sinkCallsAtFirstDraw, 2);
}

// ---- Pixels on the memory surface -------------------------------------------------------------

TEST(GradientPixels, HeaderStripTopToBottomMatchesTheFormula) {
  Strip strip(489, 41);
  PaintGradient(strip.surface, 0x00FF0000, 0x00FFFFFF, 100, kTopToBottom);
  EXPECT_EQ(strip.surface.ScaleMode(), kScaleTwips);
  EXPECT_TRUE(strip.surface.AutoRedraw());
  // Worked example: row 20 is round(255 / 41 * 20) = 124 in red and green.
  EXPECT_EQ(strip.At(0, 20), 0x00FF7C7Cu);
  EXPECT_EQ(strip.At(488, 20), 0x00FF7C7Cu);
  EXPECT_EQ(strip.At(0, 0), 0x00FF0000u);
  EXPECT_EQ(strip.At(488, 0), 0x00FF0000u);
  // The last visible row is one step short of white: round(255 / 41 * 40) = 249.
  EXPECT_EQ(strip.At(244, 40), 0x00FFF9F9u);
  for (int y : {1, 7, 13, 29, 35})
    EXPECT_EQ(strip.At(100, y), FormulaColor(0xFF0000, 0xFFFFFF, 41, y)) << y;
}

TEST(GradientPixels, LeftToRightRunsAlongTheWidth) {
  Strip strip(101, 9);
  PaintGradient(strip.surface, 0x0000FF00, 0x00204080, 100, kLeftToRight);
  for (int x : {0, 1, 37, 50, 99, 100})
    for (int y : {0, 8})
      EXPECT_EQ(strip.At(x, y), FormulaColor(0x00FF00, 0x204080, 101, x)) << x << "," << y;
}

TEST(GradientPixels, OneLineAndOddHeightStrips) {
  Strip row(30, 1);  // N = 1: row 0 in LeftColor, the RightColor line falls outside
  PaintGradient(row.surface, 0x00102030, 0x00FFFFFF, 100, kTopToBottom);
  EXPECT_EQ(row.At(0, 0), 0x00102030u);
  EXPECT_EQ(row.At(29, 0), 0x00102030u);

  Strip column(1, 12);
  PaintGradient(column.surface, 0x00102030, 0x00FFFFFF, 100, kLeftToRight);
  EXPECT_EQ(column.At(0, 11), 0x00102030u);

  // Height 7, black to white: 255 / 7 * i gives 36.43, 72.86, 109.29, 145.71, 182.14, 218.57.
  Strip odd(5, 7);
  PaintGradient(odd.surface, 0, 0x00FFFFFF, 100, kTopToBottom);
  int grey[] = {0, 36, 73, 109, 146, 182, 219};
  for (int y = 0; y < 7; ++y) EXPECT_EQ(odd.At(2, y), Rgb(grey[y], grey[y], grey[y])) << y;
}

TEST(GradientPixels, MaxFillBelowHundredLeavesTheRestUntouched) {
  Strip strip(200, 6, Rgb(9, 8, 7));
  PaintGradient(strip.surface, 0x000000FF, 0x00FF0000, 50, kLeftToRight);
  EXPECT_EQ(strip.At(0, 3), 0x000000FFu);
  EXPECT_EQ(strip.At(100, 3), 0x00FF0000u);  // column N in exactly RightColor
  EXPECT_EQ(strip.At(50, 3), FormulaColor(0xFF, 0xFF0000, 100, 50));
  for (int x : {101, 150, 199}) EXPECT_EQ(strip.At(x, 3), Rgb(9, 8, 7)) << x;
}

TEST(GradientPixels, SpecialInputs) {
  // Equal colours: one uniform colour.
  Strip same(40, 4);
  PaintGradient(same.surface, 0x00445566, 0x00445566, 100, kLeftToRight);
  for (int x : {0, 13, 39}) EXPECT_EQ(same.At(x, 1), 0x00445566u);

  // MaxFill 150 paints as 100; a LeftColor's top byte does not count.
  Strip over(60, 3), full(60, 3);
  PaintGradient(over.surface, 0xFF0000FF, 0x00FFFF00, 150, kLeftToRight);
  PaintGradient(full.surface, 0x000000FF, 0x00FFFF00, 100, kLeftToRight);
  for (int x = 0; x < 60; ++x) EXPECT_EQ(over.At(x, 1), full.At(x, 1)) << x;

  // A MaxFill that makes N negative (10 / 100 * -20 = -2) draws nothing; the scale still ends
  // in twips.
  Strip none(10, 10, Rgb(5, 5, 5));
  none.surface.ScaleMode(kScalePixels);
  PaintGradient(none.surface, 0, 0xFFFFFF, -20, kTopToBottom);
  EXPECT_EQ(none.At(0, 0), Rgb(5, 5, 5));
  EXPECT_EQ(none.surface.ScaleMode(), kScaleTwips);
}
