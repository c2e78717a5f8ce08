// The image transfer entry points: host images into the frame's back buffer
// (BltToCard, StretchBltToCard) and the screen back into the host's memory
// (BltFromCard). The blits and the read-back are handed the surface, the key
// colour and the screen palette.
#include "api/kxapi.h"
#include "blit/blit.h"
#include "diag/diag.h"
#include "display/display.h"
#include "driver/driver_state.h"

// Both blits render the frame's scene first (once per frame), so the image
// lies over it. Without a valid back buffer (before Init, when the render
// could not learn its address, on a lost chain) they draw nothing, but still
// name a format they cannot draw; either way the host is told 1.
KXAPI int KX_CDECL BltToCard(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                             int32_t height, int32_t sourcePitch, uint32_t format,
                             const uint32_t* palette) {
    renderSceneForBlit();
    if (keyedBlits)
        bltC(renderTarget, screenFormat, screenPalette, chromaKeyScreenColour, source, x, y, width,
             height, sourcePitch, format, palette);
    else
        blt(renderTarget, screenFormat, screenPalette, source, x, y, width, height, sourcePitch,
            format, palette);
    return 1;
}

KXAPI int KX_CDECL StretchBltToCard(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                                    int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                                    int32_t sourcePitch, uint32_t format, const uint32_t* palette) {
    renderSceneForBlit();
    if (keyedBlits)
        stBltC(renderTarget, screenFormat, screenPalette, chromaKeyScreenColour, x, y, width,
               height, source, sourceWidth, sourceHeight, sourcePitch, format, palette);
    else
        stBlt(renderTarget, screenFormat, screenPalette, x, y, width, height, source, sourceWidth,
              sourceHeight, sourcePitch, format, palette);
    return 1;
}

// Reads what the front buffer shows; returns 0, copying nothing, when there
// is no front buffer or it cannot be locked.
KXAPI int KX_CDECL BltFromCard(uint8_t* destination, int32_t, int32_t, int32_t width,
                               int32_t height, int32_t destinationPitch, uint32_t format) {
    if (!ddHasFrontBuffer()) return 0;
    void* address = nullptr;
    int32_t pitch = 0;
    if (!ddLockFrontBuffer(&address, &pitch)) return 0;
    const RenderTarget screen = {static_cast<uint8_t*>(address), pitch, kDisplayWidth,
                                 kDisplayHeight, 1};
    readBack(screen, destination, width, height, destinationPitch, format, screenFormat);
    ddUnlockFrontBuffer();
    return 1;
}

KXAPI int KX_CDECL BltFromCardToCard(void) {
    kxPrint("BltFromCardToCard not yet implemented\n");
    return 0;
}
