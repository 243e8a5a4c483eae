// Placement of the icon and the caption, from the layout rules with numbers in twips.
#include <gtest/gtest.h>

#include "controls/header/HeaderLayout.h"

using header::Half;
using header::HeaderMetrics;
using header::HeaderPlacement;
using header::LayoutHeader;
using header::TextAlign;

TEST(HeaderLayout, HalfRoundsToEvenThenTruncatesTowardZero) {
  struct Case {
    double v;
    int32_t half;
  } cases[] = {{135, 67}, {134.5, 67}, {135.5, 68}, {-135, -67},
               {1.5, 1},  {2.5, 1},    {3, 1},      {-0.5, 0}};
  for (const auto& c : cases) EXPECT_EQ(Half(c.v), c.half) << c.v;
}

namespace {

// The main window's header: 615 twips high, a 32 x 32 pixel icon, 15 twips per pixel. The
// outer and inner widths differ here so that each rule shows which of the two it uses.
HeaderMetrics Banner() {
  HeaderMetrics m;
  m.H = 615;
  m.SH = 615;
  m.W = 7365;
  m.SW = 7335;
  m.lw = 1500;
  m.lh = 240;
  m.iw = m.ih = 480;
  m.il = m.it = 120;  // where the design put the icon
  m.captionLeft = 999;
  m.captionTop = 888;
  m.captionAlign = TextAlign::Right;
  return m;
}

struct LayoutCase {
  const char* name;
  bool hasIcon, multiLine;
  int32_t alignment;
  HeaderMetrics m;
  HeaderPlacement want;
};

HeaderMetrics With(HeaderMetrics m, double lh, double ih, double iw, double SH, double H) {
  m.lh = lh;
  m.ih = ih;
  m.iw = iw;
  m.SH = SH;
  m.H = H;
  return m;
}

class HeaderLayoutCases : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(HeaderLayoutCases, PlacesIconAndCaption) {
  const LayoutCase& c = GetParam();
  HeaderPlacement p = LayoutHeader(c.m, c.hasIcon, c.multiLine, c.alignment);
  EXPECT_EQ(p.iconVisible, c.want.iconVisible);
  EXPECT_EQ(p.iconLeft, c.want.iconLeft);
  EXPECT_EQ(p.iconTop, c.want.iconTop);
  EXPECT_EQ(p.captionLeft, c.want.captionLeft);
  EXPECT_EQ(p.captionTop, c.want.captionTop);
  EXPECT_EQ(p.captionAlign, c.want.captionAlign);
}

// Expected values: icon 4 px (60) from the left and half(615 - 480) = 67 down; caption
// half(615 - 240) = 187 down. Widths: icon end 60 + 480 = 540.
const LayoutCase kCases[] = {
    // The worked example: icon at 60, 67; caption 7 px right of it at 645.
    {"left", true, false, 0, Banner(), {true, 60, 67, 645, 187, TextAlign::Left}},
    // Centred in the outer width right of the icon: 540 + half(7365 - 540 - 1500) = 540 + 2662.
    {"centre", true, false, 1, Banner(), {true, 60, 67, 3202, 187, TextAlign::Center}},
    // Right: inner width - label - 4 px = 7335 - 1500 - 60.
    {"right", true, false, 2, Banner(), {true, 60, 67, 5775, 187, TextAlign::Right}},
    // Stacked in a taller strip: T = 240 + 480 + 30 = 750; icon top half(1200 - 750) = 225,
    // caption top 225 + 480 + 30 = 735, caption left = icon left after the move (60).
    {"stacked",
     true,
     false,
     3,
     With(Banner(), 240, 480, 480, 1200, 1230),
     {true, 60, 225, 60, 735, TextAlign::Left}},
    // Stacked where the pair does not fit: half(615 - 750) = -67 (toward zero).
    {"stacked, too tall", true, false, 3, Banner(), {true, 60, -67, 60, 443, TextAlign::Left}},
    // Unknown alignment: vertical placement only; the caption keeps its left and alignment.
    {"unknown", true, false, 9, Banner(), {true, 60, 67, 999, 187, TextAlign::Right}},
    // Multi-line, icon taller than the caption: icon centred, caption top follows it; the icon
    // keeps the left it had (120), so the caption goes to 120 + 480 + 105.
    {"multi, icon taller", true, true, 0, Banner(), {true, 120, 67, 705, 67, TextAlign::Left}},
    // Multi-line, caption taller (600 > 240): caption centred at half(15) = 7, icon follows.
    {"multi, caption taller",
     true,
     true,
     0,
     With(Banner(), 600, 240, 240, 615, 615),
     {true, 120, 7, 465, 7, TextAlign::Left}},
    // Multi-line, right: equal heights put both at half(615 - 481) = 67.
    {"multi, right",
     true,
     true,
     2,
     With(Banner(), 481, 481, 480, 615, 615),
     {true, 120, 67, 5775, 67, TextAlign::Right}},
    // Without an icon: 4 px from the left, centred in the inner width, 4 px from the right.
    {"no icon, left", false, false, 0, Banner(), {false, 120, 120, 60, 187, TextAlign::Left}},
    {"no icon, centre", false, false, 1, Banner(), {false, 120, 120, 2917, 187, TextAlign::Center}},
    {"no icon, right", false, true, 2, Banner(), {false, 120, 120, 5775, 187, TextAlign::Right}},
    // A stored Alignment 3 without an icon: vertical placement only.
    {"no icon, stacked", false, false, 3, Banner(), {false, 120, 120, 999, 187, TextAlign::Right}},
};

INSTANTIATE_TEST_SUITE_P(Rules, HeaderLayoutCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LayoutCase>& param) {
                           std::string n = param.param.name;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

}  // namespace
