// The frame cycle: opening, rendering and flipping frames, and the two
// callbacks through which SGL reaches the driver during a render.
#include "blit/pixel_format.h"
#include "display/display.h"
#include "driver/diag.h"
#include "driver/driver_state.h"
#include "driver/kxapi.h"

uint32_t frameCounter;
int sceneRendered;
uint8_t* renderTargetAddress;
uint16_t renderTargetPitch;
int renderTargetValid;
int32_t sglAddressStatus;

static const uint32_t kWaitForever = 0xFFFFFFFFu;

int pvr_StartOfFrame() {
    return sgltri_startofframe(&sglContext);
}

int pvr_RenderScene() {
    // The callback marks the target valid again if it learns the address.
    renderTargetValid = 0;
    sgltri_render(&sglContext);
    return sgltri_isrendercomplete(&sglContext, kWaitForever);
}

int renderSceneForBlit() {
    if (!driverInitialised) return 0;
    if (!sceneRendered) {
        sceneRendered = 1;
        pvr_RenderScene();
    }
    return renderTargetValid;
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
    renderTargetValid = 0;
    sceneRendered = 0;
    frameCounter++;
    return pvr_StartOfFrame();
}

int SGL_CALL pvr_RenderCallback(AddressCallbackParams* params) {
    if (!ddGetWindowInfo(hostWindow, &renderTargetAddress, &renderTargetPitch)) {
        kxPrint("pvr_RenderCallback, ddGetWindowInfo failed\n");
        return 0;
    }
    params->address = renderTargetAddress;
    params->stride = renderTargetPitch;
    params->bitsPerPixel = static_cast<uint8_t>(ddGetBitsPerPixel());
    renderTargetValid = 1;
    ddUnlockBackBuffer();
    return 0;
}

int SGL_CALL pvr_EndOfRenderCallback(void) {
    return 0;
}
