// The AVX-512 span kernels (F, BW, VL): sixteen pixels a group, with mask
// registers for the depth test, the partial last group and the stores.
//
// Not built for Windows: mingw-w64's GCC does not align the stack for
// spilled 512-bit registers there (GCC bug 54412).
#include "softsgl/span_kernels.h"

#include "cpu/kernel_level.h"
#include "softsgl/pixel_ops.h"

#if defined(KX_AVX512_KERNELS)

// GCC 12's AVX-512 headers start some intrinsics from an undefined
// register and then warn that it is, or may be, used uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include <type_traits>

#define KX_SPAN                                                                                    \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi"), always_inline)) inline

namespace softsgl {
namespace {

// Everything but the texel fetch, which comes in two kinds (below).
struct Avx512Lanes {
    static constexpr int N = 16;
    // Groups tested and fetched as they are drawn, divided a group ahead
    // (see laneRun).
    static constexpr bool kFetchAhead = false;
    using F = __m512;
    using I = __m512i;
    using M = __mmask16;
    using Shift = __m128i;

    KX_SPAN static F set1(float f) { return _mm512_set1_ps(f); }
    KX_SPAN static F iota() {
        return _mm512_set_ps(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    }
    KX_SPAN static F add(F a, F b) { return _mm512_add_ps(a, b); }
    KX_SPAN static F sub(F a, F b) { return _mm512_sub_ps(a, b); }
    KX_SPAN static F mul(F a, F b) { return _mm512_mul_ps(a, b); }
    KX_SPAN static F div(F a, F b) { return _mm512_div_ps(a, b); }
    KX_SPAN static F maxf(F a, F b) { return _mm512_max_ps(a, b); }
    KX_SPAN static F minf(F a, F b) { return _mm512_min_ps(a, b); }
    KX_SPAN static F toFloat(I i) { return _mm512_cvtepi32_ps(i); }
    KX_SPAN static I truncate(F f) { return _mm512_cvttps_epi32(f); }
    KX_SPAN static I lessAsMinusOne(F a, F b) {
        return _mm512_maskz_set1_epi32(_mm512_cmp_ps_mask(a, b, _CMP_LT_OQ), -1);
    }
    KX_SPAN static M greaterEqual(F a, F b) { return _mm512_cmp_ps_mask(a, b, _CMP_GE_OQ); }

    KX_SPAN static I zero() { return _mm512_setzero_si512(); }
    KX_SPAN static I set1i(int32_t v) { return _mm512_set1_epi32(v); }
    KX_SPAN static I loadi(const int32_t* p) { return _mm512_loadu_si512(p); }
    KX_SPAN static I ramp(int32_t base, int32_t step) {
        const I k = _mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
        return _mm512_add_epi32(_mm512_set1_epi32(base),
                                _mm512_mullo_epi32(k, _mm512_set1_epi32(step)));
    }
    KX_SPAN static I add(I a, I b) { return _mm512_add_epi32(a, b); }
    KX_SPAN static I sub(I a, I b) { return _mm512_sub_epi32(a, b); }
    KX_SPAN static I mul16(I a, I b) { return _mm512_mullo_epi16(a, b); }
    // The high halves of each 16-bit half's unsigned product.
    KX_SPAN static I mulHigh16(I a, I b) { return _mm512_mulhi_epu16(a, b); }
    // Each lane's two signed 16-bit halves times b's, summed.
    KX_SPAN static I maddHalves(I a, I b) { return _mm512_madd_epi16(a, b); }
    KX_SPAN static I mul32(I a, I b) { return _mm512_mullo_epi32(a, b); }
    KX_SPAN static I mulShort(I a, I b) { return mul32(a, b); } // lanes below 2^16
    KX_SPAN static I andi(I a, I b) { return _mm512_and_si512(a, b); }
    KX_SPAN static I ori(I a, I b) { return _mm512_or_si512(a, b); }
    KX_SPAN static I xori(I a, I b) { return _mm512_xor_si512(a, b); }
    KX_SPAN static I srli(I a, int n) { return _mm512_srli_epi32(a, unsigned(n)); }
    KX_SPAN static I slli(I a, int n) { return _mm512_slli_epi32(a, unsigned(n)); }
    KX_SPAN static I srai16(I a) { return _mm512_srai_epi32(a, 16); }
    KX_SPAN static Shift shiftCount(int n) { return _mm_cvtsi32_si128(n); }
    KX_SPAN static I sll(I a, Shift n) { return _mm512_sll_epi32(a, n); }
    KX_SPAN static I clamp255(I c) {
        return _mm512_min_epi32(_mm512_max_epi32(c, _mm512_setzero_si512()),
                                _mm512_set1_epi32(255));
    }
    KX_SPAN static I greaterAsMinusOne(I a, I b) {
        return _mm512_maskz_set1_epi32(_mm512_cmpgt_epi32_mask(a, b), -1);
    }
    KX_SPAN static M equal(I a, I b) { return _mm512_cmpeq_epi32_mask(a, b); }
    KX_SPAN static M notEqual(I a, I b) { return _mm512_cmpneq_epi32_mask(a, b); }
    KX_SPAN static M andMask(M a, M b) { return M(a & b); }
    KX_SPAN static M firstLanes(int n) { return M((1u << n) - 1); }
    KX_SPAN static bool none(M m) { return m == 0; }

    KX_SPAN static I loadPixels(const uint16_t* p) {
        return _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    }
    KX_SPAN static I loadPixelsPart(const uint16_t* p, int n) {
        return _mm512_cvtepu16_epi32(_mm256_maskz_loadu_epi16(firstLanes(n), p));
    }
    KX_SPAN static void storePixels(uint16_t* p, I pixels, M m) {
        _mm256_mask_storeu_epi16(p, m, _mm512_cvtepi32_epi16(pixels));
    }
    KX_SPAN static void storePixelsPart(uint16_t* p, I pixels, M m, int) {
        storePixels(p, pixels, m);
    }
    KX_SPAN static F loadDepth(const float* z) { return _mm512_loadu_ps(z); }
    KX_SPAN static F loadDepthPart(const float* z, int n) {
        return _mm512_maskz_loadu_ps(firstLanes(n), z);
    }
    KX_SPAN static void storeDepth(float* z, F q, F, M m) { _mm512_mask_storeu_ps(z, m, q); }
    KX_SPAN static void storeDepthPart(float* z, F q, M m, int) { _mm512_mask_storeu_ps(z, m, q); }
};

// Both kinds' kernels use the dithering of the enclosing namespace.
#include "softsgl/dither_lanes.h"

// Texels by separate loads, which the processor's gather instruction does
// not beat everywhere: on the AMD EPYC (Zen 4) we measure on it took 10 %
// longer over the frame benchmark, and Intel processors that carry the
// gather-data-sampling mitigation run it several times slower.
namespace loads {

struct Lanes : Avx512Lanes {
    KX_SPAN static __m128i four(const uint32_t* texels, const int32_t* k) {
        __m128i v = _mm_cvtsi32_si128(int32_t(texels[k[0]]));
        v = _mm_insert_epi32(v, int32_t(texels[k[1]]), 1);
        v = _mm_insert_epi32(v, int32_t(texels[k[2]]), 2);
        return _mm_insert_epi32(v, int32_t(texels[k[3]]), 3);
    }
    // Four quarters, lanes 0-3 to 12-15, as one vector.
    KX_SPAN static I join(__m128i a, __m128i b, __m128i c, __m128i d) {
        const __m256i lo = _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
        const __m256i hi = _mm256_inserti128_si256(_mm256_castsi128_si256(c), d, 1);
        return _mm512_inserti64x4(_mm512_castsi256_si512(lo), hi, 1);
    }
    KX_SPAN static I gather(const uint32_t* texels, I index) {
        alignas(64) int32_t k[16];
        _mm512_store_si512(k, index);
        return join(four(texels, k), four(texels, k + 4), four(texels, k + 8),
                    four(texels, k + 12));
    }
    // Each lane's pair by one 8-byte load: half the loads of two gathers,
    // and the filtered frames 14 to 23 % faster for it on an Intel Xeon
    // (AVX-512 FP16).
    KX_SPAN static void gatherPair(const uint32_t* texels, I index, I& first, I& second) {
        alignas(64) int32_t k[16];
        _mm512_store_si512(k, index);
        __m128i f[4], s[4];
        for (int j = 0; j < 4; ++j) {
            const int32_t* q = k + 4 * j;
            const __m128i a = _mm_unpacklo_epi32(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(texels + q[0])),
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(texels + q[1])));
            const __m128i b = _mm_unpacklo_epi32(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(texels + q[2])),
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(texels + q[3])));
            f[j] = _mm_unpacklo_epi64(a, b);
            s[j] = _mm_unpackhi_epi64(a, b);
        }
        first = join(f[0], f[1], f[2], f[3]);
        second = join(s[0], s[1], s[2], s[3]);
    }
};

