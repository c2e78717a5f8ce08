// The SSE2 span kernels: four pixels a group.
#include "softsgl/span_kernels.h"

#include "cpu/kernel_level.h"
#include "softsgl/pixel_ops.h"

#if defined(KX_X86_KERNELS)

#include <emmintrin.h>

#include <type_traits>

#include <cstring>

#define KX_SPAN __attribute__((target("sse2"), always_inline)) inline

namespace softsgl {
namespace {

struct Lanes {
    static constexpr int N = 4;
    // Whether a span's groups are tested and their texels fetched a group
    // ahead, or only divided ahead (see laneRun): fetching ahead is faster
    // with four lanes, slower with eight or sixteen, whose groups carry
    // more and cover more by themselves.
    static constexpr bool kFetchAhead = true;
    using F = __m128;
    using I = __m128i;
    using M = __m128i; // all ones in a lane that is set
    using Shift = __m128i;

    KX_SPAN static F set1(float f) { return _mm_set1_ps(f); }
    KX_SPAN static F iota() { return _mm_set_ps(3, 2, 1, 0); }
    KX_SPAN static F add(F a, F b) { return _mm_add_ps(a, b); }
    KX_SPAN static F sub(F a, F b) { return _mm_sub_ps(a, b); }
    KX_SPAN static F mul(F a, F b) { return _mm_mul_ps(a, b); }
    KX_SPAN static F div(F a, F b) { return _mm_div_ps(a, b); }
    KX_SPAN static F maxf(F a, F b) { return _mm_max_ps(a, b); }
    KX_SPAN static F minf(F a, F b) { return _mm_min_ps(a, b); }
    KX_SPAN static F toFloat(I i) { return _mm_cvtepi32_ps(i); }
    KX_SPAN static I truncate(F f) { return _mm_cvttps_epi32(f); }
    KX_SPAN static I lessAsMinusOne(F a, F b) { return _mm_castps_si128(_mm_cmplt_ps(a, b)); }
    KX_SPAN static M greaterEqual(F a, F b) { return _mm_castps_si128(_mm_cmpge_ps(a, b)); }

    KX_SPAN static I zero() { return _mm_setzero_si128(); }
    KX_SPAN static I set1i(int32_t v) { return _mm_set1_epi32(v); }
    KX_SPAN static I loadi(const int32_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const I*>(p));
    }
    KX_SPAN static I ramp(int32_t base, int32_t step) {
        const uint32_t b = uint32_t(base), s = uint32_t(step);
        return _mm_set_epi32(int32_t(b + 3 * s), int32_t(b + 2 * s), int32_t(b + s), int32_t(b));
    }
    KX_SPAN static I add(I a, I b) { return _mm_add_epi32(a, b); }
    KX_SPAN static I sub(I a, I b) { return _mm_sub_epi32(a, b); }
    KX_SPAN static I mul16(I a, I b) { return _mm_mullo_epi16(a, b); }
    // The high halves of each 16-bit half's unsigned product.
    KX_SPAN static I mulHigh16(I a, I b) { return _mm_mulhi_epu16(a, b); }
    // Each lane's two signed 16-bit halves times b's, summed.
    KX_SPAN static I maddHalves(I a, I b) { return _mm_madd_epi16(a, b); }
    // The low 32 bits of each product: SSE2 multiplies only lanes 0 and 2.
    KX_SPAN static I mul32(I a, I b) {
        const I even = _mm_mul_epu32(a, b);
        const I odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
        return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                  _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
    }
    // The product of lanes below 2^16 from 16-bit halves: four instructions
    // where mul32 takes seven.
    KX_SPAN static I mulShort(I a, I b) {
        return _mm_add_epi32(_mm_mullo_epi16(a, b), _mm_slli_epi32(_mm_mulhi_epu16(a, b), 16));
    }
    KX_SPAN static I andi(I a, I b) { return _mm_and_si128(a, b); }
    KX_SPAN static I ori(I a, I b) { return _mm_or_si128(a, b); }
    KX_SPAN static I xori(I a, I b) { return _mm_xor_si128(a, b); }
    KX_SPAN static I srli(I a, int n) { return _mm_srli_epi32(a, n); }
    KX_SPAN static I slli(I a, int n) { return _mm_slli_epi32(a, n); }
    KX_SPAN static I srai16(I a) { return _mm_srai_epi32(a, 16); }
    KX_SPAN static Shift shiftCount(int n) { return _mm_cvtsi32_si128(n); }
    KX_SPAN static I sll(I a, Shift n) { return _mm_sll_epi32(a, n); }
    KX_SPAN static I clamp255(I c) {
        c = _mm_andnot_si128(_mm_srai_epi32(c, 31), c); // below 0: 0
        const I over = _mm_cmpgt_epi32(c, _mm_set1_epi32(255));
        return _mm_or_si128(_mm_andnot_si128(over, c), _mm_and_si128(over, _mm_set1_epi32(255)));
    }
    KX_SPAN static I greaterAsMinusOne(I a, I b) { return _mm_cmpgt_epi32(a, b); }
    KX_SPAN static M equal(I a, I b) { return _mm_cmpeq_epi32(a, b); }
    KX_SPAN static M notEqual(I a, I b) {
        return _mm_xor_si128(_mm_cmpeq_epi32(a, b), _mm_set1_epi32(-1));
    }
    KX_SPAN static M andMask(M a, M b) { return _mm_and_si128(a, b); }
    KX_SPAN static M firstLanes(int n) {
        return _mm_cmpgt_epi32(_mm_set1_epi32(n), _mm_set_epi32(3, 2, 1, 0));
    }
    KX_SPAN static bool none(M m) { return _mm_movemask_epi8(m) == 0; }

