// What the screen shows besides the frames the host draws: nothing. The
// three buffers of the chain are black from the start and after a lost
// chain is restored, and outside a render area smaller than the display
// every frame is black but for the frame's own blits. (The stand-in fills
// new and restored surfaces with leftovers that are never black.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint16_t kWhite = 0xFFFF, kRed = 0xF800;

// Non-black 16-bit words in a buffer of the chain, every row whole.
int litInBuffer(int position) {
    int lit = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            lit += chainPixel(position, x, y) != 0;
    return lit;
}

// A fan of one colour over [0, width) x [0, height).
void fillArea(int width, int height, uint32_t colour) {
    const float w = float(width), h = float(height);
    const HostVertex quad[4] = {{0, 0, 0.5f, 1, 0, 0, colour},
                                {w, 0, 0.5f, 1, 0, 0, colour},
                                {w, h, 0.5f, 1, 0, 0, colour},
                                {0, h, 0.5f, 1, 0, 0, colour}};
    DrawPrimitive(quad, 4);
}

} // namespace

TEST(ScreenClears, AllThreeBuffersAreBlackFromTheStartAndAfterARestore) {
    ASSERT_EQ(Init(), 1);
    for (int position = 0; position < 3; ++position)
        EXPECT_EQ(litInBuffer(position), 0) << "buffer " << position << " after the start";
    // The chain is lost (the player switched away) and comes back with
    // leftovers; the next render restores it: only what is drawn shows, in
    // every buffer, whatever the render area.
    for (int mode : {3, 1}) {
        ASSERT_EQ(ChangeResolution(mode), 1);
        kxstandLoseSurfaces();
        PageFlip();
        for (int position = 0; position < 3; ++position)
            EXPECT_EQ(litInBuffer(position), 0) << "buffer " << position << ", mode " << mode;
    }
    Shutdown();
}

TEST(ScreenClears, OutsideASmallRenderAreaEveryFrameIsBlack) {
    ASSERT_EQ(Init(), 1);
    // Three frames fill the whole display white: every buffer holds them.
    for (int frame = 0; frame < 3; ++frame) {
        fillArea(640, 480, 0xFFFFFFFF);
        PageFlip();
    }
    EXPECT_EQ(readShownFrame().at(600, 400), kWhite);
    // Smaller areas: inside the frame drawn, outside black on every frame,
    // those that show the buffers the large frames left included.
    const struct {
        int mode, width, height;
    } areas[] = {{1, 320, 240}, {0, 320, 200}, {2, 512, 384}};
    for (const auto& a : areas) {
        ASSERT_EQ(ChangeResolution(a.mode), 1);
        for (int frame = 0; frame < 4; ++frame) {
            SCOPED_TRACE("mode " + std::to_string(a.mode) + ", frame " + std::to_string(frame));
            fillArea(a.width, a.height, 0xFFFF0000);
            PageFlip();
            const ShownFrame s = readShownFrame();
            EXPECT_EQ(s.litIn(0, 0, a.width, a.height), a.width * a.height);
            EXPECT_EQ(s.litIn(a.width, 0, 640, 480) + s.litIn(0, a.height, a.width, 480), 0);
            EXPECT_EQ(s.at(a.width - 1, a.height - 1), kRed);
        }
    }
    // After a lost chain too.
    kxstandLoseSurfaces();
    for (int frame = 0; frame < 4; ++frame) {
        PageFlip();
        const ShownFrame s = readShownFrame();
        EXPECT_EQ(s.litIn(512, 0, 640, 480) + s.litIn(0, 384, 512, 480), 0) << frame;
    }
    Shutdown();
}

// A blit outside the render area is the host's: it shows in its own frame
// and in no later one.
TEST(ScreenClears, BlitsOutsideTheRenderAreaShowInTheirFrameOnly) {
    ASSERT_EQ(Init(), 1);
    static const uint32_t palette[256] = {0, 0xFFFFFFFF};
    LoadPalette(palette);
    ASSERT_EQ(ChangeResolution(1), 1);
    static const std::vector<uint8_t> image(16 * 16, 1);
    BltToCard(image.data(), 400, 300, 16, 16, 16, 0, nullptr);
    PageFlip();
    EXPECT_EQ(readShownFrame().litIn(400, 300, 416, 316), 16 * 16);
    for (int frame = 1; frame < 4; ++frame) {
        PageFlip();
        EXPECT_EQ(readShownFrame().litIn(320, 0, 640, 480), 0) << frame;
    }
    Shutdown();
}

namespace {

// A frame of the 320 x 240 area whose first clear the display refuses: it
// names DirectDraw's result, then says `message`, and the frame is drawn all
// the same.
void expectFailedClear(const std::string& message) {
    clearMessages();
    kxstandFailCall("IDirectDrawSurface::Blt", DDERR_SURFACEBUSY);
    fillArea(320, 240, 0xFFFF0000);
    PageFlip();
    EXPECT_EQ(driverMessages(),
              (std::vector<std::string>{"KX: debugDDrawErrMsg, DDERR_SURFACEBUSY (0x887601AE)\n",
                                        message}));
    const ShownFrame s = readShownFrame();
    EXPECT_EQ(s.at(319, 239), kRed);
    EXPECT_EQ(s.at(320, 240), 0);
}

} // namespace

// A clear the display refuses is named after DirectDraw's result, and the
// frame is drawn all the same.
TEST(ScreenClears, FailedClearsAreNamedAndTheFrameIsDrawn) {
    ASSERT_EQ(Init(), 1);
    ASSERT_EQ(ChangeResolution(1), 1);
    expectFailedClear("ddClearBackBufferOutside, failed clear\n");
    // The clears of a restored chain.
    kxstandLoseSurfaces();
    expectFailedClear("ddGetWindowInfo, failed clear of the restored chain\n");
    Shutdown();
}
