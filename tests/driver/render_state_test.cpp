// The render context's defaults and the render-state entry points, as the
// context reaches SGL.
#include <gtest/gtest.h>

#include <cstring>

#include "api/kxapi.h"
#include "driver/driver_state.h"
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

TEST(RenderStates, ContextDefaultsWordByWord) {
    ASSERT_EQ(Init(), 1);
    uint32_t expected[36] = {};
    expected[1] = expected[2] = expected[3] = 0x3E99999A;
    expected[4] = 5;
    expected[6] = 0x000E0003;
    expected[9] = 1;
    expected[17] = 1;
    expected[24] = 255;
    expected[27] = 2;
    // The context that reaches SGL with the first frame.
    const SoftsglCall& start = softsglCalls().at(4);
    ASSERT_EQ(start.name, "sgltri_startofframe");
    uint32_t words[36];
    static_assert(sizeof words == sizeof start.context, "144 bytes");
    std::memcpy(words, &start.context, sizeof words);
    for (int i = 0; i < 36; ++i)
        EXPECT_EQ(words[i], expected[i]) << "word " << i;
    // States without effect change nothing; one says so.
    clearMessages();
    SGLCONTEXT before = sglContext;
    ssTexture(1);
    ssZBuffer(1);
    PushState();
    PopState();
    EXPECT_EQ(ssZBufferCompareMode(3), 0);
    EXPECT_EQ(std::memcmp(&before, &sglContext, sizeof before), 0);
    EXPECT_EQ(driverMessages(),
              std::vector<std::string>{"ssZBufferCompareMode called: No effect\n"});
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
    EXPECT_EQ(sglContext.flags, 0x000E0003u);
    EXPECT_EQ(queuedFlags(), 0x000E0201u);
    Shutdown();
}

// The key is kept across starts, but a start makes the blits unkeyed until
// the host sets the key again.
TEST(RenderStates, ChromaKeyOutlivesAStartButTheBlitsStartUnkeyed) {
    static const uint32_t red[256] = {0x00FF0000};
    static const uint8_t index0[1] = {0};
    ssChromaKey(1, 0x00FF0000); // no display format yet: kept for the start
    for (bool is565 : {false, true}) {
        kxstandSetPixelFormat565(is565);
        ASSERT_EQ(Init(), 1);
        EXPECT_EQ(chromaKeyMode, 1);
        EXPECT_EQ(chromaKeyScreenColour, is565 ? 0xF800 : 0x7C00);
        BltToCard(index0, 0, 0, 1, 1, 1, 0, red);
        ssChromaKey(1, 0x00FF0000);
        BltToCard(index0, 1, 0, 1, 1, 1, 0, red);
        PageFlip();
        EXPECT_EQ(chainPixel(0, 0, 0), is565 ? 0xF800 : 0x7C00);
        EXPECT_EQ(chainPixel(0, 1, 0), 0); // keyed: the rendered black stays
        ssChromaKey(5, 0x000000FF);        // stored and converted whatever the mode
        EXPECT_EQ(chromaKeyScreenColour, 0x001F);
        ssChromaKey(1, 0x00FF0000);
        Shutdown();
    }
}
