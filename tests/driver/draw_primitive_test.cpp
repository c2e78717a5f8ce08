// DrawPrimitive: the sgltri call each vertex count makes, the vertices and
// indices that reach SGL, and the render flags it adjusts.
#include <cstring>

#include "tests/texture/texture_test_helpers.h"

static std::vector<HostVertex> vertices(int count) {
    std::vector<HostVertex> v(count);
    for (int i = 0; i < count; ++i)
        v[i] = {1.0f + i, 2.0f + i, 0.5f, 0.25f, 0.125f * i + 1, 0.0625f * i, 0xFF102030u + i};
    return v;
}

// The call's vertex k is host vertex h; points and lines carry no u, v.
static bool sameVertex(const SoftsglCall& call, int k, const HostVertex& h, bool uv) {
    const SGLVERTEX e = {h.x, h.y, h.z, h.invW, h.colour, 0, uv ? h.u : 0.0f, uv ? h.v : 0.0f};
    return std::memcmp(&call.vertices.at(k), &e, sizeof e) == 0;
}

TEST(DrawPrimitive, PointsLinesAndFans) {
    StartedDriver driver;
    std::vector<HostVertex> v = vertices(40);
    for (int count : {1, 2, 3, 16})
        DrawPrimitive(v.data(), count);
    const auto& calls = softsglCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].name + calls[1].name + calls[2].name,
              "sgltri_pointssgltri_linessgltri_triangles");
    EXPECT_EQ(std::vector<int64_t>(
                  {calls[0].args[1], calls[1].args[1], calls[2].args[1], calls[3].args[1]}),
              std::vector<int64_t>({1, 1, 1, 14}));
    EXPECT_TRUE(sameVertex(calls[0], 0, v[0], false));
    EXPECT_TRUE(sameVertex(calls[1], 1, v[1], false));
    EXPECT_EQ(calls[1].indices, (std::vector<int32_t>{0, 1}));
    // Fans of 3 to 16 vertices: triangle t is (0, t + 1, t + 2). Longer fans go
    // as fans of up to 16 vertices around vertex 0, so all count - 2 reach SGL.
    for (int count : {3, 16, 17, 30, 40}) {
        softsglClearCalls();
        DrawPrimitive(v.data(), count);
        int t = 0;
        for (const SoftsglCall& call : softsglCalls()) {
            ASSERT_LE(call.args[1], 14);
            for (int i = 0; i < 3 * call.args[1]; ++i, t += i % 3 == 0) {
                const int host = i % 3 == 0 ? 0 : t + i % 3;
                EXPECT_TRUE(sameVertex(call, call.indices.at(i), v[host], true))
                    << count << ": " << t;
            }
        }
        EXPECT_EQ(t, count - 2);
        EXPECT_EQ(int(softsglCalls().size()), (count - 2 + 13) / 14);
    }
    softsglClearCalls();
    for (int count : {0, -4})
        DrawPrimitive(v.data(), count);
    DrawPrimitive(nullptr, 5);
    EXPECT_EQ(softsglCalls().size(), 0u);
}

TEST(DrawPrimitive, RenderFlags) {
    StartedDriver driver;
    auto lastFlags = [] { return softsglCalls().back().context.flags; };
    std::vector<HostVertex> opaque = vertices(4), faint = vertices(4);
    faint[2].colour = 0xFE000000;
    ssAlphaBlend(1);
    DrawPrimitive(opaque.data(), 4);
    EXPECT_EQ(lastFlags() & SGLTT_VERTEXTRANS, 0u);
    DrawPrimitive(faint.data(), 4);
    EXPECT_EQ(lastFlags() & SGLTT_VERTEXTRANS, SGLTT_VERTEXTRANS);
    // Points and lines keep the flag as it stands, whatever their alphas.
    DrawPrimitive(opaque.data(), 1);
    DrawPrimitive(opaque.data(), 2);
    EXPECT_EQ(lastFlags() & SGLTT_VERTEXTRANS, SGLTT_VERTEXTRANS);
    ssAlphaBlend(0); // blending off: vertex alphas change nothing
    DrawPrimitive(faint.data(), 4);
    EXPECT_EQ(lastFlags(), 0x000E0001u); // no texture selected: its bit cleared
    // A selected texture's name and bit stay; without one both are cleared.
    static uint8_t pixels[32 * 32];
    int32_t name = selectIn(LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr), 0);
    DrawPrimitive(opaque.data(), 3);
    EXPECT_EQ(softsglCalls().back().context.textureName, name);
    EXPECT_EQ(lastFlags(), 0x000E0003u);
    SelectTexture(nullptr);
    DrawPrimitive(opaque.data(), 0);
    DrawPrimitive(opaque.data(), 3);
    EXPECT_EQ(softsglCalls().back().context.textureName, 0);
    EXPECT_EQ(lastFlags(), 0x000E0001u);
}
