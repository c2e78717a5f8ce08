// The sample buffers of supersampling and the resolve into the target.
#include "softsgl/supersampling.h"

#include <emmintrin.h> // every build of softsgl has SSE2

#include <memory>
#include <new>
#include <vector>

#include "settings/settings.h"
#include "softsgl/pixel_ops.h"

namespace softsgl {
namespace {

#define KX_SPAN inline // every build of softsgl has SSE2
#include "softsgl/dither_lanes.h"

// As a test sets it (softsglSetAntialias): 1 to 4, or -1 for the settings'.
int antialiasMode = -1;

// Owned here, so that they go with the library should a host free it with a
// device still live (they are some MiB).
std::unique_ptr<uint16_t[]> colours;
std::unique_ptr<float[]> depths;
size_t capacity = 0; // samples the buffers hold

const uint16_t* sampleRow(const RenderTarget& samples, int y) {
    return reinterpret_cast<const uint16_t*>(samples.base + size_t(y) * size_t(samples.stride));
}

template <bool Is555> inline void widened(uint16_t p, uint32_t& r, uint32_t& g, uint32_t& b) {
    if (Is555)
        unpack555(p, r, g, b);
    else
        unpack565(p, r, g, b);
}

// Eight pixels' sums of their N columns' sums (each at most 4 x 255), from
// the first pixel's first column on: adjacent 16-bit sums added in pairs
// (a multiply-add by ones) and packed back to 16 bits.
template <int N> __m128i pixelSums(const uint16_t* columns) {
    const __m128i ones = _mm_set1_epi16(1);
    auto pairs = [&](__m128i a, __m128i b) {
        return _mm_packs_epi32(_mm_madd_epi16(a, ones), _mm_madd_epi16(b, ones));
    };
    auto at = [&](int k) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns + 8 * k));
    };
    if (N == 2) return pairs(at(0), at(1));
    if (N == 4) return pairs(pairs(at(0), at(1)), pairs(at(2), at(3)));
    alignas(16) uint16_t sums[8];
    for (int k = 0; k < 8; ++k)
        sums[k] = uint16_t(columns[N * k] + columns[N * k + 1] + columns[N * k + 2]);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(sums));
}

// Eight pixels' channel from their columns' sums: (sum + N N / 2) / (N N) in
// 16-bit lanes (sums at most 16 x 255). x / 9 is (x 7282) >> 16 for x below
// 2^13: the product's excess, x 2.7e-6, stays below 1/9.
template <int N> __m128i average8(const uint16_t* columns) {
    const __m128i x = _mm_add_epi16(pixelSums<N>(columns), _mm_set1_epi16(N * N / 2));
    if (N == 2) return _mm_srli_epi16(x, 2);
    if (N == 4) return _mm_srli_epi16(x, 4);
    return _mm_mulhi_epu16(x, _mm_set1_epi16(7282));
}

// SSE2's 16-bit lanes, for the dither rule of the span kernels.
struct Halves {
    using I = __m128i;
    static I set1i(int v) { return _mm_set1_epi16(int16_t(v)); }
    static I add(I a, I b) { return _mm_add_epi16(a, b); }
    static I sub(I a, I b) { return _mm_sub_epi16(a, b); }
    static I andi(I a, I b) { return _mm_and_si128(a, b); }
    static I ori(I a, I b) { return _mm_or_si128(a, b); }
    static I srli(I a, int n) { return _mm_srli_epi16(a, n); }
    static I slli(I a, int n) { return _mm_slli_epi16(a, n); }
    static I mul16(I a, I b) { return _mm_mullo_epi16(a, b); }
    static I greaterAsMinusOne(I a, I b) { return _mm_cmpgt_epi16(a, b); }
};
template <int Bits> __m128i ditherLevel8(__m128i c, __m128i cells) {
    return ditherLevelLanes<Bits, Halves>(c, cells);
}

