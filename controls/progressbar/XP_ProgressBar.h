// XP_ProgressBar: a self-drawn progress bar hosted as a user control. It keeps its value as a
// whole percentage, paints one of ten looks into an off-screen surface and copies that onto its
// window at once, inside the setter, so that it advances while a blocking call runs on the
// user-interface thread.
#pragma once
#include <windows.h>

#include "controls/progressbar/ProgressBarState.h"
#include "controls/progressbar/ProgressSurface.h"
#include "platform/toolkit/UserControl.h"

using xpbar::ProgressLook;
using xpbar::ProgressOrientation;

class XP_ProgressBar : public tk::UserControl {
 public:
  XP_ProgressBar() = default;
  ~XP_ProgressBar() override;

  // ---- Properties (getter and setter overloads) ------------------------------------------
  void BrushStyle(long Style);  // write-only: the hatch of the Hatched look
  // Returns/sets the color of the ProgressBar
  COLORREF Color() const { return state_.Color; }
  void Color(COLORREF lColor);
  const tk::FontRef& Font() const { return state_.Font; }
  void Font(const tk::FontRef& fnt) { state_.Font = fnt; }
  HWND hwnd() const { return state_.hwnd; }
  void hwnd(HWND chWnd) { state_.hwnd = chWnd; }
  HDC hdc() const;
  void hdc(HDC cHdc);
  tk::PictureRef Image() const { return state_.Image; }
  void Image(const tk::PictureRef& handle);
  long Min() const { return state_.Min; }
  void Min(long cMin);
  long Max() const { return state_.Max; }
  void Max(long cMax);
  ProgressOrientation Orientation() const {
    return static_cast<ProgressOrientation>(state_.Orientation);
  }
  void Orientation(ProgressOrientation cOrientation);
  ProgressLook Scrolling() const { return static_cast<ProgressLook>(state_.Scrolling); }
  void Scrolling(ProgressLook lScrolling);
  bool ShowText() const { return state_.ShowText != tk::kFalse; }
  void ShowText(bool bShowText);
  long Value() const;
  void Value(long cValue);

  // ---- Methods ----------------------------------------------------------------------------
  // A full redraw: background, look, text, and the copy onto the window.
  void DrawProgressBar();
  // Copies the surface; a width or height of 0 or less means the whole surface.
  void pDraw(HDC hdc, long xSrc, long ySrc, long WidthSrc, long HeightSrc, long xDst, long yDst);
  void DrawLine(long X, long Y, long Width, long Height, HDC cHdc, COLORREF Color);
  void DrawGradient(COLORREF& lEndColor, COLORREF& lStartcolor, long X, long Y, long X2, long Y2,
                    HDC hdc, bool bH);

  // ---- Hosting events ---------------------------------------------------------------------
  void UserControl_Initialize() override;
  void UserControl_Paint() override;
  void UserControl_Resize() override;
  void UserControl_Terminate() override;
  void UserControl_ReadProperties(const tk::PropertyBag& bag) override;
  void UserControl_WriteProperties(tk::PropertyBag& bag) override;

  // ---- Inspection, for the host's tests and the benchmark ---------------------------------
  const xpbar::ProgressBarState& State() const { return state_; }
  long SurfaceWidth() const { return surface_.width(); }
  long SurfaceHeight() const { return surface_.height(); }
  HDC SurfaceDC() const { return surface_.dc(); }
  // How many times the picture has actually been painted (a Value set that changes nothing
  // visible only copies the surface again).
  unsigned long PaintCount() const { return paintCount_; }

 private:
  bool SurfaceShowsCurrentPicture();
  void CopyToHost();

  xpbar::ProgressBarState state_;
  xpbar::ProgressSurface surface_;
  unsigned long paintCount_ = 0;
};
