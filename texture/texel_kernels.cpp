// The choice of the texel kernel set, the plain conversions of the 16-bit
// layouts, and the scaler's maps and row loop.
#include "texture/texel_kernels.h"

namespace {

// The AVX2 set serves the AVX-512 level too.
KernelSets<TexelKernelSet> kSets = {&scalarTexelKernels, KX_X86_SET(sse2TexelKernels),
                                    KX_X86_SET(avx2TexelKernels), nullptr};

} // namespace

const TexelKernelSet* texelKernelSet(int level) {
    return familyKernelSet(kSets, level);
}

const TexelKernelSet& texelKernels() {
    return *kSets[familyKernelLevel(kSets, kernelLevel())];
}

void convert1555Texels(uint32_t* destination, const uint8_t* source, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        destination[i] = texelFrom1555(load16(source + 2 * i));
}

void convert555Texels(uint32_t* destination, const uint8_t* source, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        destination[i] = texelFrom555(load16(source + 2 * i));
}

void convert565Texels(uint32_t* destination, const uint8_t* source, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        destination[i] = texelFrom565(load16(source + 2 * i));
}

// Entry d is the largest source index i with floor(i * step / 65536) <= d, that
// is floor(((d + 1) * 65536 - 1) / step): the one whose block holds d. The
// quotient and remainder advance by those of 65536 / step per entry, which
// keeps the loop free of divisions and of branches that the irregular block
// lengths of a shrink would mispredict. With at most kMaxScaleMap entries the
// step stays below 2^26, so the loop runs in 32 bits (two instructions fewer
// per operation on an i686).
void buildScaleMap(int32_t* map, int32_t destinationSize, int32_t sourceSize) {
    const int64_t step = (int64_t(destinationSize) << 16) / sourceSize;
    const int64_t covered = (sourceSize * step) >> 16; // at most destinationSize
    int32_t d = 0;
    if (covered > 0) {
        const uint32_t step32 = uint32_t(step);
        uint32_t quotient = 65535 / step32, remainder = 65535 % step32;
        const uint32_t quotientStep = 65536 / step32, remainderStep = 65536 % step32;
        for (; d < covered; ++d) {
            map[d] = int32_t(quotient);
            quotient += quotientStep;
            remainder += remainderStep;
            const uint32_t carry = remainder >= step32;
            quotient += carry;
            remainder -= step32 & (0u - carry);
        }
    }
    const int32_t last = d > 0 ? map[d - 1] : 0;
    for (; d < destinationSize; ++d)
        map[d] = last;
}

int32_t scaleSourceIndex(int32_t destinationIndex, int32_t destinationSize, int32_t sourceSize) {
    const int64_t step = (int64_t(destinationSize) << 16) / sourceSize;
    const int64_t covered = (sourceSize * step) >> 16; // at most destinationSize
    if (covered == 0) return 0;
    const int64_t d = destinationIndex < covered ? destinationIndex : covered - 1;
    // The last source whose block starts at or before d: its block holds d.
    return static_cast<int32_t>((((d + 1) << 16) - 1) / step);
}

void scaleTexels(const TexelKernelSet& kernels, uint32_t* destination, int32_t destinationWidth,
                 int32_t destinationHeight, int32_t destinationPitch, const uint32_t* source,
                 int32_t sourceWidth, int32_t sourceHeight, int32_t sourcePitch) {

    if (!destination || !source || destinationWidth < 1 || destinationHeight < 1 ||
        sourceWidth < 1 || sourceHeight < 1)
        return;
    // Beyond the tables' length (never for textures, at most 256 square):
    // the same mapping, a chunk of columns at a time.
    if (destinationWidth > kMaxScaleMap || destinationHeight > kMaxScaleMap) {
        int32_t columns[kMaxScaleMap];
        for (int32_t x0 = 0; x0 < destinationWidth; x0 += kMaxScaleMap) {
            const int32_t n =
                destinationWidth - x0 < kMaxScaleMap ? destinationWidth - x0 : kMaxScaleMap;
            for (int32_t k = 0; k < n; ++k)
                columns[k] = scaleSourceIndex(x0 + k, destinationWidth, sourceWidth);
            for (int32_t y = 0; y < destinationHeight; ++y) {
                uint32_t* row = destination + int64_t(y) * destinationPitch + x0;
                const uint32_t* from =
                    source +
                    int64_t(scaleSourceIndex(y, destinationHeight, sourceHeight)) * sourcePitch;
                for (int32_t k = 0; k < n; ++k)
                    row[k] = from[columns[k]];
            }
        }
        return;
    }
    int32_t columns[kMaxScaleMap], rows[kMaxScaleMap];
    buildScaleMap(columns, destinationWidth, sourceWidth);
    buildScaleMap(rows, destinationHeight, sourceHeight);
    for (int32_t y = 0; y < destinationHeight;) {
        uint32_t* row = destination + int64_t(y) * destinationPitch;
        if (y > 0 && rows[y] == rows[y - 1]) {
            std::memcpy(row, row - destinationPitch, size_t(destinationWidth) * 4);
            ++y;
            continue;
        }
        // With the next row too where it reads another source row.
        const bool pair = y + 1 < destinationHeight && rows[y + 1] != rows[y];
        const uint32_t* from = source + int64_t(rows[y]) * sourcePitch;
        kernels.gatherTexelRows(row, pair ? row + destinationPitch : row, from,
                                pair ? source + int64_t(rows[y + 1]) * sourcePitch : from, columns,
                                destinationWidth, sourceWidth);
        y += pair ? 2 : 1;
    }
}
