// Module state of the driver interface and frame cycle, shared with the
// texture, blit and display subsystems. All of it is static storage, zero
// when the library is loaded.
#pragma once

#include <cstdint>

#include "platform/sgl.h"
#include "platform/win32.h"

struct TextureRecord;

// Lifecycle.
extern int driverInitialised;
extern HWND hostWindow;
extern int32_t sglDevice;
extern int32_t screenWidth, screenHeight;

// Render context and render states.
extern SGLCONTEXT sglContext;
extern int32_t alphaBlendMode;
extern int32_t chromaKeyMode;
extern uint32_t chromaKeyColour;
extern uint16_t chromaKeyScreenColour;
extern TextureRecord* currentTexture;

// Frame cycle. frameCounter is unsigned so that its wrap is defined; the
// texture cache measures ages as wrapping differences of it.
extern uint32_t frameCounter;
extern int sceneRendered;
extern uint8_t* renderTargetAddress;
extern uint16_t renderTargetPitch;
// 1 while renderTargetAddress designates the current back buffer: set by the
// render callback, cleared when a frame starts rendering, by a flip and by
// Shutdown. Blits write nothing while it is 0.
extern int renderTargetValid;
extern int32_t sglAddressStatus;

void pvr_InitContext();
int pvr_StartOfFrame();
int pvr_RenderScene();
int SGL_CALL pvr_RenderCallback(AddressCallbackParams* params);
int SGL_CALL pvr_EndOfRenderCallback(void);

// The render step the blits share: renders the frame's scene once (the first
// blit of a frame), then answers whether the back buffer may be written.
int renderSceneForBlit();
