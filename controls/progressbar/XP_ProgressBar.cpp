#include "controls/progressbar/XP_ProgressBar.h"

#include "controls/progressbar/ProgressBarDrawing.h"
#include "controls/progressbar/ProgressBarGeometry.h"
#include "controls/progressbar/ProgressBarPaint.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Numeric.h"

using namespace xpbar;

namespace {
constexpr COLORREF kHighlight = 0x8000000D;  // system colour 13, COLOR_HIGHLIGHT
constexpr int32_t kDefaultBrushStyle = 4;
}  // namespace

XP_ProgressBar::~XP_ProgressBar() {
  surface_.Destroy();
  // Destroy the window while this object is still whole: its destruction message reaches the
  // control's own handlers, which a base-class destructor could no longer call.
  handle_.Reset();
}

// ---- Properties ---------------------------------------------------------------------------------

void XP_ProgressBar::BrushStyle(long Style) {
  state_.BrushStyle = Style;
  PropertyChanged("BrushStyle");
}

void XP_ProgressBar::Color(COLORREF lColor) {
  state_.Color = ResolveSysColor(lColor);
  DrawProgressBar();
}

HDC XP_ProgressBar::hdc() const {
  surface_.Forget();  // the caller may draw on it
  return state_.drawDC;
}

void XP_ProgressBar::hdc(HDC /*cHdc*/) {
  long width = tk::CLng(ScaleWidth()), height = tk::CLng(ScaleHeight());
  if (HDC dc = surface_.Ensure(width, height)) {
    state_.drawDC = dc;
    state_.offscreen = tk::kTrue;
  } else {
    state_.drawDC = HostDC();
  }
}

void XP_ProgressBar::Image(const tk::PictureRef& handle) {
  state_.Image = handle;
  PropertyChanged("Image");
  DrawProgressBar();
}

void XP_ProgressBar::Min(long cMin) {
  state_.Min = cMin;
  PropertyChanged("Min");
}

void XP_ProgressBar::Max(long cMax) {
  state_.Max = cMax;
  PropertyChanged("Max");
}

void XP_ProgressBar::Orientation(ProgressOrientation cOrientation) {
  state_.Orientation = cOrientation;
  PropertyChanged("Orientation");
  DrawProgressBar();
}

void XP_ProgressBar::Scrolling(ProgressLook lScrolling) {
  state_.Scrolling = lScrolling;
  PropertyChanged("Scrolling");
  DrawProgressBar();
}

void XP_ProgressBar::ShowText(bool bShowText) {
  state_.ShowText = tk::ToBool16(bShowText);
  PropertyChanged("ShowText");
  DrawProgressBar();
}

long XP_ProgressBar::Value() const {
  return ValueFromPercent(state_.percent, state_.Max, state_.Min);
}

void XP_ProgressBar::Value(long cValue) {
  state_.percent = PercentFromValue(cValue, state_.Max, state_.Min);
  // Extraction sets Value once per member, tens of thousands of times, while the percentage
  // changes a hundred times at most: repaint only when the picture would differ, but always
  // copy, so the window shows the picture even if something covered it meanwhile.
  if (SurfaceShowsCurrentPicture()) {
    LimitPercent(state_);
    CopyToHost();
    return;
  }
  DrawProgressBar();
}

// ---- Paint cycle --------------------------------------------------------------------------------

void XP_ProgressBar::DrawProgressBar() {
  LimitPercent(state_);
  RECT client{};
  GetClientRect(state_.hwnd, &client);
  state_.clientRect = client;
  surface_.Forget();
  PictureKey key = surface_.KeyOf(state_, client);
  ++paintCount_;
  PaintPicture(state_);
  if (state_.offscreen) CopyToHost();
  surface_.Painted(std::move(key));
}

void XP_ProgressBar::CopyToHost() {
  if (!state_.offscreen) return;
  long width = tk::CLng(ScaleWidth()), height = tk::CLng(ScaleHeight());
  long left = tk::CLng(ScaleLeft()), top = tk::CLng(ScaleTop());
  pDraw(HostDC(), 0, 0, width, height, left, top);
}

void XP_ProgressBar::pDraw(HDC hdc, long xSrc, long ySrc, long WidthSrc, long HeightSrc, long xDst,
                           long yDst) {
  long width = WidthSrc > 0 ? WidthSrc : surface_.width();
  long height = HeightSrc > 0 ? HeightSrc : surface_.height();
  BitBlt(hdc, xDst, yDst, width, height, surface_.dc(), xSrc, ySrc, SRCCOPY);
}

