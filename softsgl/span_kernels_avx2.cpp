// The AVX2 span kernels: eight pixels a group. Texels are fetched with
// eight loads: the gather instruction took 1.7 times as long over the frame
// benchmark on the AMD EPYC (Zen 4) we measure on, and filtered frames,
// four gathers a group, took about 5 % longer with it.
#include "softsgl/span_kernels.h"

#include "cpu/kernel_level.h"
#include "softsgl/pixel_ops.h"

#if defined(KX_X86_KERNELS)

#include <immintrin.h>

#include <type_traits>

#define KX_SPAN __attribute__((target("avx2"), always_inline)) inline

namespace softsgl {
namespace {

struct Lanes {
    static constexpr int N = 8;
    // Groups tested and fetched as they are drawn, divided a group ahead
    // (see laneRun).
    static constexpr bool kFetchAhead = false;
    using F = __m256;
    using I = __m256i;
    using M = __m256i; // all ones in a lane that is set
    using Shift = __m128i;

    KX_SPAN static F set1(float f) { return _mm256_set1_ps(f); }
    KX_SPAN static F iota() { return _mm256_set_ps(7, 6, 5, 4, 3, 2, 1, 0); }
    KX_SPAN static F add(F a, F b) { return _mm256_add_ps(a, b); }
    KX_SPAN static F sub(F a, F b) { return _mm256_sub_ps(a, b); }
    KX_SPAN static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
    KX_SPAN static F div(F a, F b) { return _mm256_div_ps(a, b); }
    KX_SPAN static F maxf(F a, F b) { return _mm256_max_ps(a, b); }
    KX_SPAN static F minf(F a, F b) { return _mm256_min_ps(a, b); }
    KX_SPAN static F toFloat(I i) { return _mm256_cvtepi32_ps(i); }
    KX_SPAN static I truncate(F f) { return _mm256_cvttps_epi32(f); }
    KX_SPAN static I lessAsMinusOne(F a, F b) {
        return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_LT_OQ));
    }
    KX_SPAN static M greaterEqual(F a, F b) {
        return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_GE_OQ));
    }

    KX_SPAN static I zero() { return _mm256_setzero_si256(); }
    KX_SPAN static I set1i(int32_t v) { return _mm256_set1_epi32(v); }
    KX_SPAN static I loadi(const int32_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const I*>(p));
    }
    KX_SPAN static I ramp(int32_t base, int32_t step) {
        const I k = _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0);
        return _mm256_add_epi32(_mm256_set1_epi32(base),
                                _mm256_mullo_epi32(k, _mm256_set1_epi32(step)));
    }
    KX_SPAN static I add(I a, I b) { return _mm256_add_epi32(a, b); }
    KX_SPAN static I sub(I a, I b) { return _mm256_sub_epi32(a, b); }
    KX_SPAN static I mul16(I a, I b) { return _mm256_mullo_epi16(a, b); }
    // The high halves of each 16-bit half's unsigned product.
    KX_SPAN static I mulHigh16(I a, I b) { return _mm256_mulhi_epu16(a, b); }
    // Each lane's two signed 16-bit halves times b's, summed.
    KX_SPAN static I maddHalves(I a, I b) { return _mm256_madd_epi16(a, b); }
    KX_SPAN static I mul32(I a, I b) { return _mm256_mullo_epi32(a, b); }
    KX_SPAN static I mulShort(I a, I b) { return mul32(a, b); } // lanes below 2^16
    KX_SPAN static I andi(I a, I b) { return _mm256_and_si256(a, b); }
    KX_SPAN static I ori(I a, I b) { return _mm256_or_si256(a, b); }
    KX_SPAN static I xori(I a, I b) { return _mm256_xor_si256(a, b); }
    KX_SPAN static I srli(I a, int n) { return _mm256_srli_epi32(a, n); }
    KX_SPAN static I slli(I a, int n) { return _mm256_slli_epi32(a, n); }
    KX_SPAN static I srai16(I a) { return _mm256_srai_epi32(a, 16); }
    KX_SPAN static Shift shiftCount(int n) { return _mm_cvtsi32_si128(n); }
    KX_SPAN static I sll(I a, Shift n) { return _mm256_sll_epi32(a, n); }
    KX_SPAN static I clamp255(I c) {
        return _mm256_min_epi32(_mm256_max_epi32(c, _mm256_setzero_si256()),
                                _mm256_set1_epi32(255));
    }
    KX_SPAN static I greaterAsMinusOne(I a, I b) { return _mm256_cmpgt_epi32(a, b); }
    KX_SPAN static M equal(I a, I b) { return _mm256_cmpeq_epi32(a, b); }
    KX_SPAN static M notEqual(I a, I b) {
        return _mm256_xor_si256(_mm256_cmpeq_epi32(a, b), _mm256_set1_epi32(-1));
    }
    KX_SPAN static M andMask(M a, M b) { return _mm256_and_si256(a, b); }
    KX_SPAN static M firstLanes(int n) {
        return _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0));
    }
    KX_SPAN static bool none(M m) { return _mm256_testz_si256(m, m); }

    KX_SPAN static I gather(const uint32_t* texels, I index) {
        alignas(32) int32_t k[8];
        _mm256_store_si256(reinterpret_cast<I*>(k), index);
        __m128i lo = _mm_cvtsi32_si128(int32_t(texels[k[0]]));
        __m128i hi = _mm_cvtsi32_si128(int32_t(texels[k[4]]));
        lo = _mm_insert_epi32(lo, int32_t(texels[k[1]]), 1);
        hi = _mm_insert_epi32(hi, int32_t(texels[k[5]]), 1);
        lo = _mm_insert_epi32(lo, int32_t(texels[k[2]]), 2);
        hi = _mm_insert_epi32(hi, int32_t(texels[k[6]]), 2);
        lo = _mm_insert_epi32(lo, int32_t(texels[k[3]]), 3);
        hi = _mm_insert_epi32(hi, int32_t(texels[k[7]]), 3);
        return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    }
    // Texels index and index + 1 of each lane, two by one 8-byte load.
    KX_SPAN static void gatherPair(const uint32_t* texels, I index, I& first, I& second) {
        alignas(32) int32_t k[8];
        _mm256_store_si256(reinterpret_cast<I*>(k), index);
        __m128i p[8];
        for (int i = 0; i < 8; ++i)
            p[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(texels + k[i]));
        const __m128i a = _mm_unpacklo_epi32(p[0], p[1]), b = _mm_unpacklo_epi32(p[2], p[3]);
        const __m128i c = _mm_unpacklo_epi32(p[4], p[5]), d = _mm_unpacklo_epi32(p[6], p[7]);
        first = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi64(a, b)),
                                        _mm_unpacklo_epi64(c, d), 1);
        second = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpackhi_epi64(a, b)),
                                         _mm_unpackhi_epi64(c, d), 1);
    }

    // 16-bit pixels as 32-bit lanes and back (values 0..65535: the unsigned
    // pack is exact; it packs within 128-bit halves, the permute joins them).
    KX_SPAN static I loadPixels(const uint16_t* p) {
        return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    KX_SPAN static __m128i narrow(I v) {
        return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08));
    }
    KX_SPAN static I loadPixelsPart(const uint16_t* p, int n) {
        alignas(16) uint16_t v[8] = {};
        for (int k = 0; k < n; ++k)
            v[k] = p[k];
        return loadPixels(v);
    }
    KX_SPAN static void storePixels(uint16_t* p, I pixels, M m) {
        __m128i* at = reinterpret_cast<__m128i*>(p);
        const __m128i keep = narrow(_mm256_srli_epi32(m, 16));
        const __m128i mixed = _mm_blendv_epi8(_mm_loadu_si128(at), narrow(pixels), keep);
        _mm_storeu_si128(at, mixed);
    }
    KX_SPAN static void storePixelsPart(uint16_t* p, I pixels, M m, int n) {
        alignas(16) uint16_t v[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(v), narrow(pixels));
        const int bits = _mm256_movemask_ps(_mm256_castsi256_ps(m));
        for (int k = 0; k < n; ++k)
            if (bits >> k & 1) p[k] = v[k];
    }
    KX_SPAN static F loadDepth(const float* z) { return _mm256_loadu_ps(z); }
    KX_SPAN static F loadDepthPart(const float* z, int n) {
        return _mm256_maskload_ps(z, firstLanes(n));
    }
    KX_SPAN static void storeDepth(float* z, F q, F old, M m) {
        _mm256_storeu_ps(z, _mm256_blendv_ps(old, q, _mm256_castsi256_ps(m)));
    }
    KX_SPAN static void storeDepthPart(float* z, F q, M m, int) { _mm256_maskstore_ps(z, m, q); }
};

#include "softsgl/span_lanes.h"

} // namespace

const SpanKernelSet avx2SpanKernels = kLaneSet;

} // namespace softsgl

#endif
