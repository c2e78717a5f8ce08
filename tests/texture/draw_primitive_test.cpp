// DrawPrimitive: the sgltri call each vertex count makes, the vertices and
// indices that reach SGL, and the render flags it adjusts.
#include "tests/texture/texture_test_helpers.h"

static std::vector<HostVertex> vertices(int count, uint32_t alpha = 0xFF) {
    std::vector<HostVertex> v(count);
    for (int i = 0; i < count; ++i)
        v[i] = {1.0f + i,
                2.0f + i,
                0.5f,
                0.25f,
                0.125f * i,
                0.0625f * i,
                (alpha << 24) | uint32_t(0x102030 + i)};
    return v;
}

// The SGL vertex expected for host vertex h; points and lines carry no u, v.
static void expectVertex(const SGLVERTEX& s, const HostVertex& h, bool withUV) {
    EXPECT_EQ(s.x, h.x);
    EXPECT_EQ(s.y, h.y);
    EXPECT_EQ(s.z, h.z);
    EXPECT_EQ(s.invW, h.invW);
    EXPECT_EQ(s.colour, h.colour);
    EXPECT_EQ(s.specular, 0u);
    EXPECT_EQ(s.uOverW, withUV ? h.u : 0.0f);
    EXPECT_EQ(s.vOverW, withUV ? h.v : 0.0f);
}

TEST(DrawPrimitive, PointsLinesAndFans) {
    StartedDriver driver;
    std::vector<HostVertex> v = vertices(40);
    v[1].u = 0.75f; // points and lines drop it
    DrawPrimitive(v.data(), 1);
    DrawPrimitive(v.data(), 2);
    DrawPrimitive(v.data(), 3);
    DrawPrimitive(v.data(), 16);
    const auto& calls = softsglCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].name, "sgltri_points");
    EXPECT_EQ(calls[0].args[1], 1);
    expectVertex(calls[0].vertices.at(0), v[0], false);
    EXPECT_EQ(calls[1].name, "sgltri_lines");
    EXPECT_EQ(calls[1].args[1], 1);
    EXPECT_EQ(calls[1].indices, (std::vector<int32_t>{0, 1}));
    expectVertex(calls[1].vertices.at(1), v[1], false);
    EXPECT_EQ(calls[2].name, "sgltri_triangles");
    EXPECT_EQ(calls[2].args[1], 1);
    EXPECT_EQ(calls[2].indices, (std::vector<int32_t>{0, 1, 2}));
    ASSERT_EQ(calls[3].args[1], 14);
    for (int i = 0; i < 16; ++i)
        expectVertex(calls[3].vertices.at(i), v[i], true);
    for (int t = 0; t < 14; ++t)
        EXPECT_EQ(std::vector<int32_t>(calls[3].indices.begin() + 3 * t,
                                       calls[3].indices.begin() + 3 * t + 3),
                  (std::vector<int32_t>{0, t + 1, t + 2}));

    // Longer fans go as fans of up to 16 vertices around vertex 0, so that
    // every one of the count - 2 triangles reaches SGL.
    for (int count : {17, 30, 40}) {
        SCOPED_TRACE(count);
        softsglClearCalls();
        DrawPrimitive(v.data(), count);
        std::vector<std::vector<int>> triangles;
        for (const SoftsglCall& call : softsglCalls()) {
            ASSERT_EQ(call.name, "sgltri_triangles");
            ASSERT_LE(call.args[1], 14);
            for (int t = 0; t < call.args[1]; ++t) {
                std::vector<int> triangle;
                for (int k = 0; k < 3; ++k) {
                    const SGLVERTEX& s = call.vertices.at(call.indices.at(3 * t + k));
                    triangle.push_back(int(s.x) - 1); // which host vertex
                    expectVertex(s, v[triangle.back()], true);
                }
                triangles.push_back(triangle);
            }
        }
        ASSERT_EQ(int(triangles.size()), count - 2);
        for (int t = 0; t < count - 2; ++t)
            EXPECT_EQ(triangles[t], (std::vector<int>{0, t + 1, t + 2}));
    }
    softsglClearCalls();
    DrawPrimitive(v.data(), 0);
    DrawPrimitive(v.data(), -4);
    DrawPrimitive(nullptr, 5);
    EXPECT_EQ(softsglCalls().size(), 0u);
}

TEST(DrawPrimitive, RenderFlags) {
    StartedDriver driver;
    auto flagsOfLastCall = [] { return softsglCalls().back().context.flags; };
    std::vector<HostVertex> opaque = vertices(4), faint = vertices(4);
    faint[2].colour = 0xFE000000;
    ssAlphaBlend(1);
    DrawPrimitive(opaque.data(), 4);
    EXPECT_EQ(flagsOfLastCall() & SGLTT_VERTEXTRANS, 0u);
    DrawPrimitive(faint.data(), 4);
    EXPECT_EQ(flagsOfLastCall() & SGLTT_VERTEXTRANS, SGLTT_VERTEXTRANS);
    // Points and lines keep the flag as it stands, whatever their alphas.
    DrawPrimitive(opaque.data(), 1);
    DrawPrimitive(opaque.data(), 2);
    EXPECT_EQ(flagsOfLastCall() & SGLTT_VERTEXTRANS, SGLTT_VERTEXTRANS);
    // Blending off: vertex alphas change nothing.
    ssAlphaBlend(0);
    DrawPrimitive(faint.data(), 4);
    EXPECT_EQ(flagsOfLastCall(), 0x000E0001u); // texture bit cleared: none selected

    // With a texture selected, its name and the texture bit stay; without one
    // they are cleared, even by a call that draws nothing.
    static uint8_t pixels[32 * 32];
    int32_t name = selectIn(LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr), 0);
    DrawPrimitive(opaque.data(), 3);
    EXPECT_EQ(softsglCalls().back().context.textureName, name);
    EXPECT_EQ(flagsOfLastCall() & SGLTT_TEXTURE, SGLTT_TEXTURE);
    SelectTexture(nullptr);
    EXPECT_EQ(sglContext.textureName, name);
    DrawPrimitive(opaque.data(), 0);
    EXPECT_EQ(sglContext.textureName, 0);
    EXPECT_EQ(sglContext.flags & SGLTT_TEXTURE, 0u);
}
