// The texture cache: which host textures are resident in SGL's texture
// memory, their lookup by record, their upload with eviction by age, and
// their re-conversion in place.
//
// Frame numbers come from an unsigned counter that wraps; the cache keeps
// them as int32 and compares them only through ages, wrapping differences
// from currentFrame, so eviction is the same on both sides of the wrap.
#include <cstdint>

#include "diag/diag.h"
#include "texture/texture_local.h"

kxCache textureCache;

static constexpr int32_t frameAge(int32_t now, int32_t then) {
    return static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(then));
}

static constexpr int32_t frameOffset(int32_t frame, int32_t delta) {
    return static_cast<int32_t>(static_cast<uint32_t>(frame) + static_cast<uint32_t>(delta));
}

// The frame count wraps after 2^32 flips (about two years at 60 frames a
// second), far beyond what a test can flip: ages and stamps across both
// wraps are checked here, where the compiler checks them.
static_assert(frameAge(2, -1) == 3, "an age across the wrap from 0xFFFFFFFF to 0");
static_assert(frameAge(INT32_MIN + 4, INT32_MAX) == 5, "an age across the sign change");
static_assert(frameAge(3, 10) == -7, "a stamp ahead of the frame is a negative age");
static_assert(frameOffset(INT32_MAX, 1) == INT32_MIN, "a stamp across the sign change");
static_assert(frameOffset(3, -10) == -7 && frameAge(3, frameOffset(3, -10)) == 10,
              "a back-dated stamp across the wrap keeps its age");

static sgl_intermediate_map intermediateMap(int32_t side, uint32_t* texels) {
    sgl_intermediate_map map;
    map.id[0] = 'I';
    map.id[1] = 'M';
    map.id[2] = 'A';
    map.id[3] = 'P';
    map.xDim = side;
    map.yDim = side;
    map.pixels = texels;
    return map;
}

static void clearSlot(TextureSlot& slot) {
    slot.record = nullptr;
    slot.textureName = -1;
    slot.lastUsedFrame = 0;
    slot.keptForFrame = 0;
}

void kxCache::Init() {
    slotCount = 0;
    currentFrame = 1;
    evictThreshold = 0;
    lastRecord = nullptr;
    lastHandle = -1;
    for (int i = 0; i < kCacheSlots; ++i) {
        clearSlot(slots[i]);
        slotRecords[i] = nullptr;
    }
    openFrame = 1;
    keptName = -1;
    kxPrint("kxCache::Init: available texture RAM free: %ld\n",
            static_cast<long>(sgl_get_free_texture_mem()));
}

void kxCache::Reset() {
    for (int i = 0; i < slotCount; ++i)
        if (slots[i].textureName != -1) sgl_delete_texture(slots[i].textureName);
    for (int i = 0; i < kCacheSlots; ++i) {
        clearSlot(slots[i]);
        slotRecords[i] = nullptr;
    }
    slotCount = 0;
    lastRecord = nullptr;
    lastHandle = -1;
    keptName = -1;
}

int kxCache::TextureNames(int32_t* names) const {
    int count = 0;
    for (int i = 0; i < slotCount; ++i)
        if (slots[i].textureName != -1) names[count++] = slots[i].textureName;
    return count;
}

void kxCache::SetChromaKey(uint32_t mode, uint32_t colour) {
    keyMode = mode;
    keyColour = colour;
}

// Every deletion goes through here: a memo naming the deleted texture would
// hand a dead name to the next selection of its record.
void kxCache::DeleteTexture(int32_t textureName) {
    if (textureName < 0) return;
    sgl_delete_texture(textureName);
    if (textureName == lastHandle) {
        lastHandle = -1;
        lastRecord = nullptr;
    }
    // A new texture may get the name again, in this frame.
    if (textureName == keptName) keptName = -1;
}

void kxCache::OpenFrame() {
    if (++openFrame == 0) openFrame = 1;
    keptName = -1;
}

