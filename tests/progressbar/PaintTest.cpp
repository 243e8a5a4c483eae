// Pixels of every look, painted into a 32-bit memory DC. The expected colours come from the
// drawing rules worked by hand (gradient steps, lightened and blended colours, frame tables),
// at the points that prove each rule: corners, first and last blocks, gaps, shading ends and the
// pixel just before a line's end point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "PaintSupport.h"
#include "controls/progressbar/ProgressBarDrawing.h"
#include "controls/progressbar/ProgressBarGeometry.h"
#include "platform/toolkit/Error.h"

using namespace xpbar;
using pbtest::Canvas;

namespace {

constexpr COLORREF kWhite = 0xFFFFFF, kBlack = 0x000000, kBlue = 0xFF0000;
constexpr COLORREF kRing = 0x686868, kDarkLine = 0xBEBEBE, kLightLine = 0xEFEFEF;

struct Px {
  int x, y;
  COLORREF colour;
};

std::string Hex(COLORREF c) {
  char buf[16];
  snprintf(buf, sizeof buf, "0x%06lX", static_cast<unsigned long>(c));
  return buf;
}

void ExpectPixels(const Canvas& c, std::initializer_list<Px> pixels) {
  for (const Px& p : pixels) {
    EXPECT_EQ(Hex(c.At(p.x, p.y)), Hex(p.colour)) << "at (" << p.x << ", " << p.y << ")";
  }
}

// The same colour over a rectangle [x0, x1) x [y0, y1).
void ExpectArea(const Canvas& c, int x0, int y0, int x1, int y1, COLORREF colour) {
  int wrong = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (c.At(x, y) != colour && wrong++ < 3)
        ADD_FAILURE() << "(" << x << ", " << y << ") is " << Hex(c.At(x, y)) << ", expected "
                      << Hex(colour);
  EXPECT_EQ(wrong, 0);
}

// A column of a horizontal standard bar, H = 16, inside a block: frame rows, the light-to-blue
// shading of rows 3 to 5, the blue-to-light shading of rows 6 to 12 (steps of 25), white row 13.
constexpr COLORREF kTubeColumn[16] = {kRing,    kDarkLine, kLightLine, 0xFF9696, 0xFF7D7D, 0xFF6464,
                                      0xFF0000, 0xFF1919,  0xFF3232,   0xFF4B4B, 0xFF6464, 0xFF7D7D,
                                      0xFF9696, kWhite,    kLightLine, kRing};
// A column of a horizontal bar where nothing is filled: frame rows around white.
constexpr COLORREF kEmptyColumn[16] = {kRing,  kDarkLine, kLightLine, kWhite, kWhite, kWhite,
                                       kWhite, kWhite,    kWhite,     kWhite, kWhite, kWhite,
                                       kWhite, kWhite,    kLightLine, kRing};

void ExpectColumn(const Canvas& c, int x, const COLORREF (&column)[16]) {
  for (int y = 0; y < 16; ++y)
    EXPECT_EQ(Hex(c.At(x, y)), Hex(column[y])) << "at (" << x << ", " << y << ")";
}

// The 24 corner pixels of the frame for a W x H bar.
void ExpectFrameCorners(const Canvas& c) {
  int r = c.width(), b = c.height();
  ExpectPixels(c, {{0, 0, 0xFFFFFF},         {0, 1, 0xA6ABAC},         {0, 2, 0x7D7E7F},
                   {1, 0, 0xA7ABAC},         {1, 1, 0x777777},         {2, 0, 0x7D7E7F},
                   {2, 2, 0xBEBEBE},         {0, b - 1, 0xFFFFFF},     {1, b - 1, 0xA6ABAC},
                   {2, b - 1, 0x7D7E7F},     {0, b - 3, 0x7D7E7F},     {0, b - 2, 0xA7ABAC},
                   {1, b - 2, 0x777777},     {r - 1, 0, 0xFFFFFF},     {r - 1, 1, 0xBEBEBE},
                   {r - 1, 2, 0x7D7E7F},     {r - 2, 2, 0xBEBEBE},     {r - 2, 1, 0x686868},
                   {r - 1, b - 1, 0xFFFFFF}, {r - 1, b - 2, 0xBEBEBE}, {r - 1, b - 3, 0x7D7E7F},
                   {r - 2, b - 2, 0x777777}, {r - 2, b - 1, 0xBEBEBE}, {r - 3, b - 1, 0x7D7E7F}});
  // The lines and the ring between the corners.
  ExpectPixels(c, {{r / 2, 0, kRing},
                   {r / 2, 1, kDarkLine},
                   {r / 2, 2, kLightLine},
                   {r / 2, b - 2, kLightLine},
                   {r / 2, b - 1, kRing},
                   {0, b / 2, kRing},
                   {1, b / 2, kDarkLine},
                   {2, b / 2, kLightLine},
                   {r - 2, b / 2, kLightLine},
                   {r - 1, b / 2, kRing},
                   {r - 3, 1, kDarkLine},  // the last pixel before the top line's end point
                   {1, b - 3, kDarkLine}});
}

// Paints a bar and returns nothing; the canvas holds the picture.
void PaintBar(Canvas& c, long look, long percent, long orientation = Horizontal, bool text = false,
              COLORREF colour = kBlue, long brushStyle = 0, tk::PictureRef image = nullptr) {
  ProgressBarState s = pbtest::BarState(c, look, percent, orientation, colour);
  s.ShowText = tk::ToBool16(text);
  s.BrushStyle = brushStyle;
  s.Image = std::move(image);
  pbtest::Paint(s, c);
}

}  // namespace

