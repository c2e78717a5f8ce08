// What colour a covered pixel gets: flat and interpolated colours, 565 and
// 555 packing, depth, translucency and its blending arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"

namespace {

// Plain references, written from the rules: 8-bit channels, destination
// widened by repeating its top bits, results rounded to nearest.
uint32_t widen5(uint32_t v) {
    return v << 3 | v >> 2;
}
uint32_t widen6(uint32_t v) {
    return v << 2 | v >> 4;
}
uint32_t blendRef(uint32_t s, uint32_t d, uint32_t a) {
    return uint32_t(std::lround((double(s) * a + double(d) * (255 - a)) / 255.0));
}
uint16_t blend565Ref(uint32_t src, uint16_t dst, uint32_t a) {
    uint32_t r = blendRef((src >> 16) & 255, widen5(dst >> 11), a);
    uint32_t g = blendRef((src >> 8) & 255, widen6((dst >> 5) & 63), a);
    uint32_t b = blendRef(src & 255, widen5(dst & 31), a);
    return to565(r << 16 | g << 8 | b);
}
uint16_t blend555Ref(uint32_t src, uint16_t dst, uint32_t a) {
    uint32_t r = blendRef((src >> 16) & 255, widen5((dst >> 10) & 31), a);
    uint32_t g = blendRef((src >> 8) & 255, widen5((dst >> 5) & 31), a);
    uint32_t b = blendRef(src & 255, widen5(dst & 31), a);
    return to555(r << 16 | g << 8 | b);
}

TEST(SoftsglShading, FlatColoursAreExactIn565And555) {
    const uint32_t colours[] = {
        0xFF123456, 0xFFFFFFFF, 0xFF000000, 0xFF0F0F0F,
        0xFFF8FCF8, 0xFF07030B, 0x00ABCDEF /* alpha ignored without the flag */};
    for (int bpp : {16, 15}) {
        MemoryTarget t;
        setUpScreen(t, 7, 3, bpp);
        SGLCONTEXT ctx = defaultContext();
        sgltri_startofframe(&ctx);
        for (int i = 0; i < 7; ++i)
            drawRect(ctx, float(i), 0, float(i + 1), 3, colours[i], 1);
        renderFrame(ctx);
        for (int i = 0; i < 7; ++i)
            for (int y = 0; y < 3; ++y)
                EXPECT_EQ(t.at(i, y), bpp == 16 ? to565(colours[i]) : to555(colours[i]))
                    << bpp << " bpp, colour " << std::hex << colours[i];
    }
}

TEST(SoftsglShading, VertexColoursAreInterpolatedAcrossTheTriangle) {
    MemoryTarget t;
    setUpScreen(t, 32, 32);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    // Red at (0, 0), green at (32, 0), blue at (0, 32): at a pixel centre
    // the weights are 1 - x - y, x, y (in 32nds).
    drawTriangle(ctx, vtx(0, 0, 0xFFFF0000), vtx(32, 0, 0xFF00FF00), vtx(0, 32, 0xFF0000FF));
    renderFrame(ctx);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x + y < 31; ++x) {
            double gx = (x + 0.5) / 32, gy = (y + 0.5) / 32;
            double r = 255 * (1 - gx - gy), g = 255 * gx, b = 255 * gy;
            uint16_t p = t.at(x, y);
            EXPECT_NEAR(widen5(p >> 11), r, 9.0) << x << "," << y;
            EXPECT_NEAR(widen6((p >> 5) & 63), g, 5.0) << x << "," << y;
            EXPECT_NEAR(widen5(p & 31), b, 9.0) << x << "," << y;
        }
}

