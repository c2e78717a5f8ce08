// Host texture records and their table.
#include <cstdlib>

#include "diag/diag.h"
#include "texture/texture_local.h"

TextureRecord* textureTable[kTextureTableSize];
int32_t textureCount;

static int allocationsBeforeFailure; // 0: allocations never fail on purpose

void kxSetRecordAllocationFailure(int fromCall) {
    allocationsBeforeFailure = fromCall;
}

// The one place records are allocated; a test can make it fail.
static TextureRecord* allocateRecord() {
    if (allocationsBeforeFailure > 0 && --allocationsBeforeFailure == 0) {
        allocationsBeforeFailure = 1; // and every one after it
        return nullptr;
    }
    return static_cast<TextureRecord*>(std::malloc(sizeof(TextureRecord)));
}

TextureRecord* addTextureRecord(const void* pixels, int32_t width, int32_t height,
                                uint32_t hostValue4, uint32_t format, uint32_t hostValue6,
                                const uint32_t* palette) {
    if (textureCount >= kTextureTableSize) {
        kxPrint("LoadTexture: texture table full\n");
        return nullptr;
    }
    TextureRecord* record = allocateRecord();
    if (!record) {
        kxPrint("LoadTexture: out of memory\n");
        return nullptr;
    }
    record->width = width;
    record->height = height;
    record->hostValue4 = hostValue4;
    record->hostValue6 = hostValue6;
    record->format = format;
    record->palette = palette;
    record->pixels = pixels;
    record->translucency = -1;
    textureTable[textureCount++] = record;
    return record;
}

int32_t findTextureRecord(const TextureRecord* record) {
    for (int32_t i = 0; i < textureCount; ++i)
        if (textureTable[i] == record) return i;
    return -1;
}

bool isLiveTexture(const TextureRecord* record) {
    return findTextureRecord(record) >= 0;
}

void removeTextureRecord(int32_t index) {
    std::free(textureTable[index]);
    for (int32_t i = index; i + 1 < textureCount; ++i)
        textureTable[i] = textureTable[i + 1];
    --textureCount;
}

void freeTextureRecords() {
    for (int32_t i = 0; i < textureCount; ++i)
        std::free(textureTable[i]);
    textureCount = 0;
}