// ---- What the drawing relies on from GDI
// ----------------------------------------------------------

TEST(GdiRules, LinesStopBeforeTheirEndPointAndRectanglesExcludeRightAndBottom) {
  Canvas c(24, 6);
  c.Fill(kWhite);
  DrawLine(2, 1, 10, 1, c.dc(), 0x0000FF);
  ExpectPixels(c, {{1, 1, kWhite}, {2, 1, 0x0000FF}, {9, 1, 0x0000FF}, {10, 1, kWhite}});
  DrawLine(9, 3, 2, 3, c.dc(), 0x00FF00);  // leftward: x = 9 down to 3
  ExpectPixels(c, {{9, 3, 0x00FF00}, {3, 3, 0x00FF00}, {2, 3, kWhite}});
  DrawLine(15, 0, 15, 4, c.dc(), 0xFF0000);
  ExpectPixels(c, {{15, 0, 0xFF0000}, {15, 3, 0xFF0000}, {15, 4, kWhite}});

  FillRectColor({17, 0, 20, 2}, 0x123456, c.dc());
  ExpectPixels(c, {{17, 0, 0x123456}, {19, 1, 0x123456}, {20, 0, kWhite}, {19, 2, kWhite}});
  FillRectColor({17, 3, 19, 5}, 0x8000000D, c.dc());  // system colours resolve
  ExpectPixels(c, {{17, 3, GetSysColor(COLOR_HIGHLIGHT)}});
  FrameRectColor({0, 2, 4, 6}, 0x654321, c.dc());
  ExpectPixels(c, {{0, 2, 0x654321}, {3, 5, 0x654321}, {1, 4, kWhite}, {4, 2, kWhite}});
}

TEST(GdiRules, GradientWritesResolvedColoursBackAndDrawsCountPlusOneLines) {
  Canvas c(8, 6);
  c.Fill(kWhite);
  COLORREF end = 0x000000, start = 0x8000000D;
  DrawGradient(end, start, 0, 0, 5, 2, c.dc(), false);  // rows 0..2, x 0..4
  EXPECT_EQ(start, GetSysColor(COLOR_HIGHLIGHT));
  ExpectPixels(c, {{0, 0, kBlack}, {4, 0, kBlack}, {5, 0, kWhite}, {0, 2, start}, {0, 3, kWhite}});

  c.Fill(kWhite);
  COLORREF a = 0x0000FF, b = 0x00FF00;
  DrawGradient(a, b, 1, 1, 6, 0, c.dc(), false);  // a count of 0: one line in the first colour
  ExpectPixels(c, {{1, 1, 0x0000FF}, {5, 1, 0x0000FF}, {1, 2, kWhite}});
  DrawGradient(a, b, 1, 3, 6, -1, c.dc(), false);  // negative: nothing
  ExpectArea(c, 0, 3, 8, 6, kWhite);
}

