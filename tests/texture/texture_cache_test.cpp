// The texture cache through the texture entry points: residency, the memo,
// and every branch of the eviction, in a texture memory small enough to fill.
#include "tests/texture/texture_test_helpers.h"

#include <algorithm>

// The cache holds at most this many textures.
constexpr int kSlots = 256;

static uint8_t pixels[64 * 64 * 4];

static TextureRecord* loadTexture(uint32_t format, int side = 32) {
    return LoadTexture(pixels, side, side, 0, format, 0, nullptr);
}

struct Scene {
    std::vector<int> order;       // slots in order: index of the resident texture, -1 the new one
    std::vector<int64_t> names;   // SGL names of the resident textures
    int32_t selected;             // the name the new texture's selection put in the context
    std::vector<int64_t> evicted; // names the selection deleted
    int creates;                  // sgl_create_texture calls of the selection
};

// One 32 x 32 texture per entry (format 0: opaque map, 1: translucent map;
// idle frames before `now`), made resident in that order in a texture
// memory that holds exactly them, with frames advanced by PageFlip; then a
// new indexed texture is selected at `now`. The slots' order is the order
// in which ResetTextures deletes their textures.
static Scene evictionScene(std::vector<std::pair<uint32_t, uint32_t>> resident, int newSide = 32) {
    ResetTextures();
    softsglSetTextureBudget(int(resident.size()) * 32 * 32 * 2);
    uint32_t oldest = 0;
    for (auto [format, idle] : resident)
        oldest = std::max(oldest, idle);
    const uint32_t now = framesFlipped() + oldest + 2;
    Scene scene;
    std::vector<TextureRecord*> records;
    // The slots are taken in the order given, a frame before any use; then
    // each is selected again at its own frame, oldest first. A selection of
    // the record selected last is answered from the memo, which does not
    // stamp the frame: another record is selected in between.
    for (auto [format, idle] : resident) {
        records.push_back(loadTexture(format));
        scene.names.push_back(selectIn(records.back(), now - oldest - 1));
    }
    std::vector<size_t> byFrame(resident.size());
    for (size_t k = 0; k < byFrame.size(); ++k)
        byFrame[k] = k;
    std::stable_sort(byFrame.begin(), byFrame.end(),
                     [&](size_t a, size_t b) { return resident[a].second > resident[b].second; });
    if (records.size() > 1) SelectTexture(records[byFrame[0] == 0 ? 1 : 0]);
    for (size_t k : byFrame) {
        flipTo(now - resident[k].second);
        SelectTexture(records[k]);
    }
    TextureRecord* added = loadTexture(0, newSide);
    softsglClearCalls();
    scene.selected = selectIn(added, now);
    scene.evicted = deletedNames();
    scene.creates = softsglCallCount("sgl_create_texture");
    softsglClearCalls();
    ResetTextures();
    for (int64_t name : deletedNames()) {
        int k = int(scene.names.size()) - 1;
        while (k >= 0 && scene.names[k] != name)
            --k;
        EXPECT_TRUE(k >= 0 || name == scene.selected) << name;
        scene.order.push_back(k);
    }
    return scene;
}

