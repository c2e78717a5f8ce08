// Long lifecycles: a thousand starts and shut-downs, and a thousand losses of
// the display chain with frames between them, must not grow memory, DirectDraw
// objects, SGL textures or devices.
#include <gtest/gtest.h>

#include <malloc.h>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"

namespace {

uint8_t image[64 * 64];

void drawFrame(TextureRecord* texture) {
    static const HostVertex fan[4] = {{100, 100, 0.5f, 0.5f, 0, 0, 0xFFFF8040u},
                                      {300, 100, 0.5f, 0.5f, 1, 0, 0xFFFF8040u},
                                      {300, 300, 0.5f, 0.5f, 1, 1, 0xFFFF8040u},
                                      {100, 300, 0.5f, 0.5f, 0, 1, 0xFFFF8040u}};
    SelectTexture(texture);
    DrawPrimitive(fan, 4);
    BltToCard(image, 400, 300, 64, 64, 64, 0, nullptr);
    PageFlip();
}

size_t heapInUse() {
    return mallinfo2().uordblks;
}

void forgetLogs() {
    kxstandClearCallLog();
    kxstandClearDebugLines();
    softsglClearCalls();
}

} // namespace

TEST(Lifecycle, ThousandStartsAndShutdowns) {
    TextureRecord* texture = LoadTexture(image, 64, 64, 0, 0, 0, nullptr);
    auto cycle = [&] {
        ASSERT_EQ(Init(), 1);
        drawFrame(texture);
        Shutdown();
        forgetLogs();
    };
    for (int i = 0; i < 20; ++i)
        cycle(); // warm up the allocators
    size_t before = heapInUse();
    for (int i = 0; i < 1000; ++i)
        cycle();
    EXPECT_LE(heapInUse(), before + 4096);
    EXPECT_EQ(kxstandLiveObjects(), 0);
    EXPECT_EQ(kxstandLibraryLoaded(), 0);
    EXPECT_EQ(kxstandCursorCounter(), 0);
    EXPECT_EQ(softsglLiveTextures(), 0);
    EXPECT_EQ(softsglLiveDevices(), 0);
    EXPECT_EQ(kxstandDeadCalls(), 0);
    ResetTextures();
}

TEST(Lifecycle, ThousandLostChains) {
    ASSERT_EQ(Init(), 1);
    TextureRecord* texture = LoadTexture(image, 64, 64, 0, 0, 0, nullptr);
    for (int i = 0; i < 10; ++i)
        drawFrame(texture), forgetLogs();
    int objects = kxstandLiveObjects();
    size_t before = heapInUse();
    for (int i = 0; i < 1000; ++i) {
        kxstandLoseSurfaces();
        drawFrame(texture); // the flip fails on the lost chain
        drawFrame(texture); // the render restores it
        forgetLogs();
    }
    EXPECT_LE(heapInUse(), before + 4096);
    EXPECT_EQ(kxstandLiveObjects(), objects);
    EXPECT_EQ(softsglLiveTextures(), 1);
    EXPECT_EQ(softsglLiveDevices(), 1);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    // The chain still works: a blit shows after a flip.
    static uint32_t white[256];
    white[7] = 0x00FFFFFF;
    static uint8_t sevens[4] = {7, 7, 7, 7};
    BltToCard(sevens, 5, 5, 2, 2, 2, 0, white);
    PageFlip();
    EXPECT_EQ(chainPixel(0, 5, 5), 0xFFFF);
    Shutdown();
    EXPECT_EQ(kxstandLiveObjects(), 0);
    ResetTextures();
}
