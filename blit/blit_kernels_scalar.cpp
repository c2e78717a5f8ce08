// The scalar kernels: plain C++ for any i686, no SIMD assumed (the file is
// built without auto-vectorisation, so that x86-64 measures what an i686
// runs). Indices are read four at a time as one 32-bit word and picked apart
// with byte moves.
#include "blit/kernel_parts.h"

#if defined(__BYTE_ORDER__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "indices are picked from words");
#endif

namespace {

using namespace kernel;

inline void storeWord(uint8_t* at, uint16_t value) {
    store16(at, value);
}
inline void storeWord(uint8_t* at, uint32_t value) {
    store32(at, value);
}

// Out-sized words of count indices: out word k becomes words[indices[k]].
template <class Out>
void lookupRow(const uint8_t* indices, int32_t count, const Out* words, uint8_t* out) {
    constexpr int32_t w = sizeof(Out);
    int32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const uint32_t a = load32(indices + k), ah = a >> 16;
        storeWord(out + w * k, words[a & 0xFF]);
        storeWord(out + w * k + w, words[(a >> 8) & 0xFF]);
        storeWord(out + w * k + 2 * w, words[ah & 0xFF]);
        storeWord(out + w * k + 3 * w, words[ah >> 8]);
    }
    for (; k < count; ++k)
        storeWord(out + w * k, words[indices[k]]);
}

// Pixels one 16-bit store each: for blits too small to pay for the pair
// tables below (the stretch calls this per row).
void copyIndexedPlain(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                      ptrdiff_t destinationPitch, int32_t width, int32_t height,
                      const uint16_t* table) {
    for (int32_t i = 0; i < height; ++i)
        lookupRow(source + i * sourcePitch, width, table, destination + i * destinationPitch);
}

constexpr int64_t kPairTablePixels = 4096;

// Tables of the left and right pixel of a pair, the right one's colour
// already in the high half: a pair is one OR and one 32-bit store.
struct PairTables {
    uint32_t left[256], right[256];
    explicit PairTables(const uint16_t* table) {
        for (int k = 0; k < 256; ++k) {
            left[k] = table[k];
            right[k] = static_cast<uint32_t>(table[k]) << 16;
        }
    }
};

// One row's count pixels from indices s to d, by pairs.
void copyRowPairs(const PairTables& t, const uint16_t* table, const uint8_t* s, uint8_t* d,
                  int32_t count) {
    int32_t j = 0;
    for (; j + 8 <= count; j += 8) {
        const uint32_t a = load32(s + j), b = load32(s + j + 4);
        const uint32_t ah = a >> 16, bh = b >> 16;
        store32(d + 2 * j, t.left[a & 0xFF] | t.right[(a >> 8) & 0xFF]);
        store32(d + 2 * j + 4, t.left[ah & 0xFF] | t.right[ah >> 8]);
        store32(d + 2 * j + 8, t.left[b & 0xFF] | t.right[(b >> 8) & 0xFF]);
        store32(d + 2 * j + 12, t.left[bh & 0xFF] | t.right[bh >> 8]);
    }
    for (; j < count; ++j)
        store16(d + 2 * j, table[s[j]]);
}

void copyIndexedPairs(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                      ptrdiff_t destinationPitch, int32_t width, int32_t height,
                      const uint16_t* table) {
    if (static_cast<int64_t>(width) * height < kPairTablePixels) {
        copyIndexedPlain(source, sourcePitch, destination, destinationPitch, width, height, table);
        return;
    }
    const PairTables t(table);
    for (int32_t i = 0; i < height; ++i)
        copyRowPairs(t, table, source + i * sourcePitch, destination + i * destinationPitch, width);
}

// Pixel by pixel, each tested: sprites key whole runs, so the branches
// predict. (Finding the runs of unkeyed indices four at a time and copying
// them by pairs measured no faster: the scan costs what the tests do.)
void copyIndexedKeyedScalar(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                            ptrdiff_t destinationPitch, int32_t width, int32_t height,
                            const uint16_t* table, uint16_t key) {
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        for (; j + 4 <= width; j += 4) {
            storeUnlessKey(d + 2 * j, table[s[j]], key);
            storeUnlessKey(d + 2 * j + 2, table[s[j + 1]], key);
            storeUnlessKey(d + 2 * j + 4, table[s[j + 2]], key);
            storeUnlessKey(d + 2 * j + 6, table[s[j + 3]], key);
        }
        for (; j < width; ++j)
            storeUnlessKey(d + 2 * j, table[s[j]], key);
    }
}

void doubleIndexedScalar(const uint8_t* indices, int32_t count, const uint16_t*,
                         const uint32_t* doubled, uint8_t* out) {
    lookupRow(indices, count, doubled, out);
}

void storeUnkeyedScalar(const uint16_t* colours, int32_t count, uint8_t* out, uint16_t key) {
    for (int32_t j = 0; j < count; ++j)
        storeUnlessKey(out + 2 * j, colours[j], key);
}

const StretchRowKernels kRows = {copyIndexedPairs, doubleIndexedScalar, storeUnkeyedScalar, true};

void readBack888Scalar(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                       ptrdiff_t destinationPitch, int32_t width, int32_t height,
                       const ScreenPixelFormat& f) {
    if (width <= 0) return;
    // Extraction is (p AND mask) shifted, so it splits over the pixel's two
    // bytes: the 24-bit result is low[p & 0xFF] | high[p >> 8].
    uint32_t low[256], high[256];
    for (uint32_t b = 0; b < 256; ++b) {
        for (int half = 0; half < 2; ++half) {
            uint32_t p = half ? b << 8 : b;
            uint32_t v = extractComponent(p, f.blueMask, f.blueShift) |
                         extractComponent(p, f.greenMask, f.greenShift) << 8 |
                         static_cast<uint32_t>(extractComponent(p, f.redMask, f.redShift)) << 16;
            (half ? high : low)[b] = v;
        }
    }
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        // Each pixel as a 4-byte store whose top byte the next pixel's store
        // replaces; so the loop stops while a pixel remains after the four.
        for (; j + 5 <= width; j += 4) {
            const uint32_t a = load32(s + 2 * j), b = load32(s + 2 * j + 4);
            const uint32_t ah = a >> 16, bh = b >> 16;
            store32(d + 3 * j, low[a & 0xFF] | high[(a >> 8) & 0xFF]);
            store32(d + 3 * j + 3, low[ah & 0xFF] | high[ah >> 8]);
            store32(d + 3 * j + 6, low[b & 0xFF] | high[(b >> 8) & 0xFF]);
            store32(d + 3 * j + 9, low[bh & 0xFF] | high[bh >> 8]);
        }
        for (; j < width; ++j)
            readBackPixel(s + 2 * j, d + 3 * j, f);
    }
}

} // namespace

const BlitKernelSet scalarBlitKernels = {"scalar", copyIndexedPairs, copyIndexedKeyedScalar,
                                         stretchIndexedWith<kRows>, readBack888Scalar};
