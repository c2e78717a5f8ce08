// Plain references of the blit and read-back kernels, written from the
// kernels' definitions: one loop per kernel, nothing clever. The kernel tests
// and the benchmarks compare every kernel set with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "blit/blit_kernels.h"

namespace reference {

inline uint16_t get16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void put16(uint8_t* p, uint16_t v) {
    std::memcpy(p, &v, 2);
}

// Pixel j of row i becomes table[source index]; keyed, colours equal to key
// are not written.
inline void copy(const uint8_t* src, ptrdiff_t sp, uint8_t* dst, ptrdiff_t dp, int w, int h,
                 const uint16_t* table, bool keyed, uint16_t key) {
    for (int i = 0; i < h; ++i)
        for (int j = 0; j < w; ++j) {
            uint16_t c = table[src[i * sp + j]];
            if (!keyed || c != key) put16(dst + i * dp + 2 * j, c);
        }
}

// The stretch in its 32-bit stepping; only for sizes where it cannot overflow.
// Draws the window's part of the w x h rectangle.
inline void stretch(const uint8_t* src, ptrdiff_t sp, uint8_t* dst, ptrdiff_t dp, int w, int h,
                    int sw, int sh, StretchWindow win, const uint16_t* table, bool keyed,
                    uint16_t key) {
    int32_t xStep = (65536 / w) * sw;
    for (int32_t i = 0; i < h; ++i) {
        int32_t sy = ((i * 65536) / h * sh) >> 16;
        int32_t accumulator = 0;
        for (int32_t j = 0; j < w; ++j, accumulator += xStep) {
            int r = i - win.firstRow, c = j - win.firstColumn;
            if (r < 0 || r >= win.rows || c < 0 || c >= win.columns) continue;
            uint16_t colour = table[src[sy * sp + (accumulator >> 16)]];
            if (!keyed || colour != key) put16(dst + r * dp + 2 * c, colour);
        }
    }
}

inline uint8_t component(uint16_t p, uint32_t mask, int32_t shift) {
    uint32_t v = p & mask;
    return static_cast<uint8_t>(shift > 0 ? v >> shift : v << -shift);
}

// Row i of the destination: source row i as bytes blue, green, red.
inline void readBack(const uint8_t* src, ptrdiff_t sp, uint8_t* dst, ptrdiff_t dp, int w, int h,
                     const ScreenPixelFormat& f) {
    for (int i = 0; i < h; ++i)
        for (int j = 0; j < w; ++j) {
            uint16_t p = get16(src + i * sp + 2 * j);
            uint8_t* o = dst + i * dp + 3 * j;
            o[0] = component(p, f.blueMask, f.blueShift);
            o[1] = component(p, f.greenMask, f.greenShift);
            o[2] = component(p, f.redMask, f.redShift);
        }
}

} // namespace reference
