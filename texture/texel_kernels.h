// Pixel kernels of the texture conversion: host pixels into SGL texels
// (bytes red, green, blue, transparency; the word 0xTTBBGGRR), and the
// index maps of the nearest-neighbour scaler. Private to texture/.
#pragma once

#include <cstdint>
#include <cstring>

#include "cpu/kernel_level.h"
#include "texture/host_texels.h"

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
