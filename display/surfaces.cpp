// The flipping chain: creation, clearing, locking, restoring and flipping.
#include "display/display.h"

#include <cstring>

#include "display/display_local.h"
#include "diag/diag.h"

// Fills a surface, or an area of it, with 0 (black in 565 and 555).
static HRESULT clearSurface(IDirectDrawSurface* surface, DWORD wait, RECT* area = nullptr) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0;
    return surface->Blt(area, nullptr, nullptr, DDBLT_COLORFILL | wait, &fx);
}

// The second back buffer is reached through the chain's own rotation: a flip
// brings it behind the front buffer, where it is cleared as the back buffer
// is. Which buffer shows first does not matter once all three are black.
static bool clearSecondBackBuffer() {
    return ddCheck(pFrontBuffer->Flip(nullptr, DDFLIP_WAIT)) &&
           ddCheck(clearSurface(pBackBuffer, DDBLT_WAIT));
}

int ddCreateSurfaces() {
    // A primary surface with two back buffers; size and pixel format are the
    // display mode's.
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 2;
    desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;

    if (!pDirectDraw) {
        kxPrint("ddCreateSurfaces, pDirectDraw == NULL\n");
        return 0;
    }

    if (!ddCheck(pDirectDraw->CreateSurface(&desc, &pFrontBuffer, nullptr)) ||
        !ddGotObject(pFrontBuffer)) {
        pFrontBuffer = nullptr;
        return 0;
    }

    DDSCAPS backCaps = {DDSCAPS_BACKBUFFER};
    if (!ddCheck(pFrontBuffer->GetAttachedSurface(&backCaps, &pBackBuffer)) ||
        !ddGotObject(pBackBuffer)) {
        pBackBuffer = nullptr;
        return 0;
    }

    primaryPixelFormat.dwSize = sizeof primaryPixelFormat;
    if (!ddCheck(pFrontBuffer->GetPixelFormat(&primaryPixelFormat))) return 0;

    // No DDBLT_WAIT for the first two: a busy blitter makes them fail, which
    // is only reported.
    if (!ddCheck(clearSurface(pFrontBuffer, 0)))
        kxPrint("ddCreateSurfaces, failed front buffer clear\n");
    if (!ddCheck(clearSurface(pBackBuffer, 0)))
        kxPrint("ddCreateSurfaces, failed back buffer clear\n");
    // A frame drawn into a small render area leaves the rest of its buffer
    // as it was: the third buffer must be black too, or its leftovers show
    // every third frame.
    if (!clearSecondBackBuffer()) kxPrint("ddCreateSurfaces, failed second back buffer clear\n");
    return 1;
}

int ddLock(IDirectDrawSurface* surface, void** address, int32_t* pitch) {
    if (!surface) {
        kxPrint("ddLock, passed invalid surface pointer!\n");
        return 0;
    }
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (!ddCheck(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return 0;
    if (!desc.lpSurface) {
        surface->Unlock(nullptr); // locked, by its own account
        return ddGotObject(nullptr);
    }
    *address = desc.lpSurface;
    *pitch = desc.lPitch;
    return 1;
}

int ddUnlock(IDirectDrawSurface* surface) {
    if (!surface) {
        kxPrint("ddUnlock passed invalid surface!\n");
        return 0;
    }
    if (!ddCheck(surface->Unlock(nullptr))) return 0;
    return 1;
}

// The renderer takes the back buffer's address and the low 16 bits of its
// pitch, and the blits write through the same two: a surface they cannot
// address exactly (an address that is not a multiple of 4, a pitch that is
// negative, odd, shorter than a row or wider than 16 bits) is not drawn into
// at all, rather than drawn beside or across its rows.
static bool addressableExactly(const void* base, int32_t rowPitch) {
    const auto misalignment = static_cast<int>(reinterpret_cast<uintptr_t>(base) & 3);
    if (misalignment != 0) {
        kxPrint("ddGetWindowInfo, back buffer starts %d bytes past a multiple of 4\n",
                misalignment);
        return false;
    }
    if (rowPitch < 2 * kDisplayWidth || rowPitch > 0xFFFF || rowPitch % 2 != 0) {
        kxPrint("ddGetWindowInfo, unusable back buffer pitch %d (an even 1280 to 65534 is "
                "needed)\n",
                static_cast<int>(rowPitch));
        return false;
    }
    return true;
}

int ddGetWindowInfo(HWND /*window*/, uint8_t** address, uint16_t* pitch) {
    // Restoring the primary surface restores the whole chain, with whatever
    // its memory holds: all three buffers are cleared, so that no leftover
    // shows where frames draw nothing.
    if (pFrontBuffer->IsLost() != DD_OK) {
        if (!ddCheck(pFrontBuffer->Restore())) return 0;
        const bool front = ddCheck(clearSurface(pFrontBuffer, DDBLT_WAIT));
        const bool back = ddCheck(clearSurface(pBackBuffer, DDBLT_WAIT));
        if (!front || !back || !clearSecondBackBuffer())
            kxPrint("ddGetWindowInfo, failed clear of the restored chain\n");
    }

    void* base = nullptr;
    int32_t backBufferPitch = 0;
    if (!ddLock(pBackBuffer, &base, &backBufferPitch)) return 0;
    if (!addressableExactly(base, backBufferPitch)) {
        ddUnlock(pBackBuffer);
        return 0;
    }
    *address = static_cast<uint8_t*>(base);
    *pitch = static_cast<uint16_t>(backBufferPitch);
    return 1;
}

int ddUnlockBackBuffer() {
    return ddUnlock(pBackBuffer);
}

int ddClearBackBufferOutside(int32_t width, int32_t height) {
    RECT right = {width, 0, kDisplayWidth, height};
    RECT below = {0, height, kDisplayWidth, kDisplayHeight};
    bool cleared = true;
    if (width < kDisplayWidth) cleared = ddCheck(clearSurface(pBackBuffer, DDBLT_WAIT, &right));
    if (height < kDisplayHeight)
        cleared = ddCheck(clearSurface(pBackBuffer, DDBLT_WAIT, &below)) && cleared;
    if (!cleared) kxPrint("ddClearBackBufferOutside, failed clear\n");
    return cleared ? 1 : 0;
}

int ddBackBufferLost() {
    return pBackBuffer->IsLost() != DD_OK;
}

int ddLockFrontBuffer(void** address, int32_t* pitch) {
    return ddLock(pFrontBuffer, address, pitch);
}

int ddUnlockFrontBuffer() {
    return ddUnlock(pFrontBuffer);
}

int ddFlip() {
    if (!pFrontBuffer) return 0;
    // A lost chain makes the flip fail; the next ddGetWindowInfo restores it.
    if (!ddCheck(pFrontBuffer->Flip(nullptr, DDFLIP_WAIT))) return 0;
    return 1;
}
