// The SSE2 texel kernels. Without a byte shuffle the 8888 layout swaps red
// and blue with word shuffles, and the 888 layout is taken apart into planes
// of blue, green and red bytes by rounds of byte interleaves, then
// interleaved again with the opaque alpha.
#include "texture/texel_kernels.h"

#if defined(KX_X86_KERNELS)

#include <immintrin.h>

#define KX_SSE2 __attribute__((target("sse2")))

namespace {

KX_SSE2 void convert8888Sse2(uint32_t* destination, const uint8_t* source, int32_t count) {
    const __m128i redBlue = _mm_set1_epi32(0x00FF00FF);
    const __m128i greenAlpha = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
    const __m128i invertAlpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * i));
        // Blue and red swap places by swapping the 16-bit halves of each word.
        __m128i rb = _mm_and_si128(x, redBlue);
        rb = _mm_shufflehi_epi16(_mm_shufflelo_epi16(rb, 0xB1), 0xB1);
        const __m128i texels = _mm_or_si128(rb, _mm_and_si128(x, greenAlpha));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i),
                         _mm_xor_si128(texels, invertAlpha));
    }
    for (; i < count; ++i) {
        uint32_t colour;
        std::memcpy(&colour, source + 4 * i, 4);
        destination[i] = texelFromHostColour(colour);
    }
}

// One round of the 3-way byte deinterleave: after four rounds, 48 bytes of
// 3-byte pixels in a, b, c have become their first, second and third bytes.
KX_SSE2 inline void interleaveRound(__m128i& a, __m128i& b, __m128i& c) {
    const __m128i x = _mm_unpacklo_epi8(a, _mm_unpackhi_epi64(b, b));
    const __m128i y = _mm_unpacklo_epi8(_mm_unpackhi_epi64(a, a), c);
    const __m128i z = _mm_unpacklo_epi8(b, _mm_unpackhi_epi64(c, c));
    a = x;
    b = y;
    c = z;
}

KX_SSE2 void convert888Sse2(uint32_t* destination, const uint8_t* source, int32_t count) {
    const __m128i opaque = _mm_set1_epi8(-1);
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const uint8_t* s = source + 3 * i;
        __m128i blue = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        __m128i green = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
        __m128i red = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
        for (int round = 0; round < 4; ++round)
            interleaveRound(blue, green, red);
        const __m128i rgLow = _mm_unpacklo_epi8(red, green), rgHigh = _mm_unpackhi_epi8(red, green);
        const __m128i baLow = _mm_unpacklo_epi8(blue, opaque);
        const __m128i baHigh = _mm_unpackhi_epi8(blue, opaque);
        __m128i* d = reinterpret_cast<__m128i*>(destination + i);
        _mm_storeu_si128(d, _mm_unpacklo_epi16(rgLow, baLow));
        _mm_storeu_si128(d + 1, _mm_unpackhi_epi16(rgLow, baLow));
        _mm_storeu_si128(d + 2, _mm_unpacklo_epi16(rgHigh, baHigh));
        _mm_storeu_si128(d + 3, _mm_unpackhi_epi16(rgHigh, baHigh));
    }
    for (; i < count; ++i)
        destination[i] = texelFrom888(source + 3 * i);
}

// Four texels of each row per store.
KX_SSE2 void gatherTexelRowsSse2(uint32_t* row, uint32_t* nextRow, const uint32_t* from,
                                 const uint32_t* nextFrom, const int32_t* columns, int32_t count,
                                 int32_t) {
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const int32_t c0 = columns[x], c1 = columns[x + 1], c2 = columns[x + 2],
                      c3 = columns[x + 3];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x),
                         _mm_setr_epi32(static_cast<int>(from[c0]), static_cast<int>(from[c1]),
                                        static_cast<int>(from[c2]), static_cast<int>(from[c3])));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(nextRow + x),
            _mm_setr_epi32(static_cast<int>(nextFrom[c0]), static_cast<int>(nextFrom[c1]),
                           static_cast<int>(nextFrom[c2]), static_cast<int>(nextFrom[c3])));
    }
    for (; x < count; ++x) {
        row[x] = from[columns[x]];
        nextRow[x] = nextFrom[columns[x]];
    }
}

} // namespace

const TexelKernelSet sse2TexelKernels = {"sse2", convertIndexedTexelsScalar, convert8888Sse2,
                                         convert888Sse2, gatherTexelRowsSse2};

#endif
