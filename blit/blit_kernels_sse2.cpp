// The SSE2 kernels (Pentium 4, Athlon 64 and later). SSE2 has no byte
// shuffle, so colours are looked up one at a time and inserted into a
// register as 16-bit words (PINSRW straight from the table), eight pixels per
// store; keyed pixels are found eight at a time with one compare.
#include "blit/kernel_parts.h"

#if defined(KX_X86_KERNELS)

#include <immintrin.h>

#define KX_SSE2 __attribute__((target("sse2")))

namespace {

using namespace kernel;

// The colours of eight indices, as eight 16-bit words.
KX_SSE2 inline __m128i lookup8(const uint8_t* s, const uint16_t* table) {
    const uint32_t a = load32(s), b = load32(s + 4);
    const uint32_t ah = a >> 16, bh = b >> 16;
    // Two chains of inserts, joined at the end, halve the dependency chain.
    __m128i x = _mm_cvtsi32_si128(table[a & 0xFF]);
    __m128i y = _mm_cvtsi32_si128(table[b & 0xFF]);
    x = _mm_insert_epi16(x, table[(a >> 8) & 0xFF], 1);
    y = _mm_insert_epi16(y, table[(b >> 8) & 0xFF], 1);
    x = _mm_insert_epi16(x, table[ah & 0xFF], 2);
    y = _mm_insert_epi16(y, table[bh & 0xFF], 2);
    x = _mm_insert_epi16(x, table[ah >> 8], 3);
    y = _mm_insert_epi16(y, table[bh >> 8], 3);
    return _mm_unpacklo_epi64(x, y);
}

// Eight colours, the keyed ones left out: one store when none is keyed,
// nothing when all are.
KX_SSE2 inline void storeUnkeyed8(uint8_t* d, __m128i colours, __m128i key) {
    const int keyed = _mm_movemask_epi8(_mm_cmpeq_epi16(colours, key));
    if (keyed == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), colours);
    } else if (keyed != 0xFFFF) {
        uint16_t c[8];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(c), colours);
        for (int q = 0; q < 8; ++q)
            if (!(keyed >> (2 * q) & 1)) store16(d + 2 * q, c[q]);
    }
}

KX_SSE2 void copyIndexedSse2(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                             ptrdiff_t destinationPitch, int32_t width, int32_t height,
                             const uint16_t* table) {
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        // Sixteen pixels a step: two groups of insert chains in flight.
        for (; j + 16 <= width; j += 16) {
            const __m128i first = lookup8(s + j, table), second = lookup8(s + j + 8, table);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * j), first);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * j + 16), second);
        }
        for (; j + 8 <= width; j += 8)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * j), lookup8(s + j, table));
        for (; j < width; ++j)
            store16(d + 2 * j, table[s[j]]);
    }
}

KX_SSE2 void copyIndexedKeyedSse2(const uint8_t* source, ptrdiff_t sourcePitch,
                                  uint8_t* destination, ptrdiff_t destinationPitch, int32_t width,
                                  int32_t height, const uint16_t* table, uint16_t key) {
    const __m128i keyColour = _mm_set1_epi16(static_cast<short>(key));
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        for (; j + 8 <= width; j += 8)
            storeUnkeyed8(d + 2 * j, lookup8(s + j, table), keyColour);
        for (; j < width; ++j)
            storeUnlessKey(d + 2 * j, table[s[j]], key);
    }
}

// Eight colours, each twice: sixteen pixels.
KX_SSE2 void doubleIndexedSse2(const uint8_t* indices, int32_t count, const uint16_t* table,
                               const uint32_t* doubled, uint8_t* out) {
    int32_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m128i c = lookup8(indices + k, table);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k), _mm_unpacklo_epi16(c, c));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k + 16), _mm_unpackhi_epi16(c, c));
    }
    for (; k < count; ++k)
        store32(out + 4 * k, doubled[indices[k]]);
}

