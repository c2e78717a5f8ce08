// The render context's defaults and the render-state entry points, as the
// context reaches SGL.
#include <gtest/gtest.h>

#include <cstring>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"

namespace {

// The flags of the context the next fan reaches SGL with.
uint32_t queuedFlags() {
    static const HostVertex fan[3] = {};
    DrawPrimitive(fan, 3);
    return softsglCalls().back().context.flags;
}

} // namespace

// What SGL receives with the first primitive after a start: no fog, no
// culling, no texture, blending off, the library's settings, and the fan
// drawn in its own colour.
TEST(RenderStates, FirstPrimitiveReachesSglWithTheDefaultContext) {
    ASSERT_EQ(Init(), 1);
    const HostVertex fan[4] = {{100, 100, 0.5f, 1, 0, 0, 0xFF20C040},
                               {200, 100, 0.5f, 1, 0, 0, 0xFF20C040},
                               {200, 200, 0.5f, 1, 0, 0, 0xFF20C040},
                               {100, 200, 0.5f, 1, 0, 0, 0xFF20C040}};
    DrawPrimitive(fan, 4);
    const SoftsglCall& drawn = softsglCalls().back();
    ASSERT_EQ(drawn.name, "sgltri_triangles");
    const SGLCONTEXT& c = drawn.context;
    EXPECT_EQ(c.fogOn, 0u);
    EXPECT_EQ(std::vector<float>({c.fogRed, c.fogGreen, c.fogBlue}),
              std::vector<float>({0.3f, 0.3f, 0.3f}));
    EXPECT_EQ(c.fogDensity, 5u);
    EXPECT_EQ(c.cullBackFaces, 0u);
    EXPECT_EQ(c.textureName, 0);
    // No texture, blending off, no translucency (opaque vertices); the other
    // bits as the library's defaults.
    EXPECT_EQ(c.flags, SGLTT_DEFAULT_FLAGS & ~SGLTT_TEXTURE);
    // The library's own settings (words 9, 17, 24, 27); its other words 0.
    std::vector<std::pair<int, uint32_t>> settings; // word, value
    for (int word = 8; word < 36; ++word)
        if (sglContextWord(c, word)) settings.emplace_back(word, sglContextWord(c, word));
    EXPECT_EQ(settings,
              (std::vector<std::pair<int, uint32_t>>{{9, 1}, {17, 1}, {24, 255}, {27, 2}}));
    PageFlip();
    EXPECT_EQ(chainPixel(0, 150, 150), to565(0x20C040));
    Shutdown();
}

// The states that have no effect change nothing SGL receives; one says so.
TEST(RenderStates, StatesWithoutEffectLeaveTheContextAlone) {
    ASSERT_EQ(Init(), 1);
    static const HostVertex fan[3] = {};
    DrawPrimitive(fan, 3);
    const SGLCONTEXT before = softsglCalls().back().context;
    clearMessages();
    ssTexture(1);
    ssZBuffer(1);
    PushState();
    PopState();
    EXPECT_EQ(ssZBufferCompareMode(3), 0);
    EXPECT_EQ(driverMessages(),
              std::vector<std::string>{"ssZBufferCompareMode called: No effect\n"});
    DrawPrimitive(fan, 3);
    const SGLCONTEXT after = softsglCalls().back().context;
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    Shutdown();
}

TEST(RenderStates, AlphaBlendFlagsAndARestart) {
    ASSERT_EQ(Init(), 1);
    const struct {
        int mode;
        uint32_t flags; // without the texture bit: no texture is selected
    } steps[] = {{1, 0x000A0201}, {2, 0x000A0201}, {0, 0x000E0001}, {1, 0x000A0201}};
    for (const auto& s : steps) {
        ssAlphaBlend(s.mode);
        EXPECT_EQ(queuedFlags(), s.flags) << s.mode;
    }
    // A new start resets the context but keeps the host's mode: fans set the
    // translucency bit by their alphas again, blending stays off.
    Shutdown();
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(queuedFlags(), 0x000E0201u);
    Shutdown();
}

// The key is kept across starts (textures converted after the start are
// keyed by it), but a start makes the blits unkeyed until the host sets the
// key again.
TEST(RenderStates, ChromaKeyOutlivesAStartButTheBlitsStartUnkeyed) {
    static const uint32_t red[256] = {0x00FF0000}, blue[256] = {0x000000FF};
    static const uint8_t index0[32 * 32] = {};
    ssChromaKey(1, 0x00FF0000); // no display format yet: kept for the start
    for (bool is565 : {false, true}) {
        kxstandSetPixelFormat565(is565);
        ASSERT_EQ(Init(), 1);
        // A red texel is the key: transparent, its colour dropped.
        TextureRecord* keyed = LoadTexture(index0, 32, 32, 0, 0, 0, red);
        SelectTexture(keyed);
        EXPECT_EQ(softsglTexels(softsglLastTextureName())[0], texel(0, 0, 0, 255));
        UnloadTexture(keyed);
        BltToCard(index0, 0, 0, 1, 1, 1, 0, red);
        ssChromaKey(1, 0x00FF0000);
        BltToCard(index0, 1, 0, 1, 1, 1, 0, red);
        // Another mode changes the key but keeps the blits keyed.
        ssChromaKey(5, 0x000000FF);
        BltToCard(index0, 2, 0, 1, 1, 1, 0, blue);
        BltToCard(index0, 3, 0, 1, 1, 1, 0, red);
        PageFlip();
        const uint16_t shownRed = is565 ? 0xF800 : 0x7C00;
        EXPECT_EQ(chainPixel(0, 0, 0), shownRed);
        EXPECT_EQ(chainPixel(0, 1, 0), 0); // keyed: the rendered black stays
        EXPECT_EQ(chainPixel(0, 2, 0), 0);
        EXPECT_EQ(chainPixel(0, 3, 0), shownRed);
        ssChromaKey(1, 0x00FF0000);
        Shutdown();
    }
}
