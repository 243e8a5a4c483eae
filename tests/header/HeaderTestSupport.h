// Shared helpers of the header tests: a memory surface of a given pixel size, pixel reads, the
// process's GDI object count, and a host window for the control.
#pragma once
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/toolkit/Font.h"
#include "support/GdiCount.h"
#include "support/RecordingSeam.h"
#include "platform/toolkit/Window.h"

namespace headertest {

// Nearest integer with halves to even, independent of the code under test.
inline long RoundEven(double x) { return std::lrint(x); }  // default rounding mode: to nearest even

inline COLORREF Rgb(int r, int g, int b) { return static_cast<COLORREF>(r | (g << 8) | (b << 16)); }

// Live GDI objects of this process (Wine's handle table where GetGuiResources answers 0).
inline long GdiObjectCount() { return testsupport::GdiObjectCount(); }

using testsupport::RecordingSeam;

// A plain window to host a control.
class HostForm : public tk::Form {
 public:
  HostForm() {
    Style s;
    s.caption = "header test";
    s.clientWidthTwips = 7335;
    s.clientHeightTwips = 3000;
    CreateForm(s);
  }
};

}  // namespace headertest
