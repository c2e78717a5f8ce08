// The texture cache through SelectTexture, ModifyTexture, UnloadTexture and
// ResetTextures: residency, the memo, and every branch of the eviction, with
// SGL's texture memory made small so that it really runs full.
#include "tests/texture/texture_test_helpers.h"

static uint8_t indexedPixels[64 * 64];
static uint32_t colourPixels[32 * 32];

static TextureRecord* loadTexture(uint32_t format, int side = 32) {
    const void* pixels = format == 0 ? static_cast<const void*>(indexedPixels) : colourPixels;
    return LoadTexture(pixels, side, side, 0, format, 0, nullptr);
}

struct Scene {
    std::vector<int> order;     // slots in order: index of the resident texture, -1 the new one
    std::vector<int64_t> names; // SGL names of the resident textures
    int32_t selected;           // the name the new texture's selection put in the context
};

// One 32 x 32 texture per entry (format, frames idle at `now`), made resident in
// that order in a texture memory that holds exactly them; then a new texture is
// selected at `now`.
static Scene evictionScene(std::vector<std::pair<uint32_t, uint32_t>> resident, uint32_t now,
                           uint32_t newFormat = 0, int newSide = 32) {
    ResetTextures();
    softsglSetTextureBudget(int(resident.size()) * 32 * 32 * 2);
    Scene scene;
    std::vector<TextureRecord*> records;
    for (auto [format, idle] : resident) {
        records.push_back(loadTexture(format));
        scene.names.push_back(selectIn(records.back(), now - idle));
    }
    TextureRecord* added = loadTexture(newFormat, newSide);
    softsglClearCalls();
    scene.selected = selectIn(added, now);
    for (int i = 0; i < textureCache.slotCount; ++i) {
        int index = -1;
        for (size_t k = 0; k < records.size(); ++k)
            if (textureCache.slotRecords[i] == records[k]) index = int(k);
        scene.order.push_back(index);
    }
    return scene;
}

TEST(TextureCache, EvictionBranchesOnBothSidesOfTheFrameWrap) {
    StartedDriver driver;
    // Frames crossing 2^31 and 2^32 must evict exactly as small ones do.
    for (uint32_t now : {1000u, 0x80000004u, 0x80000040u, 3u, 100u}) {
        SCOPED_TRACE(now);
        using V = std::vector<int>;
        // A slot of the same kind idle 5+ frames gives its place to the new texture.
        Scene s = evictionScene({{0, 20}, {0, 10}, {0, 0}}, now);
        EXPECT_EQ(s.order, (V{-1, 1, 2}));
        EXPECT_EQ(deletedNames(), (std::vector<int64_t>{s.names[0]}));
        // Candidate idle 2 to 4 frames, another slot idle longer: both go.
        EXPECT_EQ(evictionScene({{1, 20}, {0, 3}, {0, 1}}, now).order, (V{2, -1}));
        // Candidate used in this or the previous frame survives.
        EXPECT_EQ(evictionScene({{1, 20}, {0, 1}, {0, 0}}, now).order, (V{1, 2, -1}));
        EXPECT_EQ(evictionScene({{1, 20}, {0, 0}, {0, 1}}, now).order, (V{1, 2, -1}));
        // Every slot recent: the least recently used of the same kind is taken over,
        // even one used in this frame.
        EXPECT_EQ(evictionScene({{0, 4}, {0, 0}, {0, 2}}, now).order, (V{-1, 1, 2}));
        EXPECT_EQ(evictionScene({{0, 0}, {0, 0}}, now).order, (V{-1, 1}));
        // No candidate (other map type); oldest idle 200: threshold oldest + 20 + 100.
        EXPECT_EQ(evictionScene({{1, 200}, {1, 150}, {1, 81}, {1, 80}, {1, 50}}, now).order,
                  (V{3, 4, -1}));
        // Age step with the oldest idle 7, 1 and 0 frames.
        EXPECT_EQ(evictionScene({{1, 7}, {1, 2}, {1, 1}, {1, 0}}, now).order, (V{2, 3, -1}));
        EXPECT_EQ(evictionScene({{1, 1}, {1, 0}, {1, 0}}, now).order, (V{1, 2, -1}));
        EXPECT_EQ(evictionScene({{1, 0}, {1, 0}}, now).order, (V{-1}));
        // A larger texture: later passes raise the threshold until it fits.
        s = evictionScene({{0, 20}, {0, 2}, {0, 1}, {0, 0}}, now, 0, 64);
        EXPECT_EQ(s.order, (V{-1}));
        EXPECT_EQ(deletedNames(), s.names);
        EXPECT_EQ(softsglCallCount("sgl_create_texture"), 5);
        EXPECT_EQ(textureCache.slots[0].lastUsedFrame, int32_t(now));
        EXPECT_GT(s.selected, 0);
    }
}

