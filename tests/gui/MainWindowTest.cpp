// The main window hosted in this process and driven through its controls.
#include <gtest/gtest.h>

#include <memory>

#include "app/Form1.h"
#include "gui/Fixtures.h"
#include "platform/toolkit/App.h"
#include "platform/toolkit/Font.h"
#include "platform/toolkit/Seam.h"
#include "resources/resource.h"

namespace {

using guitest::RecordingSeam;

class MainWindow : public testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<Form1>();
    ASSERT_TRUE(form->Load());
  }
  void TearDown() override {
    if (form->Loaded()) form->Unload();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  RECT InClient(HWND child) const {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, form->hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  std::unique_ptr<Form1> form;
};

TEST_F(MainWindow, ClientAreaAndControlsStandWhereTheTwipsTablePutsThem) {
  // At the screen's resolution: this test runs at 96 dpi, and again at 144 and 192 (DpiTest.cpp).
  const int dpi = tk::ScreenDpiX();
  const double pxPerTwip = dpi / 1440.0;
  const struct {
    int dpi, width, height;
  } kClient[] = {{96, 486, 381}, {120, 608, 476}, {144, 729, 572}, {192, 972, 762}};
  RECT client = form->ClientPx();
  bool known = false;
  for (const auto& c : kClient) {
    if (c.dpi != dpi) continue;
    known = true;
    EXPECT_EQ(client.right, c.width);
    EXPECT_EQ(client.bottom, c.height);
  }
  EXPECT_TRUE(known) << dpi << " dpi";
  const struct {
    const char* name;
    HWND hwnd;
    double left, top, width, height;
  } table[] = {
      {"Command1", form->Command1.hwnd(), 6360, 1080, 375, 285},
      {"cmdOpen", form->cmdOpen.hwnd(), 6840, 1680, 375, 285},
      {"cmdOpenDir", form->cmdOpenDir.hwnd(), 5785, 4770, 1335, 350},
      {"cmdAbout", form->cmdAbout.hwnd(), 120, 5280, 1215, 350},
      {"cmdHelp", form->cmdHelp.hwnd(), 1567, 5280, 1215, 350},
      {"Command2", form->Command2.hwnd(), 3014, 5280, 1215, 350},
      {"cmdZip", form->cmdZip.hwnd(), 4461, 5280, 1215, 350},
      {"cmdClose", form->cmdClose.hwnd(), 5910, 5280, 1215, 350},
      {"txtPath", form->txtPath.hwnd(), 120, 1080, 6135, 285},
      {"List1", form->List1.hwnd(), 120, 1680, 6645, 2985},
      {"imgNot", form->imgNot.hwnd(), 6870, 1080, 315, 315},
      {"imgTop", form->imgTop.hwnd(), 6870, 1065, 315, 315},
      {"Label1", form->Label1.hwnd(), 120, 4800, 5655, 495},
      {"XP_ProgressBarBlue", form->XP_ProgressBarBlue.hwnd(), 120, 4825, 5535, 240},
      {"InfoHeader1", form->InfoHeader1.hwnd(), 0, 0, 7335, 615},
      {"cmdDummy", form->cmdDummy.hwnd(), 1920, 6480, 495, 255},
  };
  for (const auto& c : table) {
    RECT r = InClient(c.hwnd);
    EXPECT_NEAR(r.left, c.left * pxPerTwip, 1) << c.name;
    EXPECT_NEAR(r.top, c.top * pxPerTwip, 1) << c.name;
    EXPECT_NEAR(r.right - r.left, c.width * pxPerTwip, 1) << c.name;
    EXPECT_NEAR(r.bottom - r.top, c.height * pxPerTwip, 1) << c.name;
  }
  // The auto-sized hints start at their design corner.
  EXPECT_NEAR(InClient(form->Label3.hwnd()).left, 120 * pxPerTwip, 1);
  EXPECT_NEAR(InClient(form->Label3.hwnd()).top, 840 * pxPerTwip, 1);
  EXPECT_NEAR(InClient(form->Label4.hwnd()).top, 1440 * pxPerTwip, 1);
  // The focus holder lies below the visible client area.
  EXPECT_GE(InClient(form->cmdDummy.hwnd()).top, client.bottom);
}

TEST_F(MainWindow, StartsWithTheCaptionsAndStatesOfItsDesign) {
  EXPECT_EQ(form->Caption(), "Parcelo");
  LONG style = GetWindowLongA(form->hwnd(), GWL_STYLE);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the size cannot be changed";
  EXPECT_EQ(form->Command1.Caption(), "....");
  EXPECT_EQ(form->Command1.ToolTipText(), "Select Zip file");
  EXPECT_EQ(form->cmdOpen.ToolTipText(), "Add files to zip");
  EXPECT_EQ(form->imgNot.ToolTipText(), "Don't Stay On Top");
  EXPECT_EQ(form->imgTop.ToolTipText(), "Stay On Top of other Windows");
  EXPECT_EQ(form->cmdOpenDir.Caption(), "&Open Directory");
  EXPECT_EQ(form->cmdAbout.Caption(), "&About");
  EXPECT_EQ(form->cmdHelp.Caption(), "&Help");
  EXPECT_EQ(form->Command2.Caption(), "&Unzip");
  EXPECT_EQ(form->cmdZip.Caption(), "&Zip");
  EXPECT_EQ(form->cmdClose.Caption(), "&Close");
  EXPECT_EQ(form->cmdDummy.Caption(), "Command3");
  EXPECT_EQ(form->Label3.Caption(), "Browse for or Drag a Zip file here to extract");
  EXPECT_EQ(form->Label4.Caption(), "Browse for or Drag files here to create a Zip file");
  EXPECT_EQ(form->Label1.Caption(), "Select a file to Unzip or files to add to a Zip");
  EXPECT_EQ(form->lblPath.Caption(), "Label2");
  EXPECT_EQ(form->txtPath.Text(), "");
  EXPECT_EQ(form->List1.ListCount(), 0);
  EXPECT_FALSE(form->cmdOpenDir.Enabled());
  EXPECT_TRUE(form->imgNot.Visible());
  EXPECT_FALSE(form->imgTop.Visible());
  EXPECT_TRUE(form->Label1.Visible());
  EXPECT_FALSE(form->XP_ProgressBarBlue.Visible());
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_EQ(form->Timer1.Interval(), 2000u);
  EXPECT_EQ(form->XP_ProgressBarBlue.Color(), 0x00FF0000);
  EXPECT_EQ(GetFocus(), form->cmdDummy.hwnd());
  EXPECT_EQ(form->zipFileCount, 0);
  for (const auto& slot : form->zipNames) EXPECT_TRUE(slot.empty());
}

TEST_F(MainWindow, TabOrderFollowsTheTabIndexes) {
  const HWND expected[] = {form->cmdDummy.hwnd(), form->Command1.hwnd(),   form->cmdOpen.hwnd(),
                           form->Command2.hwnd(), form->cmdZip.hwnd(),     form->cmdHelp.hwnd(),
                           form->cmdAbout.hwnd(), form->cmdOpenDir.hwnd(), form->cmdClose.hwnd(),
                           form->txtPath.hwnd(),  form->List1.hwnd()};
  std::vector<HWND> stops;
  for (HWND h = GetWindow(form->hwnd(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (GetWindowLongA(h, GWL_STYLE) & WS_TABSTOP) stops.push_back(h);
  EXPECT_EQ(stops, std::vector<HWND>(std::begin(expected), std::end(expected)));
}

TEST_F(MainWindow, StayOnTopPicturesSwitchTheTopmostBand) {
  auto topmost = [&] { return (GetWindowLongA(form->hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  EXPECT_FALSE(topmost());
  SendMessageA(form->hwnd(), WM_COMMAND, MAKEWPARAM(Form1::idImgNot, STN_CLICKED),
               reinterpret_cast<LPARAM>(form->imgNot.hwnd()));
  EXPECT_TRUE(topmost());
  EXPECT_FALSE(form->imgNot.Visible());
  EXPECT_TRUE(form->imgTop.Visible());
  SendMessageA(form->hwnd(), WM_COMMAND, MAKEWPARAM(Form1::idImgTop, STN_CLICKED),
               reinterpret_cast<LPARAM>(form->imgTop.hwnd()));
  EXPECT_FALSE(topmost());
  EXPECT_TRUE(form->imgNot.Visible());
  EXPECT_FALSE(form->imgTop.Visible());
}

TEST_F(MainWindow, PointerOverThePicturesIsTheHandWithItsFingertipHotSpot) {
  EXPECT_EQ(form->imgNot.Cursor(), nullptr);
  SendMessageA(form->imgNot.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  HCURSOR hand = form->imgNot.Cursor();
  ASSERT_NE(hand, nullptr);
  EXPECT_EQ(hand, LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HAND_POINTER)));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(hand, &info));
  tk::Bitmap mask(info.hbmMask), colour(info.hbmColor);
  EXPECT_EQ(info.xHotspot, 6u);
  EXPECT_EQ(info.yHotspot, 0u);
  BITMAP maskInfo{};
  GetObject(mask, sizeof maskInfo, &maskInfo);
  EXPECT_EQ(maskInfo.bmWidth, 32);
  EXPECT_EQ(info.hbmColor, nullptr) << "monochrome";
  SendMessageA(form->imgTop.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(form->imgTop.Cursor(), hand);
}

TEST_F(MainWindow, HelpButtonAndF1OpenTheHelpFileBesideTheProgram) {
  RecordingSeam seam;
  tk::SeamOverride install(seam);
  form->cmdHelp.Click();
  form->List1.SetFocus();
  MSG key{form->List1.hwnd(), WM_KEYDOWN, VK_F1, 0, 0, {}};
  tk::RouteMessage(key);
  MSG other{form->List1.hwnd(), WM_KEYDOWN, VK_F2, 0, 0, {}};
  tk::RouteMessage(other);
  ASSERT_EQ(seam.shellCalls.size(), 2u);
  for (const auto& s : seam.shellCalls) {
    EXPECT_EQ(s.owner, form->hwnd());
    EXPECT_EQ(s.verb, "open");
    EXPECT_EQ(s.file, tk::App::Path() + "\\Parcelo.chm");
    EXPECT_EQ(s.parameters, "");
    EXPECT_EQ(s.directory, "");
    EXPECT_EQ(s.show, 1);
  }
}

TEST_F(MainWindow, TimerRestoresTheIdleLookAfterTwoSeconds) {
  form->Label1.Visible(false);
  form->XP_ProgressBarBlue.Visible(true);
  form->Label1.Caption("result");
  form->Timer1.Enabled(true);
  DWORD start = GetTickCount();
  ASSERT_TRUE(guitest::PumpUntil([&] { return form->Label1.Visible(); }, 8000));
  EXPECT_GE(GetTickCount() - start, 1900u) << "not before the interval";
  EXPECT_FALSE(form->XP_ProgressBarBlue.Visible());
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_EQ(form->Label1.Caption(), "result");
}

TEST_F(MainWindow, ClosingUnloadsEveryWindow) {
  form->cmdAbout.Click();
  ASSERT_EQ(tk::Form::Forms().size(), 2u) << "the About window is open";
  form->cmdClose.Click();
  EXPECT_FALSE(form->Loaded());
  EXPECT_TRUE(tk::Form::Forms().empty());
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program ends";
}

}  // namespace
