// The hosted control: creation, properties and their notifications, the value mapping through
// the setters, the property bag, the off-screen surface, and the redraw cost per Value set.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PaintSupport.h"
#include "support/GdiCount.h"
#include "controls/progressbar/XP_ProgressBar.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/Window.h"

using pbtest::Canvas;

namespace {

constexpr tk::TwipsRect kMainWindowBar{120, 120, 5535, 240};  // 369 x 16 pixels

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(tk::ScreenDpiX(), 96) << "the virtual display runs at 96 dpi";
    form.CreateForm({"Progress bar test", 9000, 3000});
  }
  // The stored design values of the main window's blue bar.
  static tk::PropertyBag BlueBarBag() {
    tk::PropertyBag bag;
    bag.WriteProperty("Font", std::make_shared<tk::StdFont>("MS Sans Serif", 8.25));
    bag.WriteProperty("BrushStyle", int32_t{0});
    bag.WriteProperty("Color", int32_t{0xFF0000});
    return bag;
  }
  // The surface as a picture.
  static std::vector<uint32_t> Surface(XP_ProgressBar& bar) {
    Canvas c(bar.SurfaceWidth(), bar.SurfaceHeight());
    bar.pDraw(c.dc(), 0, 0, 0, 0, 0, 0);
    return c.Pixels();
  }
  static long ErrorOf(auto&& f) {
    try {
      f();
    } catch (const tk::RuntimeError& e) {
      return e.Number();
    }
    return 0;
  }
  tk::Form form;
};

}  // namespace

TEST_F(ControlTest, ANewControlIsEmptySegmentedHorizontalInTheHighlightColour) {
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, kMainWindowBar);
  EXPECT_EQ(bar.Value(), 0);
  EXPECT_EQ(bar.State().percent, 0);
  EXPECT_EQ(bar.Max(), 100);
  EXPECT_EQ(bar.Min(), 0);
  EXPECT_EQ(bar.Scrolling(), xpbar::Segmented);
  EXPECT_EQ(bar.Orientation(), xpbar::Horizontal);
  EXPECT_EQ(bar.Color(), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_FALSE(bar.ShowText());
  EXPECT_EQ(bar.Image(), nullptr);
  ASSERT_NE(bar.Font(), nullptr);
  EXPECT_EQ(bar.hwnd(), static_cast<tk::Window&>(bar).hwnd());
  EXPECT_EQ(bar.SurfaceWidth(), 369);
  EXPECT_EQ(bar.SurfaceHeight(), 16);
  EXPECT_EQ(bar.hdc(), bar.SurfaceDC());
  EXPECT_EQ(bar.BackColor(), 0xFFFFFFu);
  EXPECT_EQ(bar.ScaleMode(), 3);
}

TEST_F(ControlTest, TheMainWindowsBarLoadsBlueAndFillsInBlocks) {
  tk::PropertyBag stored = BlueBarBag();
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, kMainWindowBar, &stored);
  EXPECT_EQ(bar.Color(), 0xFF0000u);
  EXPECT_EQ(bar.Font()->Name(), "MS Sans Serif");
  bar.Max(1000);
  bar.Value(500);
  Canvas c(369, 16);
  bar.pDraw(c.dc(), 0, 0, 0, 0, 0, 0);
  // Half full: blocks 4..9 ... 180..185, blue in row 6, the last gap at 186..187.
  EXPECT_EQ(c.At(4, 6), 0xFF0000u);
  EXPECT_EQ(c.At(185, 6), 0xFF0000u);
  EXPECT_EQ(c.At(186, 6), 0xFFFFFFu);
  EXPECT_EQ(c.At(10, 6), 0xFFFFFFu);
  EXPECT_EQ(c.At(0, 8), 0x686868u);

  tk::PropertyBag saved;
  bar.UserControl_WriteProperties(saved);
  const std::vector<std::string> order{"Font", "BrushStyle",  "Color",     "Image",    "Max",
                                       "Min",  "Orientation", "Scrolling", "ShowText", "Value"};
  EXPECT_EQ(saved.WriteOrder(), order);
  EXPECT_TRUE(saved.Has("Font"));
  EXPECT_EQ(tk::AsLong(saved.ReadProperty("BrushStyle")), 0);  // differs from the default 4
  EXPECT_EQ(tk::AsLong(saved.ReadProperty("Color")), 0xFF0000);
  EXPECT_EQ(tk::AsLong(saved.ReadProperty("Max")), 1000);
  EXPECT_EQ(tk::AsLong(saved.ReadProperty("Value")), 50);  // the percentage, not 500
  for (const char* key : {"Image", "Min", "Orientation", "Scrolling", "ShowText"})
    EXPECT_FALSE(saved.Has(key)) << key;
}

