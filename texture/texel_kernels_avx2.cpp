// The AVX2 lanes of the texel kernels: byte shuffles for the 8888 and 888
// layouts, and a permute of a 16-texel window for the scaler's rows.
#include "texture/texel_kernels.h"

#if defined(KX_X86_KERNELS)

#include <immintrin.h>

#define KX_LANES __attribute__((target("avx2")))
#define KX_LANE __attribute__((target("avx2"), always_inline)) inline

namespace {

#include "texture/texel_lanes.h"

struct Avx2Lanes {
    using V = __m256i;

    // Bytes blue, green, red, alpha of each pixel to red, green, blue,
    // alpha; the alpha byte is then inverted by the xor (255 - a == a ^ 0xFF).
    // Two registers a group.
    static constexpr int32_t k8888Pixels = 16;
    KX_LANE static void convert8888Group(uint32_t* d, const uint8_t* s) {
        const V order = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2, 1,
                                         0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
        const V invertAlpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
        const V a = _mm256_loadu_si256(reinterpret_cast<const V*>(s));
        const V b = _mm256_loadu_si256(reinterpret_cast<const V*>(s + 32));
        _mm256_storeu_si256(reinterpret_cast<V*>(d),
                            _mm256_xor_si256(_mm256_shuffle_epi8(a, order), invertAlpha));
        _mm256_storeu_si256(reinterpret_cast<V*>(d + 8),
                            _mm256_xor_si256(_mm256_shuffle_epi8(b, order), invertAlpha));
    }

    // Eight 3-byte pixels per register: the low lane takes bytes 0-15
    // (pixels 0-3 in its first 12), the high lane bytes 8-23 (pixels 4-7 in
    // its last 12).
    static constexpr int32_t k888Pixels = 8;
    KX_LANE static void convert888Group(uint32_t* d, const uint8_t* s) {
        const V order = _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1, 6, 5,
                                         4, -1, 9, 8, 7, -1, 12, 11, 10, -1, 15, 14, 13, -1);
        const V opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
        const V x = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8)), 1);
        _mm256_storeu_si256(reinterpret_cast<V*>(d),
                            _mm256_or_si256(_mm256_shuffle_epi8(x, order), opaque));
    }

    // Eight texels of a row from a 16-texel window of its source row: two
    // permutes and a blend.
    KX_LANE static V window8(const uint32_t* from, V index, V high) {
        const V low = _mm256_loadu_si256(reinterpret_cast<const V*>(from));
        const V next = _mm256_loadu_si256(reinterpret_cast<const V*>(from + 8));
        return _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(low, index),
                                  _mm256_permutevar8x32_epi32(next, index), high);
    }
    // Eight destination texels of each row from one index vector, where the
    // 16-texel window holds all eight sources (shrinks up to about 2:1, every
    // enlargement) and lies inside the row. Stronger shrinks, whose windows
    // never hold eight, take the scalar loop.
    static constexpr int32_t kGatherTexels = 8;
    static bool gatherPays(const int32_t* columns, int32_t count) {
        return count < 8 || columns[7] - columns[0] < 16;
    }
    KX_LANE static void gatherGroup(uint32_t* row, uint32_t* nextRow, const uint32_t* from,
                                    const uint32_t* nextFrom, const int32_t* columns,
                                    int32_t rowLength) {
        const int32_t base = columns[0];
        if (columns[7] - base < 16 && base + 16 <= rowLength) {
            const V index = _mm256_sub_epi32(
                _mm256_loadu_si256(reinterpret_cast<const V*>(columns)), _mm256_set1_epi32(base));
            const V high = _mm256_cmpgt_epi32(index, _mm256_set1_epi32(7));
            _mm256_storeu_si256(reinterpret_cast<V*>(row), window8(from + base, index, high));
            _mm256_storeu_si256(reinterpret_cast<V*>(nextRow),
                                window8(nextFrom + base, index, high));
        } else {
            for (int32_t k = 0; k < 8; ++k) {
                row[k] = from[columns[k]];
                nextRow[k] = nextFrom[columns[k]];
            }
        }
    }
};

} // namespace

const TexelKernelSet avx2TexelKernels = laneTexelKernels<Avx2Lanes>("avx2");

#endif
