#include "platform/toolkit/Font.h"

#include <cmath>

#include "platform/toolkit/Numeric.h"

namespace tk {

int ScreenDpiX() {
  WindowDC dc(nullptr);
  return GetDeviceCaps(dc, LOGPIXELSX);
}
int ScreenDpiY() {
  WindowDC dc(nullptr);
  return GetDeviceCaps(dc, LOGPIXELSY);
}
double TwipsPerPixelX() { return 1440.0 / ScreenDpiX(); }
double TwipsPerPixelY() { return 1440.0 / ScreenDpiY(); }
int TwipsToPixelsX(double twips) {
  return static_cast<int>(RoundHalfEven(twips / TwipsPerPixelX()));
}
int TwipsToPixelsY(double twips) {
  return static_cast<int>(RoundHalfEven(twips / TwipsPerPixelY()));
}

HFONT StdFont::Handle() {
  if (!handle_) {
    int height = -static_cast<int>(std::lround(size_ * ScreenDpiY() / 72.0));
    handle_.Reset(CreateFontA(height, 0, 0, 0, Weight(), FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, name_.c_str()));
  }
  return handle_.Get();
}

std::shared_ptr<Picture> Picture::FromBitmap(HBITMAP bmp) {
  auto p = std::make_shared<Picture>();
  BITMAP info{};
  if (bmp && GetObject(bmp, sizeof info, &info)) {
    p->width_ = info.bmWidth;
    p->height_ = info.bmHeight;
  }
  p->bitmap_.Reset(bmp);
  return p;
}

std::shared_ptr<Picture> Picture::FromIcon(HICON icon) {
  auto p = std::make_shared<Picture>();
  ICONINFO info{};
  if (icon && GetIconInfo(icon, &info)) {
    Bitmap color(info.hbmColor), mask(info.hbmMask);
    BITMAP bm{};
    if (GetObject(info.hbmMask, sizeof bm, &bm)) {
      p->width_ = bm.bmWidth;
      p->height_ = info.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
    }
  }
  p->icon_.Reset(icon);
  return p;
}

std::shared_ptr<Picture> Picture::LoadIconResource(int id, int sizePx) {
  auto icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, sizePx, sizePx, 0));
  return FromIcon(icon);
}

void Picture::Draw(HDC dc, int x, int y) const {
  if (icon_) {
    DrawIconEx(dc, x, y, icon_, width_, height_, 0, nullptr, DI_NORMAL);
  } else if (bitmap_) {
    MemoryDC mem(CreateCompatibleDC(dc));
    ScopedSelect sel(mem, bitmap_);
    BitBlt(dc, x, y, width_, height_, mem, 0, 0, SRCCOPY);
  }
}

}  // namespace tk
