// The seven alternative looks, each drawn whole into state.drawDC.
#pragma once
#include "controls/progressbar/ProgressBarState.h"

namespace xpbar {

void DrawFlat(ProgressBarState& s);
void DrawEtched(ProgressBarState& s);
void DrawShaded(ProgressBarState& s);
void DrawDark(ProgressBarState& s);
void DrawHatched(ProgressBarState& s);
void DrawPatterned(ProgressBarState& s);
void DrawGlossy(ProgressBarState& s);

}  // namespace xpbar
