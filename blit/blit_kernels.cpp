// The portable kernels, and the choice of the set the blits use.
#include "blit/blit_kernels.h"

#include <cstring>

namespace {

inline void store16(uint8_t* at, uint16_t value) {
    std::memcpy(at, &value, 2);
}

inline uint64_t fourColours(const uint8_t* s, const uint16_t* table) {
    return table[s[0]] | static_cast<uint64_t>(table[s[1]]) << 16 |
           static_cast<uint64_t>(table[s[2]]) << 32 | static_cast<uint64_t>(table[s[3]]) << 48;
}

void copyIndexedPortable(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                         ptrdiff_t destinationPitch, int32_t width, int32_t height,
                         const uint16_t* table) {
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        // One pixel alone brings the row to a 4-byte boundary; then pairs of
        // pixels per 32-bit word, four pixels per step.
        if ((reinterpret_cast<uintptr_t>(d) & 2) && width > 0) {
            store16(d, table[s[0]]);
            j = 1;
        }
        for (; j + 4 <= width; j += 4) {
            uint64_t four = fourColours(s + j, table);
            std::memcpy(d + 2 * j, &four, 8);
        }
        for (; j < width; ++j)
            store16(d + 2 * j, table[s[j]]);
    }
}

void copyIndexedKeyedPortable(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                              ptrdiff_t destinationPitch, int32_t width, int32_t height,
                              const uint16_t* table, uint16_t key) {
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* s = source + i * sourcePitch;
        uint8_t* d = destination + i * destinationPitch;
        int32_t j = 0;
        for (; j + 4 <= width; j += 4) {
            for (int k = 0; k < 4; ++k) {
                uint16_t c = table[s[j + k]];
                if (c != key) store16(d + 2 * (j + k), c);
            }
        }
        for (; j < width; ++j) {
            uint16_t c = table[s[j]];
            if (c != key) store16(d + 2 * j, c);
        }
    }
}

void stretchIndexedPortable(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
                            ptrdiff_t destinationPitch, int32_t width, int32_t height,
                            int32_t sourceWidth, int32_t sourceHeight, StretchWindow window,
                            const uint16_t* table, bool hasKey, uint16_t key) {
    if (width <= 0 || height <= 0 || window.columns <= 0) return;
    const int64_t xStep = stretchColumnStep(width, sourceWidth);
    const int64_t firstAccumulator = window.firstColumn * xStep;
    const uint8_t* previousRow = nullptr;
    const uint8_t* previousSource = nullptr;
    for (int32_t r = 0; r < window.rows; ++r) {
        int64_t sy = stretchSourceRow(window.firstRow + r, height, sourceHeight);
        const uint8_t* s = source + static_cast<ptrdiff_t>(sy * sourcePitch);
        uint8_t* d = destination + r * destinationPitch;
        // An opaque row that reads the same source row as the one above it
        // is the same pixels: copy it (enlargements repeat every row).
        if (!hasKey && s == previousSource) {
            std::memmove(d, previousRow, 2 * static_cast<size_t>(window.columns));
            previousRow = d;
            continue;
        }
        int64_t accumulator = firstAccumulator;
        for (int32_t j = 0; j < window.columns; ++j, accumulator += xStep) {
            uint16_t c = table[s[accumulator >> 16]];
            if (!hasKey || c != key) store16(d + 2 * j, c);
        }
        previousRow = d;
        previousSource = s;
    }
}

void readBack888Portable(const uint8_t* source, ptrdiff_t sourcePitch, uint8_t* destination,
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
        // Four pixels as one 12-byte group: an 8-byte and a 4-byte store.
        for (; j + 4 <= width; j += 4) {
            uint32_t v[4];
            for (int k = 0; k < 4; ++k) {
                const uint8_t* p = s + 2 * (j + k);
                v[k] = low[p[0]] | high[p[1]];
            }
            uint64_t first =
                v[0] | static_cast<uint64_t>(v[1]) << 24 | static_cast<uint64_t>(v[2]) << 48;
            uint32_t second = v[2] >> 16 | v[3] << 8;
            std::memcpy(d + 3 * j, &first, 8);
            std::memcpy(d + 3 * j + 8, &second, 4);
        }
        for (; j < width; ++j) {
            const uint8_t* p = s + 2 * j;
            uint32_t v = low[p[0]] | high[p[1]];
            d[3 * j] = static_cast<uint8_t>(v);
            d[3 * j + 1] = static_cast<uint8_t>(v >> 8);
            d[3 * j + 2] = static_cast<uint8_t>(v >> 16);
        }
    }
}

} // namespace

const BlitKernelSet portableBlitKernels = {"portable", copyIndexedPortable,
                                           copyIndexedKeyedPortable, stretchIndexedPortable,
                                           readBack888Portable};

const BlitKernelSet* blitKernelSets(int* count) {
    static const BlitKernelSet* const sets = [] {
        static BlitKernelSet list[2] = {portableBlitKernels, portableBlitKernels};
#if defined(KX_HAVE_AVX512_BLITS)
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
            __builtin_cpu_supports("avx512vbmi"))
            list[1] = avx512BlitKernels;
#endif
        return list;
    }();
    *count = sets[1].name == sets[0].name ? 1 : 2;
    return sets;
}

const BlitKernelSet& blitKernels() {
    static const BlitKernelSet& chosen = []() -> const BlitKernelSet& {
        int count = 0;
        const BlitKernelSet* sets = blitKernelSets(&count);
        return sets[count - 1];
    }();
    return chosen;
}
