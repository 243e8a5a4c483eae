// The off-screen surface owner: what it holds, that it lets go of all three handles in an order
// that works, and that moving it hands them over whole.
#include <gtest/gtest.h>

#include <vector>

#include "platform/toolkit/Handles.h"
#include "support/GdiCount.h"

namespace {

// False once GDI has really deleted the object.
bool Alive(HGDIOBJ h) { return GetObjectType(h) != 0; }

struct Made {
  const char* name;
  tk::BitmapDC (*make)(int width, int height);
  bool hasBits;
};
const Made kKinds[] = {
    {"Dib32", [](int w, int h) { return tk::BitmapDC::Dib32(w, h); }, true},
    {"Compatible with the screen",
     [](int w, int h) { return tk::BitmapDC::Compatible(nullptr, w, h); }, false},
};

TEST(BitmapDC, HoldsItsBitmapSelectedAndDrawable) {
  for (const auto& k : kKinds) {
    tk::BitmapDC s = k.make(20, 10);
    ASSERT_TRUE(s) << k.name;
    EXPECT_EQ(GetCurrentObject(s, OBJ_BITMAP), s.BitmapHandle()) << k.name;
    BITMAP info{};
    ASSERT_TRUE(GetObject(s.BitmapHandle(), sizeof info, &info)) << k.name;
    EXPECT_EQ(info.bmWidth, 20) << k.name;
    EXPECT_EQ(info.bmHeight, 10) << k.name;
    tk::WindowDC screen(nullptr);
    // Like the screen, never the one-bit bitmap a bare memory DC would give.
    EXPECT_EQ(info.bmBitsPixel, k.hasBits ? 32 : GetDeviceCaps(screen, BITSPIXEL)) << k.name;
    EXPECT_EQ(s.Bits() != nullptr, k.hasBits) << k.name;
    SetPixel(s, 3, 4, RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(s, 3, 4), RGB(10, 20, 30)) << k.name;
  }
  tk::BitmapDC dib = tk::BitmapDC::Dib32(4, 2);
  RECT r{0, 0, 4, 2};
  tk::Brush red(CreateSolidBrush(RGB(255, 0, 0)));
  FillRect(dib, &r, red);
  GdiFlush();
  EXPECT_EQ(static_cast<const uint32_t*>(dib.Bits())[7], 0x00FF0000u) << "0x00RRGGBB, top-down";
}

TEST(BitmapDC, EmptyWhenASizeIsNotPositive) {
  const int sizes[][2] = {{0, 5}, {5, 0}, {-1, 5}, {0, 0}};
  for (const auto& k : kKinds)
    for (const auto& sz : sizes) {
      tk::BitmapDC s = k.make(sz[0], sz[1]);
      EXPECT_FALSE(s) << k.name << " " << sz[0] << " x " << sz[1];
      EXPECT_EQ(s.Get(), nullptr);
      EXPECT_EQ(s.Bits(), nullptr);
    }
}

TEST(BitmapDC, DeletesTheBitmapAndTheDcWhenItGoes) {
  for (const auto& k : kKinds) {
    HDC dc;
    HBITMAP bitmap;
    {
      tk::BitmapDC s = k.make(8, 8);
      dc = s;
      bitmap = s.BitmapHandle();
      ASSERT_TRUE(Alive(dc) && Alive(bitmap)) << k.name;
    }
    EXPECT_FALSE(Alive(bitmap)) << k.name;
    EXPECT_FALSE(Alive(dc)) << k.name;
  }
}

TEST(BitmapDC, TakingOverAFailedPairLetsGoOfWhatItWasGiven) {
  HDC dc = CreateCompatibleDC(nullptr);
  tk::BitmapDC noBitmap{tk::MemoryDC(dc), tk::Bitmap()};
  EXPECT_FALSE(noBitmap);
  EXPECT_FALSE(Alive(dc));
  HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
  tk::BitmapDC noDc{tk::MemoryDC(), tk::Bitmap(bitmap)};
  EXPECT_FALSE(noDc);
  EXPECT_FALSE(Alive(bitmap));
}

TEST(BitmapDC, MovingHandsOverAllThreeAndAssignmentReleasesTheOldOnes) {
  tk::BitmapDC a = tk::BitmapDC::Dib32(6, 6);
  HDC dc = a;
  HBITMAP bitmap = a.BitmapHandle();
  void* bits = a.Bits();
  tk::BitmapDC b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(a.BitmapHandle(), nullptr);
  EXPECT_EQ(a.Bits(), nullptr);
  EXPECT_EQ(b.Get(), dc);
  EXPECT_EQ(b.BitmapHandle(), bitmap);
  EXPECT_EQ(b.Bits(), bits);
  a.Reset();  // a moved-from surface must not touch what it gave away
  EXPECT_EQ(GetCurrentObject(b, OBJ_BITMAP), bitmap);

  tk::BitmapDC c = tk::BitmapDC::Dib32(3, 3);
  HDC oldDc = c;
  HBITMAP oldBitmap = c.BitmapHandle();
  c = std::move(b);
  EXPECT_FALSE(Alive(oldBitmap));
  EXPECT_FALSE(Alive(oldDc));
  EXPECT_EQ(c.Get(), dc);
  EXPECT_EQ(GetCurrentObject(c, OBJ_BITMAP), bitmap);
  c = std::move(c);  // self-assignment keeps it
  EXPECT_EQ(c.Get(), dc);
  c.Reset();
  EXPECT_FALSE(Alive(bitmap));
  EXPECT_FALSE(Alive(dc));
}

TEST(BitmapDC, ManySurfacesLeaveNoGdiObjectsBehind) {
  for (int i = 0; i < 3; ++i) tk::BitmapDC::Dib32(10, 10);  // caches settle first
  long before = testsupport::GdiObjectCount();
  for (int i = 0; i < 200; ++i) {
    tk::BitmapDC s =
        i % 2 ? tk::BitmapDC::Dib32(10 + i, 5) : tk::BitmapDC::Compatible(nullptr, 10 + i, 5);
    tk::BitmapDC moved = std::move(s);
    ASSERT_TRUE(moved);
  }
  EXPECT_EQ(testsupport::GdiObjectCount(), before);
}

TEST(File, AFailedOpenIsEmptyAndNeverClosed) {
  tk::File missing(CreateFileA("Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(missing);
  EXPECT_EQ(missing.Get(), INVALID_HANDLE_VALUE);
}

}  // namespace
