// The texture entry points as a host uses them: records and their table,
// stale handles, the palette, and calls made while the driver is not started.
#include <tuple>

#include "tests/support/test_support.h"
#include "tests/texture/texture_test_helpers.h"
#include "texture/texture_test_control.h"

// The texture table holds at most this many records.
constexpr int kTextureTableSize = 1024;

// Room for the largest texture the tests load: 32 x 32 texels of 4 bytes
// (SelectTexture converts every texel the record names).
static uint8_t pixels[32 * 32 * 4];
static const HostVertex fan[3] = {};

static TextureRecord* load() {
    return LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
}

// How many more records the table takes: loads until one is refused, then
// unloads what it loaded.
static int roomInTable() {
    std::vector<TextureRecord*> loaded;
    while (TextureRecord* record = load())
        loaded.push_back(record);
    for (TextureRecord* record : loaded)
        UnloadTexture(record);
    return int(loaded.size());
}

// The record is loaded: its selection is not refused.
static bool isLoaded(TextureRecord* record) {
    clearMessages();
    SelectTexture(record);
    return !sawMessage("SelectTexture: not a loaded texture\n");
}

TEST(TextureEntryPoints, RecordsAndTheirTable) {
    StartedDriver driver;
    uint32_t palette[256] = {};
    TextureRecord* a = LoadTexture(pixels, 20, 30, 0x44, 2, 0x66, palette);
    EXPECT_EQ(std::make_tuple(a->width, a->height, a->hostValue4, a->hostValue6, a->format,
                              a->palette, a->pixels, a->translucency),
              std::make_tuple(20, 30, 0x44u, 0x66u, 2u, static_cast<const uint32_t*>(palette),
                              static_cast<const void*>(pixels), -1));
    TextureRecord* b = load();
    TextureRecord* c = load();
    UnloadTexture(b);
    UnloadTexture(b); // no longer loaded, like any unknown handle: ignored
    UnloadTexture(reinterpret_cast<TextureRecord*>(pixels));
    EXPECT_EQ(softsglCalls().size(), 0u); // never resident, so SGL heard nothing
    EXPECT_TRUE(isLoaded(a) && isLoaded(c));
    EXPECT_FALSE(isLoaded(b));
    // 1024 records at most; the next is refused, as is one that cannot be allocated.
    EXPECT_EQ(roomInTable(), kTextureTableSize - 2);
    for (int i = 2; i < kTextureTableSize; ++i)
        ASSERT_NE(load(), nullptr);
    clearMessages();
    EXPECT_EQ(load(), nullptr);
    EXPECT_TRUE(sawMessage("LoadTexture: texture table full\n"));
    UnloadTexture(c);
    kxSetRecordAllocationFailure(1);
    EXPECT_EQ(load(), nullptr);
    EXPECT_TRUE(sawMessage("LoadTexture: out of memory\n"));
    kxSetRecordAllocationFailure(0);
    EXPECT_EQ(roomInTable(), 1); // the refused record took no place
    EXPECT_NE(load(), nullptr);
}

TEST(TextureEntryPoints, StaleHandlesAreNeverRead) {
    StartedDriver driver;
    TextureRecord* a = load();
    int32_t name = selectIn(a, 0);
    UnloadTexture(a); // the selected one: the next primitives are untextured
    EXPECT_EQ(contextTexture(), 0);
    EXPECT_EQ(softsglCalls().back().context.textureName, 0);
    // Handles freed by UnloadTexture, ResetTextures and ChangeResolution.
    for (int way = 0; way < 3; ++way) {
        TextureRecord* stale = way == 0 ? a : load();
        selectIn(stale, 0);
        if (way == 1) ResetTextures();
        if (way == 2) {
            ChangeResolution(3);
            EXPECT_EQ(softsglLiveTextures(), 0);
            EXPECT_EQ(roomInTable(), kTextureTableSize);
        }
        EXPECT_EQ(contextTexture(), 0) << way;
        clearMessages();
        SelectTexture(stale);
        EXPECT_TRUE(sawMessage("SelectTexture: not a loaded texture\n")) << way;
        EXPECT_EQ(contextTexture(), 0) << way;
        softsglClearCalls();
        ModifyTexture(stale, pixels + 1);
        UnloadTexture(stale);
        EXPECT_EQ(softsglCalls().size(), 0u);
    }
    // A live record still works; after a null selection fans are untextured.
    EXPECT_GT(selectIn(load(), 1), name);
    SelectTexture(nullptr);
    EXPECT_EQ(contextTexture(), 0);
}

// Calls before the first start and after a shut-down reach nothing; a
// palette loaded meanwhile is the screen palette of the next start.
TEST(TextureEntryPoints, CallsWhileTheDriverIsNotStarted) {
    captureMessages();
    const uint32_t palettes[2][256] = {{0xFFFFFFFF}, {0xFFFF0000}};
    const uint16_t shown[2] = {0xFFFF, 0xF800}; // white, red as 565
    static const uint8_t index0[1] = {0};
    TextureRecord* a = load();
    for (int round = 0; round < 2; ++round) { // before the first start, after a shut-down
        SelectTexture(a);
        EXPECT_TRUE(sawMessage("SelectTexture: driver not initialised\n"));
        DrawPrimitive(fan, 3);
        LoadPalette(palettes[round]);
        ModifyTexture(a, pixels);
        EXPECT_EQ(softsglCallCount("sgltri_triangles") + softsglCallCount("sgl_create_texture"), 0);
        ASSERT_EQ(Init(), 1);
        EXPECT_EQ(contextTexture(), 0); // the refused selection left none
        BltToCard(index0, 0, 0, 1, 1, 1, 0, nullptr);
        PageFlip();
        EXPECT_EQ(chainPixel(0, 0, 0), shown[round]) << round;
        Shutdown();
        softsglClearCalls();
    }
    UnloadTexture(a);
    EXPECT_EQ(roomInTable(), kTextureTableSize);
}
