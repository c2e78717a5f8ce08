// The back buffer as the frame is drawn into it: only a surface the renderer
// and the blits can address exactly is drawn into, a lost one not at all,
// and what the host asks of a blit is answered whatever the surface.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F;

// Index 1 red, 2 green.
const uint32_t* palette() {
    static uint32_t p[256] = {0, 0xFFFF0000, 0xFF00FF00};
    return p;
}

// The rows of the three buffers of the chain as the stand-in describes them
// (1280 bytes from each row's start): the pixels a display would show.
std::vector<uint8_t> chainRows() {
    std::vector<uint8_t> rows;
    for (int position = 0; position < 3; ++position) {
        int pitch = 0;
        const uint8_t* pixels = kxstandChainPixels(position, &pitch);
        for (int y = 0; pixels && y < 480; ++y)
            rows.insert(rows.end(), pixels + ptrdiff_t{y} * pitch,
                        pixels + ptrdiff_t{y} * pitch + 1280);
    }
    return rows;
}

// A frame with a blue fan, a red 8 x 8 blit and a green 4 x 4 image
// stretched over 40 x 40 (its rows repeat); rendered by the first blit.
void drawFrame() {
    const HostVertex fan[4] = {{200, 200, 0.5f, 1, 0, 0, 0xFF0000FF},
                               {300, 200, 0.5f, 1, 0, 0, 0xFF0000FF},
                               {300, 300, 0.5f, 1, 0, 0, 0xFF0000FF},
                               {200, 300, 0.5f, 1, 0, 0, 0xFF0000FF}};
    static const std::vector<uint8_t> reds(8 * 8, 1), greens(4 * 4, 2);
    DrawPrimitive(fan, 4);
    EXPECT_EQ(BltToCard(reds.data(), 10, 20, 8, 8, 8, 0, nullptr), 1);
    EXPECT_EQ(StretchBltToCard(greens.data(), 100, 100, 40, 40, 4, 4, 4, 0, nullptr), 1);
}

// The shown frame's pixel (x, y), read back as the host reads it.
uint16_t readBack(int x, int y) {
    return readShownFrame().at(x, y);
}

// A started driver on a display made with this pitch and offset draws the
// frame and shows it, or refuses the surface with these messages and
// writes nothing into the chain.
void expectFrame(int pitch, int offset, const std::vector<std::string>& refusal) {
    SCOPED_TRACE("pitch " + std::to_string(pitch) + ", offset " + std::to_string(offset));
    kxstandSetPitch(pitch);
    kxstandSetSurfaceOffset(offset);
    ASSERT_EQ(Init(), 1);
    LoadPalette(palette());
    const std::vector<uint8_t> before = chainRows();
    clearMessages();
    drawFrame();
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    if (refusal.empty()) {
        EXPECT_TRUE(driverMessages().empty());
        PageFlip();
        EXPECT_EQ(readBack(250, 250), kBlue);
        EXPECT_EQ(readBack(10, 20), kRed);
        EXPECT_EQ(readBack(17, 27), kRed);
        EXPECT_EQ(readBack(18, 27), 0);
        EXPECT_EQ(readBack(139, 139), kGreen);
        EXPECT_EQ(readBack(140, 139), 0);
    } else {
        EXPECT_EQ(driverMessages(), refusal);
        EXPECT_TRUE(chainRows() == before) << "the chain was drawn into";
        PageFlip(); // the scene was rendered (into nothing): the flip only flips
        EXPECT_EQ(readBack(250, 250), 0);
    }
    EXPECT_EQ(kxstandStrayWrites(), 0);
    Shutdown();
}

const std::string kNoTarget = "pvr_RenderCallback, ddGetWindowInfo failed\n";

std::vector<std::string> pitchRefused(int pitch) {
    return {"ddGetWindowInfo, unusable back buffer pitch " + std::to_string(pitch) +
                " (an even 1280 to 65534 is needed)\n",
            kNoTarget};
}

} // namespace

// The renderer is handed 16 bits of the pitch and the blits write through
// the same: a pitch that these cannot carry, or rows that it cannot
// describe, would send them into the rows' padding, across rows, or tens of
// megabytes past the surface.
TEST(RenderTarget, PitchesTheRendererCannotCarryAreRefused) {
    for (int pitch : {1280, 1282, 4096, 65534})
        expectFrame(pitch, 0, {});
    for (int pitch : {65536 + 2, 65536 + 1536, 65536, -1536, 1537, 1000})
        expectFrame(pitch, 0, pitchRefused(pitch));
}