// ---- Segmented ----------------------------------------------------------------------------------

TEST(Segmented, HalfFullShowsTwentyThreeBlocksAndTheRoundedFrame) {
  Canvas c(369, 16);
  PaintBar(c, Segmented, 50);
  ExpectFrameCorners(c);
  ExpectColumn(c, 3, kEmptyColumn);
  ExpectColumn(c, 4, kTubeColumn);  // first block 4..9
  ExpectColumn(c, 9, kTubeColumn);
  ExpectColumn(c, 10, kEmptyColumn);  // gap 10..11, full height under the frame
  ExpectColumn(c, 11, kEmptyColumn);
  ExpectColumn(c, 12, kTubeColumn);
  ExpectColumn(c, 180, kTubeColumn);  // last block 180..185
  ExpectColumn(c, 185, kTubeColumn);
  ExpectColumn(c, 186, kEmptyColumn);  // the last gap covers the filled end
  ExpectColumn(c, 187, kEmptyColumn);
  ExpectColumn(c, 188, kEmptyColumn);
  ExpectColumn(c, 365, kEmptyColumn);
}

TEST(Segmented, EmptyAndNearlyEmptyShowOneStubBlock) {
  for (long percent : {0L, 1L, -20L}) {
    SCOPED_TRACE(percent);
    Canvas c(369, 16);
    PaintBar(c, Segmented, percent);
    ExpectColumn(c, 4, kTubeColumn);
    ExpectColumn(c, 9, kTubeColumn);
    ExpectColumn(c, 10, kEmptyColumn);
    ExpectColumn(c, 11, kEmptyColumn);
    ExpectColumn(c, 12, kEmptyColumn);
    ExpectFrameCorners(c);
  }
}

TEST(Segmented, FullAndNearlyFullStopInsideTheFrame) {
  for (long percent : {99L, 100L, 250L}) {
    SCOPED_TRACE(percent);
    Canvas c(369, 16);
    PaintBar(c, Segmented, percent);
    ExpectColumn(c, 361, kTubeColumn);
    ExpectColumn(c, 362, kEmptyColumn);  // gap after block 356..361
    ExpectColumn(c, 363, kEmptyColumn);
    ExpectColumn(c, 365, kTubeColumn);  // the partial last block 364..366
    for (int y = 3; y <= 12; ++y) EXPECT_EQ(Hex(c.At(366, y)), Hex(kTubeColumn[y])) << y;
    ExpectPixels(c, {{367, 6, kLightLine}, {368, 6, kRing}});
    ExpectFrameCorners(c);
  }
  Canvas c(369, 16);
  PaintBar(c, Segmented, 98);  // the filled end reaches 363: the last gap covers 362..363
  ExpectColumn(c, 361, kTubeColumn);
  ExpectColumn(c, 362, kEmptyColumn);
  ExpectColumn(c, 364, kEmptyColumn);
}

TEST(Segmented, UnevenWidthStillKeepsTheGrid) {
  Canvas c(100, 16);
  PaintBar(c, Segmented, 50);  // fill end 51: blocks to 49, last gap 50..51
  ExpectColumn(c, 49, kTubeColumn);
  ExpectColumn(c, 50, kEmptyColumn);
  ExpectColumn(c, 52, kEmptyColumn);
  ExpectFrameCorners(c);

  Canvas full(100, 16);
  PaintBar(full, Segmented, 100);  // fill end 99, body right 95: blocks 92..94, gap 98..99 outside
  ExpectColumn(full, 90, kEmptyColumn);
  ExpectColumn(full, 94, kTubeColumn);
  for (int y = 3; y <= 12; ++y) EXPECT_EQ(Hex(full.At(95, y)), Hex(kWhite)) << y;  // the body's end
}

