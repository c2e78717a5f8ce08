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

// Four 3-byte pixels from each 16-byte load; every load stays inside the
// source because the loop stops while at least 6 pixels remain beyond it.
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

static bool hasSsse3() {
    static int known = -1; // the driver runs on one thread
    if (known < 0) {
        __builtin_cpu_init();
        known = __builtin_cpu_supports("ssse3") ? 1 : 0;
    }
    return known == 1;
}
#endif

void convert8888Texels(uint32_t* destination, const uint8_t* source, int32_t count) {
#if defined(KX_TEXEL_SIMD)
    if (hasSsse3()) return convert8888Ssse3(destination, source, count);
#endif
    convert8888Plain(destination, source, count);
}

void convert888Texels(uint32_t* destination, const uint8_t* source, int32_t count) {
#if defined(KX_TEXEL_SIMD)
    if (hasSsse3()) return convert888Ssse3(destination, source, count);
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

void buildScaleMap(int32_t* map, int32_t destinationSize, int32_t sourceSize) {
    const int64_t step = (int64_t(destinationSize) << 16) / sourceSize;
    int64_t end = 0;
    int32_t d = 0;
    for (int32_t s = 0; s < sourceSize && d < destinationSize; ++s) {
        end += step;
        int64_t blockEnd = end >> 16;
        if (blockEnd > destinationSize) blockEnd = destinationSize;
        while (d < blockEnd)
            map[d++] = s;
    }
    const int32_t last = d > 0 ? map[d - 1] : 0;
    while (d < destinationSize)
        map[d++] = last;
}

int32_t scaleSourceIndex(int32_t destinationIndex, int32_t destinationSize, int32_t sourceSize) {
    const int64_t step = (int64_t(destinationSize) << 16) / sourceSize;
    const int64_t covered = (sourceSize * step) >> 16; // at most destinationSize
    if (covered == 0) return 0;
    const int64_t d = destinationIndex < covered ? destinationIndex : covered - 1;
    // The last source whose block starts at or before d: its block holds d.
    return static_cast<int32_t>((((d + 1) << 16) - 1) / step);
}
