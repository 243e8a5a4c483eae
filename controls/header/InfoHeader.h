// InfoHeader: a strip with a two-colour gradient background, an optional icon and a caption of
// one or more lines. The gradient lives in picGrad's persistent image and is painted again only
// when a gradient property, the size or the stored state changes; the icon and the caption are
// laid out again on every property change and drawn over the image when the control paints.
#pragma once
#include <cstdint>
#include <string>

#include "controls/header/PictureSurface.h"
#include "controls/header/Windowless.h"
#include "platform/toolkit/UserControl.h"

namespace header {

class InfoHeader : public tk::UserControl {
 public:
  InfoHeader();

  int32_t GradientStyle() const { return gradientStyle_; }
  void GradientStyle(int32_t newVal);
  int16_t MaxFill() const { return maxFill_; }
  void MaxFill(int16_t newVal);
  COLORREF LeftColor() const { return leftColor_; }
  void LeftColor(COLORREF newVal);
  COLORREF RightColor() const { return rightColor_; }
  void RightColor(COLORREF newVal);
  const tk::FontRef& FontName() const { return lblCaption_.Font(); }
  void FontName(const tk::FontRef& newVal);
  COLORREF ForeColor() const { return lblCaption_.ForeColor(); }
  void ForeColor(COLORREF newVal);
  const std::string& Caption() const { return lblCaption_.Caption(); }
  void Caption(const std::string& newVal);
  int32_t Alignment() const { return alignment_; }
  void Alignment(int32_t newVal);
  bool MultiLine() const { return multiLine_; }
  void MultiLine(bool newVal);
  bool HasIcon() const { return hasIcon_; }
  void HasIcon(bool newVal);
  const tk::PictureRef& Picture() const { return imgIco_.Picture(); }
  void Picture(const tk::PictureRef& newVal);

  // Paints the gradient again when reDrawGrad is true, then lays out icon and caption.
  void reDraw(bool reDrawGrad);
  static std::string DoMultiLining(const std::string& sText);
  static std::string RemoveCRLF(const std::string& sText);

  void UserControl_Initialize() override;
  void UserControl_Paint() override;
  void UserControl_Resize() override;
  void UserControl_ReadProperties(const tk::PropertyBag& bag) override;
  void UserControl_WriteProperties(tk::PropertyBag& bag) override;

  // The children, for hosts and tests that look at the result.
  const PictureSurface& picGrad() const { return picGrad_; }
  const ImageElement& imgIco() const { return imgIco_; }
  const LabelElement& lblCaption() const { return lblCaption_; }
  // Draws what the control shows (gradient image, icon, caption) into dc at its top left.
  void Render(HDC dc) const;

 private:
  void Layout();
  void Invalidate() const;

  PictureSurface picGrad_;
  ImageElement imgIco_;
  LabelElement lblCaption_;
  int32_t gradientStyle_ = 0;
  int16_t maxFill_ = 100;
  COLORREF leftColor_ = 0;
  COLORREF rightColor_ = 0;
  int32_t alignment_ = 0;
  bool multiLine_ = false;
  bool hasIcon_ = true;
};

// The stored design values of the main window's InfoHeader1, with its 32 x 32 picture.
tk::PropertyBag InfoHeader1StoredValues(tk::PictureRef picture);

}  // namespace header