// Pixels x0 .. x1 - 1 of target row y into out[0 .. x1 - x0 - 1]: the
// widened channels of each column of samples summed down the N sample rows
// (at most 4 x 255: 16 bits hold them), then N such sums across for each
// pixel, then averaged and packed eight pixels at a time. `sums` has room
// for 3 (x1 - x0) N.
template <int N, bool Is555, bool Dither>
void resolveRow(const RenderTarget& samples, int y, int x0, int x1, uint16_t* out, uint16_t* sums) {
    const size_t columns = size_t(x1 - x0) * N;
    uint16_t* red = sums;
    uint16_t* green = red + columns;
    uint16_t* blue = green + columns;
    // The first sample row sets the sums, the others add to them: no
    // clearing first (the memset of Wine's 32-bit msvcrt is slow).
    for (int j = 0; j < N; ++j) {
        const uint16_t* row = sampleRow(samples, y * N + j) + size_t(x0) * N;
        const bool first = j == 0;
        for (size_t c = 0; c < columns; ++c) {
            uint32_t r, g, b;
            widened<Is555>(row[c], r, g, b);
            red[c] = uint16_t(r + (first ? 0 : red[c]));
            green[c] = uint16_t(g + (first ? 0 : green[c]));
            blue[c] = uint16_t(b + (first ? 0 : blue[c]));
        }
    }
    const int width = x1 - x0;
    // Eight pixels at a time; lane k's dither cell is that of pixel x0 + k
    // in every group, as groups start 8 pixels apart.
    alignas(16) int16_t cells[8];
    for (int k = 0; k < 8; ++k)
        cells[k] = int16_t(2 * kBayer4[y & 3][(x0 + k) & 3] + 1);
    const __m128i cellLanes = _mm_load_si128(reinterpret_cast<const __m128i*>(cells));
    int i = 0;
    for (; i + 8 <= width; i += 8) {
        const size_t c = size_t(i) * N;
        const __m128i r = average8<N>(red + c), g = average8<N>(green + c),
                      b = average8<N>(blue + c);
        __m128i pixels;
        if (Dither)
            pixels = _mm_or_si128(
                _mm_or_si128(_mm_slli_epi16(ditherLevel8<5>(r, cellLanes), Is555 ? 10 : 11),
                             _mm_slli_epi16(Is555 ? ditherLevel8<5>(g, cellLanes)
                                                  : ditherLevel8<6>(g, cellLanes),
                                            5)),
                ditherLevel8<5>(b, cellLanes));
        else
            pixels =
                _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(r, 3), Is555 ? 10 : 11),
                                          _mm_slli_epi16(_mm_srli_epi16(g, Is555 ? 3 : 2), 5)),
                             _mm_srli_epi16(b, 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), pixels);
    }
    constexpr uint32_t kCount = N * N;
    for (; i < width; ++i) {
        uint32_t r = kCount / 2, g = kCount / 2, b = kCount / 2;
        for (size_t c = size_t(i) * N; c < size_t(i + 1) * N; ++c)
            r += red[c], g += green[c], b += blue[c];
        r /= kCount, g /= kCount, b /= kCount;
        const int x = x0 + i;
        if (Dither)
            out[i] = Is555 ? ditherPack555(r, g, b, x, y) : ditherPack565(r, g, b, x, y);
        else
            out[i] = Is555 ? pack555(r, g, b) : pack565(r, g, b);
    }
}

using RowResolve = void (*)(const RenderTarget&, int, int, int, uint16_t*, uint16_t*);

template <int N> RowResolve rowResolveAt(bool is555, bool dither) {
    if (dither) return is555 ? resolveRow<N, true, true> : resolveRow<N, false, true>;
    return is555 ? resolveRow<N, true, false> : resolveRow<N, false, false>;
}

RowResolve rowResolve(int n, bool is555, bool dither) {
    return n == 2   ? rowResolveAt<2>(is555, dither)
           : n == 3 ? rowResolveAt<3>(is555, dither)
                    : rowResolveAt<4>(is555, dither);
}

} // namespace

int antialiasWanted() {
    static const int bySettings = kxSettings().antialias;
    return antialiasMode < 0 ? bySettings : antialiasMode;
}

int samplesEachWay(int wanted, int width, int height) {
    int n = wanted;
    while (n > 1 && size_t(width) * size_t(n) * size_t(height) * size_t(n) > kMaxSamples)
        --n;
    return n;
}

bool sampleBuffers(size_t samples, SampleBuffers& out) {
    if (samples > capacity) {
        releaseSampleBuffers();
        colours.reset(new (std::nothrow) uint16_t[samples]);
        depths.reset(new (std::nothrow) float[samples]);
        if (!colours || !depths) {
            releaseSampleBuffers();
            return false;
        }
        capacity = samples;
    }
    out = SampleBuffers{colours.get(), depths.get()};
    return true;
}

void releaseSampleBuffers() {
    colours.reset();
    depths.reset();
    capacity = 0;
}

uint16_t resolvePixel(const RenderTarget& samples, int n, int x, int y, bool is555, bool dither) {
    uint16_t sums[3 * 4], pixel = 0;
    rowResolve(n, is555, dither)(samples, y, x, x + 1, &pixel, sums);
    return pixel;
}

void resolveRows(const RenderTarget& target, const RenderTarget& samples, int n, int32_t first,
                 int32_t end, bool dither) {
    const RowResolve resolve = rowResolve(n, target.is555, dither);
    std::vector<uint16_t> sums(3 * size_t(target.width) * size_t(n));
    for (int32_t y = first; y < end; ++y)
        resolve(samples, y, 0, target.width,
                reinterpret_cast<uint16_t*>(target.base + size_t(y) * target.stride), sums.data());
}

} // namespace softsgl

void softsglSetAntialias(int n) {
    softsgl::antialiasMode = n < 1 || n > 4 ? -1 : n;
}
