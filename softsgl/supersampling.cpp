// The sample buffers of supersampling and the resolve into the target.
#include "softsgl/supersampling.h"

#include <memory>
#include <new>
#include <vector>

#include "settings/settings.h"
#include "softsgl/pixel_ops.h"

namespace softsgl {
namespace {

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

// Pixels x0 .. x1 - 1 of target row y into out[0 .. x1 - x0 - 1], in two
// steps that the compiler turns into vector code for any N: the widened
// channels of each column of samples summed down the N sample rows (at most
// 4 x 255: 16 bits hold them), then N such sums across for each pixel.
// `sums` has room for 3 (x1 - x0) N.
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
        if (j == 0) {
            for (size_t c = 0; c < columns; ++c) {
                uint32_t r, g, b;
                widened<Is555>(row[c], r, g, b);
                red[c] = uint16_t(r);
                green[c] = uint16_t(g);
                blue[c] = uint16_t(b);
            }
            continue;
        }
        for (size_t c = 0; c < columns; ++c) {
            uint32_t r, g, b;
            widened<Is555>(row[c], r, g, b);
            red[c] = uint16_t(red[c] + r);
            green[c] = uint16_t(green[c] + g);
            blue[c] = uint16_t(blue[c] + b);
        }
    }
    constexpr uint32_t kCount = N * N;
    for (int x = x0; x < x1; ++x) {
        const size_t c = size_t(x - x0) * N;
        uint32_t r = kCount / 2, g = kCount / 2, b = kCount / 2;
        for (int i = 0; i < N; ++i) {
            r += red[c + i];
            g += green[c + i];
            b += blue[c + i];
        }
        r /= kCount;
        g /= kCount;
        b /= kCount;
        if (Dither)
            out[x - x0] = Is555 ? ditherPack555(r, g, b, x, y) : ditherPack565(r, g, b, x, y);
        else
            out[x - x0] = Is555 ? pack555(r, g, b) : pack565(r, g, b);
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
