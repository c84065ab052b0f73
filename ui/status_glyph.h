#pragma once
#include "app/Unit1.h"

// The tray glyph: an 8 x 8 grid of square cells in `colour` on white, every
// pixel opaque. Cells are size / 8 pixels; the remainder stays white.
IconImage CreateStatusIcon(RgbColour colour, int size);
