// Textured drawing: perspective-correct nearest sampling with wrap,
// modulation by the vertex colour, translucent maps, and textures that are
// replaced or deleted between queueing and rendering.
#include <gtest/gtest.h>

#include <cmath>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"

namespace {

// 32 x 32 checkerboard whose texels also carry their own column and row:
// red = 8 column, green = 8 row, blue = 255 on odd squares.
std::vector<uint32_t> codedChecks(int transparency = 0) {
    std::vector<uint32_t> t(32 * 32);
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i)
            t[j * 32 + i] = texel(i * 8, j * 8, ((i + j) & 1) * 255, transparency);
    return t;
}
uint16_t codedPixel(int i, int j) {
    return to565(uint32_t(i * 8) << 16 | uint32_t(j * 8) << 8 | ((i + j) & 1) * 255);
}

SGLCONTEXT texturing(int name) {
    SGLCONTEXT ctx = defaultContext();
    ctx.flags |= SGLTT_TEXTURE;
    ctx.textureName = name;
    return ctx;
}

// A w x h rectangle at the origin with per-corner 1/w, u/w, v/w taken from
// the left and right edges (same down each edge).
void texturedQuad(SGLCONTEXT& ctx, float w, float h, float qL, float qR, float uL, float uR,
                  float vL, float vR, uint32_t colour = 0xFFFFFFFF) {
    SGLVERTEX a = vtx(0, 0, colour, qL, uL * qL, vL * qL),
              b = vtx(w, 0, colour, qR, uR * qR, vR * qR);
    SGLVERTEX c = vtx(w, h, colour, qR, uR * qR, vR * qR),
              d = vtx(0, h, colour, qL, uL * qL, vL * qL);
    drawTriangle(ctx, a, b, c);
    drawTriangle(ctx, a, c, d);
}

TEST(SoftsglTexturing, PerspectiveCorrectSamplingMatchesTheAnalyticMapping) {
    MemoryTarget t;
    setUpScreen(t, 64, 8);
    int name = createTexture(SGL_MAP_OPAQUE, 0, codedChecks());
    ASSERT_GE(name, 0);
    SGLCONTEXT ctx = texturing(name);
    sgltri_startofframe(&ctx);
    // 1/w falls from 1 to 0.25 left to right; u runs 0 to 1 in the scene,
    // v is 0.3 throughout.
    texturedQuad(ctx, 64, 8, 1.0f, 0.25f, 0.0f, 1.0f, 0.3f, 0.3f);
    renderFrame(ctx);
    for (int x = 0; x < 64; ++x) {
        double xc = (x + 0.5) / 64;
        double u = (0.25 * xc) / (1.0 - 0.75 * xc); // (u/w) / (1/w), both linear on screen
        double s = u * 32;
        if (std::fabs(s - std::round(s)) < 0.01) continue; // too close to a texel edge
        for (int y = 0; y < 8; ++y)
            EXPECT_EQ(t.at(x, y), codedPixel(int(std::floor(s)), 9)) << x << "," << y;
    }
    // Affine interpolation would put u = 0.5 in the middle; here it is 0.2.
    EXPECT_EQ(t.at(32, 4), codedPixel(6, 9));
}

TEST(SoftsglTexturing, CoordinatesWrapAndSampleTheNearestTexel) {
    MemoryTarget t;
    setUpScreen(t, 96, 2);
    int name = createTexture(SGL_MAP_OPAQUE, 0, codedChecks());
    SGLCONTEXT ctx = texturing(name);
    sgltri_startofframe(&ctx);
    // u from -1 to 2 over 96 pixels: each pixel is one texel, column x
    // shows texel x mod 32; v from 2 to 2 + 2/32 gives rows 0 and 1.
    SGLVERTEX a = vtx(0, 0, 0xFFFFFFFF, 1, -1, 2), b = vtx(96, 0, 0xFFFFFFFF, 1, 2, 2);
    SGLVERTEX c = vtx(96, 2, 0xFFFFFFFF, 1, 2, 2 + 2.0f / 32),
              d = vtx(0, 2, 0xFFFFFFFF, 1, -1, 2 + 2.0f / 32);
    drawTriangle(ctx, a, b, c);
    drawTriangle(ctx, a, c, d);
    renderFrame(ctx);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 96; ++x)
            EXPECT_EQ(t.at(x, y), codedPixel(x % 32, y)) << x << "," << y;
}

TEST(SoftsglTexturing, TexelsAreModulatedByTheVertexColour) {
    MemoryTarget t;
    setUpScreen(t, 32, 3);
    std::vector<uint32_t> texels(32 * 32);
    for (int i = 0; i < 32 * 32; ++i)
        texels[i] = texel(i % 32 * 8 + 3, 255 - i % 32 * 8, 200, 90);
    int name = createTexture(SGL_MAP_OPAQUE, 0, texels); // opaque: transparency byte ignored
    SGLCONTEXT ctx = texturing(name);
    sgltri_startofframe(&ctx);
    const uint32_t tints[3] = {0xFFFFFFFF, 0xFF80C040, 0xFF000000};
    for (int row = 0; row < 3; ++row) {
        uint32_t c = tints[row];
        float v0 = 0.5f / 32, y0 = float(row), y1 = float(row + 1);
        SGLVERTEX a = vtx(0, y0, c, 1, 0, v0), b = vtx(32, y0, c, 1, 1, v0);
        SGLVERTEX d = vtx(32, y1, c, 1, 1, v0), e = vtx(0, y1, c, 1, 0, v0);
        drawTriangle(ctx, a, b, d);
        drawTriangle(ctx, a, d, e);
    }
    renderFrame(ctx);
    auto mod = [](uint32_t a, uint32_t b) { return (a * b + 127) / 255; };
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 32; ++x) {
            uint32_t tx = texels[x], c = tints[row];
            uint32_t r = mod(tx & 255, (c >> 16) & 255), g = mod((tx >> 8) & 255, (c >> 8) & 255);
            uint32_t b = mod((tx >> 16) & 255, c & 255);
            EXPECT_EQ(t.at(x, row), to565(r << 16 | g << 8 | b)) << x << "," << row;
        }
    EXPECT_EQ(t.at(5, 0),
              to565(uint32_t(43) << 16 | uint32_t(215) << 8 | 200)); // white: texel as is
}

