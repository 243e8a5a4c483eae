// picGrad: a picture box reduced to what the header needs. It keeps its drawing in a persistent
// memory image (a 32-bit DIB section, so that colours are exact whatever the screen), has a
// position and size in twips inside the control, a scale of pixels or twips, and the Line and
// Cls methods the gradient painter and the header use.
#pragma once
#include <windows.h>

#include "controls/header/modGradient.h"
#include "platform/toolkit/Handles.h"

namespace header {

class PictureSurface : public modGradient::GradientSurface {
 public:
  PictureSurface();
  PictureSurface(const PictureSurface&) = delete;
  PictureSurface& operator=(const PictureSurface&) = delete;

  // Position and outer size in twips (there is no border, so the inner size is the same).
  void Move(double left, double top, double width, double height);
  double Left() const { return left_; }
  double Top() const { return top_; }
  double Width() const;
  double Height() const;
  int WidthPx() const { return widthPx_; }
  int HeightPx() const { return heightPx_; }

  bool AutoRedraw() const { return autoRedraw_; }
  void AutoRedraw(bool on) override { autoRedraw_ = on; }
  int ScaleMode() const { return scaleMode_; }
  void ScaleMode(int mode) override { scaleMode_ = mode; }
  double ScaleWidth() const override;
  double ScaleHeight() const override;
  COLORREF BackColor() const { return backColor_; }
  void BackColor(COLORREF c) { backColor_ = c; }

  void Line(double x1, double y1, double x2, double y2, COLORREF color) override;
  // Clears the image to the background colour.
  void Cls();

  // The persistent image, for copying to the screen and for reading pixels back.
  HDC ImageDC() const { return image_.Get(); }

 private:
  void Resize(int widthPx, int heightPx);
  int ToPixelsX(double v) const;
  int ToPixelsY(double v) const;

  double left_ = 0, top_ = 0;
  int widthPx_ = 0, heightPx_ = 0;
  bool autoRedraw_ = false;
  int scaleMode_ = modGradient::kScaleTwips;
  COLORREF backColor_;
  tk::BitmapDC image_;
};

}  // namespace header
