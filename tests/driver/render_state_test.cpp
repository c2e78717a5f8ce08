// The render context's defaults and the render-state entry points.
#include <gtest/gtest.h>

#include <cstring>

#include "blit/blit.h"
#include "driver/driver_state.h"
#include "driver/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"
#include "texture/texture.h"

TEST(RenderStates, ContextDefaultsWordByWord) {
    ASSERT_EQ(Init(), 1);
    uint32_t words[36];
    static_assert(sizeof words == sizeof sglContext, "144 bytes");
    std::memcpy(words, &sglContext, sizeof words);
    uint32_t expected[36] = {};
    expected[1] = expected[2] = expected[3] = 0x3E99999A;
    expected[4] = 5;
    expected[6] = 0x000E0003;
    expected[9] = 1;
    expected[17] = 1;
    expected[24] = 255;
    expected[27] = 2;
    for (int i = 0; i < 36; ++i)
        EXPECT_EQ(words[i], expected[i]) << "word " << i;

    // The context that reaches SGL with the first frame is this one.
    const SoftsglCall& start = softsglCalls().at(4);
    ASSERT_EQ(start.name, "sgltri_startofframe");
    EXPECT_EQ(std::memcmp(&start.context, expected, sizeof expected), 0);
    Shutdown();
}

TEST(RenderStates, AlphaBlendFlags) {
    ASSERT_EQ(Init(), 1);
    ssAlphaBlend(1);
    EXPECT_EQ(alphaBlendMode, 1);
    EXPECT_EQ(sglContext.flags, 0x000A0203u);
    ssAlphaBlend(2); // stored, flags untouched
    EXPECT_EQ(alphaBlendMode, 2);
    EXPECT_EQ(sglContext.flags, 0x000A0203u);
    ssAlphaBlend(0);
    EXPECT_EQ(sglContext.flags, 0x000E0003u);

    // A new start resets the context but keeps the host's mode.
    ssAlphaBlend(1);
    Shutdown();
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(alphaBlendMode, 1);
    EXPECT_EQ(sglContext.flags, 0x000E0003u);
    Shutdown();
}

TEST(RenderStates, ChromaKeyModeOutlivesARestartButBlitsStartUnkeyed) {
    ASSERT_EQ(Init(), 1);
    ssChromaKey(1, 0x00FF0000);
    EXPECT_EQ(keyedBlits, 1);
    Shutdown();
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(chromaKeyMode, 1);
    EXPECT_EQ(keyedBlits, 0);
    EXPECT_EQ(chromaKeyScreenColour, 0xF800);
    Shutdown();
}

TEST(RenderStates, ChromaKeyBeforeStartIsKeptForTheDisplay) {
    ssChromaKey(1, 0x00FF0000); // no display format yet: must not crash
    EXPECT_EQ(chromaKeyMode, 1);
    kxstandSetPixelFormat565(false);
    ASSERT_EQ(Init(), 1);
    EXPECT_EQ(chromaKeyScreenColour, 0x7C00); // converted for the 555 display
    Shutdown();
}

TEST(RenderStates, UnsupportedStatesChangeNothing) {
    ASSERT_EQ(Init(), 1);
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
