#include "host/wintest/vtable_order.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// Our declarations first, in a namespace, before <windows.h> defines its
// macros; the Win32 functions they declare get other names here.
#include "host/wintest/ours_directdraw.h"

// The C form of the interfaces: a table of named function pointers each.
#define CINTERFACE
#include <windows.h>

#include <ddraw.h>

#include "host/wintest/report.h"

namespace {

// The slot a virtual method occupies in its table. A pointer to a virtual
// member function holds 1 + the slot's byte offset in its first word (the
// Itanium C++ ABI, which GCC uses on Windows as well).
template <typename MemberFunction> long slotOf(MemberFunction method) {
    static_assert(sizeof(method) == 2 * sizeof(ptrdiff_t), "pointer and adjustment");
    ptrdiff_t words[2];
    std::memcpy(words, &method, sizeof words);
    if ((words[0] & 1) == 0) return -1; // not a virtual method
    return static_cast<long>((words[0] - 1) / static_cast<ptrdiff_t>(sizeof(void*)));
}

int compare(const char* interfaceName, const char* method, long ourSlot, size_t theirOffset) {
    const long theirSlot = static_cast<long>(theirOffset / sizeof(void*));
    if (ourSlot == theirSlot) return 0;
    fail("%s::%s sits in slot %ld of our table, slot %ld of <ddraw.h>'s", interfaceName, method,
         ourSlot, theirSlot);
    return 1;
}

} // namespace

#define KX_DIRECTDRAW_METHODS(X)                                                                   \
    X(QueryInterface)                                                                              \
    X(AddRef)                                                                                      \
    X(Release)                                                                                     \
    X(Compact)                                                                                     \
    X(CreateClipper)                                                                               \
    X(CreatePalette)                                                                               \
    X(CreateSurface)                                                                               \
    X(DuplicateSurface)                                                                            \
    X(EnumDisplayModes)                                                                            \
    X(EnumSurfaces)                                                                                \
    X(FlipToGDISurface)                                                                            \
    X(GetCaps)                                                                                     \
    X(GetDisplayMode)                                                                              \
    X(GetFourCCCodes)                                                                              \
    X(GetGDISurface)                                                                               \
    X(GetMonitorFrequency)                                                                         \
    X(GetScanLine)                                                                                 \
    X(GetVerticalBlankStatus)                                                                      \
    X(Initialize)                                                                                  \
    X(RestoreDisplayMode)                                                                          \
    X(SetCooperativeLevel)                                                                         \
    X(SetDisplayMode)                                                                              \
    X(WaitForVerticalBlank)

#define KX_SURFACE_METHODS(X)                                                                      \
    X(QueryInterface)                                                                              \
    X(AddRef)                                                                                      \
    X(Release)                                                                                     \
    X(AddAttachedSurface)                                                                          \
    X(AddOverlayDirtyRect)                                                                         \
    X(Blt)                                                                                         \
    X(BltBatch)                                                                                    \
    X(BltFast)                                                                                     \
    X(DeleteAttachedSurface)                                                                       \
    X(EnumAttachedSurfaces)                                                                        \
    X(EnumOverlayZOrders)                                                                          \
    X(Flip)                                                                                        \
    X(GetAttachedSurface)                                                                          \
    X(GetBltStatus)                                                                                \
    X(GetCaps)                                                                                     \
    X(GetClipper)                                                                                  \
    X(GetColorKey)                                                                                 \
    X(GetDC)                                                                                       \
    X(GetFlipStatus)                                                                               \
    X(GetOverlayPosition)                                                                          \
    X(GetPalette)                                                                                  \
    X(GetPixelFormat)                                                                              \
    X(GetSurfaceDesc)                                                                              \
    X(Initialize)                                                                                  \
    X(IsLost)                                                                                      \
    X(Lock)                                                                                        \
    X(ReleaseDC)                                                                                   \
    X(Restore)                                                                                     \
    X(SetClipper)                                                                                  \
    X(SetColorKey)                                                                                 \
    X(SetOverlayPosition)                                                                          \
    X(SetPalette)                                                                                  \
    X(Unlock)                                                                                      \
    X(UpdateOverlay)                                                                               \
    X(UpdateOverlayDisplay)                                                                        \
    X(UpdateOverlayZOrder)

int checkDirectDrawMethodOrder() {
    int differing = 0;
    int methods = 0;
#define KX_COMPARE(table, method)                                                                  \
    ++methods;                                                                                     \
    differing +=                                                                                   \
        compare(#table, #method, slotOf(&ours::table::method), offsetof(table##Vtbl, method));
#define KX_COMPARE_DIRECTDRAW(method) KX_COMPARE(IDirectDraw, method)
#define KX_COMPARE_SURFACE(method) KX_COMPARE(IDirectDrawSurface, method)
    KX_DIRECTDRAW_METHODS(KX_COMPARE_DIRECTDRAW)
    KX_SURFACE_METHODS(KX_COMPARE_SURFACE)
#undef KX_COMPARE_SURFACE
#undef KX_COMPARE_DIRECTDRAW
#undef KX_COMPARE
    // Both tables are complete: no method of <ddraw.h> is missing from ours.
    differing += compare("IDirectDraw", "(table size)", 23, sizeof(IDirectDrawVtbl));
    differing += compare("IDirectDrawSurface", "(table size)", 36, sizeof(IDirectDrawSurfaceVtbl));
    if (!differing) note("%d DirectDraw methods in the slots of <ddraw.h>", methods);
    return differing;
}
