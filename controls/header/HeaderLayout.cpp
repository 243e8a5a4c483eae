#include "controls/header/HeaderLayout.h"

#include "platform/toolkit/Numeric.h"

namespace header {

int32_t Half(double v) { return tk::CLng(v) / 2; }

static void PlaceWithIcon(const HeaderMetrics& m, bool multiLine, int32_t alignment,
                          HeaderPlacement& p) {
  p.iconVisible = true;
  if (!multiLine) {
    p.captionTop = Half(m.H - m.lh);
    p.iconLeft = 4 * m.px;
    p.iconTop = Half(m.H - m.ih);
  } else if (m.ih > m.lh) {
    // The taller of the two is centred and the other follows its top; in this mode the icon
    // keeps the left it was given last.
    p.iconTop = Half(m.H - m.ih);
    p.captionTop = p.iconTop;
  } else {
    p.captionTop = Half(m.H - m.lh);
    p.iconTop = p.captionTop;
  }
  double il = p.iconLeft, iw = m.iw, ih = m.ih;
  switch (alignment) {
    case 0:
      p.captionLeft = il + iw + 7 * m.px;
      p.captionAlign = TextAlign::Left;
      break;
    case 1:
      p.captionAlign = TextAlign::Center;
      p.captionLeft = (iw + il) + Half(m.W - (iw + il) - m.lw);
      break;
    case 2:
      p.captionLeft = m.SW - m.lw - 4 * m.px;
      p.captionAlign = TextAlign::Right;
      break;
    case 3: {
      // Icon above caption, the pair centred vertically.
      p.captionAlign = TextAlign::Left;
      double t = tk::RoundHalfEven(m.lh + ih + 2 * m.py);
      p.iconTop = Half(m.SH - t);
      p.captionTop = p.iconTop + ih + 2 * m.py;
      p.captionLeft = il;
      break;
    }
    default:
      break;
  }
}

static void PlaceWithoutIcon(const HeaderMetrics& m, int32_t alignment, HeaderPlacement& p) {
  p.iconVisible = false;
  p.captionTop = Half(m.H - m.lh);
  switch (alignment) {
    case 0:
      p.captionLeft = 4 * m.px;
      p.captionAlign = TextAlign::Left;
      break;
    case 1:
      p.captionLeft = Half(m.SW - m.lw);
      p.captionAlign = TextAlign::Center;
      break;
    case 2:
      p.captionLeft = m.SW - m.lw - 4 * m.px;
      p.captionAlign = TextAlign::Right;
      break;
    default:
      break;  // the caption keeps its left
  }
}

HeaderPlacement LayoutHeader(const HeaderMetrics& m, bool hasIcon, bool multiLine,
                             int32_t alignment) {
  HeaderPlacement p;
  p.iconLeft = m.il;
  p.iconTop = m.it;
  p.captionLeft = m.captionLeft;
  p.captionTop = m.captionTop;
  p.captionAlign = m.captionAlign;
  if (hasIcon) {
    PlaceWithIcon(m, multiLine, alignment, p);
  } else {
    PlaceWithoutIcon(m, alignment, p);
  }
  return p;
}

}  // namespace header
