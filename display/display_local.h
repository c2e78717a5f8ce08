// Private helpers of the DirectDraw layer, shared by its files only.
#pragma once

#include "display/display.h"

// Module state of the layer, seen by its files only.
extern HMODULE hDDrawLibrary;
extern DirectDrawCreateFn pfnDirectDrawCreate;
extern IDirectDraw* pDirectDraw;
extern IDirectDrawSurface* pFrontBuffer;
extern IDirectDrawSurface* pBackBuffer;
extern DDPIXELFORMAT primaryPixelFormat;
// The last DirectDraw result, for a debugger to look at.
extern HRESULT lastDDrawResult;

// Stores a DirectDraw result in lastDDrawResult and hands anything but DD_OK
// to the reporter. True for DD_OK.
inline bool ddCheck(HRESULT result) {
    lastDDrawResult = result;
    if (result == DD_OK) return true;
    debugDDrawErrMsg(result);
    return false;
}

// A call that reports success must also hand over what it made: a DirectDraw
// that answers DD_OK without an object or without surface memory is taken as
// failing (DDERR_GENERIC), so that nothing is called through a null pointer.
inline bool ddGotObject(const void* made) {
    if (made) return true;
    return ddCheck(DDERR_GENERIC);
}

// Makes sure DirectDrawCreate is at hand, loading ddraw.dll if need be.
inline bool ddEnsureLibrary() {
    return pfnDirectDrawCreate || loadDDrawLibrary();
}

// Releases the flipping chain through its primary surface (which takes the
// back buffers with it) and forgets both surface pointers. The returned count
// goes to lastDDrawResult and, when not 0, to the reporter, which ignores
// counts: they are not failures.
void ddReleaseChain();
