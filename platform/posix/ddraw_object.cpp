// The DirectDraw object: cooperative level, display mode, capabilities,
// vertical blank, and the creation of the primary flipping chain.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/posix/standin_control.h"
#include "platform/posix/standin_internal.h"

namespace {

constexpr DWORD kDefaultDriverCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH |
                                     DDCAPS_GDI | DDCAPS_PALETTE | DDCAPS_COLORKEY |
                                     DDCAPS_READSCANLINE;
constexpr DWORD kEmulationCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH | DDCAPS_GDI |
                                 DDCAPS_PALETTE | DDCAPS_COLORKEY;
constexpr DWORD kVideoMemory = 8u << 20;
// Sizes of the capability record that DirectX 3, 5 and 6/7 programs pass.
constexpr DWORD kCapsSizeDx3 = 316;
constexpr DWORD kCapsSizeDx6 = 380;

DWORD driverCapsBits = kDefaultDriverCaps;
bool modeSupported = true;
bool inVerticalBlank = false;

} // namespace

struct DirectDrawObject final : IDirectDraw {
    uint32_t refs = 1;
    bool freed = false;
    DWORD level = 0;
    HWND window = nullptr;

    // Records the call; false when the method must return `*result` at once.
    bool enter(const char* name, HRESULT* result, const char* args = nullptr, ...)
        __attribute__((format(printf, 4, 5)));
    // A method the driver never calls: counted, logged, fails on demand, else unsupported.
    HRESULT unsupported(const char* name);

    HRESULT KX_STDCALL QueryInterface(REFIID riid, void** object) override;
    uint32_t KX_STDCALL AddRef() override;
    uint32_t KX_STDCALL Release() override;
    HRESULT KX_STDCALL Compact() override;
    HRESULT KX_STDCALL CreateClipper(DWORD, IDirectDrawClipper**, IUnknown*) override;
    HRESULT KX_STDCALL CreatePalette(DWORD, PALETTEENTRY*, IDirectDrawPalette**,
                                     IUnknown*) override;
    HRESULT KX_STDCALL CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface,
                                     IUnknown* outer) override;
    HRESULT KX_STDCALL DuplicateSurface(IDirectDrawSurface*, IDirectDrawSurface**) override;
    HRESULT KX_STDCALL EnumDisplayModes(DWORD, DDSURFACEDESC*, void*,
                                        LPDDENUMMODESCALLBACK) override;
    HRESULT KX_STDCALL EnumSurfaces(DWORD, DDSURFACEDESC*, void*,
                                    LPDDENUMSURFACESCALLBACK) override;
    HRESULT KX_STDCALL FlipToGDISurface() override;
    HRESULT KX_STDCALL GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) override;
    HRESULT KX_STDCALL GetDisplayMode(DDSURFACEDESC* desc) override;
    HRESULT KX_STDCALL GetFourCCCodes(DWORD*, DWORD*) override;
    HRESULT KX_STDCALL GetGDISurface(IDirectDrawSurface**) override;
    HRESULT KX_STDCALL GetMonitorFrequency(DWORD* frequency) override;
    HRESULT KX_STDCALL GetScanLine(DWORD*) override;
    HRESULT KX_STDCALL GetVerticalBlankStatus(BOOL* inBlank) override;
    HRESULT KX_STDCALL Initialize(GUID*) override;
    HRESULT KX_STDCALL RestoreDisplayMode() override;
    HRESULT KX_STDCALL SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT KX_STDCALL SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) override;
    HRESULT KX_STDCALL WaitForVerticalBlank(DWORD flags, HANDLE event) override;
};

namespace {

// Objects stay allocated after their release, so that a late call on one is
// caught and counted instead of touching freed memory.
std::vector<std::unique_ptr<DirectDrawObject>> objects;
DirectDrawObject* exclusiveOwner = nullptr;
DirectDrawObject* modeOwner = nullptr;

void fillCaps(DDCAPS* caps, DWORD capsBits, DWORD videoMemory) {
    const DWORD size = caps->dwSize;
    std::memset(caps, 0, size < sizeof(DDCAPS) ? size : sizeof(DDCAPS));
    if (size > sizeof(DDCAPS)) std::memset(caps + 1, 0, size - sizeof(DDCAPS));
    caps->dwSize = size;
    caps->dwCaps = capsBits;
    caps->dwVidMemTotal = videoMemory;
    const DWORD used = surfaceBytesInUse();
    caps->dwVidMemFree = used < videoMemory ? videoMemory - used : 0;
    caps->ddsCaps.dwCaps = videoMemory
                               ? DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                                     DDSCAPS_VIDEOMEMORY | DDSCAPS_BACKBUFFER | DDSCAPS_FRONTBUFFER
                               : DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                                     DDSCAPS_BACKBUFFER | DDSCAPS_FRONTBUFFER;
}

bool capsSizeValid(const DDCAPS* caps) {
    return caps->dwSize == kCapsSizeDx3 || caps->dwSize == sizeof(DDCAPS) ||
           caps->dwSize == kCapsSizeDx6;
}

} // namespace

