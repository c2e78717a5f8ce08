// The driver's 28 entry points as a table of function pointers: what a host
// holds once it has found every export by name.
#pragma once

#include "driver/kxapi.h"

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

struct KxEntryPoints {
#define KX_MEMBER(name) decltype(&::name) name = nullptr;
    KX_ENTRY_POINTS(KX_MEMBER)
#undef KX_MEMBER
};

constexpr int kEntryPointCount = 28;