KX_SSE2 void storeUnkeyedSse2(const uint16_t* colours, int32_t count, uint8_t* out, uint16_t key) {
    const __m128i keyColour = _mm_set1_epi16(static_cast<short>(key));
    int32_t j = 0;
    for (; j + 8 <= count; j += 8)
        storeUnkeyed8(out + 2 * j, _mm_loadu_si128(reinterpret_cast<const __m128i*>(colours + j)),
                      keyColour);
    for (; j < count; ++j)
        storeUnlessKey(out + 2 * j, colours[j], key);
}

const StretchRowKernels kRows = {copyIndexedSse2, doubleIndexedSse2, storeUnkeyedSse2, false};

void stretchIndexedSse2(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                        ptrdiff_t destinationPitch, int32_t width, int32_t height,
                        int32_t sourceWidth, int32_t sourceHeight, StretchWindow window,
                        const uint16_t* table, bool hasKey, uint16_t key) {
    stretchIndexedRows(kRows, source, sourcePitch, destination, destinationPitch, width, height,
                       sourceWidth, sourceHeight, window, table, hasKey, key);
}

// A component at 8 bits: (p AND mask), then the shift left or right (one of
// the two counts is 0).
KX_SSE2 inline __m128i component(__m128i p, __m128i mask, __m128i left, __m128i right) {
    return _mm_srl_epi16(_mm_sll_epi16(_mm_and_si128(p, mask), left), right);
}

// The shift counts of one component (one of them 0).
struct Shift {
    __m128i left, right;
};
KX_SSE2 inline Shift shiftOf(int32_t shift) {
    return {_mm_cvtsi32_si128(shift > 0 ? 0 : -shift), _mm_cvtsi32_si128(shift > 0 ? shift : 0)};
}

KX_SSE2 void readBack888Sse2(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                             ptrdiff_t destinationPitch, int32_t width, int32_t height,
                             const ScreenPixelFormat& f) {
    if (!blueFitsItsByte(f)) {
        scalarBlitKernels.readBack888(source, sourcePitch, destination, destinationPitch, width,
                                      height, f);
        return;
    }
    const Shift blue = shiftOf(f.blueShift), green = shiftOf(f.greenShift),
                red = shiftOf(f.redShift);
    const __m128i blueMask = _mm_set1_epi16(static_cast<short>(f.blueMask));
    const __m128i greenMask = _mm_set1_epi16(static_cast<short>(f.greenMask));
    const __m128i redMask = _mm_set1_epi16(static_cast<short>(f.redMask));
    // Two 4-byte pixels of a 64-bit lane (blue, green, red, 0) into 6 bytes.
    const __m128i firstPixel = _mm_set_epi32(0, 0xFFFFFF, 0, 0xFFFFFF);
    const __m128i secondPixel =
        _mm_set_epi32(0xFFFF, static_cast<int>(0xFF000000u), 0xFFFF, static_cast<int>(0xFF000000u));
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        // Four 8-byte stores of 6 bytes each, the next store covering the
        // last two: so the loop stops while a pixel remains after the eight.
        for (; j + 9 <= width; j += 8) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * j));
            const __m128i b = component(p, blueMask, blue.left, blue.right);
            const __m128i g = component(p, greenMask, green.left, green.right);
            const __m128i r = component(p, redMask, red.left, red.right);
            const __m128i bg = _mm_or_si128(b, _mm_slli_epi16(g, 8));
            __m128i lo = _mm_unpacklo_epi16(bg, r), hi = _mm_unpackhi_epi16(bg, r);
            lo = _mm_or_si128(_mm_and_si128(lo, firstPixel),
                              _mm_and_si128(_mm_srli_epi64(lo, 8), secondPixel));
            hi = _mm_or_si128(_mm_and_si128(hi, firstPixel),
                              _mm_and_si128(_mm_srli_epi64(hi, 8), secondPixel));
            uint8_t* o = d + 3 * j;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o), lo);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 6), _mm_unpackhi_epi64(lo, lo));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 12), hi);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 18), _mm_unpackhi_epi64(hi, hi));
        }
        for (; j < width; ++j)
            readBackPixel(s + 2 * j, d + 3 * j, f);
    }
}

} // namespace

const BlitKernelSet sse2BlitKernels = {"sse2", copyIndexedSse2, copyIndexedKeyedSse2,
                                       stretchIndexedSse2, readBack888Sse2};

#endif