TEST_F(ControlTest, ValueSettersFollowTheMappingAndTheLimit) {
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, kMainWindowBar);
  bar.Value(37);
  EXPECT_EQ(bar.Value(), 37);
  bar.Value(150);
  EXPECT_EQ(bar.State().percent, 100);  // limited by the redraw
  EXPECT_EQ(bar.Value(), 100);
  bar.Value(-5);
  EXPECT_EQ(bar.Value(), -5);
  bar.Max(1000);
  bar.Value(5);
  EXPECT_EQ(bar.State().percent, 0);
  bar.Value(6);
  EXPECT_EQ(bar.State().percent, 1);
  EXPECT_EQ(bar.Value(), 10);
  bar.Min(10);
  bar.Max(100);
  bar.Value(50);
  EXPECT_EQ(bar.State().percent, 60);
  EXPECT_EQ(bar.Value(), 6);
}

TEST_F(ControlTest, AZeroMaxRaisesAndKeepsValueAndPicture) {
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, kMainWindowBar);
  bar.Value(40);
  std::vector<uint32_t> before = Surface(bar);
  unsigned long paints = bar.PaintCount();
  bar.Max(0);
  EXPECT_EQ(ErrorOf([&] { bar.Value(70); }), tk::kDivisionByZero);
  EXPECT_EQ(bar.State().percent, 40);
  EXPECT_EQ(bar.PaintCount(), paints);
  EXPECT_EQ(Surface(bar), before);
}

TEST_F(ControlTest, ByteTotalsBeyondTwentyOneMegabytesKeepAdvancing) {
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, kMainWindowBar);
  bar.Max(100000000);
  bar.Value(0);
  for (long member = 0; member < 10; ++member) bar.Value(tk::AddInt32(bar.Value(), 9000000));
  EXPECT_EQ(bar.State().percent, 90);
  EXPECT_EQ(bar.Value(), 90000000);
  bar.Max(100);
  EXPECT_EQ(ErrorOf([&] { bar.Value(21474837); }), 0);
  EXPECT_EQ(bar.Value(), 100);
  bar.Max(1);
  EXPECT_EQ(ErrorOf([&] { bar.Value(2147483647); }), tk::kOverflow);  // no 32-bit percentage
  EXPECT_EQ(bar.State().percent, 100);
}

TEST_F(ControlTest, SettersNotifyTheHostOfPersistedPropertiesOnly) {
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, kMainWindowBar);
  size_t start = bar.ChangedProperties().size();
  unsigned long paints = bar.PaintCount();
  bar.BrushStyle(3);
  bar.Min(0);
  bar.Max(100);
  EXPECT_EQ(bar.PaintCount(), paints);  // none of these redraws
  bar.Color(0x8000000D);
  EXPECT_EQ(bar.Color(), GetSysColor(COLOR_HIGHLIGHT));  // the RGB value, not the reference
  bar.Font(std::make_shared<tk::StdFont>("Arial", 10));
  bar.Value(20);
  bar.Orientation(xpbar::Vertical);
  bar.Scrolling(xpbar::Glossy);
  bar.ShowText(true);
  bar.Image(nullptr);
  std::vector<std::string> changed(bar.ChangedProperties().begin() + static_cast<long>(start),
                                   bar.ChangedProperties().end());
  const std::vector<std::string> expected{"BrushStyle", "Min",      "Max",  "Orientation",
                                          "Scrolling",  "ShowText", "Image"};
  EXPECT_EQ(changed, expected);
  EXPECT_EQ(bar.PaintCount(), paints + 6);  // Color, Value, Orientation, Scrolling, ShowText, Image
}