TEST(TextureCache, EvictionBranches) {
    StartedDriver driver;
    const std::pair<std::vector<std::pair<uint32_t, uint32_t>>, std::vector<int>> cases[] = {
        {{{0, 20}, {0, 10}, {0, 0}}, {-1, 1, 2}}, // same kind idle 5+: its slot taken over
        {{{1, 20}, {0, 3}, {0, 1}}, {2, -1}},     // candidate idle 2..4, another older: both go
        {{{1, 20}, {0, 2}, {0, 1}}, {2, -1}},     // ... idle 2
        {{{1, 20}, {0, 4}, {0, 1}}, {2, -1}},     // ... idle 4
        {{{1, 20}, {0, 5}, {0, 1}}, {0, -1, 2}},  // candidate idle 5: its slot taken over
        {{{1, 6}, {0, 3}, {0, 1}}, {2, -1}},      // ... another idle 6 is older than 5
        {{{1, 5}, {0, 3}, {0, 1}}, {0, -1, 2}},   // ... or when none is older than 5
        {{{1, 20}, {0, 1}, {0, 0}}, {1, 2, -1}},  // candidate used last frame survives
        {{{0, 4}, {0, 0}, {0, 2}}, {-1, 1, 2}},   // all recent: least recent of the kind taken
        {{{0, 0}, {0, 0}}, {-1, 1}},              // ... even if used this frame
        {{{1, 200}, {1, 150}, {1, 81}, {1, 80}, {1, 50}}, {3, 4, -1}}, // oldest + 20 + 100
        {{{1, 7}, {1, 2}, {1, 1}, {1, 0}}, {2, 3, -1}},                // age step, oldest idle 7
        {{{1, 1}, {1, 0}, {1, 0}}, {1, 2, -1}},                        // ... idle 1
        {{{1, 0}, {1, 0}}, {-1}},                                      // ... idle 0: all go
    };
    for (const auto& [resident, order] : cases)
        EXPECT_EQ(evictionScene(resident).order, order);
    Scene s = evictionScene({{0, 20}, {0, 10}, {0, 0}});
    EXPECT_EQ(s.evicted, (std::vector<int64_t>{s.names[0]}));
    // A larger texture: later passes raise the threshold until it fits.
    s = evictionScene({{0, 20}, {0, 2}, {0, 1}, {0, 0}}, 64);
    EXPECT_EQ(s.order, (std::vector<int>{-1}));
    EXPECT_EQ(s.evicted, s.names);
    EXPECT_EQ(s.creates, 5);
    // Larger than the whole memory: once nothing is left to evict the upload
    // gives up, and the memo's name, deleted on the way, is not handed out.
    s = evictionScene({{0, 3}}, 64);
    EXPECT_EQ(s.order, std::vector<int>{});
    EXPECT_EQ(s.creates, 2);
    EXPECT_TRUE(sawMessage("kxCache::UploadTexture: texture creation error!!\n"));
    EXPECT_TRUE(sawMessage("kxCache::GetTextureHandle - failed to load texture\n"));
    EXPECT_EQ(s.selected, 0); // drawn untextured
}

TEST(TextureCache, FullSlotTableMakesRoomByAge) {
    StartedDriver driver;
    std::vector<TextureRecord*> records;
    std::vector<int64_t> names;
    for (int i = 0; i <= kSlots; ++i)
        records.push_back(loadTexture(i == 0 ? 1 : 0));
    for (int i = 0; i < kSlots; ++i)
        names.push_back(selectIn(records[i], i));
    softsglClearCalls();
    // SGL has room, the table has not: the candidate (slot 1, frame 1) is
    // taken over, and the new texture keeps its place in the slots' order.
    const int32_t added = selectIn(records[kSlots], 300);
    EXPECT_GT(added, 0);
    EXPECT_EQ(softsglCallCount("sgl_create_texture"), 1);
    EXPECT_EQ(deletedNames(), (std::vector<int64_t>{names[1]}));
    // No candidate of that kind: the age step, threshold 0 + 30 + 150, keeps
    // frames 180 to 255, the texture of frame 300 and the new one.
    selectIn(loadTexture(1, 64), 300);
    EXPECT_EQ(softsglLiveTextures(), 76 + 1 + 1);
    softsglClearCalls();
    ResetTextures();
    std::vector<int64_t> kept(names.begin() + 180, names.end());
    kept.insert(kept.begin(), added);
    const std::vector<int64_t> deleted = deletedNames();
    ASSERT_EQ(deleted.size(), kept.size() + 1); // and the new 64 x 64 one
    EXPECT_EQ(std::vector<int64_t>(deleted.begin(), deleted.end() - 1), kept);
}

