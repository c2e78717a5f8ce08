// The hot loops of the blits and the read-back, as pure functions of their
// buffers. Pitches are in bytes and may be negative (bottom-up images);
// destination rows must not overlap. 16-bit pixels sit at even addresses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "blit/host_bytes.h"
#include "blit/pixel_format.h"
#include "cpu/kernel_level.h"

// Destination pixel j of each row becomes table[source[j]].
typedef void (*CopyIndexedFn)(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                              ptrdiff_t destinationPitch, int32_t width, int32_t height,
                              const uint16_t* table);
// As above, but pixels whose table colour equals key keep their old value.
typedef void (*CopyIndexedKeyedFn)(const uint8_t* source, ptrdiff_t sourcePitch,
                                   uint8_t* destination, ptrdiff_t destinationPitch, int32_t width,
                                   int32_t height, const uint16_t* table, uint16_t key);
// Nearest-neighbour stretch of a sourceWidth x sourceHeight image onto a
// width x height rectangle in the 16.16 steps of host_bytes.h. Only the
// window is drawn; destination points at the window's first pixel, source at
// the image's top-left pixel. With hasKey, pixels whose colour equals key
// keep their old value.
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

// The sets, one per level; the wider ones only where KX_X86_KERNELS and
// KX_AVX512_KERNELS say they are built.
extern const BlitKernelSet scalarBlitKernels;
extern const BlitKernelSet sse2BlitKernels;
extern const BlitKernelSet avx2BlitKernels;
extern const BlitKernelSet avx512BlitKernels;
