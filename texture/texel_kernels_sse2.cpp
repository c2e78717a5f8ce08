// The SSE2 lanes of the texel kernels. Without a byte shuffle the 8888
// layout swaps red and blue with word shuffles, and the 888 layout is taken
// apart into planes of blue, green and red bytes by rounds of byte
// interleaves, then interleaved again with the opaque alpha.
#include "texture/texel_kernels.h"

#if defined(KX_X86_KERNELS)

#include <immintrin.h>

#define KX_LANES __attribute__((target("sse2")))
#define KX_LANE __attribute__((target("sse2"), always_inline)) inline

namespace {

#include "texture/texel_lanes.h"

struct Sse2Lanes {
    using V = __m128i;

    static constexpr int32_t k8888Pixels = 4;
    KX_LANE static void convert8888Group(uint32_t* d, const uint8_t* s) {
        const V redBlue = _mm_set1_epi32(0x00FF00FF);
        const V greenAlpha = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
        const V invertAlpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        const V x = _mm_loadu_si128(reinterpret_cast<const V*>(s));
        // Blue and red swap places by swapping the 16-bit halves of each word.
        V rb = _mm_and_si128(x, redBlue);
        rb = _mm_shufflehi_epi16(_mm_shufflelo_epi16(rb, 0xB1), 0xB1);
        const V texels = _mm_or_si128(rb, _mm_and_si128(x, greenAlpha));
        _mm_storeu_si128(reinterpret_cast<V*>(d), _mm_xor_si128(texels, invertAlpha));
    }

    // One round of the 3-way byte deinterleave: after four rounds, 48 bytes
    // of 3-byte pixels in a, b, c have become their first, second and third
    // bytes.
    KX_LANE static void interleaveRound(V& a, V& b, V& c) {
        const V x = _mm_unpacklo_epi8(a, _mm_unpackhi_epi64(b, b));
        const V y = _mm_unpacklo_epi8(_mm_unpackhi_epi64(a, a), c);
        const V z = _mm_unpacklo_epi8(b, _mm_unpackhi_epi64(c, c));
        a = x;
        b = y;
        c = z;
    }
    static constexpr int32_t k888Pixels = 16;
    KX_LANE static void convert888Group(uint32_t* destination, const uint8_t* s) {
        const V opaque = _mm_set1_epi8(-1);
        V blue = _mm_loadu_si128(reinterpret_cast<const V*>(s));
        V green = _mm_loadu_si128(reinterpret_cast<const V*>(s + 16));
        V red = _mm_loadu_si128(reinterpret_cast<const V*>(s + 32));
        for (int round = 0; round < 4; ++round)
            interleaveRound(blue, green, red);
        const V rgLow = _mm_unpacklo_epi8(red, green), rgHigh = _mm_unpackhi_epi8(red, green);
        const V baLow = _mm_unpacklo_epi8(blue, opaque), baHigh = _mm_unpackhi_epi8(blue, opaque);
        V* d = reinterpret_cast<V*>(destination);
        _mm_storeu_si128(d, _mm_unpacklo_epi16(rgLow, baLow));
        _mm_storeu_si128(d + 1, _mm_unpackhi_epi16(rgLow, baLow));
        _mm_storeu_si128(d + 2, _mm_unpacklo_epi16(rgHigh, baHigh));
        _mm_storeu_si128(d + 3, _mm_unpackhi_epi16(rgHigh, baHigh));
    }

    // Four texels of each row per store, for every map.
    static constexpr int32_t kGatherTexels = 4;
    static bool gatherPays(const int32_t*, int32_t) { return true; }
    KX_LANE static void gatherGroup(uint32_t* row, uint32_t* nextRow, const uint32_t* from,
                                    const uint32_t* nextFrom, const int32_t* columns, int32_t) {
        const int32_t c0 = columns[0], c1 = columns[1], c2 = columns[2], c3 = columns[3];
        _mm_storeu_si128(reinterpret_cast<V*>(row),
                         _mm_setr_epi32(static_cast<int>(from[c0]), static_cast<int>(from[c1]),
                                        static_cast<int>(from[c2]), static_cast<int>(from[c3])));
        _mm_storeu_si128(
            reinterpret_cast<V*>(nextRow),
            _mm_setr_epi32(static_cast<int>(nextFrom[c0]), static_cast<int>(nextFrom[c1]),
                           static_cast<int>(nextFrom[c2]), static_cast<int>(nextFrom[c3])));
    }
};

} // namespace

const TexelKernelSet sse2TexelKernels = laneTexelKernels<Sse2Lanes>("sse2");

#endif
