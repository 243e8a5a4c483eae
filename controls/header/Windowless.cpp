#include "controls/header/Windowless.h"

#include "controls/header/modGradient.h"
#include "platform/toolkit/Handles.h"
#include "platform/toolkit/Numeric.h"

namespace header {

static int PxX(double twips) { return tk::TwipsToPixelsX(twips); }
static int PxY(double twips) { return tk::TwipsToPixelsY(twips); }

void ImageElement::Picture(const tk::PictureRef& pic) {
  picture_ = pic;
  if (pic && pic->WidthPx() > 0 && pic->HeightPx() > 0)
    Size(pic->WidthPx() * tk::TwipsPerPixelX(), pic->HeightPx() * tk::TwipsPerPixelY());
}

void ImageElement::Draw(HDC dc, int originXPx, int originYPx) const {
  if (!visible_ || !picture_) return;
  picture_->Draw(dc, originXPx + PxX(left_), originYPx + PxY(top_));
}

static UINT TextFlags(TextAlign a) {
  UINT flags = DT_NOPREFIX | DT_NOCLIP;
  switch (a) {
    case TextAlign::Right:
      return flags | DT_RIGHT;
    case TextAlign::Center:
      return flags | DT_CENTER;
    default:
      return flags | DT_LEFT;
  }
}

void LabelElement::Caption(const std::string& text) {
  caption_ = text;
  AutoSize();
}

void LabelElement::Font(const tk::FontRef& font) {
  font_ = font;
  AutoSize();
}

void LabelElement::AutoSize() {
  tk::MemoryDC dc(CreateCompatibleDC(nullptr));
  tk::ScopedSelect use(dc, font_ ? font_->Handle() : nullptr);
  // An empty caption still takes the height of one line.
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, caption_.empty() ? " " : caption_.c_str(), -1, &r,
            DT_CALCRECT | TextFlags(TextAlign::Left));
  width_ = caption_.empty() ? 0 : r.right * tk::TwipsPerPixelX();
  height_ = r.bottom * tk::TwipsPerPixelY();
}

void LabelElement::Draw(HDC dc, int originXPx, int originYPx) const {
  if (caption_.empty()) return;
  int left = originXPx + PxX(left_), top = originYPx + PxY(top_);
  RECT r{left, top, left + PxX(width_), top + PxY(height_)};
  tk::ScopedSelect use(dc, font_ ? font_->Handle() : nullptr);
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, modGradient::TranslateColor(foreColor_));
  DrawTextA(dc, caption_.c_str(), -1, &r, TextFlags(alignment_));
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}

}  // namespace header
