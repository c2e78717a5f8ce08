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

// What the layer holds, as its users may see it: 1 while the flipping chain
// is there (from a start that made it until the shut-down).
int ddHasFrontBuffer();
// The primary surface's pixel format as the last start learnt it.
const DDPIXELFORMAT& ddPrimaryPixelFormat();

// Loading, start-up and shut-down.
int ddrawInit(HWND window);
int ddrawShutdown();
// A started display as a freed copy of the driver leaves it behind: the
// library it holds and its objects. ddLeaveObjects hands them over and
// forgets them; ddReleaseLeftObjects (with nothing started here) gives
// them back as ddrawShutdown would.
struct DisplayObjects {
    HMODULE library;
    IDirectDraw* directDraw;
    IDirectDrawSurface* front;
};
DisplayObjects ddLeaveObjects();
int ddReleaseLeftObjects(const DisplayObjects& left);
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
