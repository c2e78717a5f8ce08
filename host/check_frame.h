// The test frame of kxcheck: a few flat and textured quads and a blit,
// drawn through the entry points, read back and compared with the image they
// must give. Plain colours and exact positions, so that the expected image
// follows from the drawing alone: inside each shape (a few pixels from its
// edges) the shape's colour, elsewhere black, compared in the top five bits
// of each channel, which every 16-bit display format keeps.
#pragma once

#include <cstdint>
#include <string>

#include "host/entry_points.h"
#include "host/frame_grab.h"

struct CheckFrameResult {
    bool drawn = false;          // the calls were made and the frame read back
    int checked = 0;             // pixels compared
    int differing = 0;           // of those, pixels that differ
    std::string firstDifference; // "at (x, y): read 0x..., expected 0x..."
    RgbImage image;              // the frame as read back
};

// Draws the test frame into a started driver (Init done), flips it onto the
// screen and reads it back.
CheckFrameResult drawCheckFrame(const KxEntryPoints& api);

// Compares a frame read back with the test frame's expected image.
void compareCheckFrame(CheckFrameResult& result);
