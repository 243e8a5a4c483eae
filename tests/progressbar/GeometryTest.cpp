// The arithmetic behind the bar, checked against worked examples: colours, value mapping,
// gradient steps, fill ends, blocks and gaps, text placement.
#include <gtest/gtest.h>

#include "controls/progressbar/ProgressBarGeometry.h"
#include "platform/toolkit/Error.h"

using namespace xpbar;

namespace {

long ErrorNumberOf(auto&& f) {
  try {
    f();
  } catch (const tk::RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

ProgressBarState Bar(long W, long H, long look, long percent, long orientation = Horizontal) {
  ProgressBarState s;
  s.clientRect = {0, 0, W, H};
  s.Scrolling = look;
  s.percent = percent;
  s.Orientation = orientation;
  return s;
}

}  // namespace

TEST(Colours, LightenMovesEachComponentTowardWhiteWithTruncation) {
  EXPECT_EQ(LightenColor(0xFF0000, 150), 0xFF9696u);  // red, green 150 + 105 * 0 / 255; blue 255
  EXPECT_EQ(LightenColor(0x123456, 0), 0x123456u);
  EXPECT_EQ(LightenColor(0x123456, 255), 0xFFFFFFu);
  // red 0x80: 100 + 155 * 128 / 255 = 100 + 77.8, truncated to 177 (0xB1)
  EXPECT_EQ(LightenColor(0x000080, 100), 0x6464B1u);
  // 96 = 10 + 245 * 100 / 255 = 10 + 96.08 -> 106 (0x6A)
  EXPECT_EQ(LightenColor(0x640000, 10), 0x6A0A0Au);
}

TEST(Colours, BlendWeighsBothColours) {
  EXPECT_EQ(BlendColors(0x0000FF, 0x000000, 200), 0x0000C8u);
  EXPECT_EQ(BlendColors(0xC0C0C0, 0x000000, 255), 0xC0C0C0u);
  EXPECT_EQ(BlendColors(0x123456, 0xABCDEF, 0), 0xABCDEFu);
  // blue 255 * 100 / 255 = 100; red/green (155 * 255 + 100 * 0) / 255 = 155
  EXPECT_EQ(BlendColors(0xFF0000, 0x00FFFF, 100), 0x649B9Bu);
}

TEST(Colours, SystemColourReferencesResolve) {
  EXPECT_EQ(ResolveSysColor(0x8000000D), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(ResolveSysColor(0x00FF0000), 0x00FF0000u);
  EXPECT_EQ(BlendColors(0x8000000D, 0x000000, 255), GetSysColor(COLOR_HIGHLIGHT));
}

struct MappingCase {
  long Max, Min, value, percent, readBack;
};

class ValueMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(ValueMapping, StoresWholePercentAndReadsBackInScale) {
  const MappingCase& c = GetParam();
  long percent = PercentFromValue(c.value, c.Max, c.Min);
  EXPECT_EQ(percent, c.percent);
  EXPECT_EQ(ValueFromPercent(std::min(percent, 100L), c.Max, c.Min), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValueMapping,
    ::testing::Values(MappingCase{100, 0, 37, 37, 37}, MappingCase{100, 0, 150, 150, 100},
                      MappingCase{100, 0, -5, -5, -5},
                      MappingCase{1000, 0, 5, 0, 0},   // 0.5 rounds to even
                      MappingCase{1000, 0, 6, 1, 10},  // quantised to whole percent of Max
                      MappingCase{100, 10, 50, 60, 6},
                      MappingCase{200, 0, 25, 12, 24},  // 12.5 rounds to even
                      // Byte totals: the 64-bit product maps every 32-bit value.
                      MappingCase{100, 0, 21474837, 21474837, 100},
                      MappingCase{100000000, 0, 21474837, 21, 21000000},
                      MappingCase{100000000, 0, 30000000, 30, 30000000},
                      MappingCase{100000000, 0, 99500000, 100, 100000000},  // 99.5 rounds to even
                      MappingCase{2147483647, 0, 2147483647, 100, 2147483647},
                      MappingCase{2147483647, 0, -2147483647 - 1, -100, -2147483647}));

TEST(ValueMappingErrors, ZeroMaxAndResultsBeyond32BitsRaise) {
  EXPECT_EQ(ErrorNumberOf([] { PercentFromValue(5, 0, 0); }), tk::kDivisionByZero);
  // 2147483647 * 100 / 1 does not fit 32 bits as a percentage.
  EXPECT_EQ(ErrorNumberOf([] { PercentFromValue(2147483647, 1, 0); }), tk::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ValueFromPercent(200, 2000000000, 0); }), tk::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { PercentFromValue(21474837, 100, 0); }), 0);
}

TEST(Gradients, StepsRoundHalvesToEvenAndEndOnTheSecondColour) {
  Gradient g = MakeGradient(0x000000, 0x0000FF, 2);
  EXPECT_EQ(g.ColorAt(0), 0x000000u);
  EXPECT_EQ(g.ColorAt(1), 0x000080u);  // 127.5 -> 128
  EXPECT_EQ(g.ColorAt(2), 0x0000FFu);

  // Light blue to blue over six rows: 150, 125, ..., 0 in red and green.
  Gradient tube = MakeGradient(0xFF9696, 0xFF0000, 6);
  EXPECT_EQ(tube.ColorAt(1), 0xFF7D7Du);
  EXPECT_EQ(tube.ColorAt(6), 0xFF0000u);

  // Four columns: 150 - 37.5 = 112.5 -> 112, 75, 37.5 -> 38
  Gradient four = MakeGradient(0xFF9696, 0xFF0000, 4);
  EXPECT_EQ(four.ColorAt(1), 0xFF7070u);
  EXPECT_EQ(four.ColorAt(3), 0xFF2626u);

  // Green is the second byte, whatever the red byte holds.
  Gradient green = MakeGradient(0x00FF80, 0x00FF80, 3);
  EXPECT_EQ(green.ColorAt(2), 0x00FF80u);
}

TEST(Gradients, ZeroCountGivesOneLineInTheFirstColour) {
  Gradient g = MakeGradient(0x123456, 0xFFFFFF, 0);
  EXPECT_EQ(g.ColorAt(0), 0x123456u);
}

TEST(Gradients, LinesRunDownColumnsOrAlongRows) {
  Segment v = GradientLine(4, 3, 9, 14, true, 2);
  EXPECT_EQ(v.x1, 6);
  EXPECT_EQ(v.y1, 3);
  EXPECT_EQ(v.x2, 6);
  EXPECT_EQ(v.y2, 14);
  Segment h = GradientLine(4, 3, 187, 6, false, 2);
  EXPECT_EQ(h.x1, 4);
  EXPECT_EQ(h.y1, 5);
  EXPECT_EQ(h.x2, 187);
  EXPECT_EQ(h.y2, 5);
}

struct FillCase {
  long W, H, look, percent, orientation;
  long fillEnd;    // fillRect.right (horizontal) or fillRect.top (vertical), after the stub rule
  long bodyRight;  // right edge of the solid middle (horizontal only)
};

class StandardFill : public ::testing::TestWithParam<FillCase> {};

TEST_P(StandardFill, FilledEndLiesOnTheBlockGrid) {
  const FillCase& c = GetParam();
  ProgressBarState s = Bar(c.W, c.H, c.look, c.percent, c.orientation);
  CalcFillRect(s);
  EXPECT_EQ(s.clientRect.left, 3);
  EXPECT_EQ(s.blockWidth, c.look == Segmented ? 6 : 0);
  EXPECT_EQ(s.blockGap, 2);
  if (c.orientation == Horizontal) {
    RaiseShortFill(s);
    EXPECT_EQ(s.fillRect.right, c.fillEnd);
    RECT body = TubeBodyRect(s);
    EXPECT_EQ(body.left, 4);
    EXPECT_EQ(body.top, 8);
    EXPECT_EQ(body.right, c.bodyRight);
    EXPECT_EQ(body.bottom, c.H - 8);
  } else {
    EXPECT_EQ(s.fillRect.top, c.fillEnd);
    RECT body = TubeBodyRect(s);
    EXPECT_EQ(body.left, 9);
    EXPECT_EQ(body.top, c.fillEnd);
    EXPECT_EQ(body.right, c.W - 8);
    EXPECT_EQ(body.bottom, c.H);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StandardFill,
    ::testing::Values(
        // e = round(366 * 50 / 98 + 3) = 190, minus 187 mod 8 = 3
        FillCase{369, 16, Segmented, 50, Horizontal, 187, 187},
        FillCase{369, 16, Segmented, 0, Horizontal, 12, 12},   // 3, raised to the stub
        FillCase{369, 16, Segmented, -7, Horizontal, 12, 12},  // no lower limit, drawn as 0
        FillCase{369, 16, Segmented, 1, Horizontal, 12, 12},   // e = 7 -> 3 -> 12
        FillCase{369, 16, Segmented, 98, Horizontal, 363, 363},
        FillCase{369, 16, Segmented, 99, Horizontal, 371, 367},   // e = 373 -> 371
        FillCase{369, 16, Segmented, 100, Horizontal, 371, 367},  // e = 376 -> 371; 371 + 4 > 369
        FillCase{369, 16, Smooth, 50, Horizontal, 189, 189},      // 2-pixel grid: 190 - 1
        FillCase{100, 16, Segmented, 50, Horizontal, 51, 51},     // e = 52, 49 mod 8 = 1
        FillCase{100, 16, Segmented, 100, Horizontal, 99, 95},    // e = 102, 99 mod 8 = 3
        FillCase{16, 100, Segmented, 50, Vertical, 52, 0},        // e = 49, -51 mod 8 = -3
        FillCase{16, 100, Smooth, 50, Vertical, 50, 0},           // -51 mod 2 = -1
        FillCase{16, 100, Segmented, 0, Vertical, 100, 0},
        // any non-zero orientation is vertical; e = round(-2.04) = -2, -102 mod 8 = -6
        FillCase{16, 100, Segmented, 100, 7, 4, 0}));

TEST(BlockGaps, HorizontalGapsFollowEachSixPixelBlock) {
  ProgressBarState s = Bar(369, 16, Segmented, 50);
  CalcFillRect(s);
  RaiseShortFill(s);
  ASSERT_EQ(BlockGapCount(s), 23);
  RECT first = BlockGapRect(s, 0), last = BlockGapRect(s, 22);
  EXPECT_EQ(first.left, 10);
  EXPECT_EQ(first.right, 12);
  EXPECT_EQ(first.top, 0);
  EXPECT_EQ(first.bottom, 16);
  EXPECT_EQ(last.left, 186);  // the last gap covers the filled end
  EXPECT_EQ(last.right, 188);

  ProgressBarState stub = Bar(369, 16, Segmented, 0);
  CalcFillRect(stub);
  RaiseShortFill(stub);
  ASSERT_EQ(BlockGapCount(stub), 1);
  EXPECT_EQ(BlockGapRect(stub, 0).left, 10);
}

TEST(BlockGaps, VerticalGapsRiseFromTheBottomEdge) {
  ProgressBarState s = Bar(16, 100, Segmented, 50, Vertical);
  CalcFillRect(s);
  ASSERT_EQ(BlockGapCount(s), 6);
  RECT lowest = BlockGapRect(s, 0), highest = BlockGapRect(s, 5);
  EXPECT_EQ(lowest.top, 98);
  EXPECT_EQ(lowest.bottom, 100);
  EXPECT_EQ(lowest.left, 3);
  EXPECT_EQ(lowest.right, 16);
  EXPECT_EQ(highest.top, 58);
  EXPECT_EQ(highest.bottom, 60);
}

TEST(Searching, BlocksTrailTheFilledEnd) {
  ProgressBarState s = Bar(369, 16, Searching, 50);
  CalcFillRect(s);
  RaiseShortFill(s);
  EXPECT_EQ(SearchingBlockStart(s, 0), 166);  // 166.5 -> 166
  EXPECT_EQ(SearchingBlockStart(s, 1), 178);  // 178.5 -> 178
  EXPECT_EQ(SearchingBlockStart(s, 2), 190);

  ProgressBarState zero = Bar(369, 16, Searching, 0);
  CalcFillRect(zero);
  RaiseShortFill(zero);
  EXPECT_EQ(SearchingBlockStart(zero, 2) + 9, 0);  // the last block ends under the frame

  ProgressBarState full = Bar(369, 16, Searching, 100);
  CalcFillRect(full);
  RaiseShortFill(full);
  EXPECT_GE(SearchingBlockStart(full, 0), 369);

  ProgressBarState vertical = Bar(16, 100, Searching, 50, Vertical);
  CalcFillRect(vertical);
  EXPECT_EQ(SearchingBlockStart(vertical, 0), 50);
  EXPECT_EQ(SearchingBlockStart(vertical, 2), 74);
}

TEST(AlternativeLooks, EachLookHasItsOwnDivisor) {
  EXPECT_EQ(AltFillEnd(Flat, 50, 369), 184);     // 184.5 -> 184
  EXPECT_EQ(AltFillEnd(Shaded, 100, 369), 365);  // 365.35
  EXPECT_EQ(AltFillEnd(Hatched, 100, 369), 365);
  EXPECT_EQ(AltFillEnd(Patterned, 50, 369), 183);  // 182.67
  EXPECT_EQ(AltFillEnd(Etched, 0, 369), 0);
  EXPECT_EQ(AltFillEnd(Etched, 50, 369), 182);  // 182.5 -> 182
  EXPECT_EQ(AltFillEnd(Dark, 50, 369), 182);    // 364 * 50 / 100
  EXPECT_EQ(AltFillEnd(Glossy, 33, 369), 120);  // 120.45
  EXPECT_EQ(AltFillEnd(Dark, -50, 369), -182);
  EXPECT_EQ(GlossyHalf(16), 6);  // 6.5 -> 6
  EXPECT_EQ(GlossyHalf(20), 8);  // 8.5 -> 8
  EXPECT_EQ(ErrorNumberOf([] { AltFillEnd(Etched, -10000000, 369); }), tk::kOverflow);
}

TEST(Text, PercentFormAndPlacement) {
  ProgressBarState s;
  s.percent = 42;
  EXPECT_EQ(PercentText(s), "42 %");
  s.percent = -5;
  EXPECT_EQ(PercentText(s), "-5 %");
  s.Scrolling = Searching;
  EXPECT_EQ(PercentText(s), "Searching..");
  EXPECT_TRUE(SplitsText(Dark));
  EXPECT_TRUE(SplitsText(Glossy));
  EXPECT_FALSE(SplitsText(Segmented));

  RECT client{0, 0, 369, 16};
  RECT centred = CenteredTextRect({40, 30, 65, 43}, client);  // 25 x 13, measured elsewhere
  EXPECT_EQ(centred.left, 172);                               // 184.5 - 12.5
  EXPECT_EQ(centred.top, 2);                                  // 8 - 6.5 = 1.5 -> 2
  EXPECT_EQ(centred.right, 197);
  EXPECT_EQ(centred.bottom, 15);

  EXPECT_DOUBLE_EQ(TextFillX(50, client), 184.5);
  RECT split = SplitTextRect(centred, 50, client);
  EXPECT_EQ(split.left, 172);
  EXPECT_EQ(split.right, 184);  // 184.5 -> 184
  EXPECT_EQ(split.top, 2);
}
