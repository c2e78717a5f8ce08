// Plain references of the texel conversion and the scaler, written from
// their definitions: one loop each, nothing clever. The texture tests and the
// benchmarks compare every kernel set with them.
#pragma once

#include <cstdint>

namespace reference {

// Texel bytes red, green, blue, transparency as the little-endian word.
constexpr uint32_t texelBytes(uint32_t r, uint32_t g, uint32_t b, uint32_t t) {
    return r | (g << 8) | (b << 16) | (t << 24);
}

// One host pixel of image format 0 to 5 as a texel (palette for format 0).
inline uint32_t texel(uint32_t format, const uint8_t* p, const uint32_t* palette) {
    const uint32_t w = format >= 3 ? p[0] | (p[1] << 8) : 0;
    switch (format) {
    case 0: {
        const uint32_t c = palette[p[0]];
        return texelBytes((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, 255 - (c >> 24));
    }
    case 1:
        return texelBytes(p[2], p[1], p[0], 255 - p[3]);
    case 2:
        return texelBytes(p[2], p[1], p[0], 255);
    case 3:
        return texelBytes((w >> 10 & 31) << 3, (w >> 5 & 31) << 3, (w & 31) << 3,
                          w >> 15 ? 0 : 255);
    case 4:
        return texelBytes((w >> 10 & 31) << 3, (w >> 5 & 31) << 3, (w & 31) << 3, 0);
    default:
        return texelBytes((w >> 11) << 3, (w >> 5 & 63) << 2, (w & 31) << 3, 0);
    }
}

// Nearest-neighbour scaling as the stepping is worded: source texel (c, r)
// fills the destination block of rows [r*ys >> 16, (r+1)*ys >> 16) and
// columns [c*xs >> 16, (c+1)*xs >> 16); then every destination texel past the
// last covered row or column takes the nearest covered texel. Where the
// stepping covers no row (column) at all, source row (column) 0 covers the first.
inline void scale(uint32_t* dst, int dw, int dh, const uint32_t* src, int sw, int sh) {
    const int64_t xs = (int64_t(dw) * 65536) / sw, ys = (int64_t(dh) * 65536) / sh;
    const int64_t coveredX = sw * xs >> 16, coveredY = sh * ys >> 16;
    for (int64_t r = 0; r < sh; ++r) {
        const int64_t y1 = coveredY == 0 && r == 0 ? 1 : (r + 1) * ys >> 16;
        for (int64_t y = r * ys >> 16; y < y1; ++y)
            for (int64_t c = 0; c < sw; ++c) {
                const int64_t x1 = coveredX == 0 && c == 0 ? 1 : (c + 1) * xs >> 16;
                for (int64_t x = c * xs >> 16; x < x1; ++x)
                    dst[y * dw + x] = src[r * sw + c];
            }
    }
    const int64_t lastX = coveredX > 0 ? coveredX - 1 : 0, lastY = coveredY > 0 ? coveredY - 1 : 0;
    for (int64_t y = 0; y < dh; ++y)
        for (int64_t x = 0; x < dw; ++x)
            if (x > lastX || y > lastY)
                dst[y * dw + x] = dst[(y < lastY ? y : lastY) * dw + (x < lastX ? x : lastX)];
}

} // namespace reference
