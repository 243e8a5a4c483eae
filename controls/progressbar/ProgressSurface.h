// The progress bar's off-screen surface and the picture it holds. The bar paints into the
// surface and copies it onto its window at once; a Value that changes nothing visible only
// copies it again, which the picture's key tells.
#pragma once
#include <windows.h>

#include <string>
#include <utility>

#include "controls/progressbar/ProgressBarState.h"
#include "platform/toolkit/Handles.h"

namespace xpbar {

// Everything that decides the picture; equal keys paint identical surfaces.
struct PictureKey {
  long percent = 0, Scrolling = 0, Orientation = 0, BrushStyle = 0;
  COLORREF Color = 0;
  tk::Bool16 ShowText = 0;
  const void* image = nullptr;
  const void* font = nullptr;
  std::string fontName;
  double fontSize = 0;
  int fontWeight = 0;
  long clientWidth = 0, clientHeight = 0;
  HDC drawDC = nullptr;
  unsigned long surfaceGeneration = 0;
  COLORREF edgeColours[4] = {};  // the system colours DrawEdge paints with
  bool operator==(const PictureKey&) const = default;
};

class ProgressSurface {
 public:
  // The surface, grown to at least `width` x `height` (it never shrinks); null when there is
  // none and none can be made.
  HDC Ensure(long width, long height);
  void Destroy();

  HDC dc() const { return surface_.Get(); }
  long width() const { return width_; }
  long height() const { return height_; }

  // The key of the picture `state` would paint into a `client` rectangle.
  PictureKey KeyOf(const ProgressBarState& state, const RECT& client) const;
  // Whether the surface still holds the picture of `key`.
  bool Holds(const PictureKey& key) const { return known_ && key == last_; }
  void Painted(PictureKey key) {
    last_ = std::move(key);
    known_ = true;
  }
  // Someone else may have drawn on the surface.
  void Forget() const { known_ = false; }

 private:
  void Create(long width, long height);

  tk::BitmapDC surface_;
  long width_ = 0;
  long height_ = 0;
  unsigned long generation_ = 0;  // a new surface paints anew, whatever its handle's value
  PictureKey last_;
  mutable bool known_ = false;
};

}  // namespace xpbar