TEST(TextureCache, TextureLargerThanTheMemoryEndsTheEviction) {
    StartedDriver driver;
    // The resident texture was the memo's name; the eviction deleted it.
    Scene s = evictionScene({{0, 3}}, 50, 0, 64);
    EXPECT_EQ(s.order, std::vector<int>{});
    EXPECT_EQ(deletedNames(), s.names);
    EXPECT_EQ(softsglCallCount("sgl_create_texture"), 2);
    EXPECT_TRUE(sawMessage("kxCache::UploadTexture: texture creation error!!\n"));
    EXPECT_TRUE(sawMessage("kxCache::GetTextureHandle - failed to load texture\n"));
    EXPECT_EQ(s.selected, -1);
    EXPECT_EQ(textureCache.lastHandle, -1);
}

TEST(TextureCache, FullSlotTableMakesRoomByAge) {
    StartedDriver driver;
    std::vector<TextureRecord*> records;
    for (int i = 0; i < kCacheSlots + 1; ++i)
        records.push_back(loadTexture(i == 0 ? 1 : 0));
    for (int i = 0; i < kCacheSlots; ++i)
        selectIn(records[i], i);
    ASSERT_EQ(textureCache.slotCount, kCacheSlots);
    softsglClearCalls();
    // SGL has room; the table has not. The candidate (slot 1, frame 1) is taken over.
    int32_t name = selectIn(records[kCacheSlots], 300);
    EXPECT_GT(name, 0);
    EXPECT_EQ(softsglCallCount("sgl_create_texture"), 1);
    EXPECT_EQ(deletedNames().size(), 1u);
    EXPECT_EQ(textureCache.slotCount, kCacheSlots);
    EXPECT_EQ(textureCache.slotRecords[1], records[kCacheSlots]);
    // Without a candidate of the same kind the age step runs: oldest idle 300
    // gives the threshold 0 + 30 + 150.
    TextureRecord* other = loadTexture(1, 64);
    selectIn(other, 300);
    // Survivors: frames 180 to 255, the texture of frame 300, and the new one.
    EXPECT_EQ(textureCache.slotCount, 76 + 1 + 1);
    EXPECT_EQ(softsglLiveTextures(), textureCache.slotCount);
}

