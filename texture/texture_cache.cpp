// The texture cache: which host textures are resident in SGL's texture
// memory, their lookup by record, their upload with eviction by age, and
// their re-conversion in place.
//
// Frame numbers come from an unsigned counter that wraps; the cache keeps
// them as int32 and compares them only through ages, wrapping differences
// from currentFrame, so eviction is the same on both sides of the wrap.
#include "diag/diag.h"
#include "texture/texture_local.h"

kxCache textureCache;

static int32_t frameAge(int32_t now, int32_t then) {
    return static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(then));
}

static int32_t frameOffset(int32_t frame, int32_t delta) {
    return static_cast<int32_t>(static_cast<uint32_t>(frame) + static_cast<uint32_t>(delta));
}

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
        bool ageStep = pass > 0;
        if (pass == 0) {
            int32_t oldest;
            int candidate = FindReusableSlot(sizeCode, mapType, &oldest);
            evictThreshold = oldest;
            if (candidate >= 0) {
                int32_t candidateAge = frameAge(currentFrame, slots[candidate].lastUsedFrame);
                int32_t oldestAge = frameAge(currentFrame, evictThreshold);
                if (candidateAge < 5 && oldestAge > 5) {
                    if (candidateAge > 1)
                        slots[candidate].lastUsedFrame = frameOffset(currentFrame, -10);
                    evictThreshold = EvictOlderThan(frameOffset(currentFrame, -4));
                    target = slotCount;
                } else {
                    DeleteTexture(slots[candidate].textureName);
                    slots[candidate].textureName = -1;
                    target = candidate;
                }
            } else {
                ageStep = true;
            }
        }
        if (ageStep) {
            // A candidate emptied in pass 0 that did not get the texture.
            if (target != slotCount) RemoveSlot(target);
            target = slotCount;
            // Nothing left to evict (the open frame's textures stay) and SGL
            // still has no room: give up.
            int evictable = 0;
            for (int i = 0; i < slotCount; ++i)
                evictable += !Kept(i);
            if (evictable == 0) break;
            const int32_t age = frameAge(currentFrame, evictThreshold);
            if (age > 100)
                evictThreshold = frameOffset(evictThreshold, static_cast<int32_t>(age * 0.1));
            if (age > 10)
                evictThreshold = frameOffset(evictThreshold, static_cast<int32_t>(age * 0.5));
            else if (age > 1)
                evictThreshold = frameOffset(currentFrame, -1);
            else if (age == 1)
                evictThreshold = currentFrame;
            else
                evictThreshold = frameOffset(currentFrame, 10);
            const int32_t slotsBefore = slotCount;
            evictThreshold = EvictOlderThan(evictThreshold);
            target = slotCount;
            // Slots whose ages no threshold reaches (idle for more than 2^31
            // frames look like the future) would keep the loop going forever.
            if (slotCount == slotsBefore && ++fruitlessPasses > 2) break;
        }
        result = CreateTexture(mapType, sizeCode, &map, target);
    }
    if (result < 0) {
        if (target != slotCount) RemoveSlot(target);
        kxPrint("kxCache::UploadTexture: texture creation error!!\n");
        return result;
    }
    TextureSlot& slot = slots[target];
    slot.record = record;
    slot.textureName = result;
    slot.lastUsedFrame = currentFrame;
    slot.sizeCode = sizeCode;
    slot.mapType = mapType;
    slot.keptForFrame = 0;
    slotRecords[target] = record;
    if (target == slotCount) ++slotCount;
    return result;
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