// Called for every primitive queued with a texture: the scan runs only when
// the texture differs from the last primitive's.
void kxCache::KeepForOpenFrame(int32_t textureName) {
    if (textureName == keptName) return;
    keptName = textureName;
    for (int i = 0; i < slotCount; ++i)
        if (slots[i].textureName == textureName) slots[i].keptForFrame = openFrame;
}

void kxCache::RemoveSlot(int index) {
    for (int i = index + 1; i < slotCount; ++i) {
        slots[i - 1] = slots[i];
        slotRecords[i - 1] = slotRecords[i];
    }
    --slotCount;
}

int32_t kxCache::GetTextureHandle(TextureRecord* record, int32_t frame) {
    currentFrame = frame;
    if (record == lastRecord) return lastHandle;
    if (!record) {
        kxPrint("kxCache::GetTextureHandle: null texture passed\n");
        return lastHandle;
    }
    int i = 0;
    while (i < slotCount && slotRecords[i] != record)
        ++i;
    if (i < slotCount) {
        lastHandle = slots[i].textureName;
        slots[i].lastUsedFrame = frame;
    } else {
        // A record that cannot be made resident has no name: the memo must
        // not answer it with the texture of the record selected before.
        lastHandle = UploadTexture(record, 1);
        if (lastHandle < 0) {
            kxPrint("kxCache::GetTextureHandle - failed to load texture\n");
            lastHandle = -1;
        }
    }
    lastRecord = record;
    return lastHandle;
}

// A full slot table answers like full texture memory, so that the same
// eviction makes room.
int32_t kxCache::CreateTexture(uint32_t mapType, uint32_t sizeCode, sgl_intermediate_map* map,
                               int target) {
    if (target == slotCount && slotCount >= kCacheSlots) return SGL_ERR_TEXTURE_MEMORY_FULL;
    return sgl_create_texture(static_cast<int>(mapType), static_cast<int>(sizeCode), 2, 0, map,
                              nullptr);
}

// Eviction by age: how many frames ago a texture was last selected. A scene
// cycles its textures over a few frames, so a texture idle for a few frames
// is likely wanted again soon, and one idle for long is not.
//
// A slot of the new texture's size and kind used within kRecentAge frames
// is kept while some slot has been idle longer than that: the idle ones go
// instead, as a batch, and the new texture is appended. Larger keeps more of
// the scene's rotation resident at the price of larger batches evicted.
constexpr int32_t kRecentAge = 5;
// The batch: EvictOlderThan keeps ages up to this, so every slot idle for
// kRecentAge frames or more goes (the ones the test above found).
constexpr int32_t kKeptAge = kRecentAge - 1;
// A candidate used 2 to kKeptAge frames ago is stamped this many frames
// back, beyond kKeptAge, so that it goes with the batch: its room is the
// new texture's size. Any age above kKeptAge does the same.
constexpr int32_t kBackdatedAge = 10;
// The age step (no such slot, or still no room): the threshold moves by a
// part of the oldest slot's idle age, so the older part of the idle range
// goes at once. A larger part evicts more a pass (fewer retries of SGL's
// creation, fewer passes), a smaller one keeps more textures that may come
// back. Oldest idle over kLongIdleAge frames: half its age; over
// kVeryLongIdleAge frames another tenth, such textures rarely coming back.
// Idle kLongIdleAge frames or fewer: every slot not used in this frame or
// the last.
constexpr int32_t kLongIdleAge = 10;
constexpr double kLongIdleStep = 0.5;
constexpr int32_t kVeryLongIdleAge = 100;
constexpr double kVeryLongIdleStep = 0.1;
// Every slot used in this frame already: a threshold this many frames ahead,
// newer than every stamp, evicts them all but the open frame's. Any frame
// ahead does the same.
constexpr int32_t kAheadOfEveryStamp = 10;

// The age step's next threshold from the current one, the oldest slot's
// last frame.
static int32_t nextEvictThreshold(int32_t now, int32_t threshold) {
    const int32_t age = frameAge(now, threshold);
    if (age > kVeryLongIdleAge)
        threshold = frameOffset(threshold, static_cast<int32_t>(age * kVeryLongIdleStep));
    if (age > kLongIdleAge)
        return frameOffset(threshold, static_cast<int32_t>(age * kLongIdleStep));
    if (age > 1) return frameOffset(now, -1);
    if (age == 1) return now;
    return frameOffset(now, kAheadOfEveryStamp);
}

