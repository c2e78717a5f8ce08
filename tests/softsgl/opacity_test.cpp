// Which pixels of a blended primitive are opaque: full alpha is drawn and
// writes depth, partial alpha blends without writing depth, none writes
// nothing; and which primitives go to the opaque pass, found once per
// primitive from its vertex alphas and its map.
#include <gtest/gtest.h>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"

namespace {

SGLCONTEXT texturing(SGLCONTEXT c, int name) {
    c.flags |= SGLTT_TEXTURE;
    c.textureName = name;
    return c;
}

// A 32 x 32 map whose column x / 8 has the transparency given.
std::vector<uint32_t> columnsOf(uint32_t r, uint32_t g, uint32_t b, const uint32_t (&t)[4]) {
    std::vector<uint32_t> texels(32 * 32);
    for (int i = 0; i < 32 * 32; ++i)
        texels[size_t(i)] = texel(r, g, b, t[(i % 32) / 8]);
    return texels;
}

TEST(SoftsglOpacity, OpaqueTexelsWriteDepthPartialOnesBlendTransparentOnesWriteNothing) {
    MemoryTarget t;
    setUpScreen(t, 4, 1);
    const uint32_t transparency[4] = {0, 127, 255, 0};
    int name = createTexture(SGL_MAP_TRANSLUCENT, 0, columnsOf(255, 255, 0, transparency));
    SGLCONTEXT ctx = defaultContext();
    SGLCONTEXT map = texturing(blendingContext(), name);
    SGLCONTEXT glass = blendingContext();
    sgltri_startofframe(&ctx);
    drawRect(ctx, 0, 0, 4, 1, 0xFF0000FF, 0.1f); // blue, far
    drawRect(map, 0, 0, 4, 1, 0xFFFFFFFF, 0.5f); // yellow texels: opaque, half, none, opaque
    // Drawn later, farther than the map: shows only where the map's
    // pixels are not opaque.
    drawRect(glass, 0, 0, 3, 1, 0x80FF0000, 0.3f);
    // Drawn later, nearer than the map: blends over whatever is there.
    drawRect(glass, 3, 0, 4, 1, 0x8000FF00, 0.7f);
    renderFrame(ctx);

    const uint16_t blue = to565(0x0000FF), yellow = to565(0xFFFF00);
    EXPECT_EQ(t.at(0, 0), yellow);
    EXPECT_EQ(t.at(1, 0), blend565(0xFF0000, blend565(0xFFFF00, blue, 128), 0x80));
    EXPECT_EQ(t.at(2, 0), blend565(0xFF0000, blue, 0x80));
    EXPECT_EQ(t.at(3, 0), blend565(0x00FF00, yellow, 0x80));
}

TEST(SoftsglOpacity, ATranslucentMapWithoutTransparentTexelsKeepsTheOpaquePass) {
    // A translucent primitive queued first, in front; then a map of type 4
    // behind it. Without a transparent texel and with full vertex alphas
    // the map is drawn in the opaque pass, so the glass blends over it. One
    // transparent texel anywhere puts it in the translucent pass, after the
    // glass in queue order: its opaque pixels then cover the glass, which
    // wrote no depth.
    for (bool oneTransparentTexel : {false, true}) {
        MemoryTarget t;
        setUpScreen(t, 2, 1);
        std::vector<uint32_t> texels(32 * 32, texel(0, 0, 255, 0));
        if (oneTransparentTexel) texels[32 * 32 - 1] = texel(0, 0, 255, 255);
        int name = createTexture(SGL_MAP_TRANSLUCENT, 0, texels);
        SGLCONTEXT ctx = defaultContext();
        SGLCONTEXT glass = blendingContext();
        SGLCONTEXT map = texturing(blendingContext(), name);
        map.flags &= ~SGLTT_VERTEXTRANS; // all alphas 0xFF: the driver clears the flag
        sgltri_startofframe(&ctx);
        drawRect(glass, 0, 0, 2, 1, 0x80FF0000, 0.8f);
        // u and v stay in texel (0, 0)'s column and row.
        SGLVERTEX a = vtx(0, 0, 0xFFFFFFFF, 0.2f, 0, 0), b = vtx(2, 0, 0xFFFFFFFF, 0.2f, 0, 0);
        SGLVERTEX c = vtx(2, 1, 0xFFFFFFFF, 0.2f, 0, 0), d = vtx(0, 1, 0xFFFFFFFF, 0.2f, 0, 0);
        drawTriangle(map, a, b, c);
        drawTriangle(map, a, c, d);
        renderFrame(ctx);
        const uint16_t want =
            oneTransparentTexel ? to565(0x0000FF) : blend565(0xFF0000, to565(0x0000FF), 0x80);
        EXPECT_EQ(t.at(0, 0), want) << oneTransparentTexel;
        EXPECT_EQ(t.at(1, 0), want) << oneTransparentTexel;
    }
}

TEST(SoftsglOpacity, TheMapIsClassifiedByItsTexelsWhenTheFrameIsDrawn) {
    // Queued while its texels are all opaque, given a transparent one
    // before the render: the texels at render time decide.
    MemoryTarget t;
    setUpScreen(t, 2, 1);
    std::vector<uint32_t> solid(32 * 32, texel(0, 255, 0, 0)), holed = solid;
    for (int i = 0; i < 32 * 32; i += 32)
        for (int x = 16; x < 32; ++x)
            holed[size_t(i + x)] = texel(0, 255, 0, 255); // right half: fully transparent
    int name = createTexture(SGL_MAP_TRANSLUCENT, 0, solid);
    SGLCONTEXT ctx = defaultContext();
    SGLCONTEXT map = texturing(blendingContext(), name);
    sgltri_startofframe(&ctx);
    drawRect(ctx, 0, 0, 2, 1, 0xFFFF0000, 0.1f);
    drawRect(map, 0, 0, 2, 1, 0xFFFFFFFF, 1.0f); // u 0..1 over the two pixels
    renderFrame(ctx);
    EXPECT_EQ(t.at(0, 0), to565(0x00FF00));
    EXPECT_EQ(t.at(1, 0), to565(0x00FF00));

    sgl_intermediate_map m{{'I', 'M', 'A', 'P'}, 32, 32, holed.data()};
    ASSERT_EQ(sgl_set_texture(name, 0, 1, &m, nullptr), 0);
    renderFrame(ctx);
    EXPECT_EQ(t.at(0, 0), to565(0x00FF00));
    EXPECT_EQ(t.at(1, 0), to565(0xFF0000));
}

TEST(SoftsglOpacity, MixedVertexAlphasWriteDepthWhereTheAlphaIsFull) {
    // Alpha falls from 0xFF at x = 0 to 0 at x = 4096: it rounds to 255 on
    // columns 0-7 (254.53 at the centre of column 7, 254.47 at column 8).
    MemoryTarget t;
    setUpScreen(t, 12, 1);
    SGLCONTEXT ctx = defaultContext();
    SGLCONTEXT glass = blendingContext();
    sgltri_startofframe(&ctx);
    drawRect(ctx, 0, 0, 12, 1, 0xFF0000FF, 0.1f);
    SGLVERTEX a = vtx(0, 0, 0xFFFFFFFF, 0.5f), b = vtx(4096, 0, 0x00FFFFFF, 0.5f);
    SGLVERTEX c = vtx(4096, 1, 0x00FFFFFF, 0.5f), d = vtx(0, 1, 0xFFFFFFFF, 0.5f);
    drawTriangle(glass, a, b, c);
    drawTriangle(glass, a, c, d);
    drawRect(glass, 0, 0, 12, 1, 0x80FF0000, 0.3f); // later, behind the ramp
    renderFrame(ctx);
    const uint16_t white = to565(0xFFFFFF), blue = to565(0x0000FF);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(t.at(x, 0), white) << x;
    for (int x = 8; x < 12; ++x) {
        uint32_t alpha = uint32_t(255.0 * (1.0 - (x + 0.5) / 4096.0) + 0.5);
        EXPECT_EQ(t.at(x, 0), blend565(0xFF0000, blend565(0xFFFFFF, blue, alpha), 0x80)) << x;
    }
}

TEST(SoftsglOpacity, PointsAndLinesFollowTheSameRule) {
    // Texel (0, 0) of a map that has transparent texels elsewhere decides:
    // opaque, the point writes depth; fully transparent, it writes nothing.
    MemoryTarget t;
    setUpScreen(t, 4, 1);
    std::vector<uint32_t> opaqueCorner(32 * 32, texel(255, 255, 255, 255));
    opaqueCorner[0] = texel(0, 255, 0, 0);
    std::vector<uint32_t> clearCorner(32 * 32, texel(0, 255, 0, 0));
    clearCorner[0] = texel(0, 255, 0, 255);
    SGLCONTEXT ctx = defaultContext();
    SGLCONTEXT solid =
        texturing(blendingContext(), createTexture(SGL_MAP_TRANSLUCENT, 0, opaqueCorner));
    SGLCONTEXT clear =
        texturing(blendingContext(), createTexture(SGL_MAP_TRANSLUCENT, 0, clearCorner));
    SGLCONTEXT glass = blendingContext();
    sgltri_startofframe(&ctx);
    SGLVERTEX p0[1] = {vtx(0.5f, 0.5f, 0xFFFFFFFF, 0.9f)};
    SGLVERTEX p1[1] = {vtx(1.5f, 0.5f, 0xFFFFFFFF, 0.9f)};
    sgltri_points(&solid, 1, p0);
    sgltri_points(&clear, 1, p1);
    // A line at half alpha over columns 2-3, then the glass behind all.
    SGLVERTEX l[2] = {vtx(2.5f, 0.5f, 0x80FFFFFF, 0.9f), vtx(3.5f, 0.5f, 0x80FFFFFF, 0.9f)};
    uint16_t pair[1][2] = {{0, 1}};
    sgltri_lines(&glass, 1, pair, l);
    drawRect(glass, 0, 0, 4, 1, 0x80FF0000, 0.3f);
    renderFrame(ctx);
    EXPECT_EQ(t.at(0, 0), to565(0x00FF00));
    EXPECT_EQ(t.at(1, 0), blend565(0xFF0000, 0, 0x80));
    EXPECT_EQ(t.at(2, 0), blend565(0xFF0000, blend565(0xFFFFFF, 0, 0x80), 0x80));
}

} // namespace