void XP_ProgressBar::DrawLine(long X, long Y, long Width, long Height, HDC cHdc, COLORREF Color) {
  if (cHdc == state_.drawDC) surface_.Forget();
  xpbar::DrawLine(X, Y, Width, Height, cHdc, Color);
}

void XP_ProgressBar::DrawGradient(COLORREF& lEndColor, COLORREF& lStartcolor, long X, long Y,
                                  long X2, long Y2, HDC hdc, bool bH) {
  if (hdc == state_.drawDC) surface_.Forget();
  xpbar::DrawGradient(lEndColor, lStartcolor, X, Y, X2, Y2, hdc, bH);
}

bool XP_ProgressBar::SurfaceShowsCurrentPicture() {
  // Only a surface of our own is known to still hold the last picture; drawing straight onto
  // the window always repaints.
  if (!state_.offscreen || !surface_.dc() || state_.drawDC != surface_.dc()) return false;
  RECT client{};
  GetClientRect(state_.hwnd, &client);
  PictureKey key = surface_.KeyOf(state_, client);
  if (key.percent > 100) key.percent = 100;  // as the redraw would limit it
  return surface_.Holds(key);
}

// ---- Hosting events -----------------------------------------------------------------------------

void XP_ProgressBar::UserControl_Initialize() {
  state_.Font = std::make_shared<tk::StdFont>();
  BackColor(0xFFFFFF);
  ScaleMode(3);
  hdc(HostDC());
  hwnd(tk::Window::hwnd());
  state_.Max = 100;
  state_.Min = 0;
  state_.percent = 0;
  state_.Orientation = xpbar::Horizontal;
  state_.Scrolling = xpbar::Segmented;
  state_.Color = ResolveSysColor(kHighlight);
  DrawProgressBar();
}

void XP_ProgressBar::UserControl_Paint() {
  tk::Guarded([this] { DrawProgressBar(); });
}

void XP_ProgressBar::UserControl_Resize() { hdc(nullptr); }

void XP_ProgressBar::UserControl_Terminate() {
  surface_.Destroy();
  // The surface DC is gone; nothing may draw into its (reusable) handle any more.
  state_.drawDC = nullptr;
  state_.offscreen = tk::kFalse;
}

void XP_ProgressBar::UserControl_ReadProperties(const tk::PropertyBag& bag) {
  // Without a stored font the default one made at creation stays.
  if (tk::FontRef font = tk::AsFont(bag.ReadProperty("Font"))) Font(font);
  state_.BrushStyle = tk::AsLong(bag.ReadProperty("BrushStyle", kDefaultBrushStyle));
  Color(static_cast<COLORREF>(
      tk::AsLong(bag.ReadProperty("Color", static_cast<int32_t>(kHighlight)))));
  state_.Image = tk::AsPicture(bag.ReadProperty("Image", tk::PictureRef{}));
  Max(tk::AsLong(bag.ReadProperty("Max", int32_t{100})));
  Min(tk::AsLong(bag.ReadProperty("Min", int32_t{0})));
  Orientation(
      static_cast<ProgressOrientation>(tk::AsLong(bag.ReadProperty("Orientation", int32_t{0}))));
  Scrolling(static_cast<ProgressLook>(tk::AsLong(bag.ReadProperty("Scrolling", int32_t{0}))));
  ShowText(tk::AsBool(bag.ReadProperty("ShowText", false)));
  Value(tk::AsLong(bag.ReadProperty("Value", int32_t{0})));
}

void XP_ProgressBar::UserControl_WriteProperties(tk::PropertyBag& bag) {
  bag.WriteProperty("Font", state_.Font);
  bag.WriteProperty("BrushStyle", static_cast<int32_t>(state_.BrushStyle), kDefaultBrushStyle);
  bag.WriteProperty("Color", static_cast<int32_t>(state_.Color), static_cast<int32_t>(kHighlight));
  bag.WriteProperty("Image", state_.Image, tk::PictureRef{});
  bag.WriteProperty("Max", static_cast<int32_t>(state_.Max), int32_t{100});
  bag.WriteProperty("Min", static_cast<int32_t>(state_.Min), int32_t{0});
  bag.WriteProperty("Orientation", static_cast<int32_t>(state_.Orientation), int32_t{0});
  bag.WriteProperty("Scrolling", static_cast<int32_t>(state_.Scrolling), int32_t{0});
  bag.WriteProperty("ShowText", state_.ShowText != tk::kFalse, false);
  // The stored percentage, not a value in the Min to Max scale.
  bag.WriteProperty("Value", static_cast<int32_t>(state_.percent), int32_t{0});
}
