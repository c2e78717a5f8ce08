// Host texture records (the record itself is the interface's, in
// api/kxapi_records.h), their table, and the one texture cache that decides
// which textures live in the accelerator's memory.
#pragma once

#include <cstdint>

#include "api/kxapi_records.h"
#include "platform/sgl.h"

// The table holds at most this many records.
constexpr int kTextureTableSize = 1024;

// A new record appended to the table; null (with a message) when the table
// is full or the record cannot be allocated.
TextureRecord* addTextureRecord(const void* pixels, int32_t width, int32_t height,
                                uint32_t hostValue4, uint32_t format, uint32_t hostValue6,
                                const uint32_t* palette);
// Index of the record in the table, or -1.
int32_t findTextureRecord(const TextureRecord* record);
// Frees the record at that index; the later ones move down, keeping order.
void removeTextureRecord(int32_t index);
// Frees every record; the table is empty afterwards.
void freeTextureRecords();

// True when the record is one of the live records of the table.
bool isLiveTexture(const TextureRecord* record);

#include "texture/texture_test_control.h"

struct TextureSlot {
    TextureRecord* record;
    int32_t textureName;
    int32_t lastUsedFrame;
    uint32_t sizeCode;
    uint32_t mapType;
    // The open frame's number (kxCache::OpenFrame) while a primitive queued
    // in it uses the texture: such a texture is not evicted.
    uint32_t keptForFrame;
};

constexpr int kCacheSlots = 256;
// Result of an upload refused before SGL was asked: the record has no image
// that can be converted (no pixels, no size, or an unknown format).
constexpr int32_t kUploadRefused = -1;

class kxCache {
  public:
    void Init();
    void Reset();
    void SetChromaKey(uint32_t mode, uint32_t colour);
    int32_t GetTextureHandle(TextureRecord* record, int32_t frame);
    void ModifyTexture(TextureRecord* record, const void* pixels);
    void UnloadTexture(TextureRecord* record);
    void LoadPalette(const uint32_t* palette);

    // The accelerator draws a frame's primitives when the frame is rendered:
    // until the next frame opens, the eviction leaves every texture that a
    // queued primitive uses alone (an upload that would need one fails).
    void OpenFrame();
    void KeepForOpenFrame(int32_t textureName);

    static void ChooseTextureSize(int32_t width, int32_t height, int32_t* sideX, int32_t* sideY,
                                  uint32_t* sizeCode);
    static void ScaleTexels(uint32_t* destination, int32_t destinationWidth,
                            int32_t destinationHeight, int32_t destinationPitch,
                            const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
                            int32_t sourcePitch);

    // The name of the record's texture if it is resident, else -1; no
    // upload, no stamp, the memo untouched.
    int32_t ResidentName(const TextureRecord* record) const;
    // The names of the SGL textures the cache holds, into `names` (room for
    // kCacheSlots); their count.
    int TextureNames(int32_t* names) const;
    // The record the last selection named (the memo), for the driver.
    const TextureRecord* LastRecord() const { return lastRecord; }

  private:
    // Fields, in order.
    uint32_t convertBuffer[256 * 256];
    uint32_t scratchBuffer[256 * 256];
    uint32_t globalPalette[256];
    TextureRecord* lastRecord;
    uint32_t keyMode;
    uint32_t keyColour;
    int32_t evictThreshold;
    int32_t slotCount;
    int32_t currentFrame;
    int32_t lastHandle;
    TextureSlot slots[kCacheSlots];
    TextureRecord* slotRecords[kCacheSlots];
    uint32_t openFrame; // never 0, the number of no frame
    int32_t keptName;   // the name KeepForOpenFrame marked last in this frame, or -1

    int32_t UploadTexture(TextureRecord* record, int allowEviction);
    bool EvictForKind(uint32_t sizeCode, uint32_t mapType, int* target);
    bool EvictByAge(int* target, int* fruitlessPasses);
    void FillSlot(int target, TextureRecord* record, int32_t textureName, uint32_t sizeCode,
                  uint32_t mapType);
    int32_t RefreshTexture(TextureRecord* record, int32_t textureName, const void* pixels);
    int FindReusableSlot(uint32_t sizeCode, uint32_t mapType, int32_t* oldest);
    int32_t EvictOlderThan(int32_t threshold);
    static uint32_t HighestPowerOfTwo(uint32_t value);
    void ConvertTexture(TextureRecord* record, uint32_t* destination, int32_t textureWidth,
                        int32_t textureHeight, uint32_t* mapType);
    void ConvertPalette(uint32_t* destination, const uint32_t* source);
    int32_t CreateTexture(uint32_t mapType, uint32_t sizeCode, sgl_intermediate_map* map,
                          int target);
    void DeleteTexture(int32_t textureName);
    void RemoveSlot(int index);
    bool Kept(int index) const { return slots[index].keptForFrame == openFrame; }
    void ConvertPixels(const TextureRecord* record, const uint32_t* palette, uint32_t* destination,
                       int32_t textureWidth, int32_t textureHeight);
};

extern kxCache textureCache;
