// Bilinear filtering (filter = bilinear) against a plain reference of the
// rule in softsgl/README.md (rule 7): an opaque map magnified, a keyed map
// under blending with its opacity-weighted colours, no colour bled from
// transparent texels, and the same frames on 1, 2 and 3 threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"

namespace {

constexpr int kSide = 32;

// The rule's words: sample at (u - 0.5, v - 0.5) in texels; the four texels
// around it, wrapping; weights from the fractions in 256ths; with opacity,
// colours weighted by it and divided by the summed weight (halves up).
struct Sample {
    uint32_t r, g, b, opacity; // opacity 255 when it does not count
};

Sample reference(const std::vector<uint32_t>& texels, double u, double v, bool opacity) {
    const double x = u - 0.5, y = v - 0.5;
    const long x0 = long(std::floor(x)), y0 = long(std::floor(y));
    const long fx = long(std::floor((x - double(x0)) * 256)),
               fy = long(std::floor((y - double(y0)) * 256));
    double sum[3] = {0, 0, 0}, weights = 0;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            const long tx = ((x0 + i) % kSide + kSide) % kSide,
                       ty = ((y0 + j) % kSide + kSide) % kSide;
            const uint32_t t = texels[size_t(ty * kSide + tx)];
            double w = double(i ? fx : 256 - fx) * double(j ? fy : 256 - fy);
            if (opacity) w *= 255 - (t >> 24);
            weights += w;
            for (int c = 0; c < 3; ++c)
                sum[c] += w * ((t >> (8 * c)) & 0xFF);
        }
    Sample s{};
    uint32_t* out[3] = {&s.r, &s.g, &s.b};
    for (int c = 0; c < 3; ++c)
        *out[c] = !opacity      ? uint32_t(std::floor((sum[c] + 32768) / 65536))
                  : weights > 0 ? uint32_t(std::floor(sum[c] / weights + 0.5))
                                : 0;
    s.opacity = opacity ? uint32_t(std::floor((weights + 32768) / 65536)) : 255;
    return s;
}

std::vector<uint32_t> texture(uint32_t seed, bool keyed) {
    std::vector<uint32_t> t(kSide * kSide);
    for (size_t i = 0; i < t.size(); ++i) {
        uint32_t h = uint32_t(i) * 0x9E3779B1u ^ seed;
        h ^= h >> 15;
        h *= 0x2C1B3C6Du;
        h ^= h >> 13;
        t[i] = h & 0xFFFFFF;
        // Keyed: a transparent texel in a red that must never show.
        if (keyed && (h >> 28) < 5) t[i] = 0xFF0000FFu;
    }
    return t;
}

// A 32 x 32 map over a 64 x 64 square at 1/w 1, u/w and v/w from 0 to 1:
// at pixel centre x + 0.5 the texel coordinate is (x + 0.5) / 2, exactly.
MemoryTarget drawSquare(const std::vector<uint32_t>& texels, int mapType, bool blending) {
    softsglSetFilter(1);
    MemoryTarget t;
    const int device = setUpScreen(t, 64, 64);
    const int name = createTexture(mapType, 0, texels);
    SGLCONTEXT ctx = blending ? blendingContext() : defaultContext();
    ctx.flags |= SGLTT_TEXTURE;
    ctx.textureName = name;
    sgltri_startofframe(&ctx);
    drawRect(ctx, 0, 0, 64, 64);
    renderFrame(ctx);
    sgl_delete_texture(name);
    sgl_delete_device(device);
    softsglSetFilter(-1);
    return t;
}

uint16_t pack565(uint32_t r, uint32_t g, uint32_t b) {
    return uint16_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

TEST(SoftsglBilinear, MagnifiedTexelsAreWeighedByTheRule) {
    const std::vector<uint32_t> texels = texture(7, false);
    const MemoryTarget t = drawSquare(texels, SGL_MAP_OPAQUE, false);
    int blended = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const Sample s = reference(texels, (x + 0.5) / 2, (y + 0.5) / 2, false);
            ASSERT_EQ(t.at(x, y), pack565(s.r, s.g, s.b)) << "at " << x << ", " << y;
            const uint32_t nearest = texels[size_t((y / 2) * kSide + x / 2)];
            blended +=
                t.at(x, y) != pack565(nearest & 0xFF, (nearest >> 8) & 0xFF, nearest >> 16 & 0xFF);
        }
    EXPECT_GT(blended, 64 * 64 / 2); // filtered, not nearest
}

TEST(SoftsglBilinear, KeyedTexelsLendNoColourAndEdgesBlend) {
    const std::vector<uint32_t> texels = texture(11, true);
    const MemoryTarget t = drawSquare(texels, SGL_MAP_TRANSLUCENT, true);
    int edges = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const Sample s = reference(texels, (x + 0.5) / 2, (y + 0.5) / 2, true);
            // Over the black the frame starts with: blended by the opacity.
            auto over = [&s](uint32_t c) { return (c * s.opacity + 127) / 255; };
            const uint16_t expected = s.opacity == 0 ? 0 : pack565(over(s.r), over(s.g), over(s.b));
            ASSERT_EQ(t.at(x, y), expected) << "at " << x << ", " << y << ", opacity " << s.opacity;
            edges += s.opacity > 0 && s.opacity < 255;
        }
    EXPECT_GT(edges, 100);
}

TEST(SoftsglBilinear, FramesAreTheSameOnOneTwoAndThreeThreads) {
    EXPECT_GT(settingOnAnyThreadCount(softsglSetFilter), 10000); // filtering changed the frames
}

} // namespace