TEST(Segmented, VerticalFillsUpwardInBlocksAboveTwoRowGaps) {
  Canvas c(16, 100);
  PaintBar(c, Segmented, 50, Vertical);
  // Columns 4..8 shade light to blue (150, 112.5 -> 112, 75, 37.5 -> 38, 0), 8..12 back again.
  const COLORREF row[16] = {kRing,    kDarkLine, kLightLine, kWhite,   0xFF9696, 0xFF7070,
                            0xFF4B4B, 0xFF2626,  0xFF0000,   0xFF2626, 0xFF4B4B, 0xFF7070,
                            0xFF9696, kWhite,    kLightLine, kRing};
  for (int x = 0; x < 16; ++x) EXPECT_EQ(Hex(c.At(x, 55)), Hex(row[x])) << "x " << x;
  ExpectPixels(c, {{6, 51, kWhite},
                   {6, 52, 0xFF4B4B},
                   {6, 57, 0xFF4B4B},
                   {6, 58, kWhite},  // gap 58..59
                   {6, 59, kWhite},
                   {6, 60, 0xFF4B4B},
                   {6, 89, 0xFF4B4B},
                   {6, 90, kWhite},
                   {13, 90, kWhite},
                   {14, 90, kLightLine},
                   {6, 97, 0xFF4B4B},
                   {6, 98, kLightLine},
                   {6, 99, kRing}});
  ExpectFrameCorners(c);
}

// ---- Smooth and the unnamed looks ---------------------------------------------------------------

TEST(Smooth, FillsWithoutGapsToTheTwoPixelGrid) {
  Canvas c(369, 16);
  PaintBar(c, Smooth, 50);  // fill end 189
  ExpectColumn(c, 10, kTubeColumn);
  ExpectColumn(c, 188, kTubeColumn);  // the last pixel before the lines' end point
  ExpectColumn(c, 189, kEmptyColumn);
  ExpectFrameCorners(c);

  Canvas v(16, 100);
  PaintBar(v, Smooth, 50, Vertical);  // fill top 50
  ExpectPixels(v, {{6, 49, kWhite}, {6, 50, 0xFF4B4B}, {6, 58, 0xFF4B4B}, {6, 97, 0xFF4B4B}});
}

TEST(Smooth, AnyUnnamedLookAndAnyNonZeroOrientationDrawLikeSmooth) {
  Canvas smooth(120, 16), other(120, 16), negative(120, 16);
  PaintBar(smooth, Smooth, 40);
  PaintBar(other, 12, 40);
  PaintBar(negative, -1, 40);
  EXPECT_EQ(smooth.Pixels(), other.Pixels());
  EXPECT_EQ(smooth.Pixels(), negative.Pixels());

  Canvas one(16, 60), seven(16, 60);
  PaintBar(one, Segmented, 40, 1);
  PaintBar(seven, Segmented, 40, 7);
  EXPECT_EQ(one.Pixels(), seven.Pixels());
}

// ---- Searching ----------------------------------------------------------------------------------

TEST(Searching, ThreeBlocksDeepenFromFirstToThird) {
  Canvas c(369, 16);
  PaintBar(c, Searching, 50);  // blocks at 166, 178, 190, ten columns each, rows 3..13
  ExpectPixels(c, {{165, 8, kWhite},
                   {166, 8, 0xFFDCDC},
                   {175, 8, 0xFFC8C8},
                   {176, 8, kWhite},
                   {177, 8, kWhite},
                   {178, 8, 0xFFB4B4},
                   {187, 8, 0xFFA0A0},
                   {190, 8, 0xFF8C8C},
                   {199, 8, 0xFF7878},
                   {200, 8, kWhite},
                   {166, 3, 0xFFDCDC},
                   {166, 13, 0xFFDCDC},
                   {166, 14, kLightLine},
                   {100, 6, kWhite}});
  ExpectFrameCorners(c);
}

TEST(Searching, NoBlockShowsAtEitherEnd) {
  for (long percent : {0L, 100L}) {
    SCOPED_TRACE(percent);
    Canvas c(369, 16);
    PaintBar(c, Searching, percent);
    ExpectArea(c, 3, 3, 367, 14, kWhite);
    ExpectFrameCorners(c);
  }
}

