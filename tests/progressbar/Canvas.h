// A 32-bit memory DC whose pixels the tests read straight from its bits, and a bar state set up
// to paint into it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/progressbar/ProgressBarPaint.h"
#include "controls/progressbar/ProgressBarState.h"
#include "platform/toolkit/Handles.h"

namespace pbtest {

class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<uint32_t*>(bits);
        dc_.Reset(CreateCompatibleDC(nullptr));
        old_ = SelectObject(dc_, bitmap_);
        Fill(0x00FF00FF);  // a colour no look uses, so that untouched pixels show
    }
    ~Canvas() { SelectObject(dc_, old_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_.Get(); }
    HBITMAP bitmap() const { return bitmap_.Get(); }
    int width() const { return width_; }
    int height() const { return height_; }

    // The pixel as a COLORREF (0x00BBGGRR).
    COLORREF At(int x, int y) const {
        GdiFlush();
        uint32_t v = bits_[y * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    void Fill(COLORREF c) {
        GdiFlush();
        uint32_t v = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        std::fill(bits_, bits_ + width_ * height_, v);
    }
    std::vector<uint32_t> Pixels() const {
        GdiFlush();
        return std::vector<uint32_t>(bits_, bits_ + width_ * height_);
    }

private:
    int width_, height_;
    tk::Bitmap bitmap_;
    tk::MemoryDC dc_;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// A bar of the given size and look, drawing into the canvas.
inline xpbar::ProgressBarState BarState(const Canvas& canvas, long look, long percent, long orientation = 0,
                                        COLORREF colour = 0xFF0000) {
    xpbar::ProgressBarState s;
    s.drawDC = canvas.dc();
    s.Color = colour;
    s.Scrolling = look;
    s.Orientation = orientation;
    s.percent = percent;
    s.Font = std::make_shared<tk::StdFont>();
    return s;
}

// The paint cycle without the window: limit, client area, picture.
inline void Paint(xpbar::ProgressBarState& s, const Canvas& canvas) {
    xpbar::LimitPercent(s);
    s.clientRect = {0, 0, canvas.width(), canvas.height()};
    xpbar::PaintPicture(s);
}

}  // namespace pbtest
