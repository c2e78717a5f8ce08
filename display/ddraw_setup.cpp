// Loading ddraw.dll, taking the display over, and giving it all back.
#include "display/display.h"

#include "display/display_local.h"
#include "diag/diag.h"
#include "platform/win32.h"

HMODULE hDDrawLibrary = nullptr;
DirectDrawCreateFn pfnDirectDrawCreate = nullptr;
IDirectDraw* pDirectDraw = nullptr;
IDirectDrawSurface* pFrontBuffer = nullptr;
IDirectDrawSurface* pBackBuffer = nullptr;
DDPIXELFORMAT primaryPixelFormat = {};
HRESULT lastDDrawResult = DD_OK;

int ddHasFrontBuffer() {
    return pFrontBuffer != nullptr;
}

const DDPIXELFORMAT& ddPrimaryPixelFormat() {
    return primaryPixelFormat;
}

int ddrawInit(HWND window) {
    if (!ddEnsureLibrary()) return 0;

    // Only informative: a start goes on without the capability dump.
    ddDumpDriverCaps();

    // Each failing step is named in the log, after the DirectDraw result
    // that stopped it (debugDDrawErrMsg).
    if (!ddSetDisplayMode(window)) return 0;
    if (!ddCreateSurfaces()) {
        kxPrint("ddrawInit, ddCreateSurfaces failure!\n");
        return 0;
    }

    // Probe lock: proves the back buffer can be locked.
    void* address = nullptr;
    int32_t pitch = 0;
    if (!ddLock(pBackBuffer, &address, &pitch)) {
        kxPrint("ddrawInit, probe lock failure!\n");
        return 0;
    }
    ddUnlock(pBackBuffer);
    return 1;
}

int ddrawShutdown() {
    Sleep(100);
    // Each release follows an edge of the vertical blank, so that the display
    // is not torn down in the middle of a scan.
    if (pFrontBuffer) {
        ddWaitForVerticalBlank();
        ddReleaseChain();
        ddWaitForVerticalBlank();
    }
    if (pDirectDraw) {
        ddWaitForVerticalBlank();
        lastDDrawResult = static_cast<HRESULT>(pDirectDraw->Release());
        if (lastDDrawResult != 0) debugDDrawErrMsg(lastDDrawResult);
        pDirectDraw = nullptr;
    }
    return freeDDrawLibrary();
}

DisplayObjects ddLeaveObjects() {
    const DisplayObjects left = {hDDrawLibrary, pDirectDraw, pFrontBuffer};
    hDDrawLibrary = nullptr;
    pfnDirectDrawCreate = nullptr;
    pDirectDraw = nullptr;
    pFrontBuffer = pBackBuffer = nullptr;
    return left;
}

int ddReleaseLeftObjects(const DisplayObjects& left) {
    if (hDDrawLibrary || pDirectDraw || pFrontBuffer) return 0; // a display of our own is up
    hDDrawLibrary = left.library;
    pDirectDraw = left.directDraw;
    pFrontBuffer = left.front;
    return ddrawShutdown();
}

void ddReleaseChain() {
    lastDDrawResult = static_cast<HRESULT>(pFrontBuffer->Release());
    if (lastDDrawResult != 0) debugDDrawErrMsg(lastDDrawResult);
    pFrontBuffer = nullptr;
    pBackBuffer = nullptr;
}

int loadDDrawLibrary() {
    if (!hDDrawLibrary) {
        hDDrawLibrary = LoadLibraryA("ddraw.dll");
        if (!hDDrawLibrary) {
            kxPrint("loadDDrawLibrary, Error loading ddraw.dll\n");
            return 0;
        }
    }
    if (!pfnDirectDrawCreate) {
        FARPROC entry = GetProcAddress(hDDrawLibrary, "DirectDrawCreate");
        if (!entry) {
            kxPrint("loadDDrawLibrary, Error getting proc address for DirectDrawCreate\n");
            FreeLibrary(hDDrawLibrary);
            hDDrawLibrary = nullptr;
            return 0;
        }
        // Through the generic function pointer type, which converts to any.
        pfnDirectDrawCreate =
            reinterpret_cast<DirectDrawCreateFn>(reinterpret_cast<void (*)(void)>(entry));
    }
    return 1;
}

int freeDDrawLibrary() {
    if (!hDDrawLibrary) return 1;
    if (!FreeLibrary(hDDrawLibrary)) {
        kxPrint("freeDDrawLibrary, failed freeing DDRAW.DLL!\n");
        return 0;
    }
    pfnDirectDrawCreate = nullptr;
    hDDrawLibrary = nullptr;
    return 1;
}

int ddSetDisplayMode(HWND window) {
    if (!IsWindow(window)) {
        kxPrint("ddSetDisplayMode, the host's active window is not a window!\n");
        return 0;
    }

    // A start begins with nothing made (a failed start and a shut-down both
    // give everything back), so the object is made here, once per start.
    if (!ddCheck(pfnDirectDrawCreate(nullptr, &pDirectDraw, nullptr)) ||
        !ddGotObject(pDirectDraw)) {
        pDirectDraw = nullptr;
        kxPrint("ddSetDisplayMode, DirectDrawCreate failure!\n");
        return 0;
    }

    if (!ddCheck(pDirectDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN))) {
        kxPrint("ddSetDisplayMode, SetCooperativeLevel (exclusive, full screen) failure!\n");
        return 0;
    }
    if (!ddCheck(
            pDirectDraw->SetDisplayMode(kDisplayWidth, kDisplayHeight, kDisplayBitsPerPixel))) {
        kxPrint("ddSetDisplayMode, SetDisplayMode %d x %d x %d failure!\n", kDisplayWidth,
                kDisplayHeight, kDisplayBitsPerPixel);
        return 0;
    }
    return 1;
}

int ddWaitForVerticalBlank() {
    if (!pDirectDraw) return 0;
    BOOL inBlank = FALSE;
    if (!ddCheck(pDirectDraw->GetVerticalBlankStatus(&inBlank))) return 0;
    // Inside a blank wait for its end, otherwise for the next one to begin.
    DWORD edge = inBlank ? DDWAITVB_BLOCKEND : DDWAITVB_BLOCKBEGIN;
    if (!ddCheck(pDirectDraw->WaitForVerticalBlank(edge, nullptr))) return 0;
    return 1;
}
