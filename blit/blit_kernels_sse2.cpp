// The SSE2 lanes of the blit kernels (Pentium 4, Athlon 64 and later): eight
// pixels a vector. SSE2 has no byte shuffle, so the read-back packs its
// 3-byte pixels with masks and 64-bit shifts, 6 bytes an 8-byte store.
#include "blit/kernel_parts.h"

#if defined(KX_X86_KERNELS)

#include <immintrin.h>

#define KX_LANES __attribute__((target("sse2")))
#define KX_LANE __attribute__((target("sse2"), always_inline)) inline

namespace {

#include "blit/blit_lanes.h"

struct Sse2Lanes {
    static constexpr int N = 8;
    // Sixteen pixels a step: two groups of insert chains in flight.
    static constexpr bool kTwoGroups = true;
    using V = __m128i;

    KX_LANE static V lookup(const uint8_t* s, const uint16_t* table) { return lookup8(s, table); }
    KX_LANE static V load(const void* p) { return _mm_loadu_si128(static_cast<const V*>(p)); }
    KX_LANE static void store(uint8_t* d, V v) { _mm_storeu_si128(reinterpret_cast<V*>(d), v); }
    KX_LANE static V splat(uint16_t w) { return _mm_set1_epi16(static_cast<short>(w)); }
    KX_LANE static uint32_t keyedBytes(V colours, V key) {
        return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(colours, key)));
    }
    static constexpr uint32_t kAllKeyed = 0xFFFF;
    KX_LANE static void storeDoubled8(uint8_t* out, __m128i c) {
        store(out, _mm_unpacklo_epi16(c, c));
        store(out + 16, _mm_unpackhi_epi16(c, c));
    }

    // The shift counts of one component (one of them 0): left, then right.
    struct Shift {
        V left, right;
    };
    KX_LANE static Shift shiftOf(int32_t shift) {
        return {_mm_cvtsi32_si128(shift > 0 ? 0 : -shift),
                _mm_cvtsi32_si128(shift > 0 ? shift : 0)};
    }
    KX_LANE static V component(V p, V mask, Shift s) {
        return _mm_srl_epi16(_mm_sll_epi16(_mm_and_si128(p, mask), s.left), s.right);
    }
    KX_LANE static V blueGreen(V b, V g) { return _mm_or_si128(b, _mm_slli_epi16(g, 8)); }

    // Two 4-byte pixels of a 64-bit lane (blue, green, red, 0) into 6 bytes.
    struct Packing {
        V firstPixel, secondPixel;
    };
    KX_LANE static Packing packing() {
        return {_mm_set_epi32(0, 0xFFFFFF, 0, 0xFFFFFF),
                _mm_set_epi32(0xFFFF, static_cast<int>(0xFF000000u), 0xFFFF,
                              static_cast<int>(0xFF000000u))};
    }
    KX_LANE static V pairsOf6(V v, const Packing& k) {
        return _mm_or_si128(_mm_and_si128(v, k.firstPixel),
                            _mm_and_si128(_mm_srli_epi64(v, 8), k.secondPixel));
    }
    // Four 8-byte stores of 6 bytes each, the last reaching 2 bytes (one
    // pixel) beyond.
    static constexpr int kSpare = 1;
    KX_LANE static void storeBgr(uint8_t* o, V bg, V r, const Packing& k) {
        const V lo = pairsOf6(_mm_unpacklo_epi16(bg, r), k);
        const V hi = pairsOf6(_mm_unpackhi_epi16(bg, r), k);
        _mm_storel_epi64(reinterpret_cast<V*>(o), lo);
        _mm_storel_epi64(reinterpret_cast<V*>(o + 6), _mm_unpackhi_epi64(lo, lo));
        _mm_storel_epi64(reinterpret_cast<V*>(o + 12), hi);
        _mm_storel_epi64(reinterpret_cast<V*>(o + 18), _mm_unpackhi_epi64(hi, hi));
    }
};

} // namespace

const BlitKernelSet sse2BlitKernels = laneBlitKernels<Sse2Lanes>("sse2");

#endif
