// The AVX2 texel kernels: byte shuffles for the 8888 and 888 layouts, and a
// permute of a 16-texel window for the scaler's rows. The indexed layout uses
// the scalar loop: AVX2's gather measured slower than it.
#include "texture/texel_kernels.h"

#if defined(KX_X86_KERNELS)

#include <immintrin.h>

#define KX_AVX2 __attribute__((target("avx2")))

namespace {

// Bytes blue, green, red, alpha of each pixel to red, green, blue, alpha; the
// alpha byte is then inverted by the xor (255 - a == a ^ 0xFF).
KX_AVX2 void convert8888Avx2(uint32_t* destination, const uint8_t* source, int32_t count) {
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2,
                                           1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    const __m256i invertAlpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * i + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + i),
                            _mm256_xor_si256(_mm256_shuffle_epi8(a, order), invertAlpha));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + i + 8),
                            _mm256_xor_si256(_mm256_shuffle_epi8(b, order), invertAlpha));
    }
    for (; i < count; ++i) {
        uint32_t colour;
        std::memcpy(&colour, source + 4 * i, 4);
        destination[i] = texelFromHostColour(colour);
    }
}

// Eight 3-byte pixels per register: the low lane takes bytes 0-15 (pixels
// 0-3 in its first 12), the high lane bytes 8-23 (pixels 4-7 in its last 12).
KX_AVX2 void convert888Avx2(uint32_t* destination, const uint8_t* source, int32_t count) {
    const __m256i order = _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1, 6,
                                           5, 4, -1, 9, 8, 7, -1, 12, 11, 10, -1, 15, 14, 13, -1);
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const uint8_t* s = source + 3 * i;
        const __m256i x = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8)), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + i),
                            _mm256_or_si256(_mm256_shuffle_epi8(x, order), opaque));
    }
    for (; i < count; ++i)
        destination[i] = texelFrom888(source + 3 * i);
}

// Eight texels of a row from a 16-texel window of its source row: two
// permutes and a blend.
KX_AVX2 inline __m256i window8(const uint32_t* from, __m256i index, __m256i high) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 8));
    return _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(low, index),
                              _mm256_permutevar8x32_epi32(next, index), high);
}

// Eight destination texels of each row from one index vector, where the
// 16-texel window holds all eight sources (shrinks up to about 2:1, every
// enlargement) and lies inside the row. Stronger shrinks, whose windows never
// hold eight, take the scalar loop.
KX_AVX2 void gatherTexelRowsAvx2(uint32_t* row, uint32_t* nextRow, const uint32_t* from,
                                 const uint32_t* nextFrom, const int32_t* columns, int32_t count,
                                 int32_t rowLength) {
    if (count >= 8 && columns[7] - columns[0] >= 16) {
        scalarTexelKernels.gatherTexelRows(row, nextRow, from, nextFrom, columns, count, rowLength);
        return;
    }
    const __m256i seven = _mm256_set1_epi32(7);
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const int32_t base = columns[x];
        if (columns[x + 7] - base < 16 && base + 16 <= rowLength) {
            const __m256i index =
                _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + x)),
                                 _mm256_set1_epi32(base));
            const __m256i high = _mm256_cmpgt_epi32(index, seven);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x),
                                window8(from + base, index, high));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(nextRow + x),
                                window8(nextFrom + base, index, high));
        } else {
            for (int32_t k = 0; k < 8; ++k) {
                row[x + k] = from[columns[x + k]];
                nextRow[x + k] = nextFrom[columns[x + k]];
            }
        }
    }
    for (; x < count; ++x) {
        row[x] = from[columns[x]];
        nextRow[x] = nextFrom[columns[x]];
    }
}

} // namespace

const TexelKernelSet avx2TexelKernels = {"avx2", convertIndexedTexelsScalar, convert8888Avx2,
                                         convert888Avx2, gatherTexelRowsAvx2};

#endif
