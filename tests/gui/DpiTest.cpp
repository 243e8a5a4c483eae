// The main window at the screen's resolution: the program declares itself aware of the system's
// DPI, draws its own parts over their whole scaled places, and shows every picture from an
// image of exactly the size it is shown at. These run at 96 dpi with the other tests, and again
// at 144 and 192 dpi in a Wine prefix of their own (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "about/frmAbout.h"
#include "app/Form1.h"
#include "platform/toolkit/Dpi.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/PasswordBox.h"
#include "gui/Watcher.h"
#include "resources/resource.h"
#include "support/Canvas.h"
#include "support/GdiCount.h"

namespace {

// The resolution the run was started for (PARCELO_TEST_DPI), 96 for the ordinary run.
int AskedDpi() {
  const char* dpi = std::getenv("PARCELO_TEST_DPI");
  return dpi ? std::atoi(dpi) : 96;
}

// The width of the image an icon resource of this program gives for a size, as LoadImage picks
// it: equal to the size when the resource holds that size, else the nearest one, stretched.
int ImageWidthFor(int id, int sizePx) {
  HRSRC group = FindResourceA(nullptr, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
  auto* directory =
      group ? static_cast<BYTE*>(LockResource(LoadResource(nullptr, group))) : nullptr;
  if (!directory) return 0;
  int imageId = LookupIconIdFromDirectoryEx(directory, TRUE, sizePx, sizePx, LR_DEFAULTCOLOR);
  HRSRC image = FindResourceA(nullptr, MAKEINTRESOURCEA(imageId), RT_ICON);
  auto* header =
      image ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, image)))
            : nullptr;
  return header ? header->biWidth : 0;
}

// The width of a window's big or small icon.
int WindowIconWidth(HWND hwnd, WPARAM which) {
  auto icon = reinterpret_cast<HICON>(SendMessageA(hwnd, WM_GETICON, which, 0));
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return 0;
  tk::Bitmap mask(info.hbmMask), colour(info.hbmColor);
  BITMAP bm{};
  return GetObject(mask, sizeof bm, &bm) ? bm.bmWidth : 0;
}

TEST(Dpi, TheScreenHasTheResolutionTheRunAskedFor) {
  EXPECT_EQ(tk::ScreenDpiX(), AskedDpi());
  EXPECT_EQ(tk::ScreenDpiY(), AskedDpi());
}

TEST(Dpi, TheProgramDeclaresItselfAwareOfTheSystemDpi) {
  // This test program carries Parcelo's manifest, as its resources.
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_TRUE(found);
  std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                       SizeofResource(nullptr, found));
  EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
  EXPECT_NE(manifest.find(">system</dpiAwareness>"), std::string::npos);
  // Wine treats every program as aware of each monitor's DPI, whatever its manifest says.
  HMODULE user32 = GetModuleHandleA("user32.dll");
  auto context = reinterpret_cast<HANDLE(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
  auto awareness = reinterpret_cast<int(WINAPI*)(HANDLE)>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
  if (context && awareness && !testsupport::RunningUnderWine()) {
    EXPECT_EQ(awareness(context()), 1);  // DPI_AWARENESS_SYSTEM_AWARE
  }
}

// Every icon holds an image of each size it is shown at from 100 % to 200 % scaling.
TEST(Dpi, EveryIconHasAnImageOfEachSizeItIsShownAt) {
  const std::vector<int> kWindowIcon = {16, 20, 24, 32,
                                        40, 48, 64};  // small and large, 96 to 192 dpi
  const struct {
    const char* name;
    int id;
    std::vector<int> sizes;
  } kIcons[] = {
      {"window", IDI_APP, kWindowIcon},
      {"About window and its globe", IDI_ABOUT_ICON, kWindowIcon},
      {"header banner", IDI_HEADER, {32, 40, 48, 64}},
      {"header's own icon", IDI_HEADER_DEFAULT, {16, 20, 24, 32}},
      {"pin lying down", IDI_NOT_ON_TOP, {21, 26, 32, 42}},  // 315 twips
      {"pin pressed in", IDI_ON_TOP, {21, 26, 32, 42}},
  };
  for (const auto& icon : kIcons)
    for (int size : icon.sizes)
      EXPECT_EQ(ImageWidthFor(icon.id, size), size) << icon.name << " at " << size;
}

class DpiWindow : public testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<Form1>();
    ASSERT_TRUE(form->Load());
    tk::DoEvents();
  }
  void TearDown() override {
    if (form->Loaded()) form->Unload();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  std::unique_ptr<Form1> form;
};

