// The selected texture as primitives are drawn with it: the render context
// never names a texture that is not resident, read back from the screen.
#include <gtest/gtest.h>

#include <vector>

#include "api/kxapi.h"
#include "softsgl/softsgl_control.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF;

// 32 x 32 images of one index each: 0 red, 1 green, 2 blue.
const uint8_t* image(uint8_t index) {
    static std::vector<uint8_t> images[3];
    if (images[index].empty()) images[index].assign(32 * 32, index);
    return images[index].data();
}
TextureRecord* load(uint8_t index) {
    return LoadTexture(image(index), 32, 32, 0, 0, 0, primaryPalette());
}

// A white textured quad over the screen's top-left 64 x 64, shown by a
// flip; the colour of its middle as it reached the screen.
uint16_t drawQuad() {
    drawWhiteQuad(0, 64);
    PageFlip();
    return chainPixel(0, 32, 32);
}

// The texture word and flag of the context the last fan was queued with.
int64_t queuedTextureName() {
    const SGLCONTEXT* context = nullptr;
    for (const SoftsglCall& call : softsglCalls())
        if (call.name == "sgltri_triangles") context = &call.context;
    if (!context) return -1;
    return (context->flags & SGLTT_TEXTURE) ? context->textureName : 0;
}

} // namespace

TEST(SelectedTexture, FollowsItsReuploadAfterAFailedUpdate) {
    ASSERT_EQ(Init(), 1);
    TextureRecord* a = load(0);
    SelectTexture(a);
    EXPECT_EQ(drawQuad(), kRed);
    // The in-place update fails: the texture is deleted and uploaded anew
    // under another name, which the next primitives must use.
    softsglFailCall("sgl_set_texture", -7);
    ModifyTexture(a, image(2));
    EXPECT_EQ(drawQuad(), kBlue);
    Shutdown();
}

TEST(SelectedTexture, EvictedByAnotherUploadDrawsUntextured) {
    ASSERT_EQ(Init(), 1);
    softsglSetTextureBudget(2 * 32 * 32 * 2); // room for two textures
    TextureRecord* a = load(0);
    TextureRecord* b = load(1);
    SelectTexture(b);
    SelectTexture(a);
    EXPECT_EQ(drawQuad(), kRed);
    // b's update fails and its new upload finds memory full: the eviction
    // takes a's texture, the selected one.
    softsglClearCalls();
    softsglFailCall("sgl_set_texture", -7);
    softsglFailCall("sgl_create_texture", -243);
    ModifyTexture(b, image(1));
    EXPECT_EQ(softsglLiveTextures(), 1);
    EXPECT_EQ(drawQuad(), kWhite);
    EXPECT_EQ(queuedTextureName(), 0);
    // Selected again, it is uploaded again.
    SelectTexture(a);
    EXPECT_EQ(drawQuad(), kRed);
    Shutdown();
}

TEST(SelectedTexture, OneThatCannotBeMadeResidentDrawsUntextured) {
    struct Case {
        const char* what;
        const void* pixels;
        int32_t width, height;
        uint32_t format;
        int createResult; // 0: creation is not failed
    };
    const Case cases[] = {
        {"no pixels", nullptr, 32, 32, 0, 0},        {"no width", image(1), 0, 32, 0, 0},
        {"negative height", image(1), 32, -3, 0, 0}, {"unknown format", image(1), 32, 32, 6, 0},
        {"format past all", image(1), 32, 32, 7, 0}, {"creation error", image(1), 32, 32, 0, -7},
    };
    ASSERT_EQ(Init(), 1);
    TextureRecord* a = load(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SelectTexture(a);
        EXPECT_EQ(drawQuad(), kRed);
        TextureRecord* bad =
            LoadTexture(c.pixels, c.width, c.height, 0, c.format, 0, primaryPalette());
        if (c.createResult) softsglFailCall("sgl_create_texture", c.createResult);
        clearMessages();
        const int creates = softsglCallCount("sgl_create_texture");
        SelectTexture(bad);
        EXPECT_TRUE(sawMessage("kxCache::GetTextureHandle - failed to load texture\n"));
        // Only a convertible image reaches SGL.
        EXPECT_EQ(softsglCallCount("sgl_create_texture") > creates, c.createResult != 0);
        EXPECT_EQ(drawQuad(), kWhite);
        // Selected again, it is answered from the cache's memo: still untextured.
        SelectTexture(bad);
        EXPECT_EQ(drawQuad(), kWhite);
        EXPECT_EQ(queuedTextureName(), 0);
        UnloadTexture(bad);
    }
    SelectTexture(load(1));
    EXPECT_EQ(drawQuad(), kGreen);
    Shutdown();
}
