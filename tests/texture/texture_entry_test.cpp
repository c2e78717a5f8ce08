// The texture entry points as a host uses them: records and their table,
// stale handles, the palette, and calls made before the driver is started.
#include "blit/pixel_format.h"
#include "tests/texture/texture_test_helpers.h"

static uint8_t pixels[32 * 32];

TEST(TextureEntryPoints, RecordsAndTheirTable) {
    StartedDriver driver;
    uint32_t palette[256] = {};
    TextureRecord* a = LoadTexture(pixels, 20, 30, 0x44, 2, 0x66, palette);
    EXPECT_EQ(a->width, 20);
    EXPECT_EQ(a->height, 30);
    EXPECT_EQ(a->hostValue4, 0x44u);
    EXPECT_EQ(a->hostValue6, 0x66u);
    EXPECT_EQ(a->format, 2u);
    EXPECT_EQ(a->palette, palette);
    EXPECT_EQ(a->pixels, pixels);
    EXPECT_EQ(a->translucency, -1);
    TextureRecord* b = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
    TextureRecord* c = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
    UnloadTexture(b);
    ASSERT_EQ(textureCount, 2);
    EXPECT_EQ(textureTable[0], a);
    EXPECT_EQ(textureTable[1], c);
    UnloadTexture(b); // no longer loaded: ignored
    UnloadTexture(reinterpret_cast<TextureRecord*>(pixels));
    EXPECT_EQ(textureCount, 2);
    EXPECT_EQ(softsglCalls().size(), 0u); // never resident, so SGL heard nothing

    // The table holds 1024 records; the next is refused, as is a record that
    // cannot be allocated.
    while (textureCount < kTextureTableSize)
        ASSERT_NE(LoadTexture(pixels, 1, 1, 0, 0, 0, nullptr), nullptr);
    EXPECT_EQ(LoadTexture(pixels, 1, 1, 0, 0, 0, nullptr), nullptr);
    EXPECT_TRUE(sawMessage("LoadTexture: texture table full\n"));
    UnloadTexture(c);
    kxSetRecordAllocationFailure(1);
    EXPECT_EQ(LoadTexture(pixels, 1, 1, 0, 0, 0, nullptr), nullptr);
    EXPECT_TRUE(sawMessage("LoadTexture: out of memory\n"));
    EXPECT_EQ(textureCount, kTextureTableSize - 1);
    kxSetRecordAllocationFailure(0);
    EXPECT_NE(LoadTexture(pixels, 1, 1, 0, 0, 0, nullptr), nullptr);
    ResetTextures();
    EXPECT_EQ(textureCount, 0);
}

TEST(TextureEntryPoints, StaleHandlesAreNeverRead) {
    StartedDriver driver;
    const HostVertex fan[3] = {};
    TextureRecord* a = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
    TextureRecord* b = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
    int32_t nameA = selectIn(a, 0);
    selectIn(b, 0);
    // Unloading the selected texture: the next primitives are untextured.
    UnloadTexture(b);
    EXPECT_EQ(currentTexture, nullptr);
    DrawPrimitive(fan, 3);
    EXPECT_EQ(callsNamed("sgltri_triangles").back().context.textureName, 0);

    // Handles freed by UnloadTexture, ResetTextures and ChangeResolution.
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        TextureRecord* stale = b;
        if (way > 0) {
            stale = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
            selectIn(stale, 0);
            if (way == 1) ResetTextures();
            if (way == 2) {
                ASSERT_EQ(ChangeResolution(3), 1);
            }
            EXPECT_EQ(currentTexture, nullptr);
        }
        softsglClearCalls();
        clearMessages();
        SelectTexture(stale);
        EXPECT_TRUE(sawMessage("SelectTexture: not a loaded texture\n"));
        EXPECT_EQ(currentTexture, nullptr);
        ModifyTexture(stale, pixels + 1);
        UnloadTexture(stale);
        EXPECT_EQ(softsglCallCount("sgl_create_texture") + softsglCallCount("sgl_set_texture") +
                      softsglCallCount("sgl_delete_texture"),
                  0);
    }
    // The live record still works; a null selection leaves the context alone.
    a = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
    int32_t name = selectIn(a, 1);
    EXPECT_GT(name, nameA);
    SelectTexture(nullptr);
    EXPECT_EQ(sglContext.textureName, name);
    EXPECT_EQ(currentTexture, nullptr);
}

TEST(TextureEntryPoints, PaletteForTexturesAndScreen) {
    StartedDriver driver;
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = 0x01000000u * i + 0x00010307u * i;
    LoadPalette(nullptr);
    for (uint16_t entry : screenPalette)
        ASSERT_EQ(entry, 0);
    LoadPalette(palette);
    for (int i = 0; i < 256; ++i) {
        uint16_t expected;
        colourTo565(&expected, &palette[i]);
        ASSERT_EQ(screenPalette[i], expected) << i;
    }
    EXPECT_EQ(textureCache.globalPalette[2], texel(2, 6, 14, 253));
}

TEST(TextureEntryPoints, CallsBeforeTheDriverStarts) {
    captureMessages();
    uint32_t palette[256] = {0xFFFFFFFF};
    const HostVertex fan[3] = {};
    TextureRecord* a = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
    SelectTexture(a);
    EXPECT_TRUE(sawMessage("SelectTexture: driver not initialised\n"));
    EXPECT_EQ(currentTexture, nullptr);
    DrawPrimitive(fan, 3);
    LoadPalette(palette);
    EXPECT_EQ(screenPalette[0], 0);
    ModifyTexture(a, pixels);
    EXPECT_EQ(softsglCalls().size(), 0u);
    // After a shut-down too: nothing reaches SGL, nothing is left resident.
    ASSERT_EQ(Init(), 1);
    Shutdown();
    softsglClearCalls();
    SelectTexture(a);
    DrawPrimitive(fan, 3);
    EXPECT_EQ(softsglCalls().size(), 0u);
    UnloadTexture(a);
    ResetTextures();
    EXPECT_EQ(textureCount, 0);
}
