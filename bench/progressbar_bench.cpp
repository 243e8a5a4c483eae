// How fast the progress bar redraws: full redraws per second of the main window's 369 x 16 bar
// for each look, on a shown window, and what one extraction of 70,000 members costs in Value
// sets. Prints the process's GDI object count before and after.
//
//   progressbar_bench [milliseconds per look, default 1000]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "controls/progressbar/XP_ProgressBar.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/Window.h"
#include "tests/support/GdiCount.h"

namespace {

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

const char* kLookNames[] = {"Segmented", "Smooth", "Searching", "Flat",      "Etched",
                            "Shaded",    "Dark",   "Hatched",   "Patterned", "Glossy"};

// Full redraws per second: every Value set here changes the percentage, so each one paints.
double RedrawRate(XP_ProgressBar& bar, double seconds) {
  long n = 0;
  double start = Now(), end = start + seconds;
  while (Now() < end) {
    for (int i = 0; i < 100; ++i) bar.Value(n++ % 101);
  }
  return n / (Now() - start);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = (argc > 1 ? std::atof(argv[1]) : 1000.0) / 1000.0;
  tk::Form form;
  form.CreateForm({"Progress bar benchmark", 6000, 1200});
  form.Show();
  tk::PropertyBag stored;
  stored.WriteProperty("Font", std::make_shared<tk::StdFont>("MS Sans Serif", 8.25));
  stored.WriteProperty("BrushStyle", int32_t{0});
  stored.WriteProperty("Color", int32_t{0xFF0000});
  XP_ProgressBar bar;
  bar.CreateUserControl(form, 10, {120, 120, 5535, 240}, &stored);
  bar.Visible(true);
  bar.Image(tk::Picture::FromBitmap(CreateBitmap(8, 8, 1, 1, nullptr)));
  tk::DoEvents();
  RECT client = bar.ClientPx();
  std::printf("bar: %ld x %ld pixels, surface %ld x %ld\n", client.right, client.bottom,
              bar.SurfaceWidth(), bar.SurfaceHeight());

  // One redraw of each look with its text, so that what is made once on first use (the font
  // handle, the system's pens for DrawEdge) is there before counting.
  bar.ShowText(true);
  for (long look = 0; look <= 9; ++look) bar.Scrolling(static_cast<ProgressLook>(look));
  bar.ShowText(false);
  tk::DoEvents();
  long gdiBefore = testsupport::GdiObjectCount();
  DWORD guiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  unsigned long paintsBefore = bar.PaintCount();
  double started = Now();

  std::printf("\nfull redraws per second (background, look, frame, copy to the window):\n");
  std::printf("  %-10s %12s %12s\n", "look", "no text", "with text");
  double segmentedRate = 0;
  for (long look = 0; look <= 9; ++look) {
    bar.Scrolling(static_cast<ProgressLook>(look));
    bar.ShowText(false);
    double plain = RedrawRate(bar, seconds);
    if (look == xpbar::Segmented) segmentedRate = plain;
    bar.ShowText(true);
    double text = RedrawRate(bar, seconds);
    std::printf("  %-10s %12.0f %12.0f%s\n", kLookNames[look], plain, text,
                look <= 2 ? "  (standard)" : "");
    tk::DoEvents();
  }
  bar.ShowText(false);
  bar.Scrolling(xpbar::Segmented);

  // Extraction: Max is the byte total and Value is set once per member.
  const long members = 70000, size = 1000;
  bar.Max(members * size);
  bar.Value(0);
  unsigned long paints = bar.PaintCount();
  double t0 = Now();
  for (long i = 1; i <= members; ++i) bar.Value(i * size);
  double took = Now() - t0;
  std::printf("\n%ld Value sets (one per member, Segmented): %.3f s, %.0f sets/s, %lu repaints\n",
              members, took, members / took, bar.PaintCount() - paints);
  std::printf(
      "  (a full redraw on every set would take about %.2f s at the Segmented rate above)\n",
      members / segmentedRate);

  tk::DoEvents();
  long gdiAfter = testsupport::GdiObjectCount();
  DWORD guiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  std::printf("\nGDI objects: GetGuiResources %lu before, %lu after", guiBefore, guiAfter);
  if (guiBefore == 0 && testsupport::RunningUnderWine()) std::printf(" (Wine answers 0)");
  std::printf("; handle table %ld before, %ld after, over %lu repaints in %.1f s\n", gdiBefore,
              gdiAfter, bar.PaintCount() - paintsBefore, Now() - started);
  form.Unload();
  return gdiAfter == gdiBefore ? 0 : 1;
}
