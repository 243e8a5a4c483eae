// The information header hosted in a window: initial and stored values, persistence, setters,
// caption lines, the alignment message, what it paints, and that repaints leak nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "HeaderTestSupport.h"
#include "support/Canvas.h"
#include "controls/header/InfoHeader.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Events.h"
#include "resources/resource.h"

using header::InfoHeader;
using header::TextAlign;
using headertest::Rgb;
using testsupport::Canvas;

namespace {

const std::vector<std::string> kWriteOrder = {
    "GradientStyle", "LeftColor", "RightColor", "MaxFill", "FontName", "ForeColor",
    "Caption",       "MultiLine", "Alignment",  "HasIcon", "Picture"};

bool IsWhite(COLORREF c) { return c == 0x00FFFFFF; }

class InfoHeaderTest : public ::testing::Test {
 protected:
  void Create(const tk::PropertyBag* bag = nullptr, double heightTwips = 615) {
    hdr.CreateUserControl(form, 100, {0, 0, 7335, heightTwips}, bag);
  }
  tk::PictureRef Banner() { return tk::Picture::LoadIconResource(IDI_HEADER, 32); }
  tk::PropertyBag Stored() { return header::InfoHeader1StoredValues(Banner()); }
  std::unique_ptr<Canvas> Rendered() {
    RECT r = hdr.ClientPx();
    auto canvas = std::make_unique<Canvas>(r.right, r.bottom);
    hdr.Render(canvas->dc());
    return canvas;
  }