TEST(SoftsglTexturing, TranslucentMapsBlendByTexelOpacityTimesVertexAlpha) {
    MemoryTarget t;
    setUpScreen(t, 4, 1);
    // Opacity per column: 255, 155, 55, 0.
    std::vector<uint32_t> texels(32 * 32);
    for (int i = 0; i < 32 * 32; ++i)
        texels[i] = texel(255, 255, 0, (i % 32) / 8 == 3 ? 255 : (i % 32) / 8 * 100);
    const uint32_t opacity[4] = {255, 155, 55, 0};
    auto over = [](uint32_t alpha) { // yellow over blue
        auto ch = [alpha](uint32_t s, uint32_t d) {
            return (s * alpha + d * (255 - alpha) + 127) / 255;
        };
        return to565(ch(255, 0) << 16 | ch(255, 0) << 8 | ch(0, 255));
    };
    SGLCONTEXT ctx = defaultContext();
    SGLCONTEXT tex = texturing(createTexture(SGL_MAP_TRANSLUCENT, 0, texels));
    tex.flags &= ~SGLTT_NOBLEND; // blending on
    // Vertex alpha 0x80 counts only with the flag.
    for (bool flag : {false, true}) {
        if (flag) tex.flags |= SGLTT_VERTEXTRANS;
        sgltri_startofframe(&ctx);
        drawRect(ctx, 0, 0, 4, 1, 0xFF0000FF, 0.1f);
        drawRect(tex, 0, 0, 4, 1, 0x80FFFFFF, 1.0f);
        renderFrame(ctx);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(t.at(x, 0), over(flag ? (opacity[x] * 128 + 127) / 255 : opacity[x]))
                << (flag ? "flag" : "no flag") << ", column " << x;
    }
}

TEST(SoftsglTexturing, ReplacedDeletedAndUnknownTexturesAtRenderTime) {
    MemoryTarget t;
    setUpScreen(t, 5, 1);
    std::vector<uint32_t> red(32 * 32, texel(255, 0, 0, 0)), green(32 * 32, texel(0, 255, 0, 0));
    int a = createTexture(SGL_MAP_OPAQUE, 0, red);
    int b = createTexture(SGL_MAP_OPAQUE, 0, red);
    auto cell = [](SGLCONTEXT ctx, int x) {
        uint32_t c = 0xFF00FFFF; // cyan where drawn untextured
        drawTriangle(ctx, vtx(float(x), 0, c), vtx(float(x + 1), 0, c, 1, 1, 0),
                     vtx(float(x + 1), 1, c, 1, 1, 1));
        drawTriangle(ctx, vtx(float(x), 0, c), vtx(float(x + 1), 1, c, 1, 1, 1),
                     vtx(float(x), 1, c, 1, 0, 1));
    };
    SGLCONTEXT plain = texturing(a);
    plain.flags &= ~SGLTT_TEXTURE; // name set, texturing off
    SGLCONTEXT ctx = defaultContext();
    sgltri_startofframe(&ctx);
    cell(texturing(a), 0);
    cell(texturing(b), 1);
    cell(texturing(b + 1000), 2); // never created
    cell(plain, 3);
    cell(texturing(0), 4); // the driver's "no texture" name
    // Between queueing and rendering: a is replaced, b deleted.
    sgl_intermediate_map map{{'I', 'M', 'A', 'P'}, 32, 32, green.data()};
    ASSERT_EQ(sgl_set_texture(a, 0, 1, &map, nullptr), 0);
    sgl_delete_texture(b);
    renderFrame(ctx);
    EXPECT_EQ(picture(t, 5, 1, {{0x07E0, 'g'}, {0x07FF, 'c'}, {0xF800, 'r'}}), "gcccc\n");

    // Points and lines take texel (0, 0), whatever their u and v.
    std::vector<uint32_t> corner(32 * 32, texel(0, 0, 255, 0));
    corner[0] = texel(255, 255, 0, 0);
    int c = createTexture(SGL_MAP_OPAQUE, 0, corner);
    SGLCONTEXT tc = texturing(c);
    sgltri_startofframe(&ctx);
    SGLVERTEX p[1] = {vtx(0.5f, 0.5f, 0xFFFFFFFF, 1, 0.7f, 0.7f)};
    sgltri_points(&tc, 1, p);
    SGLVERTEX l[2] = {vtx(2.5f, 0.5f, 0xFF808080, 1, 0.5f, 0.5f),
                      vtx(4.5f, 0.5f, 0xFF808080, 1, 0.5f, 0.5f)};
    uint16_t pair[1][2] = {{0, 1}};
    sgltri_lines(&tc, 1, pair, l);
    renderFrame(ctx);
    EXPECT_EQ(t.at(0, 0), to565(0xFFFF00));
    EXPECT_EQ(t.at(1, 0), 0);
    EXPECT_EQ(t.at(3, 0), to565(0x808000));
}

} // namespace
