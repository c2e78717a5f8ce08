// The six texture entry points: records through the texture table, residency
// through the one texture cache, and the selected texture in the render
// context. The context never names a texture the cache has deleted.
#include <cstring>

#include "api/kxapi.h"
#include "blit/pixel_format.h"
#include "diag/diag.h"
#include "driver/driver_state.h"
#include "texture/texture.h"

uint16_t screenPalette[256];

// Texturing with the given SGL name, or untextured (flag clear, name 0) when
// the texture has no name: it could not be made resident or is gone.
static void useTextureName(int32_t name) {
    if (name < 0) {
        sglContext.flags &= ~SGLTT_TEXTURE;
        sglContext.textureName = 0;
    } else {
        sglContext.flags |= SGLTT_TEXTURE;
        sglContext.textureName = name;
    }
}

KXAPI TextureRecord* KX_CDECL LoadTexture(const void* pixels, int32_t width, int32_t height,
                                          uint32_t hostValue4, uint32_t format, uint32_t hostValue6,
                                          const uint32_t* palette) {
    return addTextureRecord(pixels, width, height, hostValue4, format, hostValue6, palette);
}

KXAPI void KX_CDECL UnloadTexture(TextureRecord* record) {
    int32_t index = findTextureRecord(record);
    if (index < 0) return;
    textureCache.UnloadTexture(record);
    // The next primitives are drawn without it.
    if (currentTexture == record) currentTexture = nullptr;
    removeTextureRecord(index);
}

KXAPI void KX_CDECL ResetTextures(void) {
    textureCache.Reset();
    freeTextureRecords();
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
    if (record != textureCache.LastRecord() && !isLiveTexture(record)) {
        kxPrint("SelectTexture: not a loaded texture\n");
        currentTexture = nullptr;
        return;
    }
    useTextureName(textureCache.GetTextureHandle(record, static_cast<int32_t>(frameCounter)));
}

// A handle that is not loaded is never resident: the cache finds no slot for
// it and reads nothing through it.
KXAPI void KX_CDECL ModifyTexture(TextureRecord* record, const void* pixels) {
    // No new image: the resident texture stays as it is rather than being
    // deleted for a conversion that cannot run.
    if (!pixels) return;
    textureCache.ModifyTexture(record, pixels);
    // A failed update re-uploads the record under a new name, and its upload
    // may evict the selected texture: the context follows.
    if (currentTexture) useTextureName(textureCache.ResidentName(currentTexture));
}

// The host's global palette as last loaded, so that a start (the first, or
// one on another display format) can make the screen palette from it.
static uint32_t hostPalette[256];

void rebuildScreenPalette() {
    // Before the first start there is no display format to convert into.
    ColourConverter convert = screenFormat.screenColourConverter;
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
