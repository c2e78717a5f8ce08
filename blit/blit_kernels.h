// The hot loops of the blits and the read-back, as pure functions of their
// buffers. Pitches are in bytes and may be negative (bottom-up images);
// destination rows must not overlap. 16-bit pixels sit at even addresses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu/kernel_level.h"
#include "blit/pixel_format.h"

// The part of a stretch's destination rectangle that is drawn: columns
// [firstColumn, firstColumn + columns) and rows [firstRow, firstRow + rows)
// of the width x height rectangle.
struct StretchWindow {
    int32_t firstColumn, firstRow, columns, rows;
};

// Destination pixel j of each row becomes table[source[j]].
typedef void (*CopyIndexedFn)(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                              ptrdiff_t destinationPitch, int32_t width, int32_t height,
                              const uint16_t* table);
// As above, but pixels whose table colour equals key keep their old value.
typedef void (*CopyIndexedKeyedFn)(const uint8_t* source, ptrdiff_t sourcePitch,
                                   uint8_t* destination, ptrdiff_t destinationPitch, int32_t width,
                                   int32_t height, const uint16_t* table, uint16_t key);
// Nearest-neighbour stretch of a sourceWidth x sourceHeight image onto a
// width x height rectangle in 16.16 steps (stretchColumnStep, stretchSourceRow).
// Only the window is drawn; destination points at the window's first pixel,
// source at the image's top-left pixel. With hasKey, pixels whose colour
// equals key keep their old value.
typedef void (*StretchIndexedFn)(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                                 ptrdiff_t destinationPitch, int32_t width, int32_t height,
                                 int32_t sourceWidth, int32_t sourceHeight, StretchWindow window,
                                 const uint16_t* table, bool hasKey, uint16_t key);
// Row i of the destination receives source row i as 3-byte pixels blue,
// green, red, each component extracted with the format's mask and shift.
typedef void (*ReadBack888Fn)(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                              ptrdiff_t destinationPitch, int32_t width, int32_t height,
                              const ScreenPixelFormat& format);

struct BlitKernelSet {
    const char* name; // the level's name
    CopyIndexedFn copyIndexed;
    CopyIndexedKeyedFn copyIndexedKeyed;
    StretchIndexedFn stretchIndexed;
    ReadBack888Fn readBack888;
};

// The kernels the blits use: the set of kernelLevel().
const BlitKernelSet& blitKernels();
// The set of one level (KernelLevel), or null where this build or this
// processor has none.
const BlitKernelSet* blitKernelSet(int level);

// The stretch's stepping, in 64 bits so that no size overflows; for sizes
// where the 32-bit arithmetic does not overflow the values are the same.
// Column step: (65536 / width) * sourceWidth, the division truncated first.
inline int64_t stretchColumnStep(int32_t width, int32_t sourceWidth) {
    return static_cast<int64_t>(65536 / width) * sourceWidth;
}
// Source row of destination row i: ((i * 65536) / height * sourceHeight) >> 16.
inline int64_t stretchSourceRow(int32_t i, int32_t height, int32_t sourceHeight) {
    return ((static_cast<int64_t>(i) * 65536) / height * sourceHeight) >> 16;
}

// The sets, one per level; the wider ones only where KX_X86_KERNELS and
// KX_AVX512_KERNELS say they are built.
extern const BlitKernelSet scalarBlitKernels;
extern const BlitKernelSet sse2BlitKernels;
extern const BlitKernelSet avx2BlitKernels;
extern const BlitKernelSet avx512BlitKernels;
