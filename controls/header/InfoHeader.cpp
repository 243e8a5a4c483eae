#include "controls/header/InfoHeader.h"

#include <memory>

#include "controls/header/modGradient.h"
#include "platform/toolkit/App.h"
#include "platform/toolkit/Dpi.h"
#include "platform/toolkit/Error.h"
#include "platform/toolkit/Numeric.h"
#include "platform/toolkit/Seam.h"
#include "resources/resource.h"

namespace header {

using modGradient::TranslateColor;

namespace {
constexpr COLORREF kSysButtonShadow = 0x80000010;  // COLOR_BTNSHADOW
constexpr COLORREF kSysButtonFace = 0x8000000F;    // COLOR_BTNFACE
constexpr COLORREF kSys3DDarkShadow = 0x80000015;  // COLOR_3DDKSHADOW
constexpr int kIconSizePx = 16;                    // at 96 dpi
const char kDefaultFontName[] = "Tahoma";
const char kDefaultCaption[] = "Information Header v1.0";
const char kNoIconMessage[] = "Cannot set alignment because 'HasIcon' is false";

// Colours travel through the bag as the 32-bit signed integers the toolkit stores.
int32_t AsStored(COLORREF c) { return static_cast<int32_t>(c); }
}  // namespace

InfoHeader::InfoHeader() {
  // The built-in icon; a module without it simply shows none, at the design size.
  imgIco_.Move(120, 120);
  imgIco_.Size(tk::ScaledPx(kIconSizePx) * tk::TwipsPerPixelX(),
               tk::ScaledPx(kIconSizePx) * tk::TwipsPerPixelY());
  tk::PictureRef builtIn = tk::LoadScaledIcon(IDI_HEADER_DEFAULT, kIconSizePx);
  if (builtIn && builtIn->IconHandle()) imgIco_.Picture(builtIn);
  picGrad_.BackColor(BackColor());
  lblCaption_.Font(std::make_shared<tk::StdFont>(kDefaultFontName, 10.0, true));
}

// ---- Properties -----------------------------------------------------------------------------

void InfoHeader::GradientStyle(int32_t newVal) {
  gradientStyle_ = newVal;
  PropertyChanged("GradientStyle");
  reDraw(true);
}

void InfoHeader::MaxFill(int16_t newVal) {
  maxFill_ = newVal > 100 ? int16_t{100} : newVal;
  PropertyChanged("MaxFill");
  reDraw(true);
}

void InfoHeader::LeftColor(COLORREF newVal) {
  leftColor_ = TranslateColor(newVal);
  PropertyChanged("LeftColor");
  reDraw(true);
}

void InfoHeader::RightColor(COLORREF newVal) {
  rightColor_ = TranslateColor(newVal);
  PropertyChanged("RightColor");
  reDraw(true);
}

void InfoHeader::FontName(const tk::FontRef& newVal) {
  // The caption cannot be without a font: its name is what gets stored.
  if (!newVal) tk::Raise(tk::kInvalidArgument, "InfoHeader");
  lblCaption_.Font(newVal);
  PropertyChanged("FontName");
  reDraw(false);
}

void InfoHeader::ForeColor(COLORREF newVal) {
  lblCaption_.ForeColor(newVal);
  PropertyChanged("ForeColor");
  reDraw(false);
}

void InfoHeader::Caption(const std::string& newVal) {
  lblCaption_.Caption(multiLine_ ? DoMultiLining(newVal) : newVal);
  PropertyChanged("Caption");
  reDraw(false);
}

void InfoHeader::Alignment(int32_t newVal) {
  if (!HasIcon() && newVal == 3) {
    HWND owner = hwnd() ? GetAncestor(hwnd(), GA_ROOT) : nullptr;
    tk::MsgBox(kNoIconMessage, MB_OK, tk::App::Title(), owner);
    return;
  }
  alignment_ = newVal;
  PropertyChanged("Alignment");
  reDraw(false);
}

void InfoHeader::MultiLine(bool newVal) {
  multiLine_ = newVal;
  lblCaption_.Caption(newVal ? DoMultiLining(lblCaption_.Caption())
                             : RemoveCRLF(lblCaption_.Caption()));
  PropertyChanged("MultiLine");
  reDraw(false);
}

void InfoHeader::HasIcon(bool newVal) {
  // Stacked layout needs the icon: fall back to left alignment first.
  if (!newVal && alignment_ == 3) Alignment(0);
  hasIcon_ = newVal;
  PropertyChanged("HasIcon");
  reDraw(false);
}

void InfoHeader::Picture(const tk::PictureRef& newVal) {
  imgIco_.Picture(newVal);
  PropertyChanged("Picture");
  reDraw(false);
}

// ---- Methods --------------------------------------------------------------------------------

void InfoHeader::reDraw(bool reDrawGrad) {
  if (reDrawGrad) {
    picGrad_.Cls();
    modGradient::PaintGradient(picGrad_, leftColor_, rightColor_, maxFill_, gradientStyle_);
  }
  Layout();
  Invalidate();
}

void InfoHeader::Layout() {
  HeaderMetrics m;
  m.H = picGrad_.Height();
  m.W = picGrad_.Width();
  m.SW = picGrad_.ScaleWidth();
  m.SH = picGrad_.ScaleHeight();
  m.lw = lblCaption_.Width();
  m.lh = lblCaption_.Height();
  m.iw = imgIco_.Width();
  m.ih = imgIco_.Height();
  m.il = imgIco_.Left();
  m.it = imgIco_.Top();
  m.px = tk::TwipsPerPixelX();
  m.py = tk::TwipsPerPixelY();
  m.captionLeft = lblCaption_.Left();
  m.captionTop = lblCaption_.Top();
  m.captionAlign = lblCaption_.Alignment();
  HeaderPlacement p = LayoutHeader(m, hasIcon_, multiLine_, alignment_);
  imgIco_.Visible(p.iconVisible);
  imgIco_.Move(p.iconLeft, p.iconTop);
  lblCaption_.Move(p.captionLeft, p.captionTop);
  lblCaption_.Alignment(p.captionAlign);
}

void InfoHeader::Invalidate() const {
  if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

std::string InfoHeader::DoMultiLining(const std::string& sText) {
  if (sText.find('|') == std::string::npos) return sText;
  // Pieces and characters are counted in 16 bits: longer texts are out of range.
  tk::ToInt16(static_cast<int64_t>(sText.size()));
  std::string result;
  result.reserve(sText.size() + 16);
  for (char c : sText) {
    if (c == '|') {
      result += "\r\n";
    } else {
      result += c;
    }
  }
  return result;
}

std::string InfoHeader::RemoveCRLF(const std::string& sText) {
  tk::ToInt16(static_cast<int64_t>(sText.size()));
  std::string result;
  result.reserve(sText.size());
  for (char c : sText) {
    if (c == '\n') continue;
    result += c == '\r' ? '|' : c;
  }
  return result;
}

// ---- Events ---------------------------------------------------------------------------------

void InfoHeader::UserControl_Initialize() {
  // picGrad fills the control from the start; Resize keeps it so.
  picGrad_.Move(0, 0, ScaleWidth(), ScaleHeight());
  gradientStyle_ = 0;
  leftColor_ = TranslateColor(kSysButtonShadow);
  rightColor_ = TranslateColor(kSysButtonFace);
  maxFill_ = 100;
  lblCaption_.Font(std::make_shared<tk::StdFont>(kDefaultFontName, 10.0, true));
  lblCaption_.ForeColor(TranslateColor(kSys3DDarkShadow));
  lblCaption_.Caption(kDefaultCaption);
  alignment_ = 0;
  multiLine_ = false;
  hasIcon_ = true;
  reDraw(true);
}

void InfoHeader::UserControl_Resize() {
  picGrad_.Move(0, 0, ScaleWidth(), ScaleHeight());
  reDraw(true);
}

void InfoHeader::UserControl_ReadProperties(const tk::PropertyBag& bag) {
  // Stored values are taken as they are: colours untranslated, MaxFill unclamped, and
  // Alignment 3 without an icon accepted.
  gradientStyle_ = tk::AsLong(bag.ReadProperty("GradientStyle", int32_t{0}));
  leftColor_ = static_cast<COLORREF>(
      tk::AsLong(bag.ReadProperty("LeftColor", AsStored(TranslateColor(kSysButtonShadow)))));
  rightColor_ = static_cast<COLORREF>(
      tk::AsLong(bag.ReadProperty("RightColor", AsStored(TranslateColor(kSysButtonFace)))));
  maxFill_ = tk::AsInt(bag.ReadProperty("MaxFill", maxFill_));
  lblCaption_.ForeColor(static_cast<COLORREF>(
      tk::AsLong(bag.ReadProperty("ForeColor", AsStored(TranslateColor(kSys3DDarkShadow))))));
  lblCaption_.Font()->Name(
      tk::AsString(bag.ReadProperty("FontName", std::string(kDefaultFontName))));
  lblCaption_.Caption(tk::AsString(bag.ReadProperty("Caption", std::string(kDefaultCaption))));
  multiLine_ = tk::AsBool(bag.ReadProperty("MultiLine", false));
  alignment_ = tk::AsLong(bag.ReadProperty("Alignment", int32_t{0}));
  hasIcon_ = tk::AsBool(bag.ReadProperty("HasIcon", true));
  imgIco_.Picture(tk::AsPicture(bag.ReadProperty("Picture", imgIco_.Picture())));
  reDraw(true);
}

void InfoHeader::UserControl_WriteProperties(tk::PropertyBag& bag) {
  // Every key every time, defaults included.
  bag.WriteProperty("GradientStyle", gradientStyle_);
  bag.WriteProperty("LeftColor", AsStored(leftColor_));
  bag.WriteProperty("RightColor", AsStored(rightColor_));
  bag.WriteProperty("MaxFill", maxFill_);
  bag.WriteProperty("FontName", lblCaption_.Font()->Name());
  bag.WriteProperty("ForeColor", AsStored(lblCaption_.ForeColor()));
  bag.WriteProperty("Caption", lblCaption_.Caption());
  bag.WriteProperty("MultiLine", multiLine_);
  bag.WriteProperty("Alignment", alignment_);
  bag.WriteProperty("HasIcon", hasIcon_);
  bag.WriteProperty("Picture", imgIco_.Picture());
}

void InfoHeader::UserControl_Paint() {
  HDC target = HostDC();
  if (!target) return;
  RECT client = ClientPx();
  // Composed off screen and copied once: helps to avoid flicker.
  tk::MemoryDC mem(CreateCompatibleDC(target));
  tk::Bitmap frame(CreateCompatibleBitmap(target, client.right, client.bottom));
  tk::ScopedSelect use(mem, frame);
  tk::Brush back(CreateSolidBrush(TranslateColor(BackColor())));
  FillRect(mem, &client, back);
  Render(mem);
  BitBlt(target, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
}

void InfoHeader::Render(HDC dc) const {
  int x = tk::TwipsToPixelsX(picGrad_.Left()), y = tk::TwipsToPixelsY(picGrad_.Top());
  BitBlt(dc, x, y, picGrad_.WidthPx(), picGrad_.HeightPx(), picGrad_.ImageDC(), 0, 0, SRCCOPY);
  // picGrad is the container: the icon and the caption sit in its coordinates, above it.
  imgIco_.Draw(dc, x, y);
  lblCaption_.Draw(dc, x, y);
}

// ---- The main window's instance -------------------------------------------------------------

tk::PropertyBag InfoHeader1StoredValues(tk::PictureRef picture) {
  tk::PropertyBag bag;
  bag.WriteProperty("GradientStyle", int32_t{1});
  bag.WriteProperty("LeftColor", int32_t{0x00FF0000});
  bag.WriteProperty("RightColor", int32_t{0x00FFFFFF});
  bag.WriteProperty("MaxFill", int16_t{100});
  bag.WriteProperty("FontName", std::string("Tahoma"));
  bag.WriteProperty("ForeColor", int32_t{0x00FFFFFF});
  bag.WriteProperty("Caption", std::string("  Parcelo v2.0"));
  bag.WriteProperty("MultiLine", false);
  bag.WriteProperty("Alignment", int32_t{0});
  bag.WriteProperty("HasIcon", true);
  bag.WriteProperty("Picture", std::move(picture));
  return bag;
}

}  // namespace header
