// Exact 8-bit colour arithmetic and 16-bit pixel packing used by the
// rasterizer; small enough to inline into its span loops.
#pragma once

#include <cstdint>

namespace softsgl {

// round(a * b / 255) for a, b in 0..255 (a * b / 255 is never exactly half
// way, as 255 is odd).
inline uint32_t mul255(uint32_t a, uint32_t b) {
    uint32_t x = a * b + 128;
    return (x + (x >> 8)) >> 8;
}

// round((s * a + d * (255 - a)) / 255): source over destination.
inline uint32_t blend255(uint32_t s, uint32_t d, uint32_t a) {
    uint32_t x = s * a + d * (255 - a) + 128;
    return (x + (x >> 8)) >> 8;
}

// Dropping low bits, as the display does.
inline uint16_t pack565(uint32_t r, uint32_t g, uint32_t b) {
    return uint16_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}
inline uint16_t pack555(uint32_t r, uint32_t g, uint32_t b) {
    return uint16_t((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
}

// Back to 8 bits by repeating the top bits into the low ones, so that
// full-scale stays full-scale (31 -> 255, 63 -> 255).
inline void unpack565(uint16_t p, uint32_t& r, uint32_t& g, uint32_t& b) {
    uint32_t r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
    r = r5 << 3 | r5 >> 2;
    g = g6 << 2 | g6 >> 4;
    b = b5 << 3 | b5 >> 2;
}
inline void unpack555(uint16_t p, uint32_t& r, uint32_t& g, uint32_t& b) {
    uint32_t r5 = (p >> 10) & 31, g5 = (p >> 5) & 31, b5 = p & 31;
    r = r5 << 3 | r5 >> 2;
    g = g5 << 3 | g5 >> 2;
    b = b5 << 3 | b5 >> 2;
}

// floor(f) as an integer for any float: values beyond +-2^30 are held
// there and NaN goes to the low end, so the conversion is always defined.
inline int32_t floorToInt(float f) {
    if (!(f >= -1073741824.0f)) f = -1073741824.0f;
    if (f > 1073741824.0f) f = 1073741824.0f;
    int32_t i = int32_t(f);
    return i - (f < float(i) ? 1 : 0);
}

} // namespace softsgl
