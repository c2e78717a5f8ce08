// Surfaces: the primary flipping chain in memory, whose pixel blocks rotate
// on Flip while the interface pointers stay put; locks, colour fill, loss and
// restore.
#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/posix/standin_control.h"
#include "platform/posix/standin_internal.h"
#include "platform/posix/video_memory_pool.h"

namespace {

constexpr int kWidth = kSurfaceWidth;
constexpr int kHeight = kSurfaceHeight;
constexpr int kMaxBackBuffers = 3;

struct Surface;

struct Chain {
    const DirectDrawObject* owner = nullptr;
    int pitch = 0;
    bool is565 = true;
    bool live = true;
    std::vector<Surface*> surfaces; // by position: 0 front, 1 back, 2 second back
    std::vector<PixelBlock> blocks;
    std::vector<int> blockAt; // the block each position shows now
    uint8_t* pixelsAt(int position) { return blocks[blockAt[position]].pixels; }
};

enum class SurfaceState { Live, Zombie, Freed };

int pitchSetting = 1536;
int offsetSetting = 0;
bool format565 = true;
bool drawLeftovers = true;

void checkGuards(const Chain& chain) {
    for (const PixelBlock& block : chain.blocks)
        checkGuard(block);
}

bool rectValid(const RECT* rect) {
    return !rect || (rect->left >= 0 && rect->top >= 0 && rect->left < rect->right &&
                     rect->top < rect->bottom && rect->right <= kWidth && rect->bottom <= kHeight);
}

struct Surface final : IDirectDrawSurface {
    uint32_t refs = 1;
    SurfaceState state = SurfaceState::Live;
    Chain* chain = nullptr;
    int position = 0;
    DWORD caps = 0;
    bool lost = false;
    bool locked = false;

    bool enter(const char* name, HRESULT* result, const char* args = nullptr, ...)
        __attribute__((format(printf, 4, 5)));
    // A method the driver never calls: counted, logged, fails on demand, else unsupported.
    HRESULT unsupported(const char* name);
    void describe(DDSURFACEDESC* desc) const;

    HRESULT KX_STDCALL QueryInterface(REFIID riid, void** object) override;
    uint32_t KX_STDCALL AddRef() override;
    uint32_t KX_STDCALL Release() override;
    HRESULT KX_STDCALL AddAttachedSurface(IDirectDrawSurface*) override;
    HRESULT KX_STDCALL AddOverlayDirtyRect(RECT*) override;
    HRESULT KX_STDCALL Blt(RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect,
                           DWORD flags, DDBLTFX* fx) override;
    HRESULT KX_STDCALL BltBatch(DDBLTBATCH*, DWORD, DWORD) override;
    HRESULT KX_STDCALL BltFast(DWORD, DWORD, IDirectDrawSurface*, RECT*, DWORD) override;
    HRESULT KX_STDCALL DeleteAttachedSurface(DWORD, IDirectDrawSurface*) override;
    HRESULT KX_STDCALL EnumAttachedSurfaces(void*, LPDDENUMSURFACESCALLBACK) override;
    HRESULT KX_STDCALL EnumOverlayZOrders(DWORD, void*, LPDDENUMSURFACESCALLBACK) override;
    HRESULT KX_STDCALL Flip(IDirectDrawSurface* target, DWORD flags) override;
    HRESULT KX_STDCALL GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** surface) override;
    HRESULT KX_STDCALL GetBltStatus(DWORD) override;
    HRESULT KX_STDCALL GetCaps(DDSCAPS* caps) override;
    HRESULT KX_STDCALL GetClipper(IDirectDrawClipper**) override;
    HRESULT KX_STDCALL GetColorKey(DWORD, DDCOLORKEY*) override;
    HRESULT KX_STDCALL GetDC(HDC*) override;
    HRESULT KX_STDCALL GetFlipStatus(DWORD) override;
    HRESULT KX_STDCALL GetOverlayPosition(LONG*, LONG*) override;
    HRESULT KX_STDCALL GetPalette(IDirectDrawPalette**) override;
    HRESULT KX_STDCALL GetPixelFormat(DDPIXELFORMAT* format) override;
    HRESULT KX_STDCALL GetSurfaceDesc(DDSURFACEDESC* desc) override;
    HRESULT KX_STDCALL Initialize(IDirectDraw*, DDSURFACEDESC*) override;
    HRESULT KX_STDCALL IsLost() override;
    HRESULT KX_STDCALL Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) override;
    HRESULT KX_STDCALL ReleaseDC(HDC) override;
    HRESULT KX_STDCALL Restore() override;
    HRESULT KX_STDCALL SetClipper(IDirectDrawClipper*) override;
    HRESULT KX_STDCALL SetColorKey(DWORD, DDCOLORKEY*) override;
    HRESULT KX_STDCALL SetOverlayPosition(LONG, LONG) override;
    HRESULT KX_STDCALL SetPalette(IDirectDrawPalette*) override;
    HRESULT KX_STDCALL Unlock(void* surfaceData) override;
    HRESULT KX_STDCALL UpdateOverlay(RECT*, IDirectDrawSurface*, RECT*, DWORD,
                                     DDOVERLAYFX*) override;
    HRESULT KX_STDCALL UpdateOverlayDisplay(DWORD) override;
    HRESULT KX_STDCALL UpdateOverlayZOrder(DWORD, IDirectDrawSurface*) override;
};