TEST(TextureCache, NoSlotOrMemoKeepsADeletedName) {
    StartedDriver driver;
    softsglSetTextureBudget(3 * 2048);
    TextureRecord* a = loadTexture(0);
    selectIn(loadTexture(1), 5);
    selectIn(loadTexture(1), 6);
    int32_t old = selectIn(a, 10);
    // The candidate's texture is deleted but the retry fails: its slot goes.
    softsglFailCall("sgl_create_texture", -7, 2);
    EXPECT_EQ(selectIn(loadTexture(0), 30), 0);
    EXPECT_EQ(softsglLiveTextures(), 2);
    int32_t again = selectIn(a, 31);
    EXPECT_GT(again, old);
    // A failed in-place update: the old slot goes with its texture, the record
    // is uploaded anew, and the memo does not keep the old name.
    softsglFailCall("sgl_set_texture", -7);
    ModifyTexture(a, pixels + 1);
    EXPECT_EQ(a->pixels, pixels + 1);
    EXPECT_EQ(softsglLiveTextures(), 3);
    softsglClearCalls();
    int32_t renewed = selectIn(a, 32);
    EXPECT_GT(renewed, again);
    EXPECT_EQ(softsglCallCount("sgl_create_texture"), 0); // resident already
    EXPECT_EQ(softsglTexels(again), nullptr);
    // Update and upload both fail: the message, and no slot for the record.
    softsglFailCall("sgl_set_texture", -7);
    softsglFailCall("sgl_create_texture", -7);
    ModifyTexture(a, pixels);
    EXPECT_TRUE(sawMessage("kxCache::ModifyTexture: could not update texture!\n"));
    EXPECT_EQ(softsglLiveTextures(), 2);
    EXPECT_GT(selectIn(a, 33), renewed);
}

TEST(TextureCache, MemoUnloadAndReset) {
    StartedDriver driver;
    TextureRecord* a = loadTexture(0);
    TextureRecord* b = loadTexture(0);
    int32_t nameA = selectIn(a, 7);
    EXPECT_EQ(selectIn(a, 9), nameA); // from the memo (which does not stamp: ScanStamps...)
    int32_t nameB = selectIn(b, 9);
    EXPECT_EQ(selectIn(a, 12), nameA); // found by scan
    EXPECT_EQ(softsglCallCount("sgl_create_texture"), 2);
    // Unloading the memo's record deletes its texture; a record loaded at the
    // same address is uploaded afresh rather than given the dead name.
    softsglClearCalls();
    UnloadTexture(a);
    EXPECT_EQ(deletedNames(), (std::vector<int64_t>{nameA}));
    TextureRecord* c = loadTexture(0);
    int32_t nameC = selectIn(c, 13);
    EXPECT_GT(nameC, nameB);
    // Not resident: ModifyTexture changes nothing, not even the pixels.
    TextureRecord* d = loadTexture(0);
    ModifyTexture(d, pixels + 5);
    EXPECT_EQ(d->pixels, pixels);
    softsglClearCalls();
    ResetTextures();
    EXPECT_EQ(softsglLiveTextures(), 0);
    EXPECT_EQ(deletedNames(), (std::vector<int64_t>{nameB, nameC}));
    EXPECT_EQ(softsglCalls().size(), 2u);
    // The memo went too: the freed record selected last is no texture now.
    clearMessages();
    SelectTexture(c);
    EXPECT_EQ(driverMessages(), std::vector<std::string>{"SelectTexture: not a loaded texture\n"});
}

// Ages decide the eviction, so the stamps show in what it deletes. A new
// opaque texture meets an opaque one idle 5 frames (its slot is taken over)
// or 2 frames (it is aged, and the age step takes it and the translucent
// ones idle more than 4 frames).
TEST(TextureCache, ScanStampsTheFrameAndTheMemoDoesNot) {
    StartedDriver driver;
    // From the memo at 10: still stamped 7, idle 5 at 12.
    softsglSetTextureBudget(2 * 2048);
    int32_t old = selectIn(loadTexture(1), 1);
    TextureRecord* a = loadTexture(0);
    int32_t nameA = selectIn(a, 7);
    EXPECT_EQ(selectIn(a, 10), nameA);
    softsglClearCalls();
    selectIn(loadTexture(0), 12);
    EXPECT_EQ(deletedNames(), (std::vector<int64_t>{nameA}));
    EXPECT_NE(softsglTexels(old), nullptr);
    // Found by the scan at 30: stamped 30, idle 2 at 32.
    ResetTextures(); // frees the records too
    softsglSetTextureBudget(3 * 2048);
    old = selectIn(loadTexture(1), 21);
    a = loadTexture(0);
    nameA = selectIn(a, 27);
    int32_t other = selectIn(loadTexture(1), 28);
    EXPECT_EQ(selectIn(a, 30), nameA);
    softsglClearCalls();
    selectIn(loadTexture(0), 32);
    EXPECT_EQ(deletedNames(), (std::vector<int64_t>{old, nameA}));
    EXPECT_NE(softsglTexels(other), nullptr); // idle 4: not older than the age step's 4
}
