// The scalar texel kernels: plain C++ for any i686, no SIMD assumed (built
// without auto-vectorisation, so that x86-64 measures what an i686 runs).
#include "texture/texel_kernels.h"

#if defined(__BYTE_ORDER__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pixels are picked from words");
#endif

namespace {

inline uint32_t load32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

// A host colour word as a texel: byte-swapped 0xAARRGGBB is 0xBBGGRRAA,
// rotated right by 8 it is 0xAABBGGRR, and the xor makes 255 - alpha.
inline uint32_t texelFromWord(uint32_t colour) {
    const uint32_t swapped = __builtin_bswap32(colour);
    return ((swapped >> 8) | (swapped << 24)) ^ 0xFF000000u;
}

void convert8888Scalar(uint32_t* destination, const uint8_t* source, int32_t count) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        destination[i] = texelFromWord(load32(source + 4 * i));
        destination[i + 1] = texelFromWord(load32(source + 4 * i + 4));
        destination[i + 2] = texelFromWord(load32(source + 4 * i + 8));
        destination[i + 3] = texelFromWord(load32(source + 4 * i + 12));
    }
    for (; i < count; ++i)
        destination[i] = texelFromWord(load32(source + 4 * i));
}

// The word w holding a pixel's bytes blue, green, red in its top three bytes
// (the low byte anything) as a texel: byte-swapped it is red, green, blue and
// the old low byte, which the opaque alpha replaces.
inline uint32_t texelFromTop24(uint32_t w) {
    return __builtin_bswap32(w) | 0xFF000000u;
}

// Four pixels from three words: the pixels start at bytes 0, 3, 6 and 9, so
// each is moved to the top of a word by one shift or double-word shift.
void convert888Scalar(uint32_t* destination, const uint8_t* source, int32_t count) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const uint8_t* s = source + 3 * i;
        const uint32_t w0 = load32(s), w1 = load32(s + 4), w2 = load32(s + 8);
        destination[i] = texelFromTop24(w0 << 8);
        destination[i + 1] = texelFromTop24(w0 >> 16 | w1 << 16);
        destination[i + 2] = texelFromTop24(w1 >> 8 | w2 << 24);
        destination[i + 3] = texelFromTop24(w2);
    }
    for (; i < count; ++i)
        destination[i] = texelFrom888(source + 3 * i);
}

void gatherTexelRowsScalar(uint32_t* row, uint32_t* nextRow, const uint32_t* from,
                           const uint32_t* nextFrom, const int32_t* columns, int32_t count,
                           int32_t) {
    int32_t x = 0;
    for (; x + 2 <= count; x += 2) {
        const int32_t c0 = columns[x], c1 = columns[x + 1];
        row[x] = from[c0];
        nextRow[x] = nextFrom[c0];
        row[x + 1] = from[c1];
        nextRow[x + 1] = nextFrom[c1];
    }
    for (; x < count; ++x) {
        row[x] = from[columns[x]];
        nextRow[x] = nextFrom[columns[x]];
    }
}

} // namespace

// Eight indices per two 32-bit loads, picked apart with byte moves.
void convertIndexedTexelsScalar(uint32_t* destination, const uint8_t* source,
                                const uint32_t* palette, int32_t count) {
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const uint32_t a = load32(source + i), b = load32(source + i + 4);
        const uint32_t ah = a >> 16, bh = b >> 16;
        destination[i] = palette[a & 0xFF];
        destination[i + 1] = palette[(a >> 8) & 0xFF];
        destination[i + 2] = palette[ah & 0xFF];
        destination[i + 3] = palette[ah >> 8];
        destination[i + 4] = palette[b & 0xFF];
        destination[i + 5] = palette[(b >> 8) & 0xFF];
        destination[i + 6] = palette[bh & 0xFF];
        destination[i + 7] = palette[bh >> 8];
    }
    for (; i < count; ++i)
        destination[i] = palette[source[i]];
}

const TexelKernelSet scalarTexelKernels = {"scalar", convertIndexedTexelsScalar, convert8888Scalar,
                                           convert888Scalar, gatherTexelRowsScalar};