// Surfaces stay allocated after their release (only their pixels go), so a
// late call on one is caught and counted instead of touching freed memory.
std::vector<std::unique_ptr<Surface>> surfaces;
std::vector<std::unique_ptr<Chain>> chains;
Chain* primaryChain = nullptr;

void pixelFormat(bool is565, DDPIXELFORMAT* format) {
    std::memset(format, 0, sizeof *format);
    format->dwSize = sizeof *format;
    format->dwFlags = DDPF_RGB;
    format->dwRGBBitCount = 16;
    format->dwRBitMask = is565 ? 0xF800 : 0x7C00;
    format->dwGBitMask = is565 ? 0x07E0 : 0x03E0;
    format->dwBBitMask = 0x001F;
}

// The chain goes as a whole. Back buffers that callers still hold become
// zombies: their counts go on, everything else of them is gone.
void freeChain(Chain* chain) {
    for (Surface* surface : chain->surfaces) {
        if (surface->position != 0 && surface->refs > 0) --surface->refs; // the chain's own
        surface->state = surface->refs > 0 ? SurfaceState::Zombie : SurfaceState::Freed;
        surface->locked = false;
    }
    checkGuards(*chain);
    poolVideoMemory(chain->blocks.data(), chain->blocks.size());
    chain->blocks.clear();
    chain->live = false;
    if (primaryChain == chain) primaryChain = nullptr;
}

} // namespace

bool Surface::enter(const char* name, HRESULT* result, const char* args, ...) {
    char text[120] = "";
    if (args && standinLoggingCalls()) {
        va_list list;
        va_start(list, args);
        std::vsnprintf(text, sizeof text, args, list);
        va_end(list);
    }
    if (standinCallFails(name, result, args ? "%s" : nullptr, text)) return false;
    if (state != SurfaceState::Live) {
        standinNoteDeadCall(name);
        *result = DDERR_INVALIDOBJECT;
        return false;
    }
    return true;
}

HRESULT Surface::unsupported(const char* name) {
    HRESULT result;
    return enter(name, &result) ? DDERR_UNSUPPORTED : result;
}

void Surface::describe(DDSURFACEDESC* desc) const {
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = kWidth;
    desc->dwHeight = kHeight;
    desc->lPitch = chain->pitch;
    if (position == 0 && chain->surfaces.size() > 1) {
        desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc->dwBackBufferCount = static_cast<DWORD>(chain->surfaces.size() - 1);
    }
    pixelFormat(chain->is565, &desc->ddpfPixelFormat);
    desc->ddsCaps.dwCaps = caps;
}

HRESULT Surface::QueryInterface(REFIID riid, void** object) {
    HRESULT result;
    if (!enter("IDirectDrawSurface::QueryInterface", &result)) return result;
    return answerQueryInterface<IDirectDrawSurface>(this, riid, kIidDirectDrawSurface, object);
}

