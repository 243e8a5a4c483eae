#include "controls/header/PictureSurface.h"

#include <algorithm>

#include "platform/toolkit/Font.h"
#include "platform/toolkit/Numeric.h"

namespace header {

PictureSurface::PictureSurface() : backColor_(GetSysColor(COLOR_BTNFACE)) {}

double PictureSurface::Width() const { return widthPx_ * tk::TwipsPerPixelX(); }
double PictureSurface::Height() const { return heightPx_ * tk::TwipsPerPixelY(); }

double PictureSurface::ScaleWidth() const {
  return scaleMode_ == modGradient::kScalePixels ? widthPx_ : Width();
}
double PictureSurface::ScaleHeight() const {
  return scaleMode_ == modGradient::kScalePixels ? heightPx_ : Height();
}

int PictureSurface::ToPixelsX(double v) const {
  double px = scaleMode_ == modGradient::kScalePixels ? v : v / tk::TwipsPerPixelX();
  return static_cast<int>(tk::RoundHalfEven(px));
}
int PictureSurface::ToPixelsY(double v) const {
  double px = scaleMode_ == modGradient::kScalePixels ? v : v / tk::TwipsPerPixelY();
  return static_cast<int>(tk::RoundHalfEven(px));
}

void PictureSurface::Move(double left, double top, double width, double height) {
  left_ = left;
  top_ = top;
  Resize(tk::TwipsToPixelsX(width), tk::TwipsToPixelsY(height));
}

void PictureSurface::Resize(int widthPx, int heightPx) {
  widthPx = std::max(widthPx, 0);
  heightPx = std::max(heightPx, 0);
  if (widthPx == widthPx_ && heightPx == heightPx_ && (image_ || widthPx == 0 || heightPx == 0))
    return;
  tk::BitmapDC next = tk::BitmapDC::Dib32(widthPx, heightPx);
  if (next) {
    // A grown image keeps what was drawn; the new part shows the background colour.
    RECT all{0, 0, widthPx, heightPx};
    tk::Brush back(CreateSolidBrush(modGradient::TranslateColor(backColor_)));
    FillRect(next, &all, back);
    if (image_)
      BitBlt(next, 0, 0, std::min(widthPx, widthPx_), std::min(heightPx, heightPx_), image_, 0, 0,
             SRCCOPY);
  }
  image_ = std::move(next);
  widthPx_ = widthPx;
  heightPx_ = heightPx;
}

void PictureSurface::Line(double x1, double y1, double x2, double y2, COLORREF color) {
  if (!image_) return;
  tk::Pen pen(CreatePen(PS_SOLID, 1, color & 0x00FFFFFF));
  tk::ScopedSelect use(image_, pen);
  MoveToEx(image_, ToPixelsX(x1), ToPixelsY(y1), nullptr);
  LineTo(image_, ToPixelsX(x2), ToPixelsY(y2));
}

void PictureSurface::Cls() {
  if (!image_) return;
  RECT all{0, 0, widthPx_, heightPx_};
  tk::Brush back(CreateSolidBrush(modGradient::TranslateColor(backColor_)));
  FillRect(image_, &all, back);
}

}  // namespace header