TEST(Searching, VerticalBlocksRunDownFromTheFilledEnd) {
  Canvas c(16, 100);
  PaintBar(c, Searching, 50, Vertical);  // rows 50..59, 62..71, 74..83; x from 14 leftward to 3
  ExpectPixels(c, {{8, 49, kWhite},
                   {3, 50, 0xFFDCDC},
                   {13, 50, 0xFFDCDC},
                   {2, 50, kLightLine},
                   {14, 50, kLightLine},
                   {8, 59, 0xFFC8C8},
                   {8, 60, kWhite},
                   {8, 61, kWhite},
                   {8, 62, 0xFFB4B4},
                   {8, 74, 0xFF8C8C},
                   {8, 83, 0xFF7878},
                   {8, 84, kWhite}});
}

// ---- Alternative looks --------------------------------------------------------------------------

TEST(Flat, LightFrameAndLightFill) {
  Canvas c(369, 16);
  PaintBar(c, Flat, 50);  // fill 1..183 (184.5 -> 184 is the end)
  ExpectPixels(c, {{0, 0, 0xFF6464},
                   {368, 15, 0xFF6464},
                   {0, 7, 0xFF6464},
                   {1, 15, 0xFF6464},
                   {1, 1, 0xFFB4B4},
                   {183, 14, 0xFFB4B4},
                   {184, 7, kWhite},
                   {367, 7, kWhite}});
}

TEST(Etched, ShadesFromTheLeftInsideAnEtchedEdge) {
  Canvas c(369, 16), edge(369, 16);
  PaintBar(c, Etched, 50);  // columns 2..184, rows 2..12
  ExpectPixels(c, {{2, 2, 0xFF8C8C},
                   {2, 12, 0xFF8C8C},
                   {184, 7, 0xFFC8C8},
                   {185, 7, kWhite},
                   {100, 13, kWhite}});
  edge.Fill(kWhite);
  RECT r{0, 0, 369, 16};
  DrawEdge(edge.dc(), &r, EDGE_ETCHED, BF_RECT);
  for (int x = 0; x < 369; ++x)
    for (int y : {0, 1, 14, 15}) ASSERT_EQ(c.At(x, y), edge.At(x, y)) << x << ", " << y;
  for (int y = 0; y < 16; ++y)
    for (int x : {0, 1, 367, 368}) ASSERT_EQ(c.At(x, y), edge.At(x, y)) << x << ", " << y;

  Canvas zero(369, 16);
  PaintBar(zero, Etched, 0);  // one column in the first colour
  ExpectPixels(zero, {{2, 2, 0xFF8C8C}, {2, 12, 0xFF8C8C}, {2, 13, kWhite}, {3, 7, kWhite}});
}

TEST(Shaded, TrackAndFillShadeInOppositeDirectionsWithAnEdgeLine) {
  Canvas c(369, 16);
  PaintBar(c, Shaded, 100);  // fill end 365 (101, not 100)
  ExpectPixels(c, {{0, 0, 0xFF0A0A},
                   {368, 5, 0xFF0A0A},
                   {2, 2, 0xFF0000},   // track: blue at the top...
                   {2, 3, 0xFF0909},   // 100 / 11 = 9.09
                   {2, 13, 0xFF6464},  // ...to the lighter colour at row 13
                   {366, 2, 0xFF0000},
                   {367, 5, kWhite},     // the track's end point
                   {3, 3, 0xFFFAFA},     // fill: nearly white at the top...
                   {364, 8, 0xFF7D7D},   // 250 - 5 * 25
                   {364, 13, 0xFF0000},  // ...to blue at the bottom
                   {365, 2, 0xFF1919},   // the edge line, rows 2..13
                   {365, 13, 0xFF1919},
                   {365, 14, kWhite},
                   {1, 5, kWhite}});
}

TEST(Dark, BlackTrackWithADarkenedFrame) {
  Canvas c(369, 16);
  PaintBar(c, Dark, 50);  // columns 2..184 from black to 0x6A0A0A
  ExpectPixels(c, {{0, 0, 0xC80000},
                   {368, 15, 0xC80000},
                   {1, 6, kBlack},
                   {2, 6, kBlack},
                   {93, 6, 0x350505},  // halfway: 5, 5, 53
                   {184, 2, 0x6A0A0A},
                   {184, 13, 0x6A0A0A},
                   {184, 14, kBlack},
                   {185, 6, kBlack},
                   {367, 6, kBlack}});
}