uint32_t Surface::AddRef() {
    HRESULT result;
    if (standinCallFails("IDirectDrawSurface::AddRef", &result)) {
        standinNoteReturnedCount(static_cast<uint32_t>(result));
        return static_cast<uint32_t>(result);
    }
    if (state == SurfaceState::Freed) {
        standinNoteDeadCall("IDirectDrawSurface::AddRef");
        standinNoteReturnedCount(0);
        return 0;
    }
    standinNoteReturnedCount(++refs);
    return refs;
}

uint32_t Surface::Release() {
    HRESULT result;
    if (standinCallFails("IDirectDrawSurface::Release", &result)) {
        standinNoteReturnedCount(static_cast<uint32_t>(result));
        return static_cast<uint32_t>(result);
    }
    if (state == SurfaceState::Freed || refs == 0) {
        if (state == SurfaceState::Freed) standinNoteDeadCall("IDirectDrawSurface::Release");
        standinNoteReturnedCount(0);
        return 0;
    }
    --refs;
    if (refs == 0) {
        if (state == SurfaceState::Zombie)
            state = SurfaceState::Freed;
        else if (position == 0)
            freeChain(chain);
        // A back buffer lives as long as its chain, whatever its count.
    }
    standinNoteReturnedCount(refs);
    return refs;
}

HRESULT Surface::AddAttachedSurface(IDirectDrawSurface*) {
    return unsupported("IDirectDrawSurface::AddAttachedSurface");
}

HRESULT Surface::AddOverlayDirtyRect(RECT*) {
    return unsupported("IDirectDrawSurface::AddOverlayDirtyRect");
}

HRESULT Surface::Blt(RECT* destRect, IDirectDrawSurface* source, RECT*, DWORD flags, DDBLTFX* fx) {
    HRESULT result;
    if (!enter("IDirectDrawSurface::Blt", &result, "0x%x", static_cast<unsigned>(flags)))
        return result;
    checkGuards(*chain);
    if (!(flags & DDBLT_COLORFILL)) return DDERR_UNSUPPORTED; // only fills are served
    if (!fx || fx->dwSize != sizeof(DDBLTFX) || source) return DDERR_INVALIDPARAMS;
    if (!rectValid(destRect)) return kInvalidRect;
    if (lost) return DDERR_SURFACELOST;
    if (locked) return DDERR_SURFACEBUSY;
    const RECT whole = {0, 0, kWidth, kHeight};
    const RECT& area = destRect ? *destRect : whole;
    const auto colour = static_cast<uint16_t>(fx->dwFillColor);
    uint8_t* pixels = chain->pixelsAt(position);
    uint8_t* first = pixels + area.top * chain->pitch + 2 * area.left;
    const size_t rowBytes = 2 * static_cast<size_t>(area.right - area.left);
    if ((colour & 0xFF) == colour >> 8) { // one byte twice, as black is
        for (LONG y = area.top; y < area.bottom; ++y)
            std::memset(pixels + y * chain->pitch + 2 * area.left, colour & 0xFF, rowBytes);
        return DD_OK;
    }
    for (size_t x = 0; x < rowBytes; x += 2)
        std::memcpy(first + x, &colour, 2);
    for (LONG y = area.top + 1; y < area.bottom; ++y)
        std::memcpy(pixels + y * chain->pitch + 2 * area.left, first, rowBytes);
    return DD_OK;
}

HRESULT Surface::BltBatch(DDBLTBATCH*, DWORD, DWORD) {
    return unsupported("IDirectDrawSurface::BltBatch");
}

HRESULT Surface::BltFast(DWORD, DWORD, IDirectDrawSurface*, RECT*, DWORD) {
    return unsupported("IDirectDrawSurface::BltFast");
}

HRESULT Surface::DeleteAttachedSurface(DWORD, IDirectDrawSurface*) {
    return unsupported("IDirectDrawSurface::DeleteAttachedSurface");
}