int32_t kxCache::UploadTexture(TextureRecord* record, int allowEviction) {
    if (!isConvertibleTexture(record)) {
        kxPrint("kxCache::UploadTexture: no image to convert\n");
        return kUploadRefused;
    }
    int32_t side;
    uint32_t sizeCode;
    ChooseTextureSize(record->width, record->height, &side, &side, &sizeCode);
    sgl_intermediate_map map = intermediateMap(side, convertBuffer);
    uint32_t mapType = SGL_MAP_OPAQUE;
    ConvertTexture(record, convertBuffer, side, side, &mapType);

    int target = slotCount;
    int32_t result = CreateTexture(mapType, sizeCode, &map, target);
    int fruitlessPasses = 0; // age steps that evicted nothing
    for (int pass = 0; result == SGL_ERR_TEXTURE_MEMORY_FULL && allowEviction; ++pass) {
        const bool ageStep = pass > 0 || !EvictForKind(sizeCode, mapType, &target);
        if (ageStep && !EvictByAge(&target, &fruitlessPasses)) break;
        result = CreateTexture(mapType, sizeCode, &map, target);
    }
    if (result < 0) {
        if (target != slotCount) RemoveSlot(target);
        kxPrint("kxCache::UploadTexture: texture creation error!!\n");
        return result;
    }
    FillSlot(target, record, result, sizeCode, mapType);
    return result;
}

// The first pass: room made by a slot of the same size and kind, reused, or
// by the idle ones when it is recent; false when there is no such slot.
// Sets the threshold the age step starts from.
bool kxCache::EvictForKind(uint32_t sizeCode, uint32_t mapType, int* target) {
    int32_t oldest;
    int candidate = FindReusableSlot(sizeCode, mapType, &oldest);
    evictThreshold = oldest;
    if (candidate < 0) return false;
    int32_t candidateAge = frameAge(currentFrame, slots[candidate].lastUsedFrame);
    int32_t oldestAge = frameAge(currentFrame, evictThreshold);
    if (candidateAge < kRecentAge && oldestAge > kRecentAge) {
        if (candidateAge > 1)
            slots[candidate].lastUsedFrame = frameOffset(currentFrame, -kBackdatedAge);
        evictThreshold = EvictOlderThan(frameOffset(currentFrame, -kKeptAge));
        *target = slotCount;
    } else {
        DeleteTexture(slots[candidate].textureName);
        slots[candidate].textureName = -1;
        *target = candidate;
    }
    return true;
}

// An age step: the slots idle longer than the next threshold evicted; false
// when there is no more to gain (nothing evictable, or steps that evict
// nothing).
bool kxCache::EvictByAge(int* target, int* fruitlessPasses) {
    // A candidate emptied in the first pass that did not get the texture.
    if (*target != slotCount) RemoveSlot(*target);
    *target = slotCount;
    // Nothing left to evict (the open frame's textures stay) and SGL still
    // has no room: give up.
    int evictable = 0;
    for (int i = 0; i < slotCount; ++i)
        evictable += !Kept(i);
    if (evictable == 0) return false;
    const int32_t slotsBefore = slotCount;
    evictThreshold = EvictOlderThan(nextEvictThreshold(currentFrame, evictThreshold));
    *target = slotCount;
    // Slots whose ages no threshold reaches (idle for more than 2^31 frames
    // look like the future) would keep the loop going forever.
    return !(slotCount == slotsBefore && ++*fruitlessPasses > 2);
}

void kxCache::FillSlot(int target, TextureRecord* record, int32_t textureName, uint32_t sizeCode,
                       uint32_t mapType) {
    TextureSlot& slot = slots[target];
    slot.record = record;
    slot.textureName = textureName;
    slot.lastUsedFrame = currentFrame;
    slot.sizeCode = sizeCode;
    slot.mapType = mapType;
    slot.keptForFrame = 0;
    slotRecords[target] = record;
    if (target == slotCount) ++slotCount;
}

