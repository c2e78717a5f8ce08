// The driver's 28 exports, in the order of its export list, as an X-macro:
// the one list the hosts resolve by name.
#pragma once

// Every export, in the order of the driver's export list.
#define KX_ENTRY_POINTS(X)                                                                         \
    X(GetGuid)                                                                                     \
    X(GetID)                                                                                       \
    X(Detect)                                                                                      \
    X(Init)                                                                                        \
    X(Shutdown)                                                                                    \
    X(Pause)                                                                                       \
    X(Restore)                                                                                     \
    X(ChangeResolution)                                                                            \
    X(ssAlphaBlend)                                                                                \
    X(ssChromaKey)                                                                                 \
    X(ssTexture)                                                                                   \
    X(ssZBuffer)                                                                                   \
    X(ssZBufferCompareMode)                                                                        \
    X(PushState)                                                                                   \
    X(PopState)                                                                                    \
    X(WaitForIdle)                                                                                 \
    X(PageFlip)                                                                                    \
    X(DrawPrimitive)                                                                               \
    X(LoadTexture)                                                                                 \
    X(UnloadTexture)                                                                               \
    X(ResetTextures)                                                                               \
    X(SelectTexture)                                                                               \
    X(ModifyTexture)                                                                               \
    X(LoadPalette)                                                                                 \
    X(BltToCard)                                                                                   \
    X(StretchBltToCard)                                                                            \
    X(BltFromCard)                                                                                 \
    X(BltFromCardToCard)
