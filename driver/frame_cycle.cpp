// The frame cycle: opening, rendering and flipping frames, and the two
// callbacks through which SGL reaches the driver during a render.
#include "api/kxapi.h"
#include "blit/pixel_format.h"
#include "diag/diag.h"
#include "display/display.h"
#include "driver/driver_state.h"
#include "texture/texture.h"

uint32_t frameCounter;
int sceneRendered;
RenderTarget renderTarget;
int32_t sglAddressStatus;

static const uint32_t kWaitForever = 0xFFFFFFFFu;

int pvr_StartOfFrame() {
    textureCache.OpenFrame();
    return sgltri_startofframe(&sglContext);
}

int pvr_RenderScene() {
    // The callback marks the target valid again if it learns the address.
    renderTarget.valid = 0;
    sgltri_render(&sglContext);
    return sgltri_isrendercomplete(&sglContext, kWaitForever);
}

void renderSceneForBlit() {
    if (!driverInitialised) return;
    if (!sceneRendered) {
        sceneRendered = 1;
        pvr_RenderScene();
    }
    // A chain lost since the render (the player switched away between two
    // blits) holds memory that may no longer be the back buffer.
    if (renderTarget.valid && ddBackBufferLost()) renderTarget.valid = 0;
}

KXAPI int KX_CDECL WaitForIdle(void) {
    if (!driverInitialised) return 0;
    return sgltri_isrendercomplete(&sglContext, kWaitForever);
}

KXAPI int KX_CDECL PageFlip(void) {
    if (!driverInitialised) return 0;
    if (!sceneRendered) pvr_RenderScene();
    ddFlip();
    // After the flip the remembered address shows on screen: no blit may use it.
    renderTarget.valid = 0;
    sceneRendered = 0;
    frameCounter++;
    return pvr_StartOfFrame();
}

int SGL_CALL pvr_RenderCallback(AddressCallbackParams* params) {
    uint8_t* address = nullptr;
    uint16_t pitch = 0;
    if (!ddGetWindowInfo(hostWindow, &address, &pitch)) {
        kxPrint("pvr_RenderCallback, ddGetWindowInfo failed\n");
        return 0;
    }
    renderTarget = {address, pitch, kDisplayWidth, kDisplayHeight, 1};
    params->address = address;
    params->stride = pitch;
    params->bitsPerPixel = static_cast<uint8_t>(ddGetBitsPerPixel());
    ddUnlockBackBuffer();
    // The accelerator draws the render area only: the rest of the back
    // buffer would show what an earlier frame, a larger area or a blit left.
    ddClearBackBufferOutside(screenWidth, screenHeight);
    return 0;
}

int SGL_CALL pvr_EndOfRenderCallback(void) {
    return 0;
}
