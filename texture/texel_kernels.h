// Pixel kernels of the texture conversion: host pixels into SGL texels
// (bytes red, green, blue, transparency; the word 0xTTBBGGRR), and the
// index maps of the nearest-neighbour scaler. Private to texture/.
#pragma once

#include <cstdint>
#include <cstring>

#include "cpu/kernel_level.h"

// A host colour 0xAARRGGBB as a texel: red, green, blue, 255 - alpha.
inline uint32_t texelFromHostColour(uint32_t colour) {
    return ((colour >> 16) & 0xFFu) | (colour & 0xFF00u) | ((colour & 0xFFu) << 16) |
           (~colour & 0xFF000000u);
}

// Bytes blue, green, red as a texel: red, green, blue, 255.
inline uint32_t texelFrom888(const uint8_t* p) {
    return uint32_t(p[2]) | (uint32_t(p[1]) << 8) | (uint32_t(p[0]) << 16) | 0xFF000000u;
}

inline uint16_t load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// 16-bit layouts: components widen by a left shift (low bits zero). 1555's
// top bit is its alpha: set = opaque (transparency 0), clear = transparency 255.
inline uint32_t texelFrom1555(uint16_t p) {
    uint32_t r = ((p >> 10) & 0x1Fu) << 3, g = ((p >> 5) & 0x1Fu) << 3, b = (p & 0x1Fu) << 3;
    return r | (g << 8) | (b << 16) | ((p & 0x8000u) ? 0u : 0xFF000000u);
}
inline uint32_t texelFrom555(uint16_t p) {
    uint32_t r = ((p >> 10) & 0x1Fu) << 3, g = ((p >> 5) & 0x1Fu) << 3, b = (p & 0x1Fu) << 3;
    return r | (g << 8) | (b << 16);
}
inline uint32_t texelFrom565(uint16_t p) {
    uint32_t r = ((p >> 11) & 0x1Fu) << 3, g = ((p >> 5) & 0x3Fu) << 2, b = (p & 0x1Fu) << 3;
    return r | (g << 8) | (b << 16);
}

// Runs of count pixels into count texels; the 16-bit layouts have one plain
// version, the others one per kernel level.
void convert1555Texels(uint32_t* destination, const uint8_t* source, int32_t count);
void convert555Texels(uint32_t* destination, const uint8_t* source, int32_t count);
void convert565Texels(uint32_t* destination, const uint8_t* source, int32_t count);

struct TexelKernelSet {
    const char* name; // the level's name
    // destination[i] = palette[source[i]]
    void (*convertIndexed)(uint32_t* destination, const uint8_t* source, const uint32_t* palette,
                           int32_t count);
    void (*convert8888)(uint32_t* destination, const uint8_t* source, int32_t count);
    void (*convert888)(uint32_t* destination, const uint8_t* source, int32_t count);
    // Two rows through one column map: row[x] = from[columns[x]] and
    // nextRow[x] = nextFrom[columns[x]] for x < count (sharing the map's loads
    // between two rows measured faster; the scaler hands one row twice when
    // it has one). Source rows hold rowLength texels; columns[] never decreases.
    void (*gatherTexelRows)(uint32_t* row, uint32_t* nextRow, const uint32_t* from,
                            const uint32_t* nextFrom, const int32_t* columns, int32_t count,
                            int32_t rowLength);
};

// The kernels the conversion uses: the set of kernelLevel() (the AVX2 set
// serves the AVX-512 level).
const TexelKernelSet& texelKernels();
// The set of one level (KernelLevel), or null where this build or this
// processor has none.
const TexelKernelSet* texelKernelSet(int level);

extern const TexelKernelSet scalarTexelKernels;
extern const TexelKernelSet sse2TexelKernels;
extern const TexelKernelSet avx2TexelKernels;

// The scalar indexed conversion, which the wider sets use as well: no
// vector form of a 256-entry lookup measured faster (AVX2's gather did not).
void convertIndexedTexelsScalar(uint32_t* destination, const uint8_t* source,
                                const uint32_t* palette, int32_t count);

// The longest dimension the scaler maps through a table on the stack.
constexpr int32_t kMaxScaleMap = 1024;

// For each destination index of one dimension (destinationSize <= kMaxScaleMap),
// the source index whose block covers it under the forward 16.16 stepping:
// source i covers [floor(i * step / 65536), floor((i + 1) * step / 65536)),
// step = destinationSize * 65536 / sourceSize. Indices past the last covered
// one take the source of the last covered one (source 0 when none is covered).
void buildScaleMap(int32_t* map, int32_t destinationSize, int32_t sourceSize);
// One entry of that map, computed on its own.
int32_t scaleSourceIndex(int32_t destinationIndex, int32_t destinationSize, int32_t sourceSize);

// The nearest-neighbour scaler of kxCache::ScaleTexels, with one set's row
// gather: pitches in texels; nothing is done for sizes below 1.
void scaleTexels(const TexelKernelSet& kernels, uint32_t* destination, int32_t destinationWidth,
                 int32_t destinationHeight, int32_t destinationPitch, const uint32_t* source,
                 int32_t sourceWidth, int32_t sourceHeight, int32_t sourcePitch);