TEST_F(ControlTest, TheBagRoundTripsKeysDefaultsAndThePercentage) {
  // Saved with Max 200 and Value 50: 25 percent is written; loading applies it through the
  // Value setter with Max 200, giving 12 percent (12.5 to even), which reads back as 24.
  XP_ProgressBar first;
  first.CreateUserControl(form, 10, kMainWindowBar);
  first.Max(200);
  first.Value(50);
  first.Scrolling(xpbar::Glossy);
  first.Orientation(xpbar::Vertical);
  first.ShowText(true);
  first.BrushStyle(2);
  first.Min(0);
  first.Color(0x00FF00);
  tk::PictureRef picture = tk::Picture::FromBitmap(CreateBitmap(8, 8, 1, 1, nullptr));
  first.Image(picture);
  tk::PropertyBag bag;
  first.UserControl_WriteProperties(bag);
  EXPECT_EQ(tk::AsLong(bag.ReadProperty("Value")), 25);

  XP_ProgressBar second;
  second.CreateUserControl(form, 11, kMainWindowBar, &bag);
  EXPECT_EQ(second.State().percent, 12);
  EXPECT_EQ(second.Value(), 24);
  EXPECT_EQ(second.Max(), 200);
  EXPECT_EQ(second.Scrolling(), xpbar::Glossy);
  EXPECT_EQ(second.Orientation(), xpbar::Vertical);
  EXPECT_TRUE(second.ShowText());
  EXPECT_EQ(second.State().BrushStyle, 2);
  EXPECT_EQ(second.Color(), 0x00FF00u);
  EXPECT_EQ(second.Image(), picture);
  EXPECT_EQ(second.Font(), first.Font());

  // Absent keys take their defaults; the default font made at creation stays.
  tk::PropertyBag empty;
  XP_ProgressBar third;
  third.CreateUserControl(form, 12, kMainWindowBar, &empty);
  EXPECT_EQ(third.State().BrushStyle, 4);
  EXPECT_EQ(third.Color(), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(third.Max(), 100);
  EXPECT_NE(third.Font(), nullptr);
  tk::PropertyBag rewritten;
  third.UserControl_WriteProperties(rewritten);
  EXPECT_TRUE(rewritten.Has("Font"));  // no default: always written
  for (const char* key :
       {"BrushStyle", "Image", "Max", "Min", "Orientation", "Scrolling", "ShowText", "Value"})
    EXPECT_FALSE(rewritten.Has(key)) << key;
  EXPECT_TRUE(rewritten.Has("Color"))
      << "the highlight colour is stored resolved, not as the reference";

  // Value is applied after the Max read before it.
  tk::PropertyBag ordered;
  ordered.WriteProperty("Max", int32_t{200});
  ordered.WriteProperty("Value", int32_t{50});
  XP_ProgressBar fourth;
  fourth.CreateUserControl(form, 13, kMainWindowBar, &ordered);
  EXPECT_EQ(fourth.State().percent, 25);
}

TEST_F(ControlTest, TheSurfaceGrowsButNeverShrinks) {
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, {120, 120, 1500, 240});  // 100 x 16
  EXPECT_EQ(bar.SurfaceWidth(), 100);
  EXPECT_EQ(bar.SurfaceHeight(), 16);
  bar.Move(120, 120, 5535, 240);
  EXPECT_EQ(bar.SurfaceWidth(), 369);
  HDC grown = bar.SurfaceDC();
  EXPECT_EQ(bar.hdc(), grown);
  bar.Move(120, 120, 1500, 240);
  EXPECT_EQ(bar.SurfaceWidth(), 369);
  EXPECT_EQ(bar.SurfaceDC(), grown);
  bar.DrawProgressBar();  // paints for the current size: the frame's right ring at x = 99
  Canvas c(369, 16);
  bar.pDraw(c.dc(), 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(c.At(99, 8), 0x686868u);
  EXPECT_EQ(c.At(98, 8), 0xEFEFEFu);

  // An explicit size copies only that much, to the given place.
  Canvas part(40, 16);
  part.Fill(0x00FF00);
  bar.pDraw(part.dc(), 95, 0, 5, 16, 10, 0);
  EXPECT_EQ(part.At(9, 8), 0x00FF00u);
  EXPECT_EQ(part.At(14, 8), 0x686868u);  // surface x = 99
  EXPECT_EQ(part.At(15, 8), 0x00FF00u);
}

TEST_F(ControlTest, ValueSetsThatChangeNothingVisibleOnlyCopyTheSurface) {
  tk::PropertyBag stored = BlueBarBag();
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, kMainWindowBar, &stored);
  const long members = 70000, size = 1000;
  bar.Max(members * size);
  bar.Value(0);
  unsigned long paints = bar.PaintCount();
  for (long i = 1; i <= members; ++i) bar.Value(i * size);
  EXPECT_EQ(bar.Value(), members * size);
  EXPECT_EQ(bar.PaintCount() - paints, 100u);  // one per whole percent

  // The surface holds exactly what a full redraw paints.
  std::vector<uint32_t> kept = Surface(bar);
  bar.DrawProgressBar();
  EXPECT_EQ(Surface(bar), kept);

  // Anything that changes the picture repaints.
  paints = bar.PaintCount();
  bar.Value(members * size);
  EXPECT_EQ(bar.PaintCount(), paints);
  bar.Font()->Size(12);  // the font object changed behind the control's back
  bar.ShowText(true);
  paints = bar.PaintCount();
  bar.Font()->Bold(true);
  bar.Value(members * size);
  EXPECT_EQ(bar.PaintCount(), paints + 1);
  (void)bar.hdc();  // someone may draw on the surface
  bar.Value(members * size);
  EXPECT_EQ(bar.PaintCount(), paints + 2);
  bar.Move(120, 120, 4500, 240);
  bar.Value(members * size);
  EXPECT_EQ(bar.PaintCount(), paints + 3);
}

