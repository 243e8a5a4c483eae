// The header's icon and caption: windowless, as the toolkit's image and label are. Each keeps a
// position and size in twips relative to its container and paints itself into a given DC.
#pragma once
#include <windows.h>

#include <string>

#include "controls/header/HeaderLayout.h"
#include "platform/toolkit/Font.h"

namespace header {

// imgIco: takes the natural size of its picture.
class ImageElement {
 public:
  const tk::PictureRef& Picture() const { return picture_; }
  void Picture(const tk::PictureRef& pic);
  double Left() const { return left_; }
  double Top() const { return top_; }
  double Width() const { return width_; }
  double Height() const { return height_; }
  void Move(double left, double top) {
    left_ = left;
    top_ = top;
  }
  void Size(double width, double height) {
    width_ = width;
    height_ = height;
  }
  bool Visible() const { return visible_; }
  void Visible(bool on) { visible_ = on; }

  void Draw(HDC dc, int originXPx, int originYPx) const;

 private:
  tk::PictureRef picture_;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
};

// lblCaption: sizes itself to its text (the longest line wide, all lines high) and paints the text
// on a transparent background.
class LabelElement {
 public:
  const std::string& Caption() const { return caption_; }
  void Caption(const std::string& text);
  const tk::FontRef& Font() const { return font_; }
  void Font(const tk::FontRef& font);
  COLORREF ForeColor() const { return foreColor_; }
  void ForeColor(COLORREF c) { foreColor_ = c; }
  TextAlign Alignment() const { return alignment_; }
  void Alignment(TextAlign a) { alignment_ = a; }
  double Left() const { return left_; }
  double Top() const { return top_; }
  double Width() const { return width_; }
  double Height() const { return height_; }
  void Move(double left, double top) {
    left_ = left;
    top_ = top;
  }
  // Measures the text again, for a font whose properties were changed in place.
  void AutoSize();

  void Draw(HDC dc, int originXPx, int originYPx) const;

 private:
  std::string caption_;
  tk::FontRef font_;
  COLORREF foreColor_ = 0;
  TextAlign alignment_ = TextAlign::Left;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

}  // namespace header
