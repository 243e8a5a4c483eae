#include "controls/progressbar/ProgressSurface.h"

#include <utility>

namespace xpbar {

HDC ProgressSurface::Ensure(long width, long height) {
  if (!surface_) {
    if (width > 0 && height > 0) Create(width, height);
  } else if (width > width_ || height > height_) {
    Create(width, height);
  }
  return surface_.Get();
}

void ProgressSurface::Create(long width, long height) {
  Destroy();
  tk::MemoryDC display(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
  if (!display) return;
  surface_ = tk::BitmapDC::Compatible(display, width, height);
  if (surface_) {
    width_ = width;
    height_ = height;
  }
}

void ProgressSurface::Destroy() {
  ++generation_;
  known_ = false;
  surface_.Reset();
  width_ = 0;
  height_ = 0;
}

PictureKey ProgressSurface::KeyOf(const ProgressBarState& state, const RECT& client) const {
  PictureKey k;
  k.percent = state.percent;
  k.Scrolling = state.Scrolling;
  k.Orientation = state.Orientation;
  k.BrushStyle = state.BrushStyle;
  k.Color = state.Color;
  k.ShowText = state.ShowText;
  k.image = state.Image.get();
  k.font = state.Font.get();
  if (state.Font) {
    k.fontName = state.Font->Name();
    k.fontSize = state.Font->Size();
    k.fontWeight = state.Font->Weight();
  }
  k.clientWidth = client.right - client.left;
  k.clientHeight = client.bottom - client.top;
  k.drawDC = state.drawDC;
  k.surfaceGeneration = generation_;
  if (state.Scrolling == Etched || state.Scrolling == Hatched || state.Scrolling == Patterned) {
    k.edgeColours[0] = GetSysColor(COLOR_3DLIGHT);
    k.edgeColours[1] = GetSysColor(COLOR_3DHIGHLIGHT);
    k.edgeColours[2] = GetSysColor(COLOR_3DSHADOW);
    k.edgeColours[3] = GetSysColor(COLOR_3DDKSHADOW);
  }
  return k;
}

}  // namespace xpbar
