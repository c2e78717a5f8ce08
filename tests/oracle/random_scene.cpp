#include "tests/oracle/random_scene.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace oracle {
namespace {

// Numbers from the seed, the same on every platform: only the generator's
// raw output is used, never a library distribution.
class Random {
  public:
    explicit Random(uint32_t seed) : rng_(seed) {}
    uint32_t word() { return uint32_t(rng_()); }
    double real(double lo, double hi) { return lo + (hi - lo) * (word() / 4294967296.0); }
    int below(int n) { return int(word() % uint32_t(n)); }
    bool chance(double p) { return real(0, 1) < p; }

  private:
    std::mt19937 rng_;
};

// A colour the key may be: fully opaque, so that only a palette entry equal
// to it on all 32 bits is keyed.
uint32_t randomColour(Random& r) {
    return 0xFF000000u | (r.word() & 0xFFFFFF);
}

// Texels in blocks of a few texels, each block its own colour (with a grain
// in 8888 and 888), so that a texel picked wrongly shows. Kinds: 8888 all
// opaque, 8888 with partial and zero alphas, 888, indexed with the global
// palette, with its own, and with its own that has the key colour.
HostImage randomImage(Random& r, uint32_t key) {
    static const int sides[] = {32, 32, 64, 64, 128, 256};
    HostImage im;
    im.side = sides[r.below(6)];
    const int kind = r.below(6);
    im.format = kind < 2 ? 1 : kind == 2 ? 2 : 0;
    const int block = 1 << r.below(4);
    const int blocksPerRow = (im.side + block - 1) / block;
    std::vector<uint32_t> blockColour(size_t(blocksPerRow) * blocksPerRow);
    for (uint32_t& c : blockColour) {
        c = r.word();
        if (kind == 0 || (kind == 1 && r.chance(0.5)))
            c |= 0xFF000000u;
        else if (kind == 1 && r.chance(0.4))
            c &= 0x00FFFFFFu;
    }
    if (im.format == 0 && kind != 3) {
        im.palette.resize(256);
        for (uint32_t& p : im.palette)
            p = r.chance(0.85) ? randomColour(r) : r.word(); // some partial alphas
        if (kind == 5)
            for (int i = 0; i < 8; ++i)
                im.palette[size_t(i)] = key;
    }
    for (int y = 0; y < im.side; ++y)
        for (int x = 0; x < im.side; ++x) {
            const uint32_t c = blockColour[size_t(y / block) * blocksPerRow + size_t(x / block)];
            const uint32_t grain = r.word() & 0x0F0F0F;
            if (im.format == 0) {
                // Keyed images and those of the global palette use the key's
                // entries (0 to 7) in a quarter of their blocks.
                uint32_t index = (c >> 8) & 0xFF;
                if ((kind == 5 || kind == 3) && (c & 3) == 0) index = c % 8;
                im.pixels.push_back(uint8_t(index));
                continue;
            }
            const uint32_t rgb = (c ^ grain) & 0xFFFFFF;
            im.pixels.push_back(uint8_t(rgb));
            im.pixels.push_back(uint8_t(rgb >> 8));
            im.pixels.push_back(uint8_t(rgb >> 16));
            if (im.format == 1) im.pixels.push_back(uint8_t(c >> 24));
        }
    return im;
}

// A convex fan of n vertices around (cx, cy), or a quad, with 1/w on a plane
// (flat or tilted) that stays in [0.05, 1] at every vertex, texture
// coordinates over w on planes too, and colours and alphas.
std::vector<HostVertex> randomFan(Random& r) {
    const int n = r.chance(0.4) ? 4 : 3 + r.below(6);
    const double cx = r.real(-80, 720), cy = r.real(-80, 560);
    const double rx = r.real(8, 320), ry = r.real(8, 260), turn = r.real(0, 6.2832);
    std::vector<double> angles(static_cast<size_t>(n));
    for (double& a : angles)
        a = r.real(0, 6.2832);
    std::sort(angles.begin(), angles.end());
    std::vector<double> xs, ys;
    for (double a : angles) {
        double px = rx * std::cos(a), py = ry * std::sin(a);
        xs.push_back(cx + px * std::cos(turn) - py * std::sin(turn));
        ys.push_back(cy + px * std::sin(turn) + py * std::cos(turn));
    }
    // 1/w: a plane through the centre, tilted in depth in half the fans and
    // held to [0.05, 1] by scaling the tilt down.
    const double q0 = r.real(0.06, 0.99);
    double gx = 0, gy = 0;
    if (r.chance(0.5)) {
        gx = r.real(-0.004, 0.004), gy = r.real(-0.004, 0.004);
        double scale = 1;
        for (int i = 0; i < n; ++i) {
            double d = gx * (xs[size_t(i)] - cx) + gy * (ys[size_t(i)] - cy);
            if (q0 + d > 1) scale = std::min(scale, (1 - q0) / d);
            if (q0 + d < 0.05) scale = std::min(scale, (0.05 - q0) / d);
        }
        gx *= scale, gy *= scale;
    }
    // Texture coordinates over w on planes, as a flat polygon seen in
    // perspective gives them: about 0.3 to 4 repeats over the fan's width
    // at its centre, any origin.
    const double su = r.real(0.3, 4) / (2 * rx), sv = r.real(0.3, 4) / (2 * ry);
    const double u0 = r.real(-3, 3), v0 = r.real(-3, 3), shear = r.real(-0.5, 0.5);
    // Colours: one for the fan or one per vertex; alphas full, one partial
    // alpha for the fan, or mixed (full, zero and partial).
    const int alphaKind = r.below(10); // 0-4 full, 5-6 partial, 7-9 mixed
    const uint32_t flat = r.word(), flatAlpha = 1 + uint32_t(r.below(254));
    const bool gouraud = r.chance(0.5);
    std::vector<HostVertex> fan;
    for (int i = 0; i < n; ++i) {
        const double x = xs[size_t(i)], y = ys[size_t(i)];
        const double q = q0 + gx * (x - cx) + gy * (y - cy);
        const double uOverW = q0 * (u0 + (x - cx) * su + (y - cy) * su * shear);
        const double vOverW = q0 * (v0 + (y - cy) * sv);
        uint32_t colour = gouraud ? r.word() : flat;
        uint32_t alpha = 0xFF;
        if (alphaKind >= 5 && alphaKind <= 6) alpha = flatAlpha;
        if (alphaKind >= 7) {
            const int pick = r.below(3);
            alpha = pick == 0 ? 0xFF : pick == 1 ? 0 : uint32_t(r.below(256));
        }
        fan.push_back(hv(x, y, q, uOverW / q, vOverW / q, (colour & 0xFFFFFF) | alpha << 24));
    }
    return fan;
}

} // namespace

