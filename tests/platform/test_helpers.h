// Small helpers for the stand-in tests: bring DirectDraw up the way a program
// does, and read its surfaces.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/posix/standin_control.h"
#include "platform/win32.h"

// DirectDrawCreate as a program reaches it: through the loaded library.
inline DirectDrawCreateFn loadDirectDrawCreate() {
    HMODULE module = LoadLibraryA("ddraw.dll");
    if (!module) return nullptr;
    return reinterpret_cast<DirectDrawCreateFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DirectDrawCreate")));
}

inline IDirectDraw* createDirectDraw() {
    DirectDrawCreateFn create = loadDirectDrawCreate();
    IDirectDraw* directDraw = nullptr;
    if (!create || create(nullptr, &directDraw, nullptr) != DD_OK) return nullptr;
    return directDraw;
}

// A DirectDraw object at the exclusive full-screen level in 640 x 480 x 16.
inline IDirectDraw* createFullScreen() {
    IDirectDraw* directDraw = createDirectDraw();
    if (!directDraw) return nullptr;
    if (directDraw->SetCooperativeLevel(kxstandDefaultWindow(),
                                        DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK ||
        directDraw->SetDisplayMode(640, 480, 16) != DD_OK) {
        directDraw->Release();
        return nullptr;
    }
    return directDraw;
}

inline DDSURFACEDESC chainDesc(DWORD backBuffers) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = backBuffers;
    desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    return desc;
}

inline IDirectDrawSurface* createChain(IDirectDraw* directDraw, DWORD backBuffers = 2) {
    DDSURFACEDESC desc = chainDesc(backBuffers);
    IDirectDrawSurface* front = nullptr;
    if (directDraw->CreateSurface(&desc, &front, nullptr) != DD_OK) return nullptr;
    return front;
}

inline IDirectDrawSurface* backBufferOf(IDirectDrawSurface* front) {
    DDSCAPS caps = {DDSCAPS_BACKBUFFER};
    IDirectDrawSurface* back = nullptr;
    if (front->GetAttachedSurface(&caps, &back) != DD_OK) return nullptr;
    return back;
}

// A full-screen object with its flipping chain and back buffer. A void
// function, so that its assertions stop the test that calls it.
struct FullScreenChain {
    IDirectDraw* directDraw = nullptr;
    IDirectDrawSurface* front = nullptr;
    IDirectDrawSurface* back = nullptr;
};
inline void makeFullScreenChain(FullScreenChain* chain) {
    chain->directDraw = createFullScreen();
    ASSERT_NE(chain->directDraw, nullptr);
    chain->front = createChain(chain->directDraw);
    ASSERT_NE(chain->front, nullptr);
    chain->back = backBufferOf(chain->front);
    ASSERT_NE(chain->back, nullptr);
}

// Locks the whole surface; null on failure.
inline uint8_t* lockSurface(IDirectDrawSurface* surface, LONG* pitch = nullptr,
                            HRESULT* result = nullptr) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    const HRESULT hr = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    if (result) *result = hr;
    if (hr != DD_OK) return nullptr;
    if (pitch) *pitch = desc.lPitch;
    return static_cast<uint8_t*>(desc.lpSurface);
}

inline HRESULT fill(IDirectDrawSurface* surface, DWORD colour) {
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    return surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
}

inline uint16_t pixelAt(const uint8_t* base, int pitch, int x, int y) {
    uint16_t value;
    __builtin_memcpy(&value, base + y * pitch + 2 * x, 2);
    return value;
}