// The renderer takes a multiple of 4: a back buffer that starts elsewhere is
// refused rather than drawn into from the multiple below its start, which
// lies before the surface (the stand-in's guard sees such a write).
TEST(RenderTarget, BackBuffersThatDoNotStartOnAMultipleOfFourAreRefused) {
    for (int offset : {4, 8, 12})
        expectFrame(1536, offset, {});
    for (int offset : {1, 2, 3, 5, 6, 7, 14})
        expectFrame(1536, offset,
                    {"ddGetWindowInfo, back buffer starts " + std::to_string(offset % 4) +
                         " bytes past a multiple of 4\n",
                     kNoTarget});
}

// A chain lost after the frame was rendered (the player switched away
// between two blits) is not written into: its memory may no longer be the
// back buffer. The next frame's render restores it and draws again.
TEST(RenderTarget, ALostChainIsNotWrittenInto) {
    ASSERT_EQ(Init(), 1);
    LoadPalette(palette());
    static const std::vector<uint8_t> reds(16 * 16, 1);
    EXPECT_EQ(BltToCard(reds.data(), 0, 0, 16, 16, 16, 0, nullptr), 1);
    EXPECT_EQ(chainPixel(1, 15, 15), kRed);
    kxstandLoseSurfaces();
    const std::vector<uint8_t> lost = chainRows();
    EXPECT_EQ(BltToCard(reds.data(), 100, 100, 16, 16, 16, 0, nullptr), 1);
    EXPECT_EQ(StretchBltToCard(reds.data(), 200, 200, 32, 32, 16, 16, 16, 0, nullptr), 1);
    ssChromaKey(1, 0);
    EXPECT_EQ(BltToCard(reds.data(), 300, 100, 16, 16, 16, 0, nullptr), 1);
    EXPECT_EQ(StretchBltToCard(reds.data(), 300, 200, 32, 32, 16, 16, 16, 0, nullptr), 1);
    EXPECT_TRUE(chainRows() == lost) << "the lost chain was drawn into";
    PageFlip(); // fails on the lost chain
    EXPECT_EQ(BltToCard(reds.data(), 100, 100, 16, 16, 16, 0, nullptr), 1);
    PageFlip();
    EXPECT_EQ(readBack(115, 115), kRed);
    EXPECT_EQ(kxstandLockedSurfaces(), 0);
    Shutdown();
}

// A blit of a layout the kernels do not draw names it, also when there is
// no back buffer to draw into: before a start, when the render could not
// lock the back buffer, and on a lost chain.
TEST(RenderTarget, FormatsTheBlitsCannotDrawAreNamedWhateverTheSurface) {
    static const std::vector<uint8_t> image(16 * 16, 1);
    auto blitBoth = [] {
        BltToCard(image.data(), 0, 0, 16, 16, 16, 4, nullptr);
        StretchBltToCard(image.data(), 0, 0, 32, 32, 16, 16, 16, 2, nullptr);
    };
    const std::vector<std::string> named = {"blt: 555\n", "stBlt: 888\n"};
    clearMessages();
    blitBoth();
    EXPECT_EQ(driverMessages(), named) << "before a start";

    ASSERT_EQ(Init(), 1);
    clearMessages();
    kxstandFailCall("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
    blitBoth();
    // The refused lock is named first (debugDDrawErrMsg), then the render.
    EXPECT_EQ(driverMessages(),
              (std::vector<std::string>{"KX: debugDDrawErrMsg, DDERR_SURFACEBUSY (0x887601AE)\n",
                                        kNoTarget, named[0], named[1]}))
        << "no back buffer";

    PageFlip();
    BltToCard(nullptr, 0, 0, 0, 0, 0, 0, nullptr);
    kxstandLoseSurfaces();
    clearMessages();
    ssChromaKey(1, 0);
    blitBoth();
    EXPECT_EQ(driverMessages(), (std::vector<std::string>{"bltC: 555\n", "stBltC: 888\n"}))
        << "lost chain";
    Shutdown();
}
