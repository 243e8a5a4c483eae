#include "controls/header/PictureSurface.h"

#include <algorithm>

#include "platform/toolkit/Font.h"
#include "platform/toolkit/Numeric.h"

namespace header {

PictureSurface::PictureSurface()
    : backColor_(GetSysColor(COLOR_BTNFACE)), dc_(CreateCompatibleDC(nullptr)) {}

PictureSurface::~PictureSurface() {
    // The image must leave the DC before either is deleted.
    if (stockBitmap_) SelectObject(dc_, stockBitmap_);
}

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
    if (widthPx == widthPx_ && heightPx == heightPx_ && (image_ || widthPx == 0 || heightPx == 0)) return;
    tk::Bitmap next;
    if (widthPx > 0 && heightPx > 0) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = widthPx;
        bi.bmiHeader.biHeight = -heightPx;  // top-down
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        next.Reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    }
    tk::MemoryDC nextDc(CreateCompatibleDC(nullptr));
    HGDIOBJ nextStock = next ? SelectObject(nextDc, next) : nullptr;
    if (next) {
        // A grown image keeps what was drawn; the new part shows the background colour.
        RECT all{0, 0, widthPx, heightPx};
        tk::Brush back(CreateSolidBrush(modGradient::TranslateColor(backColor_)));
        FillRect(nextDc, &all, back);
        if (image_) BitBlt(nextDc, 0, 0, std::min(widthPx, widthPx_), std::min(heightPx, heightPx_), dc_, 0, 0, SRCCOPY);
    }
    if (stockBitmap_) SelectObject(dc_, stockBitmap_);
    image_ = std::move(next);
    dc_ = std::move(nextDc);
    stockBitmap_ = nextStock;
    widthPx_ = widthPx;
    heightPx_ = heightPx;
}

void PictureSurface::Line(double x1, double y1, double x2, double y2, COLORREF color) {
    if (!image_) return;
    tk::Pen pen(CreatePen(PS_SOLID, 1, color & 0x00FFFFFF));
    tk::ScopedSelect use(dc_, pen);
    MoveToEx(dc_, ToPixelsX(x1), ToPixelsY(y1), nullptr);
    LineTo(dc_, ToPixelsX(x2), ToPixelsY(y2));
}

void PictureSurface::Cls() {
    if (!image_) return;
    RECT all{0, 0, widthPx_, heightPx_};
    tk::Brush back(CreateSolidBrush(modGradient::TranslateColor(backColor_)));
    FillRect(dc_, &all, back);
}

}  // namespace header