TEST(SoftsglShading, NearerWinsWhicheverIsQueuedFirst) {
    for (bool redFirst : {true, false}) {
        MemoryTarget t;
        setUpScreen(t, 6, 2);
        SGLCONTEXT ctx = defaultContext();
        sgltri_startofframe(&ctx);
        // Red near (1/w = 0.5) over columns 0-3, green far (0.25) over 2-5.
        if (redFirst) drawRect(ctx, 0, 0, 4, 2, 0xFFFF0000, 0.5f);
        drawRect(ctx, 2, 0, 6, 2, 0xFF00FF00, 0.25f);
        if (!redFirst) drawRect(ctx, 0, 0, 4, 2, 0xFFFF0000, 0.5f);
        renderFrame(ctx);
        EXPECT_EQ(picture(t, 6, 2, {{0xF800, 'r'}, {0x07E0, 'g'}}), "rrrrgg\nrrrrgg\n")
            << (redFirst ? "red first" : "green first");
    }
    // Depth follows 1/w across sloped planes: red from 1 down to 0 left to
    // right, green from 0 up to 1; they cross between columns 3 and 4.
    MemoryTarget t;
    setUpScreen(t, 8, 1);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    for (uint32_t c : {0xFFFF0000u, 0xFF00FF00u}) {
        float left = c == 0xFFFF0000u ? 1.0f : 0.0f, right = 1.0f - left;
        drawTriangle(ctx, vtx(0, 0, c, left), vtx(8, 0, c, right), vtx(8, 1, c, right));
        drawTriangle(ctx, vtx(0, 0, c, left), vtx(8, 1, c, right), vtx(0, 1, c, left));
    }
    renderFrame(ctx);
    EXPECT_EQ(picture(t, 8, 1, {{0xF800, 'r'}, {0x07E0, 'g'}}), "rrrrgggg\n");
}

TEST(SoftsglShading, TranslucentPrimitivesComeAfterOpaqueOnesAndDoNotWriteDepth) {
    MemoryTarget t;
    setUpScreen(t, 8, 1);
    SGLCONTEXT ctx = defaultContext();
    SGLCONTEXT blend = ctx;
    blend.flags = (blend.flags & ~SGLTT_NOBLEND) | SGLTT_VERTEXTRANS; // as ssAlphaBlend(1)
    sgltri_startofframe(&ctx);
    // Queued first: half-transparent white over columns 0-5 at 1/w 0.5.
    drawRect(blend, 0, 0, 6, 1, 0x80FFFFFF, 0.5f);
    // Then opaque: blue behind it (0-3), red in front of it (4-5).
    drawRect(ctx, 0, 0, 4, 1, 0xFF0000FF, 0.25f);
    drawRect(ctx, 4, 0, 6, 1, 0xFFFF0000, 0.75f);
    // Then two translucent layers behind the white one (columns 0-1): no
    // depth was written by the white one, so they show, in queue order.
    drawRect(blend, 0, 0, 2, 1, 0x40FF0000, 0.4f);
    drawRect(blend, 0, 0, 2, 1, 0xC000FF00, 0.4f);
    // An opaque-flagged-but-solid fan (all alpha 0xFF) does write depth:
    // the translucent one behind it is hidden.
    drawRect(blend, 6, 0, 8, 1, 0xFF00FFFF, 0.9f);
    drawRect(blend, 6, 0, 8, 1, 0x80FF00FF, 0.5f);
    renderFrame(ctx);

    uint16_t blueUnderWhite = blend565Ref(0xFFFFFF, to565(0x0000FF), 128);
    uint16_t layered = blend565Ref(0x00FF00, blend565Ref(0xFF0000, blueUnderWhite, 0x40), 0xC0);
    EXPECT_EQ(t.at(0, 0), layered);
    EXPECT_EQ(t.at(1, 0), layered);
    EXPECT_EQ(t.at(2, 0), blueUnderWhite);
    EXPECT_EQ(t.at(3, 0), blueUnderWhite);
    EXPECT_EQ(t.at(4, 0), 0xF800);
    EXPECT_EQ(t.at(5, 0), 0xF800);
    EXPECT_EQ(t.at(6, 0), 0x07FF);
    EXPECT_EQ(t.at(7, 0), 0x07FF);
}