TEST(Hatched, FillsWithTheHatchOnALightenedBackground) {
  for (long style = HS_HORIZONTAL; style <= HS_DIAGCROSS; ++style) {
    SCOPED_TRACE(style);
    Canvas c(369, 16);
    PaintBar(c, Hatched, 100, Horizontal, false, kBlue, style);  // fill x 2..364, rows 2..13
    int lines = 0, spaces = 0;
    for (int y = 2; y < 14; ++y)
      for (int x = 2; x < 365; ++x) {
        COLORREF p = c.At(x, y);
        lines += p == kBlue;
        spaces += p == 0xFF8C8C;
      }
    EXPECT_GT(lines, 0);
    EXPECT_GT(spaces, 0);
    EXPECT_EQ(lines + spaces, 363 * 12);
    EXPECT_EQ(c.At(365, 8), kWhite);
    auto same = [&](int dx, int dy) {
      for (int y = 3; y < 12; ++y)
        for (int x = 3; x < 360; ++x)
          if (c.At(x, y) != c.At(x + dx, y + dy)) return false;
      return true;
    };
    if (style == HS_HORIZONTAL) {
      EXPECT_TRUE(same(1, 0));
    } else if (style == HS_VERTICAL) {
      EXPECT_TRUE(same(0, 1));
    } else if (style == HS_FDIAGONAL) {
      EXPECT_TRUE(same(1, 1));
    } else if (style == HS_BDIAGONAL) {
      EXPECT_TRUE(same(1, -1));
    }
  }
}

TEST(Hatched, AStyleOutsideTheHatchesDrawsNoFill) {
  Canvas c(369, 16);
  PaintBar(c, Hatched, 100, Horizontal, false, kBlue, 6);
  ExpectArea(c, 3, 3, 360, 13, kWhite);
  PaintBar(c, Hatched, 100, Horizontal, false, kBlue, -1);
  ExpectArea(c, 3, 3, 360, 13, kWhite);
  try {
    PaintBar(c, Hatched, 100, Horizontal, false, kBlue, 70000);
    ADD_FAILURE() << "a style beyond 16 bits must raise";
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), tk::kOverflow);
  }
}

namespace {
// An 8 x 8 bitmap whose every pixel tells its own position.
COLORREF PatternAt(int x, int y) { return RGB((x % 8) * 20 + 10, (y % 8) * 20 + 10, 0x40); }
tk::PictureRef PositionPattern() {
  return tk::Picture::FromBitmap(testsupport::PatternBitmap(8, 8, PatternAt));
}
}  // namespace

TEST(Patterned, TilesTheImageOverTheFilledPart) {
  Canvas c(369, 16), edge(369, 16);
  PaintBar(c, Patterned, 50, Horizontal, false, kBlue, 0,
           PositionPattern());  // x 2..184, rows 2..13
  ExpectPixels(c, {{2, 2, PatternAt(2, 2)},
                   {100, 7, PatternAt(100, 7)},
                   {184, 13, PatternAt(184, 13)},
                   {185, 5, kWhite},
                   {2, 14, kWhite},
                   {1, 1, kWhite}});
  edge.Fill(kWhite);
  RECT r{0, 0, 369, 16};
  DrawEdge(edge.dc(), &r, BDR_SUNKENOUTER, BF_RECT);
  ExpectPixels(c, {{0, 8, edge.At(0, 8)},
                   {368, 8, edge.At(368, 8)},
                   {50, 0, edge.At(50, 0)},
                   {50, 15, edge.At(50, 15)}});
}

TEST(Patterned, WithoutAUsableBitmapOnlyTheBorderShows) {
  for (tk::PictureRef image : {tk::PictureRef{}, tk::Picture::FromIcon(nullptr)}) {
    Canvas c(369, 16);
    PaintBar(c, Patterned, 80, Horizontal, false, kBlue, 0, image);
    ExpectArea(c, 1, 1, 368, 15, kWhite);
  }
}

