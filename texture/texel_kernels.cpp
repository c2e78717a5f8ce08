// Pixel kernels of the texture conversion. The byte-shuffling layouts (8888,
// 888) have SSSE3 versions chosen at run time; the plain loops serve every
// other processor and give the same texels.
#include "texture/texel_kernels.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define KX_TEXEL_SIMD 1
#endif

void convertIndexedTexels(uint32_t* destination, const uint8_t* source, const uint32_t* palette,
                          int32_t count) {
    int32_t i = 0;
    // Eight indices per load keep the loop on the palette reads and the stores.
    for (; i + 8 <= count; i += 8) {
        uint64_t v;
        std::memcpy(&v, source + i, 8);
        destination[i + 0] = palette[v & 0xFF];
        destination[i + 1] = palette[(v >> 8) & 0xFF];
        destination[i + 2] = palette[(v >> 16) & 0xFF];
        destination[i + 3] = palette[(v >> 24) & 0xFF];
        destination[i + 4] = palette[(v >> 32) & 0xFF];
        destination[i + 5] = palette[(v >> 40) & 0xFF];
        destination[i + 6] = palette[(v >> 48) & 0xFF];
        destination[i + 7] = palette[v >> 56];
    }
    for (; i < count; ++i)
        destination[i] = palette[source[i]];
}

static void convert8888Plain(uint32_t* destination, const uint8_t* source, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        uint32_t colour;
        std::memcpy(&colour, source + 4 * i, 4);
        destination[i] = texelFromHostColour(colour);
    }
}

static void convert888Plain(uint32_t* destination, const uint8_t* source, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        destination[i] = texelFrom888(source + 3 * i);
}

#if defined(KX_TEXEL_SIMD)
// Bytes b, g, r, a of each pixel to r, g, b, a; the alpha byte is then
// inverted by the xor (255 - a == a ^ 0xFF).
__attribute__((target("ssse3"))) static void
convert8888Ssse3(uint32_t* destination, const uint8_t* source, int32_t count) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    const __m128i invertAlpha = _mm_set1_epi32(int32_t(0xFF000000u));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * i + 16));
        a = _mm_xor_si128(_mm_shuffle_epi8(a, order), invertAlpha);
        b = _mm_xor_si128(_mm_shuffle_epi8(b, order), invertAlpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i + 4), b);
    }
    convert8888Plain(destination + i, source + 4 * i, count - i);
}

// Four 3-byte pixels from each 16-byte load, sixteen per round; the last
// load ends 2 pixels past the round, so the loop stops while 18 remain.
__attribute__((target("ssse3"))) static void convert888Ssse3(uint32_t* destination,
                                                             const uint8_t* source, int32_t count) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i opaque = _mm_set1_epi32(int32_t(0xFF000000u));
    int32_t i = 0;
    for (; i + 18 <= count; i += 16) {
        const uint8_t* s = source + 3 * i;
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 12));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 24));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 36));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i),
                         _mm_or_si128(_mm_shuffle_epi8(a, order), opaque));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i + 4),
                         _mm_or_si128(_mm_shuffle_epi8(b, order), opaque));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i + 8),
                         _mm_or_si128(_mm_shuffle_epi8(c, order), opaque));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i + 12),
                         _mm_or_si128(_mm_shuffle_epi8(d, order), opaque));
    }
    convert888Plain(destination + i, source + 3 * i, count - i);
}

// Eight destination texels from a 16-texel window of the source row: two
// permutes and a blend, where the window holds all eight sources (shrinks up
// to about 2:1, every enlargement) and lies inside the row.
__attribute__((target("avx2"))) static void gatherTexelsAvx2(uint32_t* row, const uint32_t* from,
                                                             const int32_t* columns, int32_t count,
                                                             int32_t rowLength) {
    const __m256i seven = _mm256_set1_epi32(7);
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const int32_t base = columns[x];
        if (columns[x + 7] - base < 16 && base + 16 <= rowLength) {
            __m256i index =
                _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + x)),
                                 _mm256_set1_epi32(base));
            __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + base));
            __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + base + 8));
            __m256i texels = _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(low, index),
                                                _mm256_permutevar8x32_epi32(high, index),
                                                _mm256_cmpgt_epi32(index, seven));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x), texels);
        } else {
            for (int32_t k = 0; k < 8; ++k)
                row[x + k] = from[columns[x + k]];
        }
    }
    for (; x < count; ++x)
        row[x] = from[columns[x]];
}

#endif

static int simdCap = 2;
static int simdLevelFound = -1; // the driver runs on one thread

// 0: the baseline, 1: SSSE3, 2: SSSE3 and AVX2.
static int simdLevel() {
#if defined(KX_TEXEL_SIMD)
    if (simdLevelFound < 0) {
        __builtin_cpu_init();
        simdLevelFound = !__builtin_cpu_supports("ssse3") ? 0
                         : __builtin_cpu_supports("avx2") ? 2
                                                          : 1;
    }
    return simdLevelFound < simdCap ? simdLevelFound : simdCap;
#else
    return 0;
#endif
}

void capTexelSimdLevel(int level) {
    simdCap = level;
}

void gatherTexels(uint32_t* row, const uint32_t* from, const int32_t* columns, int32_t count,
                  int32_t rowLength) {
    int32_t x = 0;
#if defined(KX_TEXEL_SIMD)
    if (simdLevel() >= 2) return gatherTexelsAvx2(row, from, columns, count, rowLength);
#if defined(__SSE2__)
    // Four texels per store.
    for (; x + 4 <= count; x += 4) {
        __m128i texels = _mm_set_epi32(int32_t(from[columns[x + 3]]), int32_t(from[columns[x + 2]]),
                                       int32_t(from[columns[x + 1]]), int32_t(from[columns[x]]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), texels);
    }
#endif
#endif
    for (; x < count; ++x)
        row[x] = from[columns[x]];
}

void convert8888Texels(uint32_t* destination, const uint8_t* source, int32_t count) {
#if defined(KX_TEXEL_SIMD)
    if (simdLevel() >= 1) return convert8888Ssse3(destination, source, count);
#endif
    convert8888Plain(destination, source, count);
}

void convert888Texels(uint32_t* destination, const uint8_t* source, int32_t count) {
#if defined(KX_TEXEL_SIMD)
    if (simdLevel() >= 1) return convert888Ssse3(destination, source, count);
#endif
    convert888Plain(destination, source, count);
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
// lengths of a shrink would mispredict.
void buildScaleMap(int32_t* map, int32_t destinationSize, int32_t sourceSize) {
    const int64_t step = (int64_t(destinationSize) << 16) / sourceSize;
    const int64_t covered = (sourceSize * step) >> 16; // at most destinationSize
    int32_t d = 0;
    if (covered > 0) {
        int64_t quotient = 65535 / step, remainder = 65535 % step;
        const int64_t quotientStep = 65536 / step, remainderStep = 65536 % step;
        for (; d < covered; ++d) {
            map[d] = int32_t(quotient);
            quotient += quotientStep;
            remainder += remainderStep;
            const int64_t carry = remainder >= step;
            quotient += carry;
            remainder -= carry * step;
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
