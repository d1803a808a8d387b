// Pieces of the race screen's right panel that other lists reuse.
#pragma once

#include "canvas.h"

namespace art {

// The two frame pieces of the minimap, cut from the right panel: the strip above the map window
// (drawn at (626, 0)) and the strip below it (drawn at (626, 195)).
Canvas RightPanelFrameTop();
Canvas RightPanelFrameBottom();

}  // namespace art
