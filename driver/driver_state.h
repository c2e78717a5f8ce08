// Module state of the driver: lifecycle, render context and states, frame
// cycle, texture selection and the screen palette. All of it is static
// storage, zero when the library is loaded. Only driver/ (and tests) see it;
// the subsystems below are handed what they need.
#pragma once

#include <cstdint>

#include "blit/blit.h"
#include "platform/sgl.h"
#include "platform/win32.h"

struct TextureRecord;

// Lifecycle.
extern int driverInitialised;
// The display's pixel format as the last Init learnt it; its converter is
// null before the first Init. The blits and the read-back are handed it.
extern ScreenPixelFormat screenFormat;
extern HWND hostWindow;
extern int32_t sglDevice;
extern int32_t screenWidth, screenHeight;
// Ends the session a copy of the driver freed without Shutdown left in this
// process, if any (left_session.cpp); Init calls it first.
void endLeftSession();

// Render context and render states.
extern SGLCONTEXT sglContext;
extern int32_t alphaBlendMode;
extern int32_t chromaKeyMode;
extern uint32_t chromaKeyColour;
extern uint16_t chromaKeyScreenColour;
// 1 while the blits are keyed (ssChromaKey mode 1); Init and mode 0 clear it.
extern int keyedBlits;
extern TextureRecord* currentTexture;

// The global palette in the display's 16-bit format, for 8-bit images that
// bring no palette of their own; zero until the first LoadPalette.
extern uint16_t screenPalette[256];
// Makes screenPalette from the last global palette in the display's current
// format; Init calls it once the format is known.
void rebuildScreenPalette();

// Frame cycle. frameCounter is unsigned so that its wrap is defined; the
// texture cache measures ages as wrapping differences of it.
extern uint32_t frameCounter;
extern int sceneRendered;
// The back buffer as the render callback last handed it to SGL; valid while
// that address designates the current back buffer (cleared when a frame
// starts rendering, by a flip, by a lost chain and by Shutdown). Blits write
// nothing while it is not valid.
extern RenderTarget renderTarget;
extern int32_t sglAddressStatus;

void pvr_InitContext();
int pvr_StartOfFrame();
int pvr_RenderScene();
int SGL_CALL pvr_RenderCallback(AddressCallbackParams* params);
int SGL_CALL pvr_EndOfRenderCallback(void);

// The render step the blits share: renders the frame's scene once (the first
// blit of a frame); renderTarget is then valid while the back buffer may be
// written.
void renderSceneForBlit();
