// Font and picture objects: shared by reference, as the toolkit's objects are, and each yields
// the GDI handle it owns.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "platform/toolkit/Handles.h"

namespace tk {

class StdFont {
 public:
  StdFont() = default;
  StdFont(std::string name, double sizePt, bool bold = false)
      : name_(std::move(name)), size_(sizePt), weight_(bold ? FW_BOLD : FW_NORMAL) {}

  const std::string& Name() const { return name_; }
  void Name(std::string v) {
    name_ = std::move(v);
    handle_.Reset();
  }
  double Size() const { return size_; }
  void Size(double pt) {
    size_ = pt;
    handle_.Reset();
  }
  bool Bold() const { return weight_ >= FW_BOLD; }
  void Bold(bool b) { Weight(b ? FW_BOLD : FW_NORMAL); }
  int Weight() const { return weight_; }
  void Weight(int w) {
    weight_ = w;
    handle_.Reset();
  }

  // The font handle, made on first use at the screen's resolution and kept until a property
  // changes.
  HFONT Handle();

 private:
  std::string name_ = "MS Sans Serif";
  double size_ = 8.25;
  int weight_ = FW_NORMAL;
  FontHandle handle_;
};

class Picture {
 public:
  static std::shared_ptr<Picture> FromBitmap(HBITMAP bmp);  // takes ownership
  static std::shared_ptr<Picture> FromIcon(HICON icon);     // takes ownership
  // Loads an icon or bitmap resource of this module at its natural size.
  static std::shared_ptr<Picture> LoadIconResource(int id, int sizePx);

  HBITMAP BitmapHandle() const { return bitmap_.Get(); }
  HICON IconHandle() const { return icon_.Get(); }
  int WidthPx() const { return width_; }
  int HeightPx() const { return height_; }
  void Draw(HDC dc, int x, int y) const;

 private:
  Bitmap bitmap_;
  Icon icon_;
  int width_ = 0;
  int height_ = 0;
};

using FontRef = std::shared_ptr<StdFont>;
using PictureRef = std::shared_ptr<Picture>;

// Pixels per logical inch of the screen, and the twips conversions built on it.
int ScreenDpiX();
int ScreenDpiY();
double TwipsPerPixelX();
double TwipsPerPixelY();
int TwipsToPixelsX(double twips);
int TwipsToPixelsY(double twips);

}  // namespace tk