  headertest::HostForm form;
  InfoHeader hdr;  // destroyed before its host
};

TEST_F(InfoHeaderTest, CreationGivesTheInitialValues) {
  Create();
  EXPECT_EQ(hdr.GradientStyle(), 0);
  EXPECT_EQ(hdr.MaxFill(), 100);
  EXPECT_EQ(hdr.LeftColor(), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(hdr.RightColor(), GetSysColor(COLOR_BTNFACE));
  ASSERT_TRUE(hdr.FontName());
  EXPECT_EQ(hdr.FontName()->Name(), "Tahoma");
  EXPECT_TRUE(hdr.FontName()->Bold());
  EXPECT_EQ(hdr.FontName()->Size(), 10.0);
  EXPECT_EQ(hdr.ForeColor(), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(hdr.Caption(), "Information Header v1.0");
  EXPECT_EQ(hdr.Alignment(), 0);
  EXPECT_FALSE(hdr.MultiLine());
  EXPECT_TRUE(hdr.HasIcon());
  // The built-in 16 x 16 icon, laid out single-line: 4 px in, half(615 - 240) = 187 down.
  ASSERT_TRUE(hdr.Picture());
  EXPECT_EQ(hdr.Picture()->WidthPx(), 16);
  EXPECT_EQ(hdr.imgIco().Width(), 240);
  EXPECT_EQ(hdr.imgIco().Left(), 60);
  EXPECT_EQ(hdr.imgIco().Top(), 187);
  EXPECT_EQ(hdr.lblCaption().Left(), 60 + 240 + 105);
  EXPECT_TRUE(hdr.ChangedProperties().empty()) << "creation notifies nothing";
  // Left to right from the button shadow colour at the left edge.
  EXPECT_EQ(Rendered()->At(0, 2), GetSysColor(COLOR_BTNSHADOW));
}

TEST_F(InfoHeaderTest, MainWindowInstanceShowsItsBanner) {
  tk::PropertyBag bag = Stored();
  Create(&bag);
  EXPECT_EQ(hdr.GradientStyle(), 1);
  EXPECT_EQ(hdr.LeftColor(), 0x00FF0000u);
  EXPECT_EQ(hdr.RightColor(), 0x00FFFFFFu);
  EXPECT_EQ(hdr.ForeColor(), 0x00FFFFFFu);
  EXPECT_EQ(hdr.Caption(), "  Parcelo v2.0");
  EXPECT_EQ(hdr.FontName()->Name(), "Tahoma");
  EXPECT_TRUE(hdr.FontName()->Bold());
  // The worked layout: icon at 60, 67; caption at 645, half(615 - lh).
  EXPECT_EQ(hdr.imgIco().Width(), 480);
  EXPECT_EQ(hdr.imgIco().Left(), 60);
  EXPECT_EQ(hdr.imgIco().Top(), 67);
  EXPECT_TRUE(hdr.imgIco().Visible());
  EXPECT_EQ(hdr.lblCaption().Left(), 645);
  EXPECT_EQ(hdr.lblCaption().Top(), static_cast<int>(615 - hdr.lblCaption().Height()) / 2);
  EXPECT_EQ(hdr.lblCaption().Alignment(), TextAlign::Left);

  auto img = Rendered();
  // Blue at the top, one step short of white on the last row: round(255 / 41 * 40) = 249.
  EXPECT_EQ(img->At(300, 0), 0x00FF0000u);
  EXPECT_EQ(img->At(488, 40), 0x00FFF9F9u);
  // The icon's left face (colour 196, 140, 72 at 8, 20 in the icon) lands at 4 + 8, 4 + 20.
  EXPECT_EQ(img->At(12, 24), Rgb(196, 140, 72));
  // White type only inside the caption's box, which starts at 43 px.
  int top = static_cast<int>(hdr.lblCaption().Top() / 15),
      bottom = top + static_cast<int>(hdr.lblCaption().Height() / 15);
  int whiteInside = 0, whiteBefore = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = 36; x < 489; ++x)
      if (IsWhite(img->At(x, y))) (x < 43 ? whiteBefore : whiteInside)++;
  EXPECT_GT(whiteInside, 20);
  EXPECT_EQ(whiteBefore, 0);
}

TEST_F(InfoHeaderTest, WritesEveryKeyInOrderAndReadsItBack) {
  tk::PropertyBag stored = Stored();
  Create(&stored);
  tk::PropertyBag out;
  hdr.UserControl_WriteProperties(out);
  EXPECT_EQ(out.WriteOrder(), kWriteOrder);
  for (const auto& key : kWriteOrder) EXPECT_TRUE(out.Has(key)) << key;
  EXPECT_TRUE(std::holds_alternative<int16_t>(out.ReadProperty("MaxFill")));
  EXPECT_TRUE(std::holds_alternative<int32_t>(out.ReadProperty("LeftColor")));
  EXPECT_TRUE(std::holds_alternative<bool>(out.ReadProperty("HasIcon")));
  EXPECT_EQ(tk::AsString(out.ReadProperty("FontName")), "Tahoma");
  EXPECT_EQ(tk::AsLong(out.ReadProperty("GradientStyle")), 1);
  EXPECT_EQ(tk::AsPicture(out.ReadProperty("Picture")), hdr.Picture());

  // Defaults are written too.
  InfoHeader plain;
  plain.CreateUserControl(form, 101, {0, 700, 7335, 615});
  tk::PropertyBag defaults;
  plain.UserControl_WriteProperties(defaults);
  EXPECT_EQ(defaults.WriteOrder(), kWriteOrder);
  for (const auto& key : kWriteOrder) EXPECT_TRUE(defaults.Has(key)) << key;

  // A multi-line caption is stored with its line breaks and read back as stored.
  hdr.MultiLine(true);
  hdr.Caption("One|Two");
  tk::PropertyBag lines;
  hdr.UserControl_WriteProperties(lines);
  EXPECT_EQ(tk::AsString(lines.ReadProperty("Caption")), "One\r\nTwo");
  InfoHeader copy;
  copy.CreateUserControl(form, 102, {0, 1400, 7335, 615}, &lines);
  EXPECT_EQ(copy.Caption(), "One\r\nTwo");
  EXPECT_TRUE(copy.MultiLine());
  EXPECT_EQ(copy.GradientStyle(), 1);
  EXPECT_EQ(copy.LeftColor(), 0x00FF0000u);
  EXPECT_EQ(copy.Picture(), hdr.Picture());
}

TEST_F(InfoHeaderTest, MissingKeysGiveTheirDefaults) {
  Create();
  auto custom = std::make_shared<tk::StdFont>("Arial", 10.0, true);
  hdr.FontName(custom);
  hdr.MaxFill(40);
  hdr.GradientStyle(1);
  hdr.LeftColor(0x00112233);
  hdr.Caption("changed");
  hdr.HasIcon(false);
  tk::PictureRef before = hdr.Picture();
  tk::PropertyBag empty;
  hdr.UserControl_ReadProperties(empty);
  EXPECT_EQ(hdr.GradientStyle(), 0);
  EXPECT_EQ(hdr.LeftColor(), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(hdr.RightColor(), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(hdr.MaxFill(), 40) << "a missing MaxFill keeps the current one";
  EXPECT_EQ(hdr.FontName()->Name(), "Tahoma");
  EXPECT_EQ(hdr.ForeColor(), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(hdr.Caption(), "Information Header v1.0");
  EXPECT_FALSE(hdr.MultiLine());
  EXPECT_EQ(hdr.Alignment(), 0);
  EXPECT_TRUE(hdr.HasIcon());
  EXPECT_EQ(hdr.Picture(), before) << "a missing Picture keeps the current one";
}

TEST_F(InfoHeaderTest, LoadedValuesAreTakenAsStored) {
  tk::PropertyBag bag;
  bag.WriteProperty("MaxFill", int16_t{250});
  bag.WriteProperty("LeftColor", static_cast<int32_t>(0x8000000F));
  bag.WriteProperty("Alignment", int32_t{3});
  bag.WriteProperty("HasIcon", false);
  bag.WriteProperty("Caption", std::string("a|b"));
  bag.WriteProperty("MultiLine", true);
  Create(&bag);
  EXPECT_EQ(hdr.MaxFill(), 250);
  EXPECT_EQ(hdr.LeftColor(), 0x8000000Fu);
  EXPECT_EQ(hdr.Alignment(), 3);
  EXPECT_FALSE(hdr.HasIcon());
  EXPECT_FALSE(hdr.imgIco().Visible());
  EXPECT_EQ(hdr.Caption(), "a|b");
  // Stacked without an icon: the caption is placed vertically only; its left stays where
  // creation put it, right of the 16 px icon: 60 + 240 + 105.
  EXPECT_EQ(hdr.lblCaption().Left(), 405);
  EXPECT_EQ(hdr.lblCaption().Top(), static_cast<int>(615 - hdr.lblCaption().Height()) / 2);
  // MaxFill 250 paints as 100: the whole width is covered, the right edge one step short.
  auto img = Rendered();
  EXPECT_NE(img->At(488, 20), GetSysColor(COLOR_BTNFACE));
}

TEST_F(InfoHeaderTest, SettersStoreNotifyAndLayOut) {
  Create();
  hdr.MaxFill(250);
  EXPECT_EQ(hdr.MaxFill(), 100);
  hdr.MaxFill(-5);
  EXPECT_EQ(hdr.MaxFill(), -5);
  EXPECT_EQ(Rendered()->At(480, 2), GetSysColor(COLOR_BTNFACE))
      << "no fill: the cleared background shows";
  hdr.LeftColor(0x8000000F);
  EXPECT_EQ(hdr.LeftColor(), GetSysColor(COLOR_BTNFACE));
  hdr.RightColor(0x00ABCDEF);
  EXPECT_EQ(hdr.RightColor(), 0x00ABCDEFu);
  hdr.ForeColor(0x80000012);
  EXPECT_EQ(hdr.ForeColor(), 0x80000012u) << "the text colour is stored untranslated";
  hdr.GradientStyle(7);
  EXPECT_EQ(hdr.GradientStyle(), 7);
  hdr.Alignment(2);
  EXPECT_EQ(hdr.lblCaption().Alignment(), TextAlign::Right);
  EXPECT_EQ(hdr.lblCaption().Left(), hdr.picGrad().ScaleWidth() - hdr.lblCaption().Width() - 60);
  auto font = std::make_shared<tk::StdFont>("Arial", 10.0, true);
  hdr.FontName(font);
  EXPECT_EQ(hdr.FontName(), font);
  auto pic = tk::Picture::LoadIconResource(IDI_HEADER, 32);
  hdr.Picture(pic);
  EXPECT_EQ(hdr.imgIco().Height(), 480) << "the icon takes its picture's size";
  EXPECT_EQ(hdr.imgIco().Top(), 67);
  hdr.Caption("x");
  hdr.MultiLine(true);
  hdr.HasIcon(false);
  EXPECT_EQ(hdr.ChangedProperties(),
            (std::vector<std::string>{"MaxFill", "MaxFill", "LeftColor", "RightColor", "ForeColor",
                                      "GradientStyle", "Alignment", "FontName", "Picture",
                                      "Caption", "MultiLine", "HasIcon"}));
  try {
    hdr.FontName(nullptr);
    FAIL() << "a caption without a font was accepted";
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), tk::kInvalidArgument);
  }
}

TEST_F(InfoHeaderTest, CaptionLinesFollowMultiLine) {
  Create();
  double oneLine = hdr.lblCaption().Height();
  hdr.Caption("Two|Words");
  EXPECT_EQ(hdr.Caption(), "Two|Words");
  hdr.MultiLine(true);
  EXPECT_EQ(hdr.Caption(), "Two\r\nWords");
  EXPECT_EQ(hdr.lblCaption().Height(), 2 * oneLine);
  hdr.MultiLine(false);
  EXPECT_EQ(hdr.Caption(), "Two|Words");
  hdr.MultiLine(true);
  hdr.Caption("a|b|c");
  EXPECT_EQ(hdr.Caption(), "a\r\nb\r\nc");
  EXPECT_EQ(hdr.lblCaption().Height(), 3 * oneLine);
}

TEST_F(InfoHeaderTest, AlignmentThreeNeedsTheIcon) {
  headertest::RecordingSeam seam;
  tk::SeamOverride use(seam);
  Create();
  hdr.Alignment(3);
  EXPECT_EQ(hdr.Alignment(), 3);
  // Dropping the icon falls back to left alignment, without a message.
  hdr.HasIcon(false);
  EXPECT_EQ(hdr.Alignment(), 0);
  EXPECT_FALSE(hdr.imgIco().Visible());
  EXPECT_TRUE(seam.messages.empty());
  EXPECT_EQ(hdr.ChangedProperties(),
            (std::vector<std::string>{"Alignment", "Alignment", "HasIcon"}));

  hdr.Alignment(2);
  size_t notified = hdr.ChangedProperties().size();
  hdr.Alignment(3);
  ASSERT_EQ(seam.messages.size(), 1u);
  EXPECT_EQ(seam.messages[0].text, "Cannot set alignment because 'HasIcon' is false");
  EXPECT_EQ(seam.messages[0].caption, "Parcelo");
  EXPECT_EQ(seam.messages[0].flags, static_cast<UINT>(MB_OK)) << "one OK button, no icon";
  EXPECT_EQ(hdr.Alignment(), 2);
  EXPECT_EQ(hdr.ChangedProperties().size(), notified);
}

TEST_F(InfoHeaderTest, ResizingRepaintsTheWholeGradient) {
  tk::PropertyBag bag = Stored();
  Create(&bag);
  hdr.Move(0, 0, 7335, 1230);  // 82 px high
  EXPECT_EQ(hdr.picGrad().HeightPx(), 82);
  auto img = Rendered();
  // Column 480 is clear of the caption.
  EXPECT_EQ(img->At(480, 0), 0x00FF0000u);
  EXPECT_EQ(img->At(480, 41), 0x00FF8080u);  // 255 / 82 * 41 = 127.5, to the even 128
  EXPECT_EQ(img->At(480, 81), 0x00FFFCFCu);  // round(251.9) = 252
  EXPECT_EQ(hdr.imgIco().Top(), (1230 - 480) / 2);
}

TEST_F(InfoHeaderTest, RepaintsLeakNoGdiObjects) {
  // The counter itself must see objects come and go.
  long base = headertest::GdiObjectCount();
  {
    tk::Brush b1(CreateSolidBrush(1)), b2(CreateSolidBrush(2)), b3(CreateSolidBrush(3));
    ASSERT_EQ(headertest::GdiObjectCount(), base + 3);
  }
  ASSERT_EQ(headertest::GdiObjectCount(), base);

  tk::PropertyBag bag = Stored();
  Create(&bag);
  form.Show();
  hdr.Visible(true);
  auto cycle = [&](int i) {
    hdr.Move(0, 0, 7335 - 15 * (i % 5), 615 + 15 * (i % 3));
    hdr.Caption(i % 2 ? "  Parcelo v2.0" : "Parcelo");
    hdr.MaxFill(static_cast<int16_t>(60 + i % 40));
    InvalidateRect(hdr.hwnd(), nullptr, FALSE);
    UpdateWindow(hdr.hwnd());
    Rendered();
    tk::DoEvents();
  };
  for (int i = 0; i < 5; ++i) cycle(i);  // caches (fonts, stock objects) settle first
  long before = headertest::GdiObjectCount();
  for (int i = 0; i < 60; ++i) cycle(i);
  EXPECT_EQ(headertest::GdiObjectCount(), before);
}

TEST_F(InfoHeaderTest, ShownHeaderHasTheGradientEndColoursAtItsEdges) {
  tk::PropertyBag bag = Stored();
  Create(&bag);
  form.Show();
  hdr.Visible(true);
  UpdateWindow(hdr.hwnd());
  tk::DoEvents();
  // Copy what the window shows on screen.
  Canvas shot(489, 41);
  shot.CopyFrom(hdr.hwnd());
  EXPECT_EQ(shot.At(0, 0), 0x00FF0000u);
  EXPECT_EQ(shot.At(488, 0), 0x00FF0000u);
  EXPECT_EQ(shot.At(0, 40), 0x00FFF9F9u);
  EXPECT_EQ(shot.At(488, 40), 0x00FFF9F9u);
}

// ---- Caption text helpers
// -------------------------------------------------------------------------

TEST(CaptionText, DoMultiLiningAndRemoveCRLF) {
  struct Case {
    const char* in;
    const char* multi;
  } cases[] = {{"Two|Words", "Two\r\nWords"}, {"plain", "plain"}, {"", ""},
               {"end|", "end\r\n"},           {"|", "\r\n"},      {"a||b", "a\r\n\r\nb"},
               {"|x|", "\r\nx\r\n"}};
  for (const auto& c : cases) {
    EXPECT_EQ(InfoHeader::DoMultiLining(c.in), c.multi) << c.in;
    EXPECT_EQ(InfoHeader::RemoveCRLF(InfoHeader::DoMultiLining(c.in)), c.in) << c.in;
  }
  EXPECT_EQ(InfoHeader::RemoveCRLF("a\nb"), "ab");
  EXPECT_EQ(InfoHeader::RemoveCRLF("a\rb\n\r"), "a|b|");
  // Texts are counted in 16 bits.
  try {
    InfoHeader::RemoveCRLF(std::string(40000, 'x'));
    FAIL() << "no error";
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), tk::kOverflow);
  }
}

}  // namespace
