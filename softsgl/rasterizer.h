// Drawing a queued frame into a 15- or 16-bit target.
#pragma once

#include <cstdint>

#include "softsgl/softsgl_state.h"

namespace softsgl {

struct RenderTarget {
    uint8_t* base; // first byte of row 0; 2-byte aligned
    int stride;    // bytes from one row to the next; even
    int width;     // pixels drawn per row (fits in the stride)
    int height;
    bool is555;
};

// Clears the target area to black and draws every primitive of the frame:
// opaque ones first with depth, then the translucent ones in queue order,
// each pixel opaque, blended or left alone by its alpha.
void renderFrame(const Frame& frame, const RenderTarget& target);

} // namespace softsgl
