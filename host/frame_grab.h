// The screen image as the host reads it back, turned into top-down RGB rows.
#pragma once

#include <cstdint>
#include <vector>

#include "host/entry_points.h"

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // width x height x 3 bytes, top row first
};

// Reads the top-left width x height pixels of the shown frame with
// BltFromCard (three bytes blue, green, red; bottom row first) and reorders
// them into top-down RGB.
RgbImage readBackFrame(const KxEntryPoints& api, int width, int height);

// The same reordering on its own: `bgr` holds `height` rows of `pitch`
// bytes, the bottom screen row first.
RgbImage rgbFromReadBack(const uint8_t* bgr, int width, int height, int pitch);
