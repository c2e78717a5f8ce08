// The kernels with 512-bit byte and word permutes (AVX-512 BW, VL and VBMI),
// chosen at run time where the processor has them. A 256-entry table of
// 16-bit colours is held as its low and high bytes in 4 + 4 registers, and
// 64 indices are looked up with four two-register byte permutes.
//
// Not built for Windows: mingw-w64's GCC does not align the stack for
// spilled 512-bit registers there (GCC bug 54412).
#include "blit/blit_kernels.h"

#if defined(KX_AVX512_KERNELS)

// GCC 12's AVX-512 headers start some intrinsics from an undefined
// register and then warn that it may be used uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#define KX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

namespace {

struct ByteIndex {
    alignas(64) uint8_t v[128];
};

// even: byte 2k of a 128-byte pair of registers; odd: byte 2k + 1.
constexpr ByteIndex pickBytes(int odd) {
    ByteIndex r{};
    for (int k = 0; k < 64; ++k)
        r.v[k] = static_cast<uint8_t>(2 * k + odd);
    return r;
}
// Interleave of (low bytes, high bytes) into 16-bit pixels, from pixel `first`.
constexpr ByteIndex interleaveBytes(int first) {
    ByteIndex r{};
    for (int k = 0; k < 32; ++k) {
        r.v[2 * k] = static_cast<uint8_t>(first + k);
        r.v[2 * k + 1] = static_cast<uint8_t>(64 + first + k);
    }
    return r;
}
// 3-byte pixels from (blue | green << 8 words, red words): output byte o is
// component o % 3 of pixel o / 3.
constexpr ByteIndex packBgr(int firstByte) {
    ByteIndex r{};
    for (int o = 0; o < 64; ++o) {
        int k = (firstByte + o) / 3, c = (firstByte + o) % 3;
        if (k < 32) r.v[o] = static_cast<uint8_t>(c == 2 ? 64 + 2 * k : 2 * k + c);
    }
    return r;
}

constexpr ByteIndex kEvenBytes = pickBytes(0), kOddBytes = pickBytes(1);
constexpr ByteIndex kLowPixels = interleaveBytes(0), kHighPixels = interleaveBytes(32);
constexpr ByteIndex kBgrFirst = packBgr(0), kBgrSecond = packBgr(64);

inline uint64_t lowBits64(int32_t n) {
    return n >= 64 ? ~0ull : (1ull << n) - 1;
}
inline uint32_t lowBits32(int32_t n) {
    return n >= 32 ? ~0u : n <= 0 ? 0u : static_cast<uint32_t>((1ull << n) - 1);
}

KX_AVX512 inline __m512i load(const ByteIndex& index) {
    return _mm512_load_si512(index.v);
}

// The colour table split into low and high bytes, 64 entries a register.
struct SplitTable {
    __m512i low[4], high[4];
};

KX_AVX512 inline SplitTable splitTable(const uint16_t* table) {
    SplitTable t;
    const __m512i even = load(kEvenBytes), odd = load(kOddBytes);
    for (int k = 0; k < 4; ++k) {
        __m512i a = _mm512_loadu_si512(table + 64 * k);
        __m512i b = _mm512_loadu_si512(table + 64 * k + 32);
        t.low[k] = _mm512_permutex2var_epi8(a, even, b);
        t.high[k] = _mm512_permutex2var_epi8(a, odd, b);
    }
    return t;
}

// The colours of 64 indices, as pixels 0..31 and 32..63.
KX_AVX512 inline void lookup64(const SplitTable& t, __m512i indices, __m512i* first,
                               __m512i* second) {
    // Bits 0..6 pick one of 128 bytes of a register pair; bit 7 picks the pair.
    __mmask64 upper = _mm512_movepi8_mask(indices);
    __m512i low =
        _mm512_mask_blend_epi8(upper, _mm512_permutex2var_epi8(t.low[0], indices, t.low[1]),
                               _mm512_permutex2var_epi8(t.low[2], indices, t.low[3]));
    __m512i high =
        _mm512_mask_blend_epi8(upper, _mm512_permutex2var_epi8(t.high[0], indices, t.high[1]),
                               _mm512_permutex2var_epi8(t.high[2], indices, t.high[3]));
    *first = _mm512_permutex2var_epi8(low, load(kLowPixels), high);
    *second = _mm512_permutex2var_epi8(low, load(kHighPixels), high);
}

// Up to 64 colours of source[0..n) into destination (unaligned 16-bit pixels).
// With hasKey, pixels of the key colour are not stored.
KX_AVX512 inline void lookupStore(const SplitTable& t, const uint8_t* source, uint8_t* destination,
                                  int32_t n, bool hasKey, __m512i key) {
    __m512i first, second;
    if (n >= 64 && !hasKey) {
        lookup64(t, _mm512_loadu_si512(source), &first, &second);
        _mm512_storeu_si512(destination, first);
        _mm512_storeu_si512(destination + 64, second);
        return;
    }
    lookup64(t, _mm512_maskz_loadu_epi8(lowBits64(n), source), &first, &second);
    __mmask32 m0 = lowBits32(n), m1 = lowBits32(n - 32);
    if (hasKey) {
        m0 = _mm512_mask_cmpneq_epi16_mask(m0, first, key);
        m1 = _mm512_mask_cmpneq_epi16_mask(m1, second, key);
    }
    _mm512_mask_storeu_epi16(destination, m0, first);
    _mm512_mask_storeu_epi16(destination + 64, m1, second);
}

KX_AVX512 void copyRows(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                        ptrdiff_t destinationPitch, int32_t width, int32_t height,
                        const uint16_t* table, bool hasKey, uint16_t key) {
    if (width <= 0) return;
    const SplitTable t = splitTable(table);
    const __m512i keyColour = _mm512_set1_epi16(static_cast<short>(key));
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        for (int32_t j = 0; j < width; j += 64)
            lookupStore(t, s + j, d + 2 * j, width - j, hasKey, keyColour);
    }
}

