// Pieces the scalar, SSE2 and AVX2 kernel sets share: unaligned loads and
// stores, the read-back of single pixels, and the stretch driver, which the
// sets build their stretch from by handing it their row kernels.
#pragma once

#include <cstring>

#include "blit/blit_kernels.h"

namespace kernel {

inline void store16(uint8_t* at, uint16_t value) {
    std::memcpy(at, &value, 2);
}
inline void store32(uint8_t* at, uint32_t value) {
    std::memcpy(at, &value, 4);
}
inline uint32_t load32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

inline void storeUnlessKey(uint8_t* at, uint16_t colour, uint16_t key) {
    if (colour != key) store16(at, colour);
}

// One screen pixel read back as bytes blue, green, red.
inline void readBackPixel(const uint8_t* pixel, uint8_t* out, const ScreenPixelFormat& f) {
    uint16_t p;
    std::memcpy(&p, pixel, 2);
    out[0] = extractComponent(p, f.blueMask, f.blueShift);
    out[1] = extractComponent(p, f.greenMask, f.greenShift);
    out[2] = extractComponent(p, f.redMask, f.redShift);
}

// The SIMD read-backs extract the components in 16-bit lanes and put blue
// and green into one word, so blue must come out within 8 bits; it does for
// every format the driver makes (the shift puts the mask's top bit on bit
// 7). Green and red lose their excess bits in the packing.
inline bool blueFitsItsByte(const ScreenPixelFormat& f) {
    const uint32_t m = f.blueMask & 0xFFFF;
    const int32_t s = f.blueShift;
    const uint32_t lane = s >= 16 || s <= -16 ? 0 : s > 0 ? m >> s : (m << -s) & 0xFFFF;
    return lane <= 0xFF;
}

} // namespace kernel

struct StretchRowKernels {
    // Plain lookups: pixel j of the row becomes table[indices[j]] (height 1).
    CopyIndexedFn copyIndexed;
    // Each of count indices becomes two equal pixels: out[2k] = out[2k + 1] =
    // table[indices[k]]; doubled[k] is table[k] * 0x10001, that pair as a word.
    void (*doubleIndexed)(const uint8_t* indices, int32_t count, const uint16_t* table,
                          const uint32_t* doubled, uint8_t* out);
    // Pixel j of the row becomes colours[j] unless that equals key.
    void (*storeUnkeyed)(const uint16_t* colours, int32_t count, uint8_t* out, uint16_t key);
    // Keyed rows that repeat a source row are stored as copies of the runs of
    // unkeyed pixels, found once per source row (pays where storeUnkeyed is
    // scalar), rather than by storeUnkeyed on every row.
    bool copyUnkeyedRuns;
};

// The stretch of StretchIndexedFn with these row kernels.
void stretchIndexedRows(const StretchRowKernels& rows, const uint8_t* source, ptrdiff_t sourcePitch,
                        uint8_t* destination, ptrdiff_t destinationPitch, int32_t width,
                        int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                        StretchWindow window, const uint16_t* table, bool hasKey, uint16_t key);

// That stretch as a set's StretchIndexedFn.
template <const StretchRowKernels& Rows>
void stretchIndexedWith(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                        ptrdiff_t destinationPitch, int32_t width, int32_t height,
                        int32_t sourceWidth, int32_t sourceHeight, StretchWindow window,
                        const uint16_t* table, bool hasKey, uint16_t key) {
    stretchIndexedRows(Rows, source, sourcePitch, destination, destinationPitch, width, height,
                       sourceWidth, sourceHeight, window, table, hasKey, key);
}
