// The AVX2 kernels. A table lookup has no good vector form here: AVX2's
// gather reads one element per load port and measured slower than inserting
// the colours one at a time, and a byte shuffle reaches 16 entries, not 256.
// So colours are inserted as 16-bit words (VPINSRW straight from the table)
// into two 128-bit halves, sixteen pixels per store; the wide registers pay
// in the keyed compare, the doubling and the read-back's byte shuffles.
#include "blit/kernel_parts.h"

#if defined(KX_X86_KERNELS)

#include <immintrin.h>

#define KX_AVX2 __attribute__((target("avx2")))

namespace {

using namespace kernel;

// The colours of eight indices, as eight 16-bit words.
KX_AVX2 inline __m128i lookup8(const uint8_t* s, const uint16_t* table) {
    const uint32_t a = load32(s), b = load32(s + 4);
    const uint32_t ah = a >> 16, bh = b >> 16;
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

KX_AVX2 inline __m256i lookup16(const uint8_t* s, const uint16_t* table) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lookup8(s, table)), lookup8(s + 8, table),
                                   1);
}

// Sixteen colours, the keyed ones left out: one store when none is keyed,
// nothing when all are.
KX_AVX2 inline void storeUnkeyed16(uint8_t* d, __m256i colours, __m256i key) {
    const uint32_t keyed =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(colours, key)));
    if (keyed == 0) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), colours);
    } else if (keyed != 0xFFFFFFFFu) {
        uint16_t c[16];
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(c), colours);
        for (int q = 0; q < 16; ++q)
            if (!(keyed >> (2 * q) & 1)) store16(d + 2 * q, c[q]);
    }
}

KX_AVX2 void copyIndexedAvx2(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                             ptrdiff_t destinationPitch, int32_t width, int32_t height,
                             const uint16_t* table) {
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        for (; j + 16 <= width; j += 16)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 2 * j), lookup16(s + j, table));
        for (; j < width; ++j)
            store16(d + 2 * j, table[s[j]]);
    }
}

KX_AVX2 void copyIndexedKeyedAvx2(const uint8_t* source, ptrdiff_t sourcePitch,
                                  uint8_t* destination, ptrdiff_t destinationPitch, int32_t width,
                                  int32_t height, const uint16_t* table, uint16_t key) {
    const __m256i keyColour = _mm256_set1_epi16(static_cast<short>(key));
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        for (; j + 16 <= width; j += 16)
            storeUnkeyed16(d + 2 * j, lookup16(s + j, table), keyColour);
        for (; j < width; ++j)
            storeUnlessKey(d + 2 * j, table[s[j]], key);
    }
}

// Eight colours, each twice: as 32-bit lanes c | c << 16.
KX_AVX2 void doubleIndexedAvx2(const uint8_t* indices, int32_t count, const uint16_t* table,
                               const uint32_t* doubled, uint8_t* out) {
    int32_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m256i c = _mm256_cvtepu16_epi32(lookup8(indices + k, table));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * k),
                            _mm256_or_si256(c, _mm256_slli_epi32(c, 16)));
    }
    for (; k < count; ++k)
        store32(out + 4 * k, doubled[indices[k]]);
}

KX_AVX2 void storeUnkeyedAvx2(const uint16_t* colours, int32_t count, uint8_t* out, uint16_t key) {
    const __m256i keyColour = _mm256_set1_epi16(static_cast<short>(key));
    int32_t j = 0;
    for (; j + 16 <= count; j += 16)
        storeUnkeyed16(out + 2 * j,
                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colours + j)),
                       keyColour);
    for (; j < count; ++j)
        storeUnlessKey(out + 2 * j, colours[j], key);
}

const StretchRowKernels kRows = {copyIndexedAvx2, doubleIndexedAvx2, storeUnkeyedAvx2, false};

void stretchIndexedAvx2(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                        ptrdiff_t destinationPitch, int32_t width, int32_t height,
                        int32_t sourceWidth, int32_t sourceHeight, StretchWindow window,
                        const uint16_t* table, bool hasKey, uint16_t key) {
    stretchIndexedRows(kRows, source, sourcePitch, destination, destinationPitch, width, height,
                       sourceWidth, sourceHeight, window, table, hasKey, key);
}

KX_AVX2 inline __m256i component(__m256i p, __m256i mask, int32_t shift) {
    const __m256i v = _mm256_and_si256(p, mask);
    return shift > 0 ? _mm256_srl_epi16(v, _mm_cvtsi32_si128(shift))
                     : _mm256_sll_epi16(v, _mm_cvtsi32_si128(-shift));
}

KX_AVX2 void readBack888Avx2(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                             ptrdiff_t destinationPitch, int32_t width, int32_t height,
                             const ScreenPixelFormat& f) {
    if (!blueFitsItsByte(f)) {
        scalarBlitKernels.readBack888(source, sourcePitch, destination, destinationPitch, width,
                                      height, f);
        return;
    }
    const __m256i blueMask = _mm256_set1_epi16(static_cast<short>(f.blueMask));
    const __m256i greenMask = _mm256_set1_epi16(static_cast<short>(f.greenMask));
    const __m256i redMask = _mm256_set1_epi16(static_cast<short>(f.redMask));
    // Four 4-byte pixels (blue, green, red, red's high byte) of a 128-bit
    // lane into 12 bytes.
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        // Four 16-byte stores of 12 bytes each, the next store covering the
        // last four: so the loop stops while two pixels remain after the 16.
        for (; j + 18 <= width; j += 16) {
            const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 2 * j));
            const __m256i bg =
                _mm256_or_si256(component(p, blueMask, f.blueShift),
                                _mm256_slli_epi16(component(p, greenMask, f.greenShift), 8));
            const __m256i r = component(p, redMask, f.redShift);
            // Lanes hold pixels 0-7 and 8-15: lo gets 0-3 | 8-11, hi 4-7 | 12-15.
            const __m256i lo = _mm256_shuffle_epi8(_mm256_unpacklo_epi16(bg, r), pack);
            const __m256i hi = _mm256_shuffle_epi8(_mm256_unpackhi_epi16(bg, r), pack);
            uint8_t* o = d + 3 * j;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(lo));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 12), _mm256_castsi256_si128(hi));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 24), _mm256_extracti128_si256(lo, 1));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 36), _mm256_extracti128_si256(hi, 1));
        }
        for (; j < width; ++j)
            readBackPixel(s + 2 * j, d + 3 * j, f);
    }
}

} // namespace

const BlitKernelSet avx2BlitKernels = {"avx2", copyIndexedAvx2, copyIndexedKeyedAvx2,
                                       stretchIndexedAvx2, readBack888Avx2};

#endif
