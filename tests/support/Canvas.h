// A 32-bit memory image that tests draw into (or copy a window into) and read back pixel by
// pixel from its bits, exact whatever the screen's colour depth.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/toolkit/Handles.h"

namespace testsupport {

class Canvas {
 public:
  // Filled with a colour nothing under test paints, so that untouched pixels show.
  static constexpr COLORREF kUntouched = 0x00FF00FF;

  Canvas(int width, int height)
      : width_(width), height_(height), surface_(tk::BitmapDC::Dib32(width, height)) {
    Fill(kUntouched);
  }

  HDC dc() const { return surface_.Get(); }
  HBITMAP bitmap() const { return surface_.BitmapHandle(); }
  int width() const { return width_; }
  int height() const { return height_; }

  // The pixel as a COLORREF (0x00BBGGRR).
  COLORREF At(int x, int y) const {
    GdiFlush();
    uint32_t v = Bits()[y * width_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  void Fill(COLORREF c) {
    GdiFlush();
    std::fill(Bits(), Bits() + width_ * height_, ToPixel(c));
  }
  std::vector<uint32_t> Pixels() const {
    GdiFlush();
    return std::vector<uint32_t>(Bits(), Bits() + width_ * height_);
  }
  // What a window shows now, copied from its client area's top left corner.
  void CopyFrom(HWND hwnd) {
    tk::WindowDC screen(hwnd);
    BitBlt(dc(), 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
  }

  static uint32_t ToPixel(COLORREF c) {
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  }

 private:
  uint32_t* Bits() const { return static_cast<uint32_t*>(surface_.Bits()); }

  int width_, height_;
  tk::BitmapDC surface_;
};

// A free-standing 32-bit bitmap whose pixel (x, y) is colour(x, y), a COLORREF; the caller owns it.
template <class Colour>
HBITMAP PatternBitmap(int width, int height, Colour colour) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return nullptr;
  auto* p = static_cast<uint32_t*>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) p[y * width + x] = Canvas::ToPixel(colour(x, y));
  return bmp;
}

}  // namespace testsupport
