// The AVX2 lanes of the blit kernels: sixteen pixels a vector, looked up in
// two 128-bit halves (see lookup8); the wide registers pay in the keyed
// compare, the doubling and the read-back's byte shuffles.
#include "blit/kernel_parts.h"

#if defined(KX_X86_KERNELS)

#include <immintrin.h>

#define KX_LANES __attribute__((target("avx2")))
#define KX_LANE __attribute__((target("avx2"), always_inline)) inline

namespace {

#include "blit/blit_lanes.h"

struct Avx2Lanes {
    static constexpr int N = 16;
    static constexpr bool kTwoGroups = false;
    using V = __m256i;

    KX_LANE static V lookup(const uint8_t* s, const uint16_t* table) {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(lookup8(s, table)),
                                       lookup8(s + 8, table), 1);
    }
    KX_LANE static V load(const void* p) { return _mm256_loadu_si256(static_cast<const V*>(p)); }
    KX_LANE static void store(uint8_t* d, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(d), v); }
    KX_LANE static V splat(uint16_t w) { return _mm256_set1_epi16(static_cast<short>(w)); }
    KX_LANE static uint32_t keyedBytes(V colours, V key) {
        return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(colours, key)));
    }
    static constexpr uint32_t kAllKeyed = 0xFFFFFFFFu;
    // As 32-bit lanes c | c << 16.
    KX_LANE static void storeDoubled8(uint8_t* out, __m128i colours) {
        const V c = _mm256_cvtepu16_epi32(colours);
        store(out, _mm256_or_si256(c, _mm256_slli_epi32(c, 16)));
    }

    using Shift = int32_t;
    KX_LANE static Shift shiftOf(int32_t shift) { return shift; }
    KX_LANE static V component(V p, V mask, Shift shift) {
        const V v = _mm256_and_si256(p, mask);
        return shift > 0 ? _mm256_srl_epi16(v, _mm_cvtsi32_si128(shift))
                         : _mm256_sll_epi16(v, _mm_cvtsi32_si128(-shift));
    }
    KX_LANE static V blueGreen(V b, V g) { return _mm256_or_si256(b, _mm256_slli_epi16(g, 8)); }

    // Four 4-byte pixels (blue, green, red, red's high byte) of a 128-bit
    // lane into 12 bytes.
    using Packing = V;
    KX_LANE static Packing packing() {
        return _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4,
                                5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    }
    // Four 16-byte stores of 12 bytes each, the last reaching 4 bytes (two
    // pixels) beyond.
    static constexpr int kSpare = 2;
    KX_LANE static void storeBgr(uint8_t* o, V bg, V r, const Packing& pack) {
        // Lanes hold pixels 0-7 and 8-15: lo gets 0-3 | 8-11, hi 4-7 | 12-15.
        const V lo = _mm256_shuffle_epi8(_mm256_unpacklo_epi16(bg, r), pack);
        const V hi = _mm256_shuffle_epi8(_mm256_unpackhi_epi16(bg, r), pack);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(lo));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 12), _mm256_castsi256_si128(hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 24), _mm256_extracti128_si256(lo, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 36), _mm256_extracti128_si256(hi, 1));
    }
};

} // namespace

const BlitKernelSet avx2BlitKernels = laneBlitKernels<Avx2Lanes>("avx2");

#endif