int kxCache::FindReusableSlot(uint32_t sizeCode, uint32_t mapType, int32_t* oldest) {
    // Ages of currentFrame + 1: older than nothing.
    int32_t oldestAge = -1, bestAge = -1;
    int candidate = -1;
    for (int i = 0; i < slotCount; ++i) {
        if (Kept(i)) continue; // not to be evicted: its age does not count
        const int32_t age = frameAge(currentFrame, slots[i].lastUsedFrame);
        if (age > oldestAge) oldestAge = age;
        if (slots[i].sizeCode == sizeCode && slots[i].mapType == mapType && age > bestAge) {
            candidate = i;
            bestAge = age;
        }
    }
    if (oldest) *oldest = frameOffset(currentFrame, -oldestAge);
    return candidate;
}

int32_t kxCache::EvictOlderThan(int32_t threshold) {
    if (slotCount < 1) {
        slotCount = 0;
        return currentFrame;
    }
    const int32_t thresholdAge = frameAge(currentFrame, threshold);
    int32_t oldestAge = 0;
    int kept = 0;
    for (int i = 0; i < slotCount; ++i) {
        const int32_t age = frameAge(currentFrame, slots[i].lastUsedFrame);
        if (Kept(i) || age <= thresholdAge) {
            // The open frame's textures survive whatever their age, which
            // then does not count: the next threshold is the others'.
            if (!Kept(i) && age > oldestAge) oldestAge = age;
            slots[kept] = slots[i];
            slotRecords[kept] = slotRecords[i];
            ++kept;
        } else {
            DeleteTexture(slots[i].textureName);
        }
    }
    slotCount = kept;
    return frameOffset(currentFrame, -oldestAge);
}

int32_t kxCache::RefreshTexture(TextureRecord* record, int32_t textureName, const void* pixels) {
    int32_t side;
    uint32_t sizeCode;
    ChooseTextureSize(record->width, record->height, &side, &side, &sizeCode);
    sgl_intermediate_map map = intermediateMap(side, convertBuffer);
    record->pixels = pixels;
    if (!isConvertibleTexture(record)) return kUploadRefused;
    uint32_t unusedMapType;
    ConvertTexture(record, convertBuffer, side, side, &unusedMapType);
    return sgl_set_texture(textureName, 0, 1, &map, nullptr);
}

void kxCache::ModifyTexture(TextureRecord* record, const void* pixels) {
    int i = 0;
    while (i < slotCount && slotRecords[i] != record)
        ++i;
    if (i == slotCount) return;
    record->pixels = pixels;
    if (RefreshTexture(record, slots[i].textureName, pixels) < 0) {
        // The old slot goes with its texture; the upload gives the record a
        // new one, and no slot is left naming the deleted texture.
        DeleteTexture(slots[i].textureName);
        RemoveSlot(i);
        if (UploadTexture(record, 1) < 0)
            kxPrint("kxCache::ModifyTexture: could not update texture!\n");
    }
}

void kxCache::UnloadTexture(TextureRecord* record) {
    int kept = 0;
    for (int i = 0; i < slotCount; ++i) {
        if (slotRecords[i] == record) {
            DeleteTexture(slots[i].textureName);
        } else {
            slots[kept] = slots[i];
            slotRecords[kept] = slotRecords[i];
            ++kept;
        }
    }
    slotCount = kept;
    // The record's memory is about to be freed; a new record at its address
    // must not be answered from the memo.
    if (record == lastRecord) {
        lastRecord = nullptr;
        lastHandle = -1;
    }
}

void kxCache::LoadPalette(const uint32_t* palette) {
    if (!palette) return;
    ConvertPalette(globalPalette, palette);
    for (int i = 0; i < slotCount; ++i) {
        TextureRecord* record = slotRecords[i];
        if (!record->palette) RefreshTexture(record, slots[i].textureName, record->pixels);
    }
}

int32_t kxCache::ResidentName(const TextureRecord* record) const {
    for (int i = 0; i < slotCount; ++i)
        if (slotRecords[i] == record) return slots[i].textureName;
    return -1;
}