TEST(Glossy, TwoToneTrackAndFillInTheStandardFrame) {
  Canvas c(369, 16);
  PaintBar(c, Glossy, 50);  // h = 6, fill to column 181
  // Fill: upper rows 3..5 from 0xFF9696 toward 0xB40000, lower rows 6..12 from 0xBE0000 to blue.
  ExpectPixels(c, {{100, 3, 0xF27D7D},  // blue 242.5 -> 242
                   {100, 4, 0xE66464},
                   {100, 5, 0xDA4B4B},  // blue 217.5 -> 218
                   {100, 6, 0xBE0000},
                   {100, 9, 0xDE0000},  // 222.5 -> 222
                   {100, 12, 0xFF0000},
                   {181, 6, 0xBE0000},
                   {100, 13, kWhite},
                   // Track: white to silver above (244.5 -> 244, 234, 223.5 -> 224), silver below.
                   {182, 3, 0xF4F4F4},
                   {182, 4, 0xEAEAEA},
                   {182, 5, 0xE0E0E0},
                   {182, 6, 0xC0C0C0},
                   {300, 12, 0xC0C0C0},
                   {365, 3, 0xF4F4F4},  // the last pixel before the track lines' end point
                   {366, 3, kWhite},
                   {367, 3, kLightLine},
                   {100, 2, kLightLine}});
  ExpectFrameCorners(c);
}

TEST(AlternativeLooks, IgnoreOrientationAndDarkPaintsOnBlack) {
  for (long look = Flat; look <= Glossy; ++look) {
    SCOPED_TRACE(look);
    Canvas across(200, 20), up(200, 20);
    PaintBar(across, look, 66);
    PaintBar(up, look, 66, Vertical);
    EXPECT_EQ(across.Pixels(), up.Pixels());
  }
  Canvas dark(100, 16);
  PaintBar(dark, Dark, 0);
  ExpectArea(dark, 3, 3, 97, 13, kBlack);
}

// ---- Percentage text ----------------------------------------------------------------------------

namespace {

// The text's own pixels: where the picture with text differs from the one without.
struct TextPixels {
  int count = 0;
  int outside = 0;  // differing pixels outside the expected rectangle
  int left = 1 << 30, right = -1;
  std::vector<Px> pixels;
};

TextPixels TextOf(long look, long percent, const RECT& expected, int W = 369, int H = 16) {
  Canvas with(W, H), without(W, H);
  PaintBar(with, look, percent, Horizontal, true);
  PaintBar(without, look, percent, Horizontal, false);
  TextPixels t;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      if (with.At(x, y) == without.At(x, y)) continue;
      ++t.count;
      t.pixels.push_back({x, y, with.At(x, y)});
      t.left = std::min(t.left, x);
      t.right = std::max(t.right, x);
      if (x < expected.left || x >= expected.right || y < expected.top || y >= expected.bottom)
        ++t.outside;
    }
  return t;
}

// Where the text must land: measured in the bar's font, centred in the client area.
RECT ExpectedTextRect(const std::string& text, int W = 369, int H = 16) {
  Canvas c(W, H);
  tk::StdFont font;
  tk::ScopedSelect select(c.dc(), font.Handle());
  RECT r{};
  DrawTextA(c.dc(), text.c_str(), -1, &r, DT_CALCRECT);
  return CenteredTextRect(r, {0, 0, W, H});
}

}  // namespace

TEST(Text, PercentInBlackCentredInTheBar) {
  RECT expected = ExpectedTextRect("42 %");
  ASSERT_GT(expected.right - expected.left, 10);
  TextPixels t = TextOf(Segmented, 42, expected);
  EXPECT_GT(t.count, 10);
  EXPECT_EQ(t.outside, 0);
  int black = 0;
  for (const Px& p : t.pixels) black += p.colour == kBlack;
  EXPECT_GT(black, 10);

  RECT searching = ExpectedTextRect("Searching..");
  TextPixels s = TextOf(Searching, 0, searching);
  EXPECT_GT(s.count, 10);
  EXPECT_EQ(s.outside, 0);

  Canvas plain(369, 16), same(369, 16);  // ShowText false draws no text at all
  PaintBar(plain, Segmented, 42);
  PaintBar(same, Segmented, 42);
  EXPECT_EQ(plain.Pixels(), same.Pixels());
}

