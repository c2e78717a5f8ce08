// What colour a covered pixel gets beyond what the Mesa oracle and the golden
// frames compare: the order of translucent primitives, the blending
// arithmetic in 565 and 555 exactly, and a triangle that snapping opens.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"

namespace {

TEST(SoftsglShading, TranslucentPrimitivesComeAfterOpaqueOnesAndDoNotWriteDepth) {
    MemoryTarget t;
    setUpScreen(t, 8, 1);
    SGLCONTEXT ctx = defaultContext();
    SGLCONTEXT blend = blendingContext();
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

    uint16_t blueUnderWhite = blend565(0xFFFFFF, to565(0x0000FF), 128);
    uint16_t layered = blend565(0x00FF00, blend565(0xFF0000, blueUnderWhite, 0x40), 0xC0);
    EXPECT_EQ(t.at(0, 0), layered);
    EXPECT_EQ(t.at(1, 0), layered);
    EXPECT_EQ(t.at(2, 0), blueUnderWhite);
    EXPECT_EQ(t.at(3, 0), blueUnderWhite);
    EXPECT_EQ(t.at(4, 0), 0xF800);
    EXPECT_EQ(t.at(5, 0), 0xF800);
    EXPECT_EQ(t.at(6, 0), 0x07FF);
    EXPECT_EQ(t.at(7, 0), 0x07FF);
}

TEST(SoftsglShading, EveryFrameStartsWithClearDepthWhereverItDraws) {
    MemoryTarget t;
    setUpScreen(t, 8, 4);
    SGLCONTEXT ctx = defaultContext();
    // Frame 1: red in front over rows 0-2.
    sgltri_startofframe(&ctx);
    drawRect(ctx, 0, 0, 8, 3, 0xFFFF0000, 0.9f);
    renderFrame(ctx);
    ASSERT_EQ(t.at(0, 2), 0xF800);
    // Frame 2: blue in front over rows 2-3, then green far behind over rows
    // 1-3. Frame 1's depth is gone, and the blue one's stays for the frame.
    sgltri_startofframe(&ctx);
    drawRect(ctx, 0, 2, 8, 4, 0xFF0000FF, 0.9f);
    drawRect(ctx, 0, 1, 8, 4, 0xFF00FF00, 0.1f);
    renderFrame(ctx);
    EXPECT_EQ(picture(t, 8, 4, {{0, '.'}, {0x07E0, 'g'}, {0x001F, 'b'}}), "........\n"
                                                                          "gggggggg\n"
                                                                          "bbbbbbbb\n"
                                                                          "bbbbbbbb\n");
}

TEST(SoftsglShading, BlendingArithmeticMatchesTheReferenceForManyColoursAndAlphas) {
    // Background colours in opaque columns, then one translucent layer per
    // column with its own colour and alpha; every column is checked.
    for (int bpp : {16, 15}) {
        const int n = 64;
        MemoryTarget t;
        setUpScreen(t, n, 1, bpp);
        SGLCONTEXT ctx = defaultContext();
        SGLCONTEXT blend = blendingContext();
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
            uint16_t want = bpp == 16 ? blend565(front[i], under, front[i] >> 24)
                                      : blend555(front[i], under, front[i] >> 24);
            EXPECT_EQ(t.at(i, 0), want) << bpp << " bpp, column " << i;
        }
        EXPECT_EQ(t.at(0, 0), bpp == 16 ? to565(back[0]) : to555(back[0]));
    }
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
