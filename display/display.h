// The DirectDraw display layer: loading, start-up and shut-down, the display
// surfaces, and the DirectDraw diagnostics.
#pragma once

#include <cstdint>

#include "api/kxapi_records.h"
#include "platform/directdraw.h"

// Size of the display mode and of every surface of the flipping chain: the
// screen of the interface.
constexpr int kDisplayWidth = kxScreenWidth;
constexpr int kDisplayHeight = kxScreenHeight;
constexpr int kDisplayBitsPerPixel = 16;

// Module state of the layer.
extern HMODULE hDDrawLibrary;
extern DirectDrawCreateFn pfnDirectDrawCreate;
extern IDirectDraw* pDirectDraw;
extern IDirectDrawSurface* pFrontBuffer;
extern IDirectDrawSurface* pBackBuffer;
extern int32_t backBufferPitch;
extern DDPIXELFORMAT primaryPixelFormat;
extern DDCAPS driverCaps, helCaps;
extern HRESULT lastDDrawResult;

// Loading, start-up and shut-down.
int ddrawInit(HWND window);
int ddrawShutdown();
int loadDDrawLibrary();
int freeDDrawLibrary();
int ddSetDisplayMode(HWND window);
int ddWaitForVerticalBlank();

// Surfaces.
int ddCreateSurfaces();
int ddLock(IDirectDrawSurface* surface, void** address, int32_t* pitch);
int ddUnlock(IDirectDrawSurface* surface);
int ddGetWindowInfo(HWND window, uint8_t** address, uint16_t* pitch);
int ddUnlockBackBuffer();
// Fills the back buffer black outside the width x height area at its top
// left; 0 (with a message) when a fill fails.
int ddClearBackBufferOutside(int32_t width, int32_t height);
// 1 when the back buffer's memory was lost (no longer the surface's).
int ddBackBufferLost();
int ddLockFrontBuffer(void** address, int32_t* pitch);
int ddUnlockFrontBuffer();
int ddFlip();

// Diagnostics.
int ddDumpDriverCaps();
void debugDDrawErrMsg(HRESULT code);
