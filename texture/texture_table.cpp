// Host texture records, their table, and the six texture entry points.
#include <cstdlib>
#include <cstring>

#include "blit/pixel_format.h"
#include "driver/diag.h"
#include "driver/driver_state.h"
#include "driver/kxapi.h"
#include "texture/texture.h"

TextureRecord* textureTable[kTextureTableSize];
int32_t textureCount;
uint16_t screenPalette[256];

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

bool isLiveTexture(const TextureRecord* record) {
    for (int32_t i = 0; i < textureCount; ++i)
        if (textureTable[i] == record) return true;
    return false;
}

KXAPI TextureRecord* KX_CDECL LoadTexture(const void* pixels, int32_t width, int32_t height,
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

KXAPI void KX_CDECL UnloadTexture(TextureRecord* record) {
    int32_t i = 0;
    while (i < textureCount && textureTable[i] != record)
        ++i;
    if (i == textureCount) return;
    textureCache.UnloadTexture(record);
    // The next primitives are drawn without it.
    if (currentTexture == record) currentTexture = nullptr;
    std::free(record);
    for (; i + 1 < textureCount; ++i)
        textureTable[i] = textureTable[i + 1];
    --textureCount;
}

KXAPI void KX_CDECL ResetTextures(void) {
    textureCache.Reset();
    for (int32_t i = 0; i < textureCount; ++i)
        std::free(textureTable[i]);
    textureCount = 0;
    currentTexture = nullptr;
}

KXAPI void KX_CDECL SelectTexture(TextureRecord* record) {
    currentTexture = record;
    if (!record) return;
    // Without a started driver there is no cache to make the texture
    // resident in; the selection is dropped.
    if (!driverInitialised) {
        kxPrint("SelectTexture: driver not initialised\n");
        currentTexture = nullptr;
        return;
    }
    // The memo's record is live (the cache forgets records as they go);
    // any other handle is checked against the table before it is read.
    if (record != textureCache.lastRecord && !isLiveTexture(record)) {
        kxPrint("SelectTexture: not a loaded texture\n");
        currentTexture = nullptr;
        return;
    }
    int32_t name = textureCache.GetTextureHandle(record, static_cast<int32_t>(frameCounter));
    sglContext.flags |= SGLTT_TEXTURE;
    sglContext.textureName = name;
}

// A handle that is not loaded is never resident: the cache finds no slot for
// it and reads nothing through it.
KXAPI void KX_CDECL ModifyTexture(TextureRecord* record, const void* pixels) {
    // No new image: the resident texture stays as it is rather than being
    // deleted for a conversion that cannot run.
    if (!pixels) return;
    textureCache.ModifyTexture(record, pixels);
}

// The host's global palette as last loaded, so that a start (the first, or
// one on another display format) can make the screen palette from it.
static uint32_t hostPalette[256];

void rebuildScreenPalette() {
    // Before the first start there is no display format to convert into.
    ColourConverter convert = screenPixelFormat.screenColourConverter;
    if (!convert) return;
    for (int i = 0; i < 256; ++i)
        convert(&screenPalette[i], &hostPalette[i]);
}

KXAPI void KX_CDECL LoadPalette(const uint32_t* palette) {
    if (!palette) return;
    textureCache.LoadPalette(palette);
    std::memcpy(hostPalette, palette, sizeof hostPalette);
    rebuildScreenPalette();
}
