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

// Ordered dithering (dither = on): a channel c of 8 bits goes to level k,
// the highest whose widened value W(k) (below) is at most c, or to k + 1
// in n of the 16 cells of the 4 x 4 Bayer matrix, n = round(16 (c - W(k)) /
// (W(k + 1) - W(k))), halves up: the cell (x mod 4, y mod 4) of the pixel
// takes k + 1 when its number in the matrix is below n. A colour a level
// holds exactly stays exact; a flat colour's 4 x 4 block mixes its two
// nearest levels, its mean within 1/32 of a level's step of the colour.
struct DitherChannel {
    uint8_t level[256]; // k
    uint8_t cells[256]; // n
};
constexpr DitherChannel ditherChannel(int bits) {
    DitherChannel d{};
    const int top = (1 << bits) - 1;
    auto widen = [bits](int k) { return bits == 5 ? (k << 3 | k >> 2) : (k << 2 | k >> 4); };
    for (int c = 0, k = 0; c < 256; ++c) {
        while (k < top && widen(k + 1) <= c)
            ++k;
        const int step = k < top ? widen(k + 1) - widen(k) : 1;
        d.level[c] = uint8_t(k);
        d.cells[c] = uint8_t(k < top ? (32 * (c - widen(k)) + step) / (2 * step) : 0);
    }
    return d;
}
constexpr DitherChannel kDither5 = ditherChannel(5), kDither6 = ditherChannel(6);
constexpr uint8_t kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

inline uint32_t ditherLevel(const DitherChannel& d, uint32_t c, uint32_t cell) {
    return d.level[c] + (cell < d.cells[c] ? 1 : 0);
}
inline uint16_t ditherPack565(uint32_t r, uint32_t g, uint32_t b, int x, int y) {
    const uint32_t cell = kBayer4[y & 3][x & 3];
    return uint16_t(ditherLevel(kDither5, r, cell) << 11 | ditherLevel(kDither6, g, cell) << 5 |
                    ditherLevel(kDither5, b, cell));
}
inline uint16_t ditherPack555(uint32_t r, uint32_t g, uint32_t b, int x, int y) {
    const uint32_t cell = kBayer4[y & 3][x & 3];
    return uint16_t(ditherLevel(kDither5, r, cell) << 10 | ditherLevel(kDither5, g, cell) << 5 |
                    ditherLevel(kDither5, b, cell));
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
