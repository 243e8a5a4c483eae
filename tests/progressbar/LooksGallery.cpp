// Paints every look of the progress bar at 0, 33, 66 and 100 percent, horizontal and vertical,
// with and without text, side by side in one picture, and writes it as a BMP file so that a
// person can look at them (scripts/looks turns it into build/looks.png).
//
//   progressbar_gallery OUTPUT.bmp
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "PaintSupport.h"
#include "controls/progressbar/ProgressBarPaint.h"

using pbtest::Canvas;

namespace {

constexpr COLORREF kBlue = 0xFF0000;  // the main window's bar
constexpr long kPercents[] = {0, 33, 66, 100};
const char* const kLooks[] = {"Segmented", "Smooth", "Searching", "Flat",      "Etched",
                              "Shaded",    "Dark",   "Hatched",   "Patterned", "Glossy"};

constexpr int kLabelWidth = 130, kMargin = 10;
constexpr int kBarWidth = 200, kBarHeight = 18, kCellWidth = 210, kRowHeight = 24;  // horizontal
constexpr int kUpWidth = 36, kUpHeight = 90, kUpPair = 78, kUpGroup = 90;           // vertical

// A small two-colour tile for the Patterned look.
tk::PictureRef Tile() {
  HBITMAP bmp = testsupport::PatternBitmap(
      8, 8, [](int x, int y) -> COLORREF { return (x + y) % 8 < 4 ? 0xC00000 : 0xFFD8C0; });
  return bmp ? tk::Picture::FromBitmap(bmp) : nullptr;
}

void PaintBarAt(Canvas& sheet, int x, int y, int w, int h, long look, long percent,
                long orientation, bool text, const tk::PictureRef& tile) {
  Canvas bar(w, h);
  xpbar::ProgressBarState s = pbtest::BarState(bar, look, percent, orientation, kBlue);
  s.ShowText = tk::ToBool16(text);
  s.BrushStyle = 4;  // the bag's default hatch, HS_CROSS
  s.Image = tile;
  pbtest::Paint(s, bar);
  BitBlt(sheet.dc(), x, y, w, h, bar.dc(), 0, 0, SRCCOPY);
}

void Label(Canvas& sheet, int x, int y, int w, int h, const std::string& text,
           UINT align = DT_LEFT) {
  RECT r{x, y, x + w, y + h};
  DrawTextA(sheet.dc(), text.c_str(), -1, &r, align | DT_VCENTER | DT_SINGLELINE);
}

bool WriteBmp(const Canvas& sheet, const char* path) {
  int w = sheet.width(), h = sheet.height();
  int stride = (w * 3 + 3) & ~3;
  std::vector<uint8_t> rows(static_cast<size_t>(stride) * h);
  for (int y = 0; y < h; ++y)  // bottom-up, 24 bits
    for (int x = 0; x < w; ++x) {
      COLORREF c = sheet.At(x, y);
      uint8_t* p = &rows[static_cast<size_t>(h - 1 - y) * stride + x * 3];
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  BITMAPINFOHEADER info{sizeof info, w,    h, 1, 24, BI_RGB, static_cast<DWORD>(rows.size()),
                        2835,        2835, 0, 0};
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  bool ok = std::fwrite(&file, sizeof file, 1, f) == 1 &&
            std::fwrite(&info, sizeof info, 1, f) == 1 &&
            std::fwrite(rows.data(), rows.size(), 1, f) == 1;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: progressbar_gallery OUTPUT.bmp\n");
    return 2;
  }
  const int horizontalTop = 44, horizontalHeight = 20 * kRowHeight;
  const int verticalTop = horizontalTop + horizontalHeight + 40;
  const int width = kMargin + kLabelWidth + 10 * kUpGroup + kMargin;
  const int height = verticalTop + 20 + 4 * (kUpHeight + 8) + kMargin;
  Canvas sheet(width, height);
  sheet.Fill(0xF0F0F0);
  tk::StdFont font("MS Sans Serif", 8.25);
  tk::ScopedSelect select(sheet.dc(), font.Handle());
  SetBkMode(sheet.dc(), TRANSPARENT);
  tk::PictureRef tile = Tile();

  // Horizontal: one row per look and text setting, one column per percentage.
  Label(sheet, kMargin, 6, 600, 18, "Horizontal (Orientation 0), 200 x 18 pixels, Color 0xFF0000");
  for (int p = 0; p < 4; ++p)
    Label(sheet, kMargin + kLabelWidth + p * kCellWidth, horizontalTop - 14, kBarWidth, 14,
          std::to_string(kPercents[p]) + " %", DT_CENTER);
  for (long look = 0; look < 10; ++look) {
    for (int text = 0; text < 2; ++text) {
      int y = horizontalTop + static_cast<int>(look * 2 + text) * kRowHeight;
      Label(sheet, kMargin, y, kLabelWidth, kBarHeight,
            std::to_string(look) + " " + kLooks[look] + (text ? " + text" : ""));
      for (int p = 0; p < 4; ++p)
        PaintBarAt(sheet, kMargin + kLabelWidth + p * kCellWidth, y, kBarWidth, kBarHeight, look,
                   kPercents[p], xpbar::Horizontal, text != 0, tile);
    }
  }

  // Vertical: one group of two bars (without, with text) per look, one row per percentage.
  Label(sheet, kMargin, verticalTop - 34, 600, 18,
        "Vertical (Orientation 1), 36 x 90 pixels: each pair without and with text");
  for (long look = 0; look < 10; ++look)
    Label(sheet, kMargin + kLabelWidth + static_cast<int>(look) * kUpGroup, verticalTop - 16,
          kUpPair, 14, kLooks[look], DT_CENTER);
  for (int p = 0; p < 4; ++p) {
    int y = verticalTop + p * (kUpHeight + 8);
    Label(sheet, kMargin, y, kLabelWidth, kUpHeight, std::to_string(kPercents[p]) + " %");
    for (long look = 0; look < 10; ++look)
      for (int text = 0; text < 2; ++text)
        PaintBarAt(
            sheet,
            kMargin + kLabelWidth + static_cast<int>(look) * kUpGroup + text * (kUpPair - kUpWidth),
            y, kUpWidth, kUpHeight, look, kPercents[p], xpbar::Vertical, text != 0, tile);
  }

  if (!WriteBmp(sheet, argv[1])) {
    std::fprintf(stderr, "progressbar_gallery: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %d x %d pixels\n", argv[1], width, height);
  return 0;
}
