// The frame cycle: render once per frame, flip, and entry points called
// outside a started driver. (That each PageFlip counts one frame shows in
// the texture cache's ages: tests/texture.) (A render callback that cannot
// lock the back buffer: Blits.DrawNothingWithoutAValidBackBuffer.)
#include <gtest/gtest.h>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"

TEST(FrameCycle, PageFlipRendersAndFlips) {
    ASSERT_EQ(Init(), 1);
    softsglClearCalls();
    const int flips = kxstandCallCount("IDirectDrawSurface::Flip"); // the start's clear flipped
    for (int i = 0; i < 3; ++i)
        PageFlip();
    EXPECT_EQ(softsglCallCount("sgltri_render"), 3);
    EXPECT_EQ(softsglCallCount("sgltri_startofframe"), 3);
    EXPECT_EQ(kxstandCallCount("IDirectDrawSurface::Flip"), flips + 3);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    // Each render waits for completion before anything else happens.
    const auto& calls = softsglCalls();
    for (size_t i = 0; i + 1 < calls.size(); ++i)
        if (calls[i].name == "sgltri_render") {
            EXPECT_EQ(calls[i + 1].name, "sgltri_isrendercomplete");
            EXPECT_EQ(calls[i + 1].args.at(1), 0xFFFFFFFFll);
        }
    Shutdown();
}

TEST(FrameCycle, EntryPointsBeforeStartAndAfterShutdownAreHarmless) {
    static uint8_t image[16 * 16];
    static uint8_t readBack[16 * 16 * 3];
    HostVertex fan[3] = {};
    auto everything = [&] {
        EXPECT_EQ(PageFlip(), 0);
        EXPECT_EQ(WaitForIdle(), 0);
        ssChromaKey(1, 0x00FF00FF);
        ssAlphaBlend(1);
        DrawPrimitive(fan, 3);
        DrawPrimitive(fan, 1);
        EXPECT_EQ(BltToCard(image, 0, 0, 16, 16, 16, 0, nullptr), 1);
        EXPECT_EQ(StretchBltToCard(image, 0, 0, 32, 32, 16, 16, 16, 0, nullptr), 1);
        BltFromCard(readBack, 0, 0, 16, 16, 48, 2);
        TextureRecord* record = LoadTexture(image, 16, 16, 0, 0, 0, nullptr);
        SelectTexture(record);
        static uint32_t palette[256];
        LoadPalette(palette);
        UnloadTexture(record);
    };
    everything();
    EXPECT_EQ(softsglCallCount("sgltri_render"), 0);
    ASSERT_EQ(Init(), 1);
    Shutdown();
    softsglClearCalls();
    everything();
    EXPECT_EQ(softsglCallCount("sgltri_render"), 0);
    EXPECT_EQ(softsglCallCount("sgltri_triangles"), 0);
    EXPECT_EQ(kxstandLiveObjects(), 0);
}
