#include "bench/soak/directdraw_alone.h"

#include <cstring>

#include <windows.h>

#include <ddraw.h>

namespace {

using DirectDrawCreateFn = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);

struct Chain {
    HMODULE library = nullptr;
    IDirectDraw* ddraw = nullptr;
    IDirectDrawSurface* front = nullptr;
    IDirectDrawSurface* back = nullptr;
};

// Every object released, the library freed.
void closeChain(Chain& c) {
    if (c.back) c.back->Release();
    if (c.front) c.front->Release();
    if (c.ddraw) c.ddraw->Release();
    if (c.library) FreeLibrary(c.library);
    c = Chain();
}

// The DirectDraw calls of a driver start: a first object for the
// capabilities, then the exclusive full-screen 640 x 480 x 16 display with
// a primary surface and two back buffers, cleared.
bool openChain(Chain& c) {
    c.library = LoadLibraryA("ddraw.dll");
    auto create = c.library ? reinterpret_cast<DirectDrawCreateFn>(reinterpret_cast<void (*)(void)>(
                                  GetProcAddress(c.library, "DirectDrawCreate")))
                            : nullptr;
    IDirectDraw* caps = nullptr;
    if (!create || FAILED(create(nullptr, &caps, nullptr))) return false;
    DDCAPS driverCaps = {}, helCaps = {};
    driverCaps.dwSize = helCaps.dwSize = sizeof driverCaps;
    caps->GetCaps(&driverCaps, &helCaps);
    caps->Release();
    if (FAILED(create(nullptr, &c.ddraw, nullptr))) return false;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 2;
    desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    DDSCAPS backCaps = {DDSCAPS_BACKBUFFER};
    const bool started = SUCCEEDED(c.ddraw->SetCooperativeLevel(
                             GetActiveWindow(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)) &&
                         SUCCEEDED(c.ddraw->SetDisplayMode(640, 480, 16)) &&
                         SUCCEEDED(c.ddraw->CreateSurface(&desc, &c.front, nullptr)) &&
                         SUCCEEDED(c.front->GetAttachedSurface(&backCaps, &c.back));
    if (c.back) {
        DDBLTFX fill = {};
        fill.dwSize = sizeof fill;
        c.front->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
        c.back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
    }
    return started;
}

// A frame as the driver shows it: the chain checked, the back buffer
// locked, written (a grey that changes with `n`) and unlocked, flipped.
void showFrame(const Chain& c, int n) {
    c.front->IsLost();
    DDSURFACEDESC lock = {};
    lock.dwSize = sizeof lock;
    if (SUCCEEDED(c.back->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr))) {
        if (lock.lpSurface && lock.lPitch >= LONG(lock.dwWidth * 2))
            for (DWORD y = 0; y < lock.dwHeight; ++y)
                std::memset(static_cast<char*>(lock.lpSurface) + y * lock.lPitch, n & 0xFF,
                            lock.dwWidth * 2);
        c.back->Unlock(nullptr);
    }
    c.front->Flip(nullptr, DDFLIP_WAIT);
}

// A start and stop as the driver makes them: opened, a frame shown and a
// vertical blank waited for, closed.
bool startDirectDraw() {
    Chain c;
    const bool started = openChain(c);
    if (started) {
        showFrame(c, 0);
        c.ddraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    }
    closeChain(c);
    return started;
}

} // namespace

bool measureDirectDrawCost(int starts, Allowance& stopped) {
    if (!startDirectDraw()) return false;
    const ProcessFigures before = processFigures();
    for (int k = 0; k < starts; ++k)
        if (!startDirectDraw()) return false;
    const ProcessFigures after = processFigures();
    stopped = growthEach(before, after, starts);
    return true;
}

bool measureDirectDrawFrames(int frames, Allowance& each) {
    Chain c;
    if (!openChain(c)) {
        closeChain(c);
        return false;
    }
    int n = 0;
    for (; n < 100; ++n)
        showFrame(c, n);
    const ProcessFigures before = processFigures();
    for (int k = 0; k < frames; ++k, ++n)
        showFrame(c, n);
    const ProcessFigures after = processFigures();
    closeChain(c);
    each = growthEach(before, after, frames);
    return true;
}
