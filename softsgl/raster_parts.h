// What the rasterizer's files share: a vertex in raster form, how a
// primitive is drawn, and the surface it is drawn into.
#pragma once

#include <cstdint>
#include <cstring>

#include "softsgl/rasterizer.h"
#include "softsgl/softsgl_state.h"

namespace softsgl {

// Triangles and lines reaching beyond this many pixels from the origin are
// clipped to it first, which keeps every edge-function product inside 2^53.
constexpr double kGuardBand = 1 << 20;

// A vertex as the rasterizer sees it: position in pixels, 1/w, texel
// coordinates over w (already scaled by the texture side) and colour.
struct RasterVertex {
    double x, y, q, u, v, r, g, b, a;
};

// How one primitive is drawn.
struct Style {
    const Texture* texture; // null: untextured
    bool textureAlpha;      // translucent map with a transparent texel: texel opacity counts
    bool translucent;       // some pixel may be less than opaque: drawn in the second pass
    bool constantColour;    // every vertex has the same colour (and alpha)
    uint32_t r, g, b, a;    // that colour
};

struct Surface {
    // What is drawn into: the target, or with supersampling its samples.
    const RenderTarget* target;
    float* depth;
    uint8_t* rowReady;   // per row: its depth has been cleared this frame
    const float* farRow; // one row of the clear depth, copied from
    // The rows this surface draws: its band, rows first .. end - 1 (all of
    // them with one band).
    int32_t first, end;
    bool dither;   // ordered dithering as the pixels are packed
    bool bilinear; // textured spans filtered (points and lines keep texel (0, 0))
    // Samples a pixel each way (1: none), and the target's size in pixels:
    // points and lines choose their pixels there and fill all its samples.
    int scale;
    int pixelWidth, pixelHeight;
    bool owns(int64_t y) const { return y >= first && y < end; }
    uint16_t* row(int y) const {
        return reinterpret_cast<uint16_t*>(target->base + size_t(y) * target->stride);
    }
    float* depthRow(int y) const {
        float* row = depth + size_t(y) * target->width;
        if (!rowReady[y]) {
            std::memcpy(row, farRow, size_t(target->width) * sizeof(float));
            rowReady[y] = 1;
        }
        return row;
    }
};

// The point where the edge from `in` (inside) to `out` crosses the line at
// `limit` (x = limit, or y = limit with yAxis), with every attribute.
RasterVertex crossing(const RasterVertex& in, const RasterVertex& out, bool yAxis, double limit);

// The probed pixel as it stands: the target's, or resolved from its samples.
uint16_t probedPixel(const PixelProbe& probe, const Surface& surf);

// Records `covered` samples of the probed pixel drawn by the primitive being
// drawn, `passed` of them passing the depth test.
void probeHit(PixelProbe& probe, bool translucent, int covered, int passed, uint16_t before,
              uint16_t after);

// Points and lines (points_lines.cpp), as the drawing rules say.
void drawPoint(const RasterVertex& v, const Style& st, const Surface& surf);
void drawLine(RasterVertex p, RasterVertex q, const Style& st, const Surface& surf);

} // namespace softsgl