HRESULT Surface::EnumAttachedSurfaces(void*, LPDDENUMSURFACESCALLBACK) {
    return unsupported("IDirectDrawSurface::EnumAttachedSurfaces");
}

HRESULT Surface::EnumOverlayZOrders(DWORD, void*, LPDDENUMSURFACESCALLBACK) {
    return unsupported("IDirectDrawSurface::EnumOverlayZOrders");
}

HRESULT Surface::Flip(IDirectDrawSurface* target, DWORD flags) {
    HRESULT result;
    if (!enter("IDirectDrawSurface::Flip", &result, "0x%x", static_cast<unsigned>(flags)))
        return result;
    checkGuards(*chain);
    const int count = static_cast<int>(chain->surfaces.size());
    if (position != 0 || count < 2) return DDERR_NOTFLIPPABLE;
    int targetPosition = 1;
    if (target) {
        targetPosition = 0;
        for (int p = 1; p < count; ++p)
            if (chain->surfaces[p] == target) targetPosition = p;
        if (targetPosition == 0) return DDERR_INVALIDPARAMS;
    }
    for (const Surface* surface : chain->surfaces) {
        if (surface->lost) return DDERR_SURFACELOST;
        if (surface->locked) return DDERR_SURFACEBUSY;
    }
    if (!directDrawHoldsExclusive(chain->owner)) return DDERR_NOEXCLUSIVEMODE;
    if (target) {
        std::swap(chain->blockAt[0], chain->blockAt[targetPosition]);
    } else {
        // front <- back <- second back <- old front
        const int oldFront = chain->blockAt[0];
        for (int p = 0; p + 1 < count; ++p)
            chain->blockAt[p] = chain->blockAt[p + 1];
        chain->blockAt[count - 1] = oldFront;
    }
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(DDSCAPS* wanted, IDirectDrawSurface** surface) {
    HRESULT result;
    if (!enter("IDirectDrawSurface::GetAttachedSurface", &result)) return result;
    if (!wanted || !surface) return DDERR_INVALIDPARAMS;
    const size_t count = chain->surfaces.size();
    if (count < 2 || wanted->dwCaps == 0) return DDERR_NOTFOUND;
    Surface* attached = chain->surfaces[(position + 1) % count];
    if ((attached->caps & wanted->dwCaps) != wanted->dwCaps) return DDERR_NOTFOUND;
    ++attached->refs;
    *surface = attached;
    return DD_OK;
}

HRESULT Surface::GetBltStatus(DWORD) {
    return unsupported("IDirectDrawSurface::GetBltStatus");
}

HRESULT Surface::GetCaps(DDSCAPS* out) {
    HRESULT result;
    if (!enter("IDirectDrawSurface::GetCaps", &result)) return result;
    if (!out) return DDERR_INVALIDPARAMS;
    out->dwCaps = caps;
    return DD_OK;
}

HRESULT Surface::GetClipper(IDirectDrawClipper**) {
    return unsupported("IDirectDrawSurface::GetClipper");
}

HRESULT Surface::GetColorKey(DWORD, DDCOLORKEY*) {
    return unsupported("IDirectDrawSurface::GetColorKey");
}

HRESULT Surface::GetDC(HDC*) {
    return unsupported("IDirectDrawSurface::GetDC");
}

HRESULT Surface::GetFlipStatus(DWORD) {
    return unsupported("IDirectDrawSurface::GetFlipStatus");
}

HRESULT Surface::GetOverlayPosition(LONG*, LONG*) {
    return unsupported("IDirectDrawSurface::GetOverlayPosition");
}

HRESULT Surface::GetPalette(IDirectDrawPalette**) {
    return unsupported("IDirectDrawSurface::GetPalette");
}

HRESULT Surface::GetPixelFormat(DDPIXELFORMAT* format) {
    HRESULT result;
    if (!enter("IDirectDrawSurface::GetPixelFormat", &result)) return result;
    if (!format || format->dwSize != sizeof(DDPIXELFORMAT)) return DDERR_INVALIDPARAMS;
    pixelFormat(chain->is565, format);
    return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(DDSURFACEDESC* desc) {
    HRESULT result;
    if (!enter("IDirectDrawSurface::GetSurfaceDesc", &result)) return result;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    describe(desc);
    return DD_OK;
}

HRESULT Surface::Initialize(IDirectDraw*, DDSURFACEDESC*) {
    return unsupported("IDirectDrawSurface::Initialize");
}

HRESULT Surface::IsLost() {
    HRESULT result;
    if (!enter("IDirectDrawSurface::IsLost", &result)) return result;
    return lost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT Surface::Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE) {
    HRESULT result;
    if (!enter("IDirectDrawSurface::Lock", &result, "0x%x", static_cast<unsigned>(flags)))
        return result;
    checkGuards(*chain);
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (!rectValid(rect)) return kInvalidRect;
    if (lost) return DDERR_SURFACELOST;
    if (locked) return DDERR_SURFACEBUSY;
    describe(desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    uint8_t* pixels = chain->pixelsAt(position);
    if (rect) pixels += rect->top * chain->pitch + 2 * rect->left;
    desc->lpSurface = pixels;
    locked = true;
    return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC) {
    return unsupported("IDirectDrawSurface::ReleaseDC");
}

// The primary brings its whole chain back; the memory holds whatever it holds.
HRESULT Surface::Restore() {
    HRESULT result;
    if (!enter("IDirectDrawSurface::Restore", &result)) return result;
    if (!lost) return DD_OK;
    if (position != 0) return kImplicitlyCreated;
    for (Surface* surface : chain->surfaces)
        surface->lost = false;
    if (drawLeftovers)
        for (PixelBlock& block : chain->blocks)
            fillGarbage(block);
    return DD_OK;
}

HRESULT Surface::SetClipper(IDirectDrawClipper*) {
    return unsupported("IDirectDrawSurface::SetClipper");
}

HRESULT Surface::SetColorKey(DWORD, DDCOLORKEY*) {
    return unsupported("IDirectDrawSurface::SetColorKey");
}

HRESULT Surface::SetOverlayPosition(LONG, LONG) {
    return unsupported("IDirectDrawSurface::SetOverlayPosition");
}

HRESULT Surface::SetPalette(IDirectDrawPalette*) {
    return unsupported("IDirectDrawSurface::SetPalette");
}

HRESULT Surface::Unlock(void*) {
    HRESULT result;
    if (!enter("IDirectDrawSurface::Unlock", &result)) return result;
    checkGuards(*chain);
    if (!locked) return DDERR_NOTLOCKED;
    locked = false;
    return DD_OK;
}

HRESULT Surface::UpdateOverlay(RECT*, IDirectDrawSurface*, RECT*, DWORD, DDOVERLAYFX*) {
    return unsupported("IDirectDrawSurface::UpdateOverlay");
}

HRESULT Surface::UpdateOverlayDisplay(DWORD) {
    return unsupported("IDirectDrawSurface::UpdateOverlayDisplay");
}

HRESULT Surface::UpdateOverlayZOrder(DWORD, IDirectDrawSurface*) {
    return unsupported("IDirectDrawSurface::UpdateOverlayZOrder");
}

HRESULT createPrimaryChain(DirectDrawObject* owner, const DDSURFACEDESC& desc,
                           IDirectDrawSurface** front) {
    const DWORD wanted = desc.ddsCaps.dwCaps;
    if (!(desc.dwFlags & DDSD_CAPS) || !(wanted & DDSCAPS_PRIMARYSURFACE))
        return DDERR_INVALIDCAPS; // the only surfaces there are: primary chains
    // A primary takes its size and format from the display.
    if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
    int backBuffers = 0;
    if (wanted & DDSCAPS_FLIP) {
        if (!(wanted & DDSCAPS_COMPLEX) || !(desc.dwFlags & DDSD_BACKBUFFERCOUNT))
            return DDERR_INVALIDCAPS;
        if (desc.dwBackBufferCount < 1 || desc.dwBackBufferCount > kMaxBackBuffers)
            return DDERR_INVALIDPARAMS;
        if (!directDrawHoldsExclusive(owner)) return DDERR_NOEXCLUSIVEMODE;
        backBuffers = static_cast<int>(desc.dwBackBufferCount);
    } else if (desc.dwFlags & DDSD_BACKBUFFERCOUNT) {
        return DDERR_INVALIDCAPS;
    }
    if (primaryChain) return DDERR_PRIMARYSURFACEALREADYEXISTS;

    // Released chains go for good once sixteen newer ones have gone, zombie
    // back buffers and all: nothing sound calls on them that late.
    auto released = [](const Chain& c) { return !c.live; };
    size_t releasedChains = 0;
    for (const auto& c : chains)
        releasedChains += released(*c);
    if (releasedChains > 16) {
        std::vector<const Surface*> doomed;
        for (const auto& c : chains)
            if (released(*c) && releasedChains-- > 16)
                doomed.insert(doomed.end(), c->surfaces.begin(), c->surfaces.end());
        forgetOldReleased(surfaces, 0, [&](const Surface& s) {
            return std::find(doomed.begin(), doomed.end(), &s) != doomed.end();
        });
        forgetOldReleased(chains, 16, released);
    }
    chains.push_back(std::make_unique<Chain>());
    Chain* chain = chains.back().get();
    chain->owner = owner;
    chain->pitch = pitchSetting;
    chain->is565 = format565;
    const DWORD flipCaps = backBuffers ? DDSCAPS_FLIP | DDSCAPS_COMPLEX : 0;
    for (int p = 0; p <= backBuffers; ++p) {
        chain->blocks.push_back(takeVideoMemory(chain->pitch, offsetSetting, drawLeftovers));
        chain->blockAt.push_back(p);
        surfaces.push_back(std::make_unique<Surface>());
        Surface* surface = surfaces.back().get();
        surface->chain = chain;
        surface->position = p;
        surface->caps = flipCaps | DDSCAPS_VIDEOMEMORY;
        if (p == 0) surface->caps |= DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER;
        if (p == 1) surface->caps |= DDSCAPS_BACKBUFFER;
        chain->surfaces.push_back(surface);
    }
    primaryChain = chain;
    *front = chain->surfaces[0];
    return DD_OK;
}

void freeSurfacesOf(const DirectDrawObject* owner) {
    // The owner's end takes its chains, held or not; callers keep counts only.
    for (const auto& chain : chains)
        if (chain->live && chain->owner == owner) freeChain(chain.get());
}

int liveSurfaceCount() {
    int live = 0;
    for (const auto& surface : surfaces)
        live += surface->state == SurfaceState::Live;
    return live;
}

uint32_t surfaceBytesInUse() {
    uint32_t bytes = 0;
    for (const auto& chain : chains)
        if (chain->live)
            bytes += static_cast<uint32_t>(rowSpan(chain->pitch)) * kHeight *
                     static_cast<uint32_t>(chain->blocks.size());
    return bytes;
}

void kxstandSetPixelFormat565(bool is565) {
    format565 = is565;
}

void kxstandSetPitch(int bytes) {
    pitchSetting = bytes;
}

void kxstandSetSurfaceOffset(int bytes) {
    offsetSetting = bytes < 0 ? 0 : bytes % 16;
}

void kxstandSetLeftovers(bool drawn) {
    drawLeftovers = drawn;
}

void kxstandLoseSurfaces() {
    for (const auto& surface : surfaces)
        if (surface->state == SurfaceState::Live) surface->lost = true;
}

uint8_t* kxstandChainPixels(int position, int* pitch, int* width, int* height) {
    if (!primaryChain || position < 0 ||
        position >= static_cast<int>(primaryChain->surfaces.size()))
        return nullptr;
    if (pitch) *pitch = primaryChain->pitch;
    if (width) *width = kWidth;
    if (height) *height = kHeight;
    return primaryChain->pixelsAt(position);
}

int kxstandStrayWrites() {
    if (primaryChain) checkGuards(*primaryChain);
    return strayWriteCount();
}

int kxstandLockedSurfaces() {
    int locked = 0;
    for (const auto& surface : surfaces)
        locked += surface->state == SurfaceState::Live && surface->locked;
    return locked;
}