void copyIndexedAvx512(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                       ptrdiff_t destinationPitch, int32_t width, int32_t height,
                       const uint16_t* table) {
    copyRows(source, sourcePitch, destination, destinationPitch, width, height, table, false, 0);
}

void copyIndexedKeyedAvx512(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                            ptrdiff_t destinationPitch, int32_t width, int32_t height,
                            const uint16_t* table, uint16_t key) {
    copyRows(source, sourcePitch, destination, destinationPitch, width, height, table, true, key);
}

// Windows wider than this, or reading a wider stretch of source columns, go
// to the scalar kernel; the blits clip to 640 columns.
constexpr int32_t kMaxColumns = 1024;
constexpr int64_t kMaxSpan = 4096;

KX_AVX512 void stretchIndexedAvx512(const uint8_t* source, ptrdiff_t sourcePitch,
                                    uint8_t* destination, ptrdiff_t destinationPitch, int32_t width,
                                    int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                                    StretchWindow window, const uint16_t* table, bool hasKey,
                                    uint16_t key) {
    if (width <= 0 || height <= 0 || window.columns <= 0 || window.rows <= 0) return;
    const int64_t xStep = stretchColumnStep(width, sourceWidth);
    const int32_t columns = window.columns;
    const int64_t firstSourceColumn = (window.firstColumn * xStep) >> 16;
    const int64_t span =
        ((window.firstColumn + int64_t{columns} - 1) * xStep >> 16) - firstSourceColumn + 1;
    if (xStep < 0 || columns > kMaxColumns || span > kMaxSpan) {
        scalarBlitKernels.stretchIndexed(source, sourcePitch, destination, destinationPitch, width,
                                         height, sourceWidth, sourceHeight, window, table, hasKey,
                                         key);
        return;
    }
    // Source column of every destination column, from the first one read.
    // Each block of 32 columns reads within 64 colours of its first column
    // (enlargements and mild reductions: two-register word permute) or
    // gathers.
    alignas(64) int32_t column[kMaxColumns];
    alignas(64) int16_t inBlock[kMaxColumns];
    int32_t blockStart[kMaxColumns / 32];
    bool gather[kMaxColumns / 32];
    const int32_t blocks = (columns + 31) / 32;
    int64_t accumulator = window.firstColumn * xStep;
    for (int32_t j = 0; j < blocks * 32; ++j, accumulator += xStep)
        column[j] = j < columns ? static_cast<int32_t>((accumulator >> 16) - firstSourceColumn) : 0;
    for (int32_t b = 0; b < blocks; ++b) {
        blockStart[b] = column[32 * b];
        int32_t last = column[std::min(32 * b + 31, columns - 1)] - blockStart[b];
        gather[b] = last >= 64;
        for (int k = 0; k < 32; ++k)
            inBlock[32 * b + k] = static_cast<int16_t>(
                gather[b] ? 0 : std::max(0, column[32 * b + k] - blockStart[b]));
    }

    const SplitTable t = splitTable(table);
    const __m512i keyColour = _mm512_set1_epi16(static_cast<short>(key));
    alignas(64) uint16_t colours[kMaxSpan + 64];
    const uint8_t* previousSource = nullptr;
    const uint8_t* previousRow = nullptr;
    for (int32_t r = 0; r < window.rows; ++r) {
        int64_t sy = stretchSourceRow(window.firstRow + r, height, sourceHeight);
        const uint8_t* s = source + static_cast<ptrdiff_t>(sy * sourcePitch + firstSourceColumn);
        uint8_t* d = destination + r * destinationPitch;
        if (s == previousSource && !hasKey) {
            // The same source row as above: the same pixels.
            std::memmove(d, previousRow, 2 * static_cast<size_t>(columns));
            previousRow = d;
            continue;
        }
        if (s != previousSource) {
            // The colours of the source columns this row reads, once.
            for (int32_t k = 0; k < span; k += 64)
                lookupStore(t, s + k, reinterpret_cast<uint8_t*>(colours + k),
                            static_cast<int32_t>(std::min<int64_t>(64, span - k)), false,
                            keyColour);
        }
        for (int32_t b = 0; b < blocks; ++b) {
            __m512i out;
            if (!gather[b]) {
                const uint16_t* w = colours + blockStart[b];
                out = _mm512_permutex2var_epi16(_mm512_loadu_si512(w),
                                                _mm512_load_si512(inBlock + 32 * b),
                                                _mm512_loadu_si512(w + 32));
            } else {
                // 32-bit gathers of 2-byte colours; colours[] has room past its end.
                __m512i g0 = _mm512_i32gather_epi32(_mm512_load_si512(column + 32 * b), colours, 2);
                __m512i g1 =
                    _mm512_i32gather_epi32(_mm512_load_si512(column + 32 * b + 16), colours, 2);
                out = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi32_epi16(g0)),
                                         _mm512_cvtepi32_epi16(g1), 1);
            }
            __mmask32 m = lowBits32(columns - 32 * b);
            if (hasKey) m = _mm512_mask_cmpneq_epi16_mask(m, out, keyColour);
            _mm512_mask_storeu_epi16(d + 64 * b, m, out);
        }
        previousSource = s;
        previousRow = d;
    }
}

