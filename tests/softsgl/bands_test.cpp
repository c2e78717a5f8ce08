// Frames drawn in bands on several threads are the frames drawn on one, bit
// for bit: seeded random scenes (points, lines, triangles large and tiny,
// partly off the area and beyond the guard band, textured with opaque and
// translucent maps, blending and vertex alpha switched between calls, 565
// and 555, target heights of one row and of a few rows more than a band's
// least, scenes crowded into a strip, where the rows are shared out by the
// work on them) drawn with 1, 2 and 3 threads and compared.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"

namespace {

struct RandomScene {
    int width, height, bitsPerPixel;
    std::vector<std::vector<uint32_t>> maps; // 64 x 64 texels
    std::vector<int> mapTypes;
    struct Call {
        int kind; // 0 points, 1 lines, 2 triangles
        uint32_t flags;
        int texture;
        std::vector<SGLVERTEX> vertices;
    };
    std::vector<Call> calls;
};

RandomScene randomScene(uint32_t seed) {
    std::mt19937 rng(seed);
    auto uni = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    RandomScene s;
    const int heights[] = {480, 479, 37, 1, 200, 49};
    s.width = pick(4) == 0 ? 640 : 64 + pick(577);
    s.height = heights[pick(6)];
    // A third of the scenes put their primitives into a strip of 24 rows.
    const bool crowded = pick(3) == 0;
    const float stripTop = uni(-10, float(s.height));
    s.bitsPerPixel = pick(4) == 0 ? 15 : 16;
    for (int m = 0; m < 3; ++m) {
        std::vector<uint32_t> texels(64 * 64);
        for (uint32_t& t : texels) {
            t = rng() & 0xFFFFFF;
            if (m == 1) t |= uint32_t(pick(3) == 0 ? 0 : pick(3) == 0 ? 255 : pick(256)) << 24;
        }
        s.maps.push_back(texels);
        s.mapTypes.push_back(m == 0 ? SGL_MAP_OPAQUE : SGL_MAP_TRANSLUCENT);
    }
    auto vertex = [&](float x, float y) {
        uint32_t alpha = pick(3) == 0 ? 255u : uint32_t(pick(256));
        return SGLVERTEX{
            x, y,          0,         uni(0.05f, 1.0f), alpha << 24 | uint32_t(rng() & 0xFFFFFF),
            0, uni(-2, 2), uni(-2, 2)};
    };
    const int calls = 20 + pick(60);
    for (int c = 0; c < calls; ++c) {
        RandomScene::Call call;
        call.kind = pick(8) == 0 ? pick(2) : 2;
        call.flags = SGLTT_DEFAULT_FLAGS;
        if (pick(2)) call.flags &= ~SGLTT_NOBLEND;
        if (pick(2)) call.flags |= SGLTT_VERTEXTRANS;
        call.texture = pick(4) - 1;
        if (call.texture < 0) call.flags &= ~SGLTT_TEXTURE;
        const int n = call.kind == 0 ? 1 : call.kind == 1 ? 2 : 3;
        // Large, small and tiny; a few far beyond the area.
        const float size = pick(10) == 0             ? 4e6f
                           : pick(3) == 0 || crowded ? uni(0.5f, 12)
                                                     : uni(10, 400);
        const float cx = uni(-50, float(s.width) + 50);
        const float cy = crowded ? stripTop + uni(0, 24) : uni(-50, float(s.height) + 50);
        for (int k = 0; k < n; ++k) {
            SGLVERTEX v = vertex(cx + uni(-size, size), cy + uni(-size, size));
            if (pick(3) == 0 && k > 0) v.invW = call.vertices[0].invW; // flat in depth
            call.vertices.push_back(v);
        }
        s.calls.push_back(call);
    }
    return s;
}

std::vector<uint16_t> draw(const RandomScene& s, int threads) {
    softsglSetThreads(threads);
    MemoryTarget t;
    const int device = setUpScreen(t, s.width, s.height, s.bitsPerPixel);
    EXPECT_GE(device, 0);
    std::vector<int> names;
    for (size_t m = 0; m < s.maps.size(); ++m)
        names.push_back(createTexture(s.mapTypes[m], 1, s.maps[m]));
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    for (const RandomScene::Call& c : s.calls) {
        ctx.flags = c.flags;
        ctx.textureName = c.texture < 0 ? 0 : names[size_t(c.texture)];
        std::vector<SGLVERTEX> vs = c.vertices;
        if (c.kind == 0) {
            sgltri_points(&ctx, 1, vs.data());
        } else if (c.kind == 1) {
            uint16_t pair[1][2] = {{0, 1}};
            sgltri_lines(&ctx, 1, pair, vs.data());
        } else {
            int32_t triple[1][3] = {{0, 1, 2}};
            sgltri_triangles(&ctx, 1, triple, vs.data());
        }
    }
    EXPECT_EQ(sgltri_render(&ctx), 0);
    for (int name : names)
        sgl_delete_texture(name);
    sgl_delete_device(device);
    softsglSetThreads(0);
    return t.pixels;
}

TEST(SoftsglBands, RandomScenesAreTheSameOnOneTwoAndThreeThreads) {
    int drawn = 0;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        const RandomScene s = randomScene(seed);
        const std::vector<uint16_t> one = draw(s, 1);
        for (int threads : {2, 3}) {
            const std::vector<uint16_t> many = draw(s, threads);
            ASSERT_EQ(one, many) << "seed " << seed << ", " << threads << " threads, " << s.width
                                 << " x " << s.height << ", " << s.calls.size() << " calls";
        }
        for (uint16_t p : one)
            drawn += p != 0;
    }
    // Not a scene of black: the comparison saw drawn pixels.
    EXPECT_GT(drawn, 100000);
}

TEST(SoftsglBands, ThreadCountCanBeForcedAndWorkersEndWithTheLastDevice) {
    softsglSetThreads(3);
    EXPECT_EQ(softsglThreads(), 3);
    softsglSetThreads(1);
    EXPECT_EQ(softsglThreads(), 1);
    softsglSetThreads(99); // out of range: the default
    softsglSetThreads(0);
    const int byDefault = softsglThreads();
    EXPECT_GE(byDefault, 1);
    EXPECT_LE(byDefault, 8);
    // Workers started, ended with the device, started again by the next
    // device's frame: the frames stay right.
    const RandomScene s = randomScene(7);
    const std::vector<uint16_t> first = draw(s, 3);
    EXPECT_EQ(draw(s, 2), first);
    EXPECT_EQ(draw(s, 3), first);
}

} // namespace