#include "softsgl/span_lanes.h"

} // namespace loads

// Texels by the gather instruction, where it is fast (gatherInstructionFast):
// on an Intel Xeon (AVX-512 FP16) the frame benchmark's frames took 10 to
// 25 % less time than with the loads.
namespace instruction {

struct Lanes : Avx512Lanes {
    KX_SPAN static I gather(const uint32_t* texels, I index) {
        return _mm512_i32gather_epi32(index, texels, 4);
    }
    // Each lane's pair as one 8-byte element, eight lanes a gather; the
    // pairs' halves then sorted into the two vectors.
    KX_SPAN static void gatherPair(const uint32_t* texels, I index, I& first, I& second) {
        const I low = _mm512_i32gather_epi64(_mm512_castsi512_si256(index), texels, 4);
        const I high = _mm512_i32gather_epi64(_mm512_extracti64x4_epi64(index, 1), texels, 4);
        const I even = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
        first = _mm512_permutex2var_epi32(low, even, high);
        second = _mm512_permutex2var_epi32(low, _mm512_add_epi32(even, _mm512_set1_epi32(1)), high);
    }
};

#include "softsgl/span_lanes.h"

} // namespace instruction

} // namespace

const SpanKernelSet avx512SpanKernels = loads::kLaneSet;
const SpanKernelSet avx512GatherSpanKernels = instruction::kLaneSet;

} // namespace softsgl

#endif
