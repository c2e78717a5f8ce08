// Supersampling (antialias = 2, 3 or 4) held to its definition in
// softsgl/README.md (rule 13): a frame is what softsgl draws of the scene
// scaled by N on a device N times as wide and high, box-resolved. The
// reference is softsgl itself drawing that scene without supersampling,
// resolved by a plain function written from the formula. Points and lines
// against their pixels without supersampling, expanded to every sample;
// dithering at the resolve; bilinear filtering; the pixel probe's counts
// against the probe of each sample on the larger device; the player's
// setting; the bound on a frame's samples; the same frames on 1, 2 and 3
// threads (and, as the tests run once more under each kernel cap, at every
// level).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "softsgl/softsgl_control.h"
#include "softsgl/supersampling.h"
#include "softsgl_helpers.h"
#include "tests/bands/band_scenes.h"

namespace {

constexpr int kWidth = 96, kHeight = 64;

BandTarget targetOf(int width, int height, int bits) {
    return BandTarget{width, height, 2 * width, bits};
}

// A coordinate on a grid of 1/256 pixel, or a power of two as far away:
// times 2, 3 or 4 it is exact in float, as it is in softsgl's doubles.
float onGrid(float c) {
    if (std::fabs(c) < 16384) return std::round(c * 256) / 256;
    return std::copysign(std::ldexp(1.0f, std::min(std::ilogb(c), 120)), c);
}

// The band scene's triangles (its points and lines left out), on the grid:
// textured with opaque, keyed and translucent maps, Gouraud, blended with
// vertex alpha, overlapping in depth, some beyond the guard band.
BandScene triangleScene(uint32_t seed) {
    BandScene s = bandScene(seed, kWidth, kHeight);
    std::vector<BandScene::Call> triangles;
    for (BandScene::Call c : s.calls) {
        if (c.kind != 2) continue;
        for (SGLVERTEX& v : c.vertices) {
            v.x = onGrid(v.x);
            v.y = onGrid(v.y);
        }
        triangles.push_back(c);
    }
    s.calls = triangles;
    return s;
}

// The scene as a caller drawing on a device n times as large sends it.
BandScene scaled(BandScene s, int n) {
    for (BandScene::Call& c : s.calls)
        for (SGLVERTEX& v : c.vertices) {
            EXPECT_EQ(double(v.x * float(n)), double(v.x) * n) << "not exact: " << v.x;
            v.x *= float(n);
            v.y *= float(n);
        }
    return s;
}

std::vector<uint16_t> drawWith(int antialias, const BandScene& s, const BandTarget& t) {
    softsglSetAntialias(antialias);
    std::vector<uint16_t> pixels = drawBandScene(s, t);
    softsglSetAntialias(-1);
    EXPECT_FALSE(pixels.empty()) << "render failed";
    return pixels;
}

// The resolve in the rule's words: the box average, then packed by
// dropping low bits, or dithered at the pixel.
std::vector<uint16_t> boxResolved(const std::vector<uint16_t>& big, int width, int height, int n,
                                  bool is555, bool dither) {
    const std::vector<uint32_t> average = boxAveraged(big, width, height, n, is555);
    std::vector<uint16_t> out(average.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = size_t(y) * size_t(width) + size_t(x);
            out[i] = dither  ? ditheredPixel(average[i], x, y, is555)
                     : is555 ? to555(average[i])
                             : to565(average[i]);
        }
    return out;
}

int differing(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b) {
    int n = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        n += a[i] != b[i];
    return n + int(std::max(a.size(), b.size()) - std::min(a.size(), b.size()));
}

// Draws the scene with n samples each way, and the scaled scene on the
// larger device without, and expects the first to be the second resolved.
void expectScaledAndResolved(const BandScene& s, int n, int bits, bool dither) {
    const bool is555 = bits == 15;
    softsglSetDither(dither);
    const std::vector<uint16_t> frame = drawWith(n, s, targetOf(kWidth, kHeight, bits));
    softsglSetDither(0);
    const std::vector<uint16_t> big =
        drawWith(1, scaled(s, n), targetOf(kWidth * n, kHeight * n, bits));
    softsglSetDither(-1);
    const std::vector<uint16_t> expected = boxResolved(big, kWidth, kHeight, n, is555, dither);
    EXPECT_EQ(differing(frame, expected), 0) << n << " x " << n << ", " << bits << " bpp";
    // Supersampling changed the frame: its edges at least.
    EXPECT_GT(differing(frame, drawWith(1, s, targetOf(kWidth, kHeight, bits))), 50);
}

TEST(SoftsglAntialias, TrianglesAreTheScaledSceneOnTheLargerDeviceResolved) {
    for (int bits : {16, 15})
        for (int n : {2, 3, 4})
            for (uint32_t seed = 1; seed <= 3; ++seed) {
                SCOPED_TRACE("seed " + std::to_string(seed));
                expectScaledAndResolved(triangleScene(seed + 10 * uint32_t(n)), n, bits, false);
            }
}

TEST(SoftsglAntialias, DitheringIsAppliedAtTheResolve) {
    for (int bits : {16, 15})
        for (int n : {2, 3, 4})
            expectScaledAndResolved(triangleScene(1 + 10 * uint32_t(n)), n, bits, true);
}

// The resolve alone, over random samples (every level of every channel, in
// every dither cell) and rows whose pixels are not a whole number of the
// resolve's groups: the rule's box average, packed or dithered.
TEST(SoftsglAntialias, TheResolveOfRandomSamplesIsTheBoxAverage) {
    std::mt19937 rng(5);
    const int width = 45, height = 12;
    for (int bits : {16, 15})
        for (int n : {2, 3, 4})
            for (bool dither : {false, true}) {
                const bool is555 = bits == 15;
                std::vector<uint16_t> samples(size_t(width * n) * size_t(height * n));
                for (uint16_t& v : samples)
                    v = uint16_t(rng());
                const softsgl::RenderTarget from{reinterpret_cast<uint8_t*>(samples.data()),
                                                 width * n * 2, width * n, height * n, is555};
                std::vector<uint16_t> frame(size_t(width) * height);
                const softsgl::RenderTarget to{reinterpret_cast<uint8_t*>(frame.data()), width * 2,
                                               width, height, is555};
                softsgl::resolveRows(to, from, n, 0, height, dither);
                EXPECT_EQ(frame, boxResolved(samples, width, height, n, is555, dither))
                    << n << " x " << n << ", " << bits << " bpp, dither " << dither;
            }
}

TEST(SoftsglAntialias, BilinearFilteringFiltersEachSample) {
    softsglSetFilter(1);
    expectScaledAndResolved(triangleScene(50), 2, 16, false);
    softsglSetFilter(-1);
}

// Points and lines from a band scene's triangles: a line along two of the
// vertices, a point at the third, with the triangle's flags, texture, colours
// and depths.
BandScene pointsAndLines(uint32_t seed) {
    BandScene s = bandScene(seed, kWidth, kHeight);
    std::vector<BandScene::Call> calls;
    for (const BandScene::Call& c : s.calls) {
        if (c.kind != 2) continue;
        BandScene::Call line = c, point = c;
        line.kind = 1;
        line.vertices.resize(2);
        point.kind = 0;
        point.vertices = {c.vertices[2]};
        calls.push_back(line);
        calls.push_back(point);
    }
    s.calls = calls;
    return s;
}

// Every sample of a pixel holds what the pixel holds without
// supersampling, and n x n equal samples resolve to that pixel.
TEST(SoftsglAntialias, PointsAndLinesAloneAreTheirFramesWithout) {
    for (int bits : {16, 15})
        for (int n : {2, 3, 4}) {
            const BandScene s = pointsAndLines(60 + uint32_t(n));
            const BandTarget t = targetOf(kWidth, kHeight, bits);
            const std::vector<uint16_t> plain = drawWith(1, s, t);
            EXPECT_EQ(differing(drawWith(n, s, t), plain), 0) << n << " x " << n << ", " << bits;
            int lit = 0;
            for (uint16_t p : plain)
                lit += p != 0;
            EXPECT_GT(lit, 100);
        }
}

// The pixels a point or line covers without supersampling: found by drawing
// it alone, opaque white on black.
std::vector<std::pair<int, int>> pixelsOf(const BandScene::Call& c) {
    BandScene alone;
    BandScene::Call white = c;
    white.flags = SGLTT_DEFAULT_FLAGS & ~SGLTT_TEXTURE;
    white.texture = -1;
    for (SGLVERTEX& v : white.vertices)
        v.colour = 0xFFFFFFFF;
    alone.calls = {white};
    const std::vector<uint16_t> pixels = drawWith(1, alone, targetOf(kWidth, kHeight, 16));
    std::vector<std::pair<int, int>> covered;
    for (size_t i = 0; i < pixels.size(); ++i)
        if (pixels[i] == 0xFFFF) covered.emplace_back(int(i % kWidth), int(i / kWidth));
    return covered;
}

// Over triangles, with depth and blending: the larger device's reference
// draws each pixel of a point or line as n x n points at its samples'
// centres, with the point's or line's colour and depth (flat along the line,
// so that every pixel's is the same).
TEST(SoftsglAntialias, PointsAndLinesFillEverySampleOfTheirPixels) {
    for (int n : {2, 3}) {
        const BandScene triangles = triangleScene(70 + uint32_t(n));
        BandScene s = triangles, big = scaled(triangles, n);
        s.calls.clear();
        big.calls.clear();
        for (size_t k = 0; k < triangles.calls.size(); ++k) {
            const BandScene::Call& c = triangles.calls[k];
            s.calls.push_back(c);
            big.calls.push_back(scaled(BandScene{{}, {}, {c}}, n).calls[0]);
            if (k % 2) continue;
            BandScene::Call line = c, point = c;
            line.kind = 1;
            line.vertices = {c.vertices[0], c.vertices[1]};
            line.vertices[1].colour = line.vertices[0].colour;
            line.vertices[1].invW = line.vertices[0].invW;
            point.kind = 0;
            point.vertices = {c.vertices[2]};
            point.vertices[0].x = float(k % kWidth) + 0.25f; // on the area
            for (const BandScene::Call& p : {line, point}) {
                s.calls.push_back(p);
                for (const auto& xy : pixelsOf(p))
                    for (int j = 0; j < n; ++j)
                        for (int i = 0; i < n; ++i) {
                            BandScene::Call sample = p;
                            sample.kind = 0;
                            sample.vertices = {p.vertices[0]};
                            sample.vertices[0].x = float(xy.first * n + i) + 0.5f;
                            sample.vertices[0].y = float(xy.second * n + j) + 0.5f;
                            big.calls.push_back(sample);
                        }
            }
        }
        const std::vector<uint16_t> frame = drawWith(n, s, targetOf(kWidth, kHeight, 16));
        const std::vector<uint16_t> reference =
            drawWith(1, big, targetOf(kWidth * n, kHeight * n, 16));
        EXPECT_EQ(differing(frame, boxResolved(reference, kWidth, kHeight, n, false, false)), 0)
            << n << " x " << n;
    }
}

// What the probe says of each primitive on pixel (x, y): samples covered
// and passed, by primitive.
std::map<uint32_t, std::pair<int, int>> probeCounts(const SoftsglProbeHit* hits, int count) {
    std::map<uint32_t, std::pair<int, int>> counts;
    for (int k = 0; k < count; ++k) {
        counts[hits[k].primitive].first += hits[k].covered;
        counts[hits[k].primitive].second += hits[k].passed;
    }
    return counts;
}

// The probe of a supersampled pixel against the probe of each of its
// samples on the larger device: the same primitives, as many samples
// covered and passing; one hit a primitive, each starting from the pixel
// the one before left, the last leaving the frame's pixel.
TEST(SoftsglAntialias, TheProbeCountsEachPrimitivesSamples) {
    for (int n : {2, 3}) {
        const BandScene s = triangleScene(80 + uint32_t(n));
        const BandTarget t = targetOf(kWidth, kHeight, 16);
        const std::vector<uint16_t> frame = drawWith(n, s, t);
        const std::vector<uint16_t> plain = drawWith(1, s, t);
        // Pixels supersampling changed: on edges, where several primitives meet.
        std::vector<int> probed;
        for (size_t i = 0; i < frame.size() && probed.size() < 4; i += 97)
            for (size_t k = i; k < std::min(frame.size(), i + 97); ++k)
                if (frame[k] != plain[k]) {
                    probed.push_back(int(k));
                    break;
                }
        ASSERT_EQ(probed.size(), 4u);
        for (int at : probed) {
            const int x = at % kWidth, y = at / kWidth;
            SCOPED_TRACE(std::to_string(n) + " x " + std::to_string(n) + ", pixel " +
                         std::to_string(x) + ", " + std::to_string(y));
            softsglSetProbe(x, y);
            EXPECT_EQ(drawWith(n, s, t), frame);
            const SoftsglProbeHit* hits = nullptr;
            const int count = softsglProbeHits(&hits);
            ASSERT_GT(count, 0);
            const std::vector<SoftsglProbeHit> list(hits, hits + count);
            uint16_t pixel = 0; // the frame's clear
            std::map<uint32_t, int> seen;
            for (const SoftsglProbeHit& h : list) {
                EXPECT_EQ(h.samples, n * n);
                EXPECT_LE(h.passed, h.covered);
                EXPECT_EQ(h.drawn, h.passed > 0);
                EXPECT_EQ(h.before, pixel) << "primitive " << h.primitive;
                EXPECT_EQ(++seen[h.primitive], 1) << "primitive " << h.primitive;
                pixel = h.pixel;
            }
            EXPECT_EQ(pixel, frame[size_t(at)]);
            std::map<uint32_t, std::pair<int, int>> bySample;
            const BandScene big = scaled(s, n);
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i) {
                    softsglSetProbe(x * n + i, y * n + j);
                    drawWith(1, big, targetOf(kWidth * n, kHeight * n, 16));
                    const int m = softsglProbeHits(&hits);
                    for (int k = 0; k < m; ++k) {
                        EXPECT_EQ(hits[k].samples, 1);
                        EXPECT_EQ(hits[k].covered, 1);
                        EXPECT_EQ(hits[k].passed, hits[k].drawn);
                    }
                    for (const auto& c : probeCounts(hits, m)) {
                        bySample[c.first].first += c.second.first;
                        bySample[c.first].second += c.second.second;
                    }
                }
            softsglSetProbe(-1, -1);
            EXPECT_EQ(probeCounts(list.data(), count), bySample);
        }
    }
}

