// The tray glyph drawn in the status colour, as pixels the shell turns into an icon.
#pragma once
#include <cstdint>

#include "ui/controls.h"

struct RgbColour {
    std::uint8_t R = 0, G = 0, B = 0;
    bool operator==(const RgbColour&) const = default;
};

// The tray glyph: an 8 x 8 grid of square cells in `colour` on white, every
// pixel opaque. Cells are size / 8 pixels; the remainder stays white.
IconImage CreateStatusIcon(RgbColour colour, int size);