    KX_SPAN static I gather(const uint32_t* texels, I index) {
        alignas(16) int32_t k[4];
        _mm_store_si128(reinterpret_cast<I*>(k), index);
        return _mm_set_epi32(int32_t(texels[k[3]]), int32_t(texels[k[2]]), int32_t(texels[k[1]]),
                             int32_t(texels[k[0]]));
    }

    // Texels index and index + 1 of each lane, two by one 8-byte load.
    KX_SPAN static void gatherPair(const uint32_t* texels, I index, I& first, I& second) {
        alignas(16) int32_t k[4];
        _mm_store_si128(reinterpret_cast<I*>(k), index);
        I p[4];
        for (int i = 0; i < 4; ++i)
            p[i] = _mm_loadl_epi64(reinterpret_cast<const I*>(texels + k[i]));
        const I a = _mm_unpacklo_epi32(p[0], p[1]), b = _mm_unpacklo_epi32(p[2], p[3]);
        first = _mm_unpacklo_epi64(a, b);
        second = _mm_unpackhi_epi64(a, b);
    }

    // 16-bit pixels as 32-bit lanes and back (values 0..65535, so the
    // sign-extended signed pack is exact).
    KX_SPAN static I widen(I p) { return _mm_unpacklo_epi16(p, _mm_setzero_si128()); }
    KX_SPAN static I narrow(I v) {
        v = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
        return _mm_packs_epi32(v, v);
    }
    KX_SPAN static I loadPixels(const uint16_t* p) {
        return widen(_mm_loadl_epi64(reinterpret_cast<const I*>(p)));
    }
    // A last group's n (1 to 3) pixels or depths, the other lanes 0: read
    // in pieces as wide as they are, not copied through memory (a copy
    // written in pieces and read back whole waits for the writes to retire).
    KX_SPAN static I loadPixelsPart(const uint16_t* p, int n) {
        if (n == 1) return widen(_mm_cvtsi32_si128(p[0]));
        uint32_t two;
        std::memcpy(&two, p, 4);
        I v = _mm_cvtsi32_si128(int32_t(two));
        if (n == 3) v = _mm_insert_epi16(v, p[2], 2);
        return widen(v);
    }
    KX_SPAN static void storePixels(uint16_t* p, I pixels, M m) {
        const I keep = _mm_packs_epi32(m, m);
        const I old = _mm_loadl_epi64(reinterpret_cast<const I*>(p));
        const I mixed =
            _mm_or_si128(_mm_and_si128(keep, narrow(pixels)), _mm_andnot_si128(keep, old));
        _mm_storel_epi64(reinterpret_cast<I*>(p), mixed);
    }
    KX_SPAN static void storePixelsPart(uint16_t* p, I pixels, M m, int n) {
        alignas(16) uint16_t v[8];
        _mm_store_si128(reinterpret_cast<I*>(v), narrow(pixels));
        const int bits = _mm_movemask_ps(_mm_castsi128_ps(m));
        for (int k = 0; k < n; ++k)
            if (bits >> k & 1) p[k] = v[k];
    }
    KX_SPAN static F loadDepth(const float* z) { return _mm_loadu_ps(z); }
    KX_SPAN static F loadDepthPart(const float* z, int n) {
        if (n == 1) return _mm_load_ss(z);
        const F two = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const I*>(z)));
        return n == 2 ? two : _mm_movelh_ps(two, _mm_load_ss(z + 2));
    }
    KX_SPAN static void storeDepth(float* z, F q, F old, M m) {
        const F keep = _mm_castsi128_ps(m);
        _mm_storeu_ps(z, _mm_or_ps(_mm_and_ps(keep, q), _mm_andnot_ps(keep, old)));
    }
    KX_SPAN static void storeDepthPart(float* z, F q, M m, int n) {
        alignas(16) float v[4];
        _mm_store_ps(v, q);
        const int bits = _mm_movemask_ps(_mm_castsi128_ps(m));
        for (int k = 0; k < n; ++k)
            if (bits >> k & 1) z[k] = v[k];
    }
};

#include "softsgl/span_lanes.h"

} // namespace

const SpanKernelSet sse2SpanKernels = kLaneSet;

} // namespace softsgl

#endif
