// The SGL render context and the host's render-state entry points.
#include <cstring>

#include "api/kxapi.h"
#include "blit/pixel_format.h"
#include "diag/diag.h"
#include "driver/driver_state.h"
#include "texture/texture.h"

SGLCONTEXT sglContext;
int32_t alphaBlendMode;
int32_t chromaKeyMode;
uint32_t chromaKeyColour;
uint16_t chromaKeyScreenColour;
int keyedBlits;
TextureRecord* currentTexture;

void pvr_InitContext() {
    std::memset(&sglContext, 0, sizeof sglContext);
    sglContext.fogRed = 0.3f;
    sglContext.fogGreen = 0.3f;
    sglContext.fogBlue = 0.3f;
    sglContext.fogDensity = 5;
    sglContext.flags = SGLTT_DEFAULT_FLAGS;
    sglContextWord(sglContext, 9) = 1;
    sglContextWord(sglContext, 17) = 1;
    sglContextWord(sglContext, 24) = 255;
    sglContextWord(sglContext, 27) = 2;
}

KXAPI void KX_CDECL ssAlphaBlend(int32_t mode) {
    alphaBlendMode = mode;
    if (mode == 0) {
        sglContext.flags |= SGLTT_NOBLEND;
        sglContext.flags &= ~SGLTT_VERTEXTRANS;
    } else if (mode == 1) {
        sglContext.flags &= ~SGLTT_NOBLEND;
        sglContext.flags |= SGLTT_VERTEXTRANS;
    }
}

KXAPI void KX_CDECL ssChromaKey(int32_t mode, uint32_t colour) {
    chromaKeyMode = mode;
    chromaKeyColour = colour;
    // Before the first start there is no display format to convert into;
    // Init converts the stored key then.
    if (screenFormat.screenColourConverter)
        screenFormat.screenColourConverter(&chromaKeyScreenColour, &chromaKeyColour);
    textureCache.SetChromaKey(static_cast<uint32_t>(mode), colour);
    // Other modes keep the blits as they are.
    if (mode == 1 || mode == 0) keyedBlits = mode;
}

KXAPI void KX_CDECL ssTexture(int32_t) {}

KXAPI void KX_CDECL ssZBuffer(int32_t) {}

KXAPI int KX_CDECL ssZBufferCompareMode(int32_t) {
    kxPrint("ssZBufferCompareMode called: No effect\n");
    return 0;
}

KXAPI void KX_CDECL PushState(void) {}

KXAPI void KX_CDECL PopState(void) {}