TEST_F(DpiWindow, PicturesFillTheirScaledPlacesFromImagesOfTheirOwnSize) {
  const int pin = tk::TwipsToPixelsX(315);
  const struct {
    const char* name;
    tk::PictureRef picture;
    int id, sizePx;
  } kPictures[] = {
      {"imgNot", form->imgNot.Picture(), IDI_NOT_ON_TOP, pin},
      {"imgTop", form->imgTop.Picture(), IDI_ON_TOP, pin},
      {"InfoHeader1", form->InfoHeader1.Picture(), IDI_HEADER, tk::ScaledPx(32)},
  };
  for (const auto& p : kPictures) {
    ASSERT_TRUE(p.picture) << p.name;
    EXPECT_EQ(p.picture->WidthPx(), p.sizePx) << p.name;
    EXPECT_EQ(ImageWidthFor(p.id, p.sizePx), p.sizePx) << p.name << ": stretched from another size";
  }
  EXPECT_EQ(WindowIconWidth(form->hwnd(), ICON_BIG), GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(WindowIconWidth(form->hwnd(), ICON_SMALL), GetSystemMetrics(SM_CXSMICON));
}

TEST_F(DpiWindow, HeaderAndBarPaintTheirWholeScaledPlaces) {
  // Each drawn into a canvas of its own, as it draws itself onto the window.
  RECT header = form->InfoHeader1.ClientPx();
  testsupport::Canvas top(header.right, header.bottom);
  form->InfoHeader1.Render(top.dc());
  const int right = header.right - 1, bottom = header.bottom - 1;
  // The stored gradient runs in rows from blue at the top to almost white at the bottom.
  EXPECT_EQ(top.At(0, 0), 0x00FF0000u);
  EXPECT_EQ(top.At(right, 0), 0x00FF0000u);
  const COLORREF last = top.At(0, bottom);
  EXPECT_EQ(top.At(right, bottom), last);
  EXPECT_EQ(GetBValue(last), 0xFF);
  EXPECT_GE(GetRValue(last), 0xF0);
  EXPECT_GE(GetGValue(last), 0xF0);

  form->XP_ProgressBarBlue.Visible(true);
  form->XP_ProgressBarBlue.Value(50);
  RECT bar = form->XP_ProgressBarBlue.ClientPx();
  testsupport::Canvas strip(bar.right, bar.bottom);
  form->XP_ProgressBarBlue.pDraw(strip.dc(), 0, 0, 0, 0, 0, 0);
  // Filled to the middle: the (shaded) blue blocks end there, within a block, as wide as the bar is
  // high.
  int lastBlue = -1;
  for (int x = 0; x < bar.right; ++x) {
    COLORREF c = strip.At(x, bar.bottom / 2);
    if (GetBValue(c) > GetRValue(c) + 0x40) lastBlue = x;
  }
  EXPECT_NEAR(lastBlue, bar.right / 2, bar.bottom) << bar.right << " x " << bar.bottom;
}

TEST_F(DpiWindow, PasswordWindowIsLaidOutInTwips) {
  tk::SecretText answer(16);
  guitest::DialogWatcher watcher(nullptr, [](const std::string&) { return std::nullopt; });
  tk::PasswordBox("text", "Parcelo", form->hwnd(), answer);
  auto seen = watcher.PasswordWindows();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].clientPx.right, tk::TwipsToPixelsX(tk::kPasswordClientWidthTwips));
  EXPECT_EQ(seen[0].clientPx.bottom, tk::TwipsToPixelsY(tk::kPasswordClientHeightTwips));
}

TEST_F(DpiWindow, AboutWindowShowsPicturesDrawnForThisResolution) {
  frmAbout& about = ShowAbout();
  const struct {
    int dpi, width, height;
  } kBanner[] = {{96, 67, 143}, {120, 84, 179}, {144, 100, 214}, {192, 134, 286}};
  bool known = false;
  for (const auto& b : kBanner) {
    if (b.dpi != tk::ScreenDpiX()) continue;
    known = true;
    ASSERT_TRUE(about.picIcon.Picture());
    EXPECT_EQ(about.picIcon.Picture()->WidthPx(), b.width);
    EXPECT_EQ(about.picIcon.Picture()->HeightPx(), b.height);
    RECT inside = about.picIcon.ClientPx();
    EXPECT_GE(inside.right, b.width) << "the picture fits its box";
    EXPECT_GE(inside.bottom, b.height);
  }
  EXPECT_TRUE(known) << tk::ScreenDpiX() << " dpi";
  ASSERT_TRUE(about.Image1.Picture());
  EXPECT_EQ(about.Image1.Picture()->WidthPx(), tk::TwipsToPixelsX(480));
  EXPECT_EQ(ImageWidthFor(IDI_ABOUT_ICON, tk::TwipsToPixelsX(480)), tk::TwipsToPixelsX(480));
  EXPECT_EQ(WindowIconWidth(about.hwnd(), ICON_BIG), GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(WindowIconWidth(about.hwnd(), ICON_SMALL), GetSystemMetrics(SM_CXSMICON));
  about.Unload();
}

}  // namespace
