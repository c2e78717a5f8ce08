// Textured drawing beyond what the Mesa oracle compares (perspective,
// wrap and modulation are there): translucent maps under the vertex alpha,
// and textures that are replaced or deleted between queueing and rendering.
#include <gtest/gtest.h>

#include "softsgl/softsgl_control.h"
#include "softsgl_helpers.h"

namespace {

SGLCONTEXT texturing(int name) {
    SGLCONTEXT ctx = defaultContext();
    ctx.flags |= SGLTT_TEXTURE;
    ctx.textureName = name;
    return ctx;
}

TEST(SoftsglTexturing, TranslucentMapsBlendByTexelOpacityTimesVertexAlpha) {
    MemoryTarget t;
    setUpScreen(t, 4, 1);
    // Opacity per column: 255, 155, 55, 0.
    std::vector<uint32_t> texels(32 * 32);
    for (int i = 0; i < 32 * 32; ++i)
        texels[i] = texel(255, 255, 0, (i % 32) / 8 == 3 ? 255 : (i % 32) / 8 * 100);
    const uint32_t opacity[4] = {255, 155, 55, 0};
    auto over = [](uint32_t alpha) { return blend565(0xFFFF00, to565(0x0000FF), alpha); };
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