Scene randomScene(uint32_t seed) {
    Random r(seed);
    Scene s;
    s.name = "seed-" + std::to_string(seed);
    const uint32_t key = randomColour(r);
    // The global palette: its first entries are the key colour, a few have
    // partial or zero alpha (they count only in a map the key made
    // translucent).
    s.globalPalette.resize(256);
    for (size_t i = 0; i < 256; ++i)
        s.globalPalette[i] = i < 8 ? key : r.chance(0.9) ? randomColour(r) : r.word();
    s.startKeyMode = r.below(2);
    s.startKeyColour = key;
    const int images = 1 + r.below(5);
    for (int i = 0; i < images; ++i)
        s.images.push_back(randomImage(r, key));
    int blend = r.below(2);
    const int steps = 20 + r.below(41);
    for (int i = 0; i < steps; ++i) {
        Step st;
        if (r.chance(0.25)) blend = 1 - blend;
        st.blendMode = blend;
        if (r.chance(0.12)) {
            st.keyMode = r.below(2);
            st.keyColour = r.chance(0.8) ? key : randomColour(r);
        }
        st.texture = r.chance(0.3) ? -1 : r.below(images);
        st.fan = randomFan(r);
        s.steps.push_back(std::move(st));
    }
    return s;
}

} // namespace oracle