TEST(SoftsglShading, BlendingArithmeticMatchesTheReferenceForManyColoursAndAlphas) {
    // Background colours in opaque columns, then one translucent layer per
    // column with its own colour and alpha; every column is checked.
    for (int bpp : {16, 15}) {
        const int n = 64;
        MemoryTarget t;
        setUpScreen(t, n, 1, bpp);
        SGLCONTEXT ctx = defaultContext();
        SGLCONTEXT blend = ctx;
        blend.flags = (blend.flags & ~SGLTT_NOBLEND) | SGLTT_VERTEXTRANS; // as ssAlphaBlend(1)
        sgltri_startofframe(&ctx);
        std::mt19937 next(12345);
        std::vector<uint32_t> back(n), front(n);
        for (int i = 0; i < n; ++i) {
            back[i] = 0xFF000000 | (next() & 0xFFFFFF);
            front[i] = next();
            if (i == 0) front[i] = 0x00FFFFFF; // alpha 0: unchanged
            if (i == 1) front[i] = 0xFE000000 | front[i];
            if ((front[i] >> 24) == 0xFF) front[i] &= 0xFEFFFFFF;
            drawRect(ctx, float(i), 0, float(i + 1), 1, back[i], 0.25f);
            drawRect(blend, float(i), 0, float(i + 1), 1, front[i], 0.5f);
        }
        renderFrame(ctx);
        for (int i = 0; i < n; ++i) {
            uint16_t under = bpp == 16 ? to565(back[i]) : to555(back[i]);
            uint16_t want = bpp == 16 ? blend565Ref(front[i], under, front[i] >> 24)
                                      : blend555Ref(front[i], under, front[i] >> 24);
            EXPECT_EQ(t.at(i, 0), want) << bpp << " bpp, column " << i;
        }
        EXPECT_EQ(t.at(0, 0), bpp == 16 ? to565(back[0]) : to555(back[0]));
    }
}

TEST(SoftsglShading, LinesAndPointsTakeTheirColourAndDepth) {
    MemoryTarget t;
    setUpScreen(t, 8, 3);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    drawRect(ctx, 4, 0, 8, 3, 0xFF0000FF, 0.5f); // a wall over the right half
    SGLVERTEX l[2] = {vtx(0.5f, 1.5f, 0xFF00FF00, 0.25f), vtx(7.5f, 1.5f, 0xFF00FF00, 0.25f)};
    uint16_t pair[1][2] = {{0, 1}};
    sgltri_lines(&ctx, 1, pair, l);
    SGLVERTEX p[2] = {vtx(1.5f, 0.5f, 0xFF123456), vtx(5.5f, 0.5f, 0xFFFF0000, 0.75f)};
    sgltri_points(&ctx, 2, p);
    // A fading line: colour runs from red to blue along it.
    SGLVERTEX f[2] = {vtx(0.5f, 2.5f, 0xFFFF0000), vtx(3.5f, 2.5f, 0xFF0000FF)};
    sgltri_lines(&ctx, 1, pair, f);
    renderFrame(ctx);
    EXPECT_EQ(picture(t, 8, 3, {{0, '.'}, {0x07E0, 'g'}, {0x001F, 'b'}, {0xF800, 'r'}}),
              ".?..brbb\n"
              "ggggbbbb\n"
              "r??bbbbb\n");
    EXPECT_EQ(t.at(1, 0), to565(0x123456));
    EXPECT_EQ(t.at(1, 2), to565(0xAA0055)); // a third of the way
    EXPECT_EQ(t.at(2, 2), to565(0x5500AA));
}

// Three collinear points that snapping to 1/16 pixel pulls apart: the
// triangle covers pixels but has no plane of its own, so its colours come
// from the snapped positions and stay between the vertex colours.
TEST(SoftsglShading, ACollinearTriangleThatSnappingOpensIsShadedFromTheSnappedPositions) {
    MemoryTarget t;
    setUpScreen(t, 24, 1);
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    drawTriangle(ctx, vtx(0, 0.34375f, 0xFF400000), vtx(20, 0.65625f, 0xFFC00000),
                 vtx(10, 0.5f, 0xFF800000));
    renderFrame(ctx);
    int drawn = 0;
    for (int x = 0; x < 24; ++x) {
        if (t.at(x, 0) == 0) continue;
        ++drawn;
        EXPECT_GE(t.at(x, 0) >> 11, 0x40u >> 3) << x;
        EXPECT_LE(t.at(x, 0) >> 11, 0xC0u >> 3) << x;
    }
    EXPECT_GT(drawn, 0);
}

} // namespace