const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidDirectDraw = {
    0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID kIidDirectDrawSurface = {
    0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

bool sameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

bool directDrawHoldsExclusive(const DirectDrawObject* object) {
    return object && exclusiveOwner == object;
}

bool DirectDrawObject::enter(const char* name, HRESULT* result, const char* args, ...) {
    char text[120] = "";
    if (args && standinLoggingCalls()) {
        va_list list;
        va_start(list, args);
        std::vsnprintf(text, sizeof text, args, list);
        va_end(list);
    }
    if (standinCallFails(name, result, args ? "%s" : nullptr, text)) return false;
    if (freed) {
        standinNoteDeadCall(name);
        *result = DDERR_INVALIDOBJECT;
        return false;
    }
    return true;
}

HRESULT DirectDrawObject::unsupported(const char* name) {
    HRESULT result;
    return enter(name, &result) ? DDERR_UNSUPPORTED : result;
}

HRESULT DirectDrawObject::QueryInterface(REFIID riid, void** object) {
    HRESULT result;
    if (!enter("IDirectDraw::QueryInterface", &result)) return result;
    return answerQueryInterface<IDirectDraw>(this, riid, kIidDirectDraw, object);
}

uint32_t DirectDrawObject::AddRef() {
    HRESULT result;
    if (!enter("IDirectDraw::AddRef", &result)) {
        const uint32_t count = freed ? 0 : static_cast<uint32_t>(result);
        standinNoteReturnedCount(count);
        return count;
    }
    standinNoteReturnedCount(++refs);
    return refs;
}

uint32_t DirectDrawObject::Release() {
    HRESULT result;
    if (!enter("IDirectDraw::Release", &result)) {
        const uint32_t count = freed ? 0 : static_cast<uint32_t>(result);
        standinNoteReturnedCount(count);
        return count;
    }
    if (--refs == 0) {
        // The end of the object gives the display back: its surfaces go,
        // the exclusive level and the display mode end.
        freeSurfacesOf(this);
        if (exclusiveOwner == this) exclusiveOwner = nullptr;
        if (modeOwner == this) modeOwner = nullptr;
        freed = true;
    }
    standinNoteReturnedCount(refs);
    return refs;
}

HRESULT DirectDrawObject::Compact() {
    return unsupported("IDirectDraw::Compact");
}

HRESULT DirectDrawObject::CreateClipper(DWORD, IDirectDrawClipper**, IUnknown*) {
    return unsupported("IDirectDraw::CreateClipper");
}

HRESULT DirectDrawObject::CreatePalette(DWORD, PALETTEENTRY*, IDirectDrawPalette**, IUnknown*) {
    return unsupported("IDirectDraw::CreatePalette");
}

HRESULT DirectDrawObject::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface,
                                        IUnknown* outer) {
    HRESULT result;
    if (!enter("IDirectDraw::CreateSurface", &result)) return result;
    if (!desc || !surface || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (outer) return kNoAggregation;
    if (level == 0) return DDERR_NOCOOPERATIVELEVELSET;
    return createPrimaryChain(this, *desc, surface);
}

HRESULT DirectDrawObject::DuplicateSurface(IDirectDrawSurface*, IDirectDrawSurface**) {
    return unsupported("IDirectDraw::DuplicateSurface");
}

HRESULT DirectDrawObject::EnumDisplayModes(DWORD, DDSURFACEDESC*, void*, LPDDENUMMODESCALLBACK) {
    return unsupported("IDirectDraw::EnumDisplayModes");
}

HRESULT DirectDrawObject::EnumSurfaces(DWORD, DDSURFACEDESC*, void*, LPDDENUMSURFACESCALLBACK) {
    return unsupported("IDirectDraw::EnumSurfaces");
}

HRESULT DirectDrawObject::FlipToGDISurface() {
    return unsupported("IDirectDraw::FlipToGDISurface");
}

HRESULT DirectDrawObject::GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) {
    HRESULT result;
    if (!enter("IDirectDraw::GetCaps", &result)) return result;
    if (!driverCaps && !helCaps) return DDERR_INVALIDPARAMS;
    if ((driverCaps && !capsSizeValid(driverCaps)) || (helCaps && !capsSizeValid(helCaps)))
        return DDERR_INVALIDPARAMS;
    if (driverCaps) fillCaps(driverCaps, driverCapsBits, kVideoMemory);
    if (helCaps) fillCaps(helCaps, kEmulationCaps, 0);
    return DD_OK;
}

HRESULT DirectDrawObject::GetDisplayMode(DDSURFACEDESC* desc) {
    HRESULT result;
    if (!enter("IDirectDraw::GetDisplayMode", &result)) return result;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    // The desktop runs at the one mode there is, set or not.
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc->dwWidth = 640;
    desc->dwHeight = 480;
    desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc->ddpfPixelFormat.dwRGBBitCount = 16;
    return DD_OK;
}

HRESULT DirectDrawObject::GetFourCCCodes(DWORD*, DWORD*) {
    return unsupported("IDirectDraw::GetFourCCCodes");
}

HRESULT DirectDrawObject::GetGDISurface(IDirectDrawSurface**) {
    return unsupported("IDirectDraw::GetGDISurface");
}

HRESULT DirectDrawObject::GetMonitorFrequency(DWORD* frequency) {
    HRESULT result;
    if (!enter("IDirectDraw::GetMonitorFrequency", &result)) return result;
    if (!frequency) return DDERR_INVALIDPARAMS;
    *frequency = 60;
    return DD_OK;
}

HRESULT DirectDrawObject::GetScanLine(DWORD*) {
    return unsupported("IDirectDraw::GetScanLine");
}

// The beam is faked: each look at the status finds the other phase, so a loop
// that polls for either edge ends; waiting for an edge leaves the beam there.
HRESULT DirectDrawObject::GetVerticalBlankStatus(BOOL* inBlank) {
    HRESULT result;
    if (!enter("IDirectDraw::GetVerticalBlankStatus", &result)) return result;
    if (!inBlank) return DDERR_INVALIDPARAMS;
    *inBlank = inVerticalBlank ? TRUE : FALSE;
    inVerticalBlank = !inVerticalBlank;
    return DD_OK;
}

HRESULT DirectDrawObject::Initialize(GUID*) {
    return unsupported("IDirectDraw::Initialize");
}

HRESULT DirectDrawObject::RestoreDisplayMode() {
    HRESULT result;
    if (!enter("IDirectDraw::RestoreDisplayMode", &result)) return result;
    if (modeOwner == this) modeOwner = nullptr;
    return DD_OK;
}

HRESULT DirectDrawObject::SetCooperativeLevel(HWND newWindow, DWORD flags) {
    HRESULT result;
    if (!enter("IDirectDraw::SetCooperativeLevel", &result, "0x%x", static_cast<unsigned>(flags)))
        return result;
    const bool exclusive = flags & DDSCL_EXCLUSIVE;
    const bool fullscreen = flags & DDSCL_FULLSCREEN;
    const bool normal = flags & DDSCL_NORMAL;
    if (exclusive != fullscreen || normal == exclusive) return DDERR_INVALIDPARAMS;
    if (newWindow ? !standinIsWindow(newWindow) : exclusive) return DDERR_INVALIDPARAMS;
    if (exclusive && exclusiveOwner && exclusiveOwner != this) return DDERR_EXCLUSIVEMODEALREADYSET;
    level = flags;
    window = newWindow;
    if (exclusive)
        exclusiveOwner = this;
    else if (exclusiveOwner == this)
        exclusiveOwner = nullptr;
    return DD_OK;
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
    HRESULT result;
    if (!enter("IDirectDraw::SetDisplayMode", &result, "%u, %u, %u", static_cast<unsigned>(width),
               static_cast<unsigned>(height), static_cast<unsigned>(bitsPerPixel)))
        return result;
    // Like Wine's DirectDraw: the mode may be set without the exclusive
    // level, and a mode the display cannot show is unsupported.
    if (width != 640 || height != 480 || bitsPerPixel != 16 || !modeSupported)
        return DDERR_UNSUPPORTED;
    modeOwner = this;
    return DD_OK;
}

HRESULT DirectDrawObject::WaitForVerticalBlank(DWORD flags, HANDLE event) {
    HRESULT result;
    if (!enter("IDirectDraw::WaitForVerticalBlank", &result, "0x%x", static_cast<unsigned>(flags)))
        return result;
    if (event || (flags != DDWAITVB_BLOCKBEGIN && flags != DDWAITVB_BLOCKEND))
        return DDERR_INVALIDPARAMS;
    inVerticalBlank = flags == DDWAITVB_BLOCKBEGIN;
    return DD_OK;
}

extern "C" KX_DLLEXPORT HRESULT KX_STDCALL DirectDrawCreate(GUID* device, IDirectDraw** directDraw,
                                                            IUnknown* outer) {
    HRESULT result;
    if (standinCallFails("DirectDrawCreate", &result)) return result;
    if (!standinDirectDrawLoaded()) standinNoteDeadCall("DirectDrawCreate");
    if (!directDraw) return DDERR_INVALIDPARAMS;
    if (outer) return kNoAggregation;
    if (device) return kInvalidDirectDrawGuid;
    forgetOldReleased(objects, 16, [](const DirectDrawObject& o) { return o.freed; });
    objects.push_back(std::make_unique<DirectDrawObject>());
    *directDraw = objects.back().get();
    return DD_OK;
}

static int directDrawObjectsLive() {
    int live = 0;
    for (const auto& object : objects)
        live += !object->freed;
    return live;
}

void kxstandSetDriverCaps(DWORD dwCaps) {
    driverCapsBits = dwCaps;
}

void kxstandSetModeSupported(bool ok) {
    modeSupported = ok;
}

bool kxstandExclusive() {
    return exclusiveOwner != nullptr;
}

bool kxstandDisplayModeSet() {
    return modeOwner != nullptr;
}

int kxstandLiveObjects() {
    return directDrawObjectsLive() + liveSurfaceCount();
}