TEST_F(ControlTest, ASkippedRepaintStillCopiesThePictureOntoTheWindow) {
  tk::PropertyBag stored = BlueBarBag();
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, kMainWindowBar, &stored);
  form.Show();
  bar.Visible(true);
  tk::DoEvents();
  bar.Value(50);
  HDC window = bar.HostDC();
  ASSERT_EQ(GetPixel(window, 4, 6), 0xFF0000u);
  RECT smudge{0, 0, 369, 16};
  FillRect(window, &smudge,
           static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));  // something drew over it
  ASSERT_EQ(GetPixel(window, 4, 6), 0x000000u);
  unsigned long paints = bar.PaintCount();
  bar.Value(50);
  EXPECT_EQ(bar.PaintCount(), paints);
  EXPECT_EQ(GetPixel(window, 4, 6), 0xFF0000u);
  EXPECT_EQ(GetPixel(window, 186, 6), 0xFFFFFFu);
}

TEST_F(ControlTest, TenThousandRedrawsPerLookLeaveNoGdiObjectsBehind) {
  tk::PropertyBag stored = BlueBarBag();
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, kMainWindowBar, &stored);
  bar.Image(tk::Picture::FromBitmap(CreateBitmap(8, 8, 1, 1, nullptr)));
  bar.BrushStyle(5);
  bar.ShowText(true);
  // One redraw of each look first: the font handle, and the system's own pens for the edges
  // (DrawEdge), are made once on first use and kept.
  for (long look = xpbar::Segmented; look <= xpbar::Glossy; ++look)
    bar.Scrolling(static_cast<ProgressLook>(look));
  long before = testsupport::GdiObjectCount();
  ASSERT_GT(before, 0) << "the GDI object count must be readable";
  {
    tk::Brush probe(CreateSolidBrush(0x123456));  // the count sees one more object
    EXPECT_EQ(testsupport::GdiObjectCount(), before + 1);
  }
  EXPECT_EQ(testsupport::GdiObjectCount(), before);
  for (long look = xpbar::Segmented; look <= xpbar::Glossy; ++look) {
    bar.Scrolling(static_cast<ProgressLook>(look));
    for (int i = 0; i < 10000; ++i) {
      bar.Orientation(static_cast<ProgressOrientation>(i & 1));
      if (i % 1000 == 0) bar.Value(i / 100);
    }
    EXPECT_EQ(testsupport::GdiObjectCount(), before) << "look " << look;
  }
}
