// The driver's interface as a host engine sees it: the 28 exported entry
// points, plain C functions with their arguments on the stack, found by name
// (driver/exports.txt lists them), and the records they exchange
// (kxapi_records.h). A host or tool includes this header and nothing of the
// driver's own folders.
#pragma once

#include <cstdint>

#include "api/kxapi_records.h"
#include "platform/callconv.h"

#if defined(KX_BUILDING_DRIVER)
#define KXAPI extern "C" KX_DLLEXPORT
#else
#define KXAPI extern "C"
#endif

struct GUID;

KXAPI const GUID* KX_CDECL GetGuid(void);
KXAPI const char* KX_CDECL GetID(void);
KXAPI int KX_CDECL Detect(void);
KXAPI int KX_CDECL Init(void);
KXAPI void KX_CDECL Shutdown(void);
KXAPI int KX_CDECL Pause(void);
KXAPI int KX_CDECL Restore(void);
KXAPI int KX_CDECL ChangeResolution(int32_t mode);

KXAPI void KX_CDECL ssAlphaBlend(int32_t mode);
KXAPI void KX_CDECL ssChromaKey(int32_t mode, uint32_t colour);
KXAPI void KX_CDECL ssTexture(int32_t unused);
KXAPI void KX_CDECL ssZBuffer(int32_t unused);
KXAPI int KX_CDECL ssZBufferCompareMode(int32_t unused);
KXAPI void KX_CDECL PushState(void);
KXAPI void KX_CDECL PopState(void);

KXAPI int KX_CDECL WaitForIdle(void);
KXAPI int KX_CDECL PageFlip(void);

KXAPI void KX_CDECL DrawPrimitive(const HostVertex* vertices, int32_t count);

KXAPI TextureRecord* KX_CDECL LoadTexture(const void* pixels, int32_t width, int32_t height,
                                          uint32_t hostValue4, uint32_t format, uint32_t hostValue6,
                                          const uint32_t* palette);
KXAPI void KX_CDECL UnloadTexture(TextureRecord* record);
KXAPI void KX_CDECL ResetTextures(void);
KXAPI void KX_CDECL SelectTexture(TextureRecord* record);
KXAPI void KX_CDECL ModifyTexture(TextureRecord* record, const void* pixels);
KXAPI void KX_CDECL LoadPalette(const uint32_t* palette);

KXAPI int KX_CDECL BltToCard(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                             int32_t height, int32_t sourcePitch, uint32_t format,
                             const uint32_t* palette);
KXAPI int KX_CDECL StretchBltToCard(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                                    int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                                    int32_t sourcePitch, uint32_t format, const uint32_t* palette);
KXAPI int KX_CDECL BltFromCard(uint8_t* destination, int32_t unused2, int32_t unused3,
                               int32_t width, int32_t height, int32_t destinationPitch,
                               uint32_t format);
KXAPI int KX_CDECL BltFromCardToCard(void);
