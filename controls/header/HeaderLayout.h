// Where the header puts its icon and caption: plain numbers in, plain numbers out, so that the
// rules can be checked without a window. Every length is in twips.
#pragma once
#include <cstdint>

namespace header {

// Text alignment inside the caption label, with the label's own values.
enum class TextAlign : int { Left = 0, Right = 1, Center = 2 };

// The numbers the layout reads from the children at the moment of use.
struct HeaderMetrics {
  double H = 0, W = 0;      // picGrad's outer height and width
  double SW = 0, SH = 0;    // picGrad's inner (scale) width and height
  double lw = 0, lh = 0;    // caption label's width and height
  double iw = 0, ih = 0;    // icon's width and height
  double il = 0, it = 0;    // icon's left and top
  double px = 15, py = 15;  // twips per pixel, horizontally and vertically
  // Where the caption is now, and how it is aligned: some rules leave these as they are.
  double captionLeft = 0, captionTop = 0;
  TextAlign captionAlign = TextAlign::Left;
};

struct HeaderPlacement {
  bool iconVisible = true;
  double iconLeft = 0, iconTop = 0;
  double captionLeft = 0, captionTop = 0;
  TextAlign captionAlign = TextAlign::Left;
};

// v rounded to a whole number (halves to even), then halved discarding the remainder.
int32_t Half(double v);

HeaderPlacement LayoutHeader(const HeaderMetrics& m, bool hasIcon, bool multiLine,
                             int32_t alignment);

}  // namespace header