TEST(TextureCache, NoSlotKeepsADeletedName) {
    StartedDriver driver;
    // The candidate's texture is deleted but the retry fails: the slot goes,
    // and the memo, which held that name, no longer hands it out.
    softsglSetTextureBudget(3 * 2048);
    TextureRecord* a = loadTexture(1);
    TextureRecord* b = loadTexture(1);
    TextureRecord* candidate = loadTexture(0);
    TextureRecord* added = loadTexture(0);
    selectIn(a, 5);
    selectIn(b, 6);
    int32_t old = selectIn(candidate, 10);
    softsglFailCall("sgl_create_texture", -7, 2);
    softsglClearCalls();
    EXPECT_EQ(selectIn(added, 30), -1);
    EXPECT_EQ(deletedNames(), (std::vector<int64_t>{old}));
    EXPECT_EQ(textureCache.slotCount, 2);
    int32_t again = selectIn(candidate, 31);
    EXPECT_GT(again, 0);
    EXPECT_NE(again, old);

    // A failed in-place update drops the old slot; the record is uploaded anew.
    softsglFailCall("sgl_set_texture", -7);
    ModifyTexture(candidate, indexedPixels + 1);
    EXPECT_EQ(candidate->pixels, indexedPixels + 1);
    int slots = 0;
    for (int i = 0; i < textureCache.slotCount; ++i)
        slots += textureCache.slotRecords[i] == candidate;
    EXPECT_EQ(slots, 1);
    int32_t renewed = selectIn(candidate, 32);
    EXPECT_GT(renewed, 0);
    EXPECT_NE(renewed, again);
    EXPECT_EQ(softsglTexels(again), nullptr);

    // Update and re-upload both fail: the message, and no slot for the record.
    softsglFailCall("sgl_set_texture", -7);
    softsglFailCall("sgl_create_texture", -7);
    ModifyTexture(candidate, indexedPixels);
    EXPECT_TRUE(sawMessage("kxCache::ModifyTexture: could not update texture!\n"));
    for (int i = 0; i < textureCache.slotCount; ++i)
        EXPECT_NE(textureCache.slotRecords[i], candidate);
    EXPECT_NE(selectIn(candidate, 33), renewed);
}

TEST(TextureCache, MemoUnloadAndReset) {
    StartedDriver driver;
    TextureRecord* a = loadTexture(0);
    TextureRecord* b = loadTexture(0);
    int32_t nameA = selectIn(a, 7);
    EXPECT_EQ(textureCache.slots[0].lastUsedFrame, 7);
    // Answered from the memo: no stamp, no new texture.
    EXPECT_EQ(selectIn(a, 9), nameA);
    EXPECT_EQ(textureCache.slots[0].lastUsedFrame, 7);
    int32_t nameB = selectIn(b, 9);
    EXPECT_EQ(selectIn(a, 12), nameA); // found by scan and stamped
    EXPECT_EQ(textureCache.slots[0].lastUsedFrame, 12);
    EXPECT_EQ(softsglCallCount("sgl_create_texture"), 2);
    EXPECT_EQ(sglContext.flags & SGLTT_TEXTURE, SGLTT_TEXTURE);

    // Unloading the memo's record: its texture goes, and a record loaded at
    // the same address is uploaded afresh rather than given the dead name.
    softsglClearCalls();
    UnloadTexture(a);
    EXPECT_EQ(deletedNames(), (std::vector<int64_t>{nameA}));
    EXPECT_EQ(textureCache.slotCount, 1);
    EXPECT_EQ(currentTexture, nullptr);
    TextureRecord* c = loadTexture(0);
    int32_t nameC = selectIn(c, 13);
    EXPECT_NE(nameC, nameA);
    EXPECT_EQ(softsglCallCount("sgl_create_texture"), 1);

    // Not resident: ModifyTexture changes nothing, not even the pixels.
    TextureRecord* d = loadTexture(0);
    ModifyTexture(d, indexedPixels + 5);
    EXPECT_EQ(d->pixels, indexedPixels);
    EXPECT_EQ(softsglCallCount("sgl_set_texture"), 0);

    softsglClearCalls();
    ResetTextures();
    EXPECT_EQ(textureCache.slotCount, 0);
    EXPECT_EQ(textureCache.lastHandle, -1);
    EXPECT_EQ(textureCount, 0);
    EXPECT_EQ(currentTexture, nullptr);
    std::vector<int64_t> deleted = deletedNames();
    EXPECT_EQ(deleted, (std::vector<int64_t>{nameB, nameC}));
    EXPECT_EQ(softsglLiveTextures(), 0);
}