TEST(Text, GlossySplitsTheTextWhereTheFillEnds) {
  RECT expected = ExpectedTextRect("50 %");
  TextPixels t = TextOf(Glossy, 50, expected);
  ASSERT_GT(t.count, 10);
  EXPECT_EQ(t.outside, 0);
  int whiteLeft = 0, blackLeft = 0, blackRight = 0, whiteRight = 0;
  for (const Px& p : t.pixels) {
    bool left = p.x < 184;  // the second pass is clipped at round(184.5) = 184
    whiteLeft += left && p.colour == kWhite;
    blackLeft += left && p.colour == kBlack;
    blackRight += !left && p.colour == kBlack;
    whiteRight += !left && p.colour == kWhite;
  }
  EXPECT_GT(whiteLeft, 0);
  EXPECT_EQ(blackLeft, 0);
  EXPECT_GT(blackRight, 0);
  EXPECT_EQ(whiteRight, 0);

  // At 100 the fill has passed the whole text: only the white pass is drawn, so the text only
  // ever lightens the picture (its glyph edges are smoothed).
  RECT hundred = ExpectedTextRect("100 %");
  TextPixels full = TextOf(Glossy, 100, hundred);
  ASSERT_GT(full.count, 10);
  EXPECT_EQ(full.outside, 0);
  Canvas without(369, 16);
  PaintBar(without, Glossy, 100);
  int white = 0;
  for (const Px& p : full.pixels) {
    COLORREF under = without.At(p.x, p.y);
    EXPECT_TRUE(GetRValue(p.colour) >= GetRValue(under) &&
                GetGValue(p.colour) >= GetGValue(under) && GetBValue(p.colour) >= GetBValue(under))
        << Hex(p.colour) << " over " << Hex(under) << " at " << p.x << ", " << p.y;
    white += p.colour == kWhite;
  }
  EXPECT_GT(white, 0);
}

TEST(Text, DarkShowsSilverTextAndTheLightenedColourOverTheFill) {
  RECT expected = ExpectedTextRect("50 %");
  TextPixels t = TextOf(Dark, 50, expected);
  ASSERT_GT(t.count, 10);
  EXPECT_EQ(t.outside, 0);
  // Right of the filled end: silver on black, so every text pixel is a grey (smoothed edges).
  // Left of it the second pass in LightenColor(blue, 80) covers the glyphs' cores.
  int silverRight = 0, notGreyRight = 0, lightLeft = 0, silverLeft = 0;
  for (const Px& p : t.pixels) {
    bool grey =
        GetRValue(p.colour) == GetGValue(p.colour) && GetGValue(p.colour) == GetBValue(p.colour);
    if (p.x >= 184) {
      silverRight += p.colour == 0xC0C0C0;
      notGreyRight += !grey;
    } else {
      lightLeft += p.colour == 0xFF5050;
      silverLeft += p.colour == 0xC0C0C0;
    }
  }
  EXPECT_GT(silverRight, 0);
  EXPECT_EQ(notGreyRight, 0);
  EXPECT_GT(lightLeft, 0);
  EXPECT_EQ(silverLeft, 0);

  // Before the fill reaches the text there is no second pass.
  TextPixels empty = TextOf(Dark, 0, ExpectedTextRect("0 %"));
  ASSERT_GT(empty.count, 5);
  int silver = 0;
  for (const Px& p : empty.pixels) {
    EXPECT_TRUE(GetRValue(p.colour) == GetGValue(p.colour) &&
                GetGValue(p.colour) == GetBValue(p.colour))
        << Hex(p.colour);
    silver += p.colour == 0xC0C0C0;
  }
  EXPECT_GT(silver, 0);
}

TEST(Text, NegativePercentShowsItsSign) {
  RECT minus = ExpectedTextRect("-5 %"), plain = ExpectedTextRect("5 %");
  EXPECT_GT(minus.right - minus.left, plain.right - plain.left);
  TextPixels t = TextOf(Smooth, -5, minus);
  EXPECT_GT(t.count, 5);
  EXPECT_EQ(t.outside, 0);
}