// N samples each way for the frames of settingOnAnyThreadCount: its "on".
void antialias3(int mode) {
    softsglSetAntialias(mode < 0 ? -1 : mode ? 3 : 1);
}

TEST(SoftsglAntialias, FramesAreTheSameOnOneTwoAndThreeThreads) {
    EXPECT_GT(settingOnAnyThreadCount(antialias3), 10000); // supersampling changed the frames
}

// A frame whose samples would pass 2^24 is drawn with fewer: 2048 x 912
// has room for 2 x 2 samples a pixel and not for 3 x 3.
TEST(SoftsglAntialias, LargeFramesAreDrawnWithFewerSamples) {
    BandScene s = triangleScene(90);
    for (BandScene::Call& c : s.calls)
        for (SGLVERTEX& v : c.vertices)
            v.x *= 16;
    const BandTarget t = targetOf(2048, 912, 16);
    const std::vector<uint16_t> two = drawWith(2, s, t);
    EXPECT_EQ(differing(drawWith(4, s, t), two), 0);
    EXPECT_GT(differing(drawWith(1, s, t), two), 50);
}

// Runs in a process of its own, as CTest runs every test: the settings are
// read once, at the first frame.
TEST(SoftsglAntialias, ThePlayersSettingChoosesTheSamples) {
    setenv("KXPWRVR_ANTIALIAS", "3", 1);
    const BandScene s = triangleScene(100);
    const BandTarget t = targetOf(kWidth, kHeight, 16);
    const std::vector<uint16_t> bySetting = drawWith(-1, s, t);
    unsetenv("KXPWRVR_ANTIALIAS");
    EXPECT_EQ(bySetting, drawWith(3, s, t));
    EXPECT_GT(differing(bySetting, drawWith(1, s, t)), 50);
}

} // namespace
