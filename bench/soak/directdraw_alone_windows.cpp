#include "bench/soak/directdraw_alone.h"

#include <windows.h>

#include <ddraw.h>

namespace {

using DirectDrawCreateFn = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);

// The DirectDraw calls of a driver start: a first object for the
// capabilities, then the exclusive full-screen 640 x 480 x 16 display with
// a primary surface and two back buffers, cleared, locked and flipped.
// Every object released, the library freed.
bool startDirectDraw() {
    HMODULE library = LoadLibraryA("ddraw.dll");
    auto create = library ? reinterpret_cast<DirectDrawCreateFn>(reinterpret_cast<void (*)(void)>(
                                GetProcAddress(library, "DirectDrawCreate")))
                          : nullptr;
    IDirectDraw* caps = nullptr;
    IDirectDraw* ddraw = nullptr;
    if (!create || FAILED(create(nullptr, &caps, nullptr))) return false;
    DDCAPS driverCaps = {}, helCaps = {};
    driverCaps.dwSize = helCaps.dwSize = sizeof driverCaps;
    caps->GetCaps(&driverCaps, &helCaps);
    caps->Release();
    if (FAILED(create(nullptr, &ddraw, nullptr))) return false;
    IDirectDrawSurface* front = nullptr;
    IDirectDrawSurface* back = nullptr;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 2;
    desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    DDSCAPS backCaps = {DDSCAPS_BACKBUFFER};
    const bool started = SUCCEEDED(ddraw->SetCooperativeLevel(
                             GetActiveWindow(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)) &&
                         SUCCEEDED(ddraw->SetDisplayMode(640, 480, 16)) &&
                         SUCCEEDED(ddraw->CreateSurface(&desc, &front, nullptr)) &&
                         SUCCEEDED(front->GetAttachedSurface(&backCaps, &back));
    if (back) {
        // Cleared, locked and flipped, as the driver's start and first frame do.
        DDBLTFX fill = {};
        fill.dwSize = sizeof fill;
        front->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
        back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
        DDSURFACEDESC lock = {};
        lock.dwSize = sizeof lock;
        if (SUCCEEDED(back->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr))) back->Unlock(nullptr);
        front->Flip(nullptr, DDFLIP_WAIT);
        ddraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    }
    if (back) back->Release();
    if (front) front->Release();
    ddraw->Release();
    FreeLibrary(library);
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
