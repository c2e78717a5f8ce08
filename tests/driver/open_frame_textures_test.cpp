// Textures of the open frame: the accelerator draws a frame's primitives
// only when the frame is rendered, so no texture a queued primitive uses may
// be deleted before then. Checked on the pixels the frame shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/kxapi.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF;

// 64 x 64 images of one index each: 0 red, 1 green, 2 blue.
TextureRecord* load(uint8_t index) {
    static std::vector<uint8_t> images[3];
    if (images[index].empty()) images[index].assign(64 * 64, index);
    return LoadTexture(images[index].data(), 64, 64, 0, 0, 0, primaryPalette());
}

// The colour in the middle of the quad at column x, as the host reads it.
uint16_t shownAt(int x) {
    return readShownFrame().at(x + 32, 32);
}

const std::vector<std::string> kUploadFailed = {
    "kxCache::UploadTexture: texture creation error!!\n",
    "kxCache::GetTextureHandle - failed to load texture\n"};

// Texture memory for two, both used by the open frame (red at column 0,
// green at 100): `third` finds no room, because making it would delete one
// the frame uses. It draws untextured, with the cache's messages; the first
// two keep theirs.
void expectThirdUploadFails(TextureRecord* third) {
    clearMessages();
    SelectTexture(third);
    EXPECT_EQ(driverMessages(), kUploadFailed);
    drawWhiteQuad(200, 64);
    PageFlip();
    EXPECT_EQ(shownAt(0), kRed);
    EXPECT_EQ(shownAt(100), kGreen);
    EXPECT_EQ(shownAt(200), kWhite);
}

// Red selected once and drawn at column 0 in `frames` frames, then in the
// open frame: its stamp stays that of the selection.
void drawRedWithoutReselecting(int frames) {
    SelectTexture(load(0));
    for (int frame = 0; frame < frames; ++frame) {
        drawWhiteQuad(0, 64);
        PageFlip();
    }
    drawWhiteQuad(0, 64);
}

} // namespace

// Texture memory for two: a third texture in a frame that already draws with
// two finds no room.
TEST(OpenFrameTextures, AnUploadThatWouldEvictOneOfThemFails) {
    ASSERT_EQ(Init(), 1);
    softsglSetTextureBudget(2 * 64 * 64 * 2);
    TextureRecord* red = load(0);
    TextureRecord* green = load(1);
    TextureRecord* blue = load(2);
    SelectTexture(red);
    drawWhiteQuad(0, 64);
    SelectTexture(green);
    drawWhiteQuad(100, 64);
    expectThirdUploadFails(blue);
    // In the next frame, which draws with it alone, it is made resident in
    // the room of a texture the frame does not use (once another texture was
    // selected: the failed one is the memo's).
    clearMessages();
    SelectTexture(red);
    SelectTexture(blue);
    drawWhiteQuad(200, 64);
    PageFlip();
    EXPECT_EQ(shownAt(200), kBlue);
    EXPECT_TRUE(driverMessages().empty());
    EXPECT_EQ(softsglLiveTextures(), 2); // green, of the frame before, made room
    Shutdown();
}

// A texture selected once and drawn with over many frames keeps the stamp of
// its selection: by age it is the one to go, but the open frame draws with it.
TEST(OpenFrameTextures, ATextureDrawnWithoutANewSelectionIsKept) {
    ASSERT_EQ(Init(), 1);
    softsglSetTextureBudget(2 * 64 * 64 * 2);
    drawRedWithoutReselecting(7);
    SelectTexture(load(1));
    drawWhiteQuad(100, 64);
    expectThirdUploadFails(load(2));
    Shutdown();
}

// The same texture beside one idle for long in a smaller size: the age step
// that makes room for a new texture deletes the idle one and passes over the
// old stamp of the one the frame draws with, whatever its age. Still no
// room, the new one draws untextured.
TEST(OpenFrameTextures, AnAgeStepPassesOverATextureTheFrameDrawsWith) {
    ASSERT_EQ(Init(), 1);
    softsglSetTextureBudget(64 * 64 * 2 + 32 * 32 * 2);
    static std::vector<uint8_t> small(32 * 32, 1);
    SelectTexture(LoadTexture(small.data(), 32, 32, 0, 0, 0, primaryPalette()));
    drawRedWithoutReselecting(8);
    clearMessages();
    SelectTexture(load(2));
    EXPECT_EQ(driverMessages(), kUploadFailed);
    EXPECT_EQ(softsglLiveTextures(), 1); // the small one went
    drawWhiteQuad(200, 64);
    PageFlip();
    EXPECT_EQ(shownAt(0), kRed);
    EXPECT_EQ(shownAt(200), kWhite);
    Shutdown();
}

// A resolution change frees every texture: the frame it happens in starts
// afresh, so nothing queued before it is drawn with a deleted texture, and
// what is drawn after it shows.
TEST(OpenFrameTextures, AResolutionChangeStartsTheFrameAfresh) {
    ASSERT_EQ(Init(), 1);
    for (bool blitFirst : {false, true}) {
        SCOPED_TRACE(blitFirst ? "scene rendered by a blit" : "scene not rendered");
        SelectTexture(load(0));
        drawWhiteQuad(0, 64);
        if (blitFirst) BltToCard(nullptr, 0, 0, 0, 0, 0, 0, nullptr);
        ASSERT_EQ(ChangeResolution(3), 1);
        SelectTexture(load(2));
        drawWhiteQuad(100, 64);
        PageFlip();
        EXPECT_EQ(shownAt(0), 0);
        EXPECT_EQ(shownAt(100), kBlue);
    }
    Shutdown();
}