KX_AVX512 inline __m512i component(__m512i pixels, uint32_t mask, int32_t shift) {
    __m512i v = _mm512_and_si512(pixels, _mm512_set1_epi16(static_cast<short>(mask)));
    if (shift > 0) return _mm512_srl_epi16(v, _mm_cvtsi32_si128(shift));
    return _mm512_sll_epi16(v, _mm_cvtsi32_si128(-shift));
}

KX_AVX512 void readBack888Avx512(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                                 ptrdiff_t destinationPitch, int32_t width, int32_t height,
                                 const ScreenPixelFormat& f) {
    const __m512i first = load(kBgrFirst), second = load(kBgrSecond);
    const __m512i lowByte = _mm512_set1_epi16(0x00FF);
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        for (int32_t j = 0; j < width; j += 32) {
            int32_t n = width - j;
            __m512i p = n >= 32 ? _mm512_loadu_si512(s + 2 * j)
                                : _mm512_maskz_loadu_epi16(lowBits32(n), s + 2 * j);
            __m512i blueGreen =
                _mm512_or_si512(_mm512_and_si512(component(p, f.blueMask, f.blueShift), lowByte),
                                _mm512_slli_epi16(component(p, f.greenMask, f.greenShift), 8));
            __m512i red = component(p, f.redMask, f.redShift);
            __m512i out0 = _mm512_permutex2var_epi8(blueGreen, first, red);
            __m256i out1 = _mm512_castsi512_si256(_mm512_permutex2var_epi8(blueGreen, second, red));
            uint8_t* o = d + 3 * j;
            if (n >= 32) {
                _mm512_storeu_si512(o, out0);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 64), out1);
            } else {
                _mm512_mask_storeu_epi8(o, lowBits64(3 * n), out0);
                _mm256_mask_storeu_epi8(o + 64, lowBits32(3 * n - 64), out1);
            }
        }
    }
}

} // namespace

const BlitKernelSet avx512BlitKernels = {"avx512", copyIndexedAvx512, copyIndexedKeyedAvx512,
                                         stretchIndexedAvx512, readBack888Avx512};

#endif
