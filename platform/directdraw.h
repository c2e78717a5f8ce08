// First-generation DirectDraw as the driver sees it: IDirectDraw and
// IDirectDrawSurface with their complete method order (so the vtables match
// the system's ddraw.dll), the records and the constants the display layer uses.
// On Windows, ddraw.dll is loaded at run time; on Linux platform/posix serves it.
#pragma once

#include <cstdint>

#include "platform/win32.h"

typedef int32_t HRESULT;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef const GUID& REFIID;

struct RECT {
    LONG left, top, right, bottom;
};
struct HDC__;
typedef HDC__* HDC;

struct IDirectDraw;
struct IDirectDrawSurface;
struct IDirectDrawClipper;
struct IDirectDrawPalette;
struct PALETTEENTRY;
struct DDBLTBATCH;
struct DDOVERLAYFX;

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

struct DDSCAPS {
    DWORD dwCaps;
};

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};

struct DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    void* lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
};

struct DDBLTFX {
    DWORD dwSize;
    DWORD dwDDFX;
    DWORD dwROP;
    DWORD dwDDROP;
    DWORD dwRotationAngle;
    DWORD dwZBufferOpCode;
    DWORD dwZBufferLow;
    DWORD dwZBufferHigh;
    DWORD dwZBufferBaseDest;
    DWORD dwZDestConstBitDepth;
    union {
        DWORD dwZDestConst;
        IDirectDrawSurface* lpDDSZBufferDest;
    };
    DWORD dwZSrcConstBitDepth;
    union {
        DWORD dwZSrcConst;
        IDirectDrawSurface* lpDDSZBufferSrc;
    };
    DWORD dwAlphaEdgeBlendBitDepth;
    DWORD dwAlphaEdgeBlend;
    DWORD dwReserved;
    DWORD dwAlphaDestConstBitDepth;
    union {
        DWORD dwAlphaDestConst;
        IDirectDrawSurface* lpDDSAlphaDest;
    };
    DWORD dwAlphaSrcConstBitDepth;
    union {
        DWORD dwAlphaSrcConst;
        IDirectDrawSurface* lpDDSAlphaSrc;
    };
    union {
        DWORD dwFillColor;
        IDirectDrawSurface* lpDDSPattern;
    };
    DDCOLORKEY ddckDestColorkey;
    DDCOLORKEY ddckSrcColorkey;
};

// The DirectX 5 capability record.
struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwFXAlphaCaps;
    DWORD dwPalCaps;
    DWORD dwSVCaps;
    DWORD dwAlphaBltConstBitDepths;
    DWORD dwAlphaBltPixelBitDepths;
    DWORD dwAlphaBltSurfaceBitDepths;
    DWORD dwAlphaOverlayConstBitDepths;
    DWORD dwAlphaOverlayPixelBitDepths;
    DWORD dwAlphaOverlaySurfaceBitDepths;
    DWORD dwZBufferBitDepths;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwMaxVisibleOverlays;
    DWORD dwCurrVisibleOverlays;
    DWORD dwNumFourCCCodes;
    DWORD dwAlignBoundarySrc;
    DWORD dwAlignSizeSrc;
    DWORD dwAlignBoundaryDest;
    DWORD dwAlignSizeDest;
    DWORD dwAlignStrideAlign;
    DWORD dwRops[8];
    DDSCAPS ddsCaps;
    DWORD dwMinOverlayStretch;
    DWORD dwMaxOverlayStretch;
    DWORD dwMinLiveVideoStretch;
    DWORD dwMaxLiveVideoStretch;
    DWORD dwMinHwCodecStretch;
    DWORD dwMaxHwCodecStretch;
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwReserved3;
    DWORD dwSVBCaps;
    DWORD dwSVBCKeyCaps;
    DWORD dwSVBFXCaps;
    DWORD dwSVBRops[8];
    DWORD dwVSBCaps;
    DWORD dwVSBCKeyCaps;
    DWORD dwVSBFXCaps;
    DWORD dwVSBRops[8];
    DWORD dwSSBCaps;
    DWORD dwSSBCKeyCaps;
    DWORD dwSSBFXCaps;
    DWORD dwSSBRops[8];
    DWORD dwMaxVideoPorts;
    DWORD dwCurrVideoPorts;
    DWORD dwSVBCaps2;
    DWORD dwNLVBCaps;
    DWORD dwNLVBCaps2;
    DWORD dwNLVBCKeyCaps;
    DWORD dwNLVBFXCaps;
    DWORD dwNLVBRops[8];
};

typedef HRESULT(KX_STDCALL* LPDDENUMMODESCALLBACK)(DDSURFACEDESC*, void*);
typedef HRESULT(KX_STDCALL* LPDDENUMSURFACESCALLBACK)(IDirectDrawSurface*, DDSURFACEDESC*, void*);

struct IUnknown {
    virtual HRESULT KX_STDCALL QueryInterface(REFIID riid, void** object) = 0;
    virtual uint32_t KX_STDCALL AddRef() = 0;
    virtual uint32_t KX_STDCALL Release() = 0;
};

struct IDirectDraw : IUnknown {
    virtual HRESULT KX_STDCALL Compact() = 0;
    virtual HRESULT KX_STDCALL CreateClipper(DWORD flags, IDirectDrawClipper** clipper,
                                             IUnknown* outer) = 0;
    virtual HRESULT KX_STDCALL CreatePalette(DWORD flags, PALETTEENTRY* entries,
                                             IDirectDrawPalette** palette, IUnknown* outer) = 0;
    virtual HRESULT KX_STDCALL CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface,
                                             IUnknown* outer) = 0;
    virtual HRESULT KX_STDCALL DuplicateSurface(IDirectDrawSurface* source,
                                                IDirectDrawSurface** copy) = 0;
    virtual HRESULT KX_STDCALL EnumDisplayModes(DWORD flags, DDSURFACEDESC* desc, void* context,
                                                LPDDENUMMODESCALLBACK callback) = 0;
    virtual HRESULT KX_STDCALL EnumSurfaces(DWORD flags, DDSURFACEDESC* desc, void* context,
                                            LPDDENUMSURFACESCALLBACK callback) = 0;
    virtual HRESULT KX_STDCALL FlipToGDISurface() = 0;
    virtual HRESULT KX_STDCALL GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) = 0;
    virtual HRESULT KX_STDCALL GetDisplayMode(DDSURFACEDESC* desc) = 0;
    virtual HRESULT KX_STDCALL GetFourCCCodes(DWORD* count, DWORD* codes) = 0;
    virtual HRESULT KX_STDCALL GetGDISurface(IDirectDrawSurface** surface) = 0;
    virtual HRESULT KX_STDCALL GetMonitorFrequency(DWORD* frequency) = 0;
    virtual HRESULT KX_STDCALL GetScanLine(DWORD* line) = 0;
    virtual HRESULT KX_STDCALL GetVerticalBlankStatus(BOOL* inBlank) = 0;
    virtual HRESULT KX_STDCALL Initialize(GUID* guid) = 0;
    virtual HRESULT KX_STDCALL RestoreDisplayMode() = 0;
    virtual HRESULT KX_STDCALL SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT KX_STDCALL SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) = 0;
    virtual HRESULT KX_STDCALL WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
};

struct IDirectDrawSurface : IUnknown {
    virtual HRESULT KX_STDCALL AddAttachedSurface(IDirectDrawSurface* surface) = 0;
    virtual HRESULT KX_STDCALL AddOverlayDirtyRect(RECT* rect) = 0;
    virtual HRESULT KX_STDCALL Blt(RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect,
                                   DWORD flags, DDBLTFX* fx) = 0;
    virtual HRESULT KX_STDCALL BltBatch(DDBLTBATCH* batch, DWORD count, DWORD flags) = 0;
    virtual HRESULT KX_STDCALL BltFast(DWORD x, DWORD y, IDirectDrawSurface* source,
                                       RECT* sourceRect, DWORD flags) = 0;
    virtual HRESULT KX_STDCALL DeleteAttachedSurface(DWORD flags, IDirectDrawSurface* surface) = 0;
    virtual HRESULT KX_STDCALL EnumAttachedSurfaces(void* context,
                                                    LPDDENUMSURFACESCALLBACK callback) = 0;
    virtual HRESULT KX_STDCALL EnumOverlayZOrders(DWORD flags, void* context,
                                                  LPDDENUMSURFACESCALLBACK callback) = 0;
    virtual HRESULT KX_STDCALL Flip(IDirectDrawSurface* target, DWORD flags) = 0;
    virtual HRESULT KX_STDCALL GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** surface) = 0;
    virtual HRESULT KX_STDCALL GetBltStatus(DWORD flags) = 0;
    virtual HRESULT KX_STDCALL GetCaps(DDSCAPS* caps) = 0;
    virtual HRESULT KX_STDCALL GetClipper(IDirectDrawClipper** clipper) = 0;
    virtual HRESULT KX_STDCALL GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    virtual HRESULT KX_STDCALL GetDC(HDC* dc) = 0;
    virtual HRESULT KX_STDCALL GetFlipStatus(DWORD flags) = 0;
    virtual HRESULT KX_STDCALL GetOverlayPosition(LONG* x, LONG* y) = 0;
    virtual HRESULT KX_STDCALL GetPalette(IDirectDrawPalette** palette) = 0;
    virtual HRESULT KX_STDCALL GetPixelFormat(DDPIXELFORMAT* format) = 0;
    virtual HRESULT KX_STDCALL GetSurfaceDesc(DDSURFACEDESC* desc) = 0;
    virtual HRESULT KX_STDCALL Initialize(IDirectDraw* directDraw, DDSURFACEDESC* desc) = 0;
    virtual HRESULT KX_STDCALL IsLost() = 0;
    virtual HRESULT KX_STDCALL Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags,
                                    HANDLE event) = 0;
    virtual HRESULT KX_STDCALL ReleaseDC(HDC dc) = 0;
    virtual HRESULT KX_STDCALL Restore() = 0;
    virtual HRESULT KX_STDCALL SetClipper(IDirectDrawClipper* clipper) = 0;
    virtual HRESULT KX_STDCALL SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    virtual HRESULT KX_STDCALL SetOverlayPosition(LONG x, LONG y) = 0;
    virtual HRESULT KX_STDCALL SetPalette(IDirectDrawPalette* palette) = 0;
    virtual HRESULT KX_STDCALL Unlock(void* surfaceData) = 0;
    virtual HRESULT KX_STDCALL UpdateOverlay(RECT* sourceRect, IDirectDrawSurface* dest,
                                             RECT* destRect, DWORD flags, DDOVERLAYFX* fx) = 0;
    virtual HRESULT KX_STDCALL UpdateOverlayDisplay(DWORD flags) = 0;
    virtual HRESULT KX_STDCALL UpdateOverlayZOrder(DWORD flags, IDirectDrawSurface* reference) = 0;
};

typedef HRESULT(KX_STDCALL* DirectDrawCreateFn)(GUID* device, IDirectDraw** directDraw,
                                                IUnknown* outer);

// Result codes.
constexpr HRESULT DD_OK = 0;
constexpr HRESULT ddHResult(uint32_t code) { return static_cast<HRESULT>(0x88760000u + code); }
constexpr HRESULT E_NOTIMPL_ = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_UNSUPPORTED = E_NOTIMPL_;
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_INVALIDCAPS = ddHResult(100);
constexpr HRESULT DDERR_INVALIDMODE = ddHResult(120);
constexpr HRESULT DDERR_INVALIDOBJECT = ddHResult(130);
constexpr HRESULT DDERR_LOCKEDSURFACES = ddHResult(160);
constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = ddHResult(212);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = ddHResult(225);
constexpr HRESULT DDERR_NOTFOUND = ddHResult(255);
constexpr HRESULT DDERR_NOROTATIONHW = ddHResult(290);
constexpr HRESULT DDERR_SURFACEBUSY = ddHResult(430);
constexpr HRESULT DDERR_SURFACELOST = ddHResult(450);
constexpr HRESULT DDERR_WASSTILLDRAWING = ddHResult(540);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = ddHResult(564);
constexpr HRESULT DDERR_NOHWND = ddHResult(569);
constexpr HRESULT DDERR_EXCLUSIVEMODEALREADYSET = ddHResult(581);
constexpr HRESULT DDERR_NOTFLIPPABLE = ddHResult(582);
constexpr HRESULT DDERR_NOTLOCKED = ddHResult(584);
constexpr HRESULT DDERR_UNSUPPORTEDMODE = ddHResult(590);
constexpr HRESULT DDERR_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// Cooperative levels.
constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
constexpr DWORD DDSCL_NORMAL = 0x00000008;
constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;

// Surface description flags.
constexpr DWORD DDSD_CAPS = 0x00000001;
constexpr DWORD DDSD_HEIGHT = 0x00000002;
constexpr DWORD DDSD_WIDTH = 0x00000004;
constexpr DWORD DDSD_PITCH = 0x00000008;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x00000020;
constexpr DWORD DDSD_LPSURFACE = 0x00000800;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;

// Surface capabilities.
constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000004;
constexpr DWORD DDSCAPS_COMPLEX = 0x00000008;
constexpr DWORD DDSCAPS_FLIP = 0x00000010;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x00000020;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x00004000;

// Pixel format flags.
constexpr DWORD DDPF_RGB = 0x00000040;

// Blt, Lock, Flip and vertical-blank flags.
constexpr DWORD DDBLT_COLORFILL = 0x00000400;
constexpr DWORD DDBLT_WAIT = 0x01000000;
constexpr DWORD DDLOCK_WAIT = 0x00000001;
constexpr DWORD DDFLIP_WAIT = 0x00000001;
constexpr DWORD DDWAITVB_BLOCKBEGIN = 0x00000001;
constexpr DWORD DDWAITVB_BLOCKEND = 0x00000004;

// Driver capability bits (DDCAPS::dwCaps).
constexpr DWORD DDCAPS_3D = 0x00000001;
constexpr DWORD DDCAPS_ALIGNBOUNDARYDEST = 0x00000002;
constexpr DWORD DDCAPS_BLT = 0x00000040;
constexpr DWORD DDCAPS_BLTQUEUE = 0x00000080;
constexpr DWORD DDCAPS_BLTFOURCC = 0x00000100;
constexpr DWORD DDCAPS_BLTSTRETCH = 0x00000200;
constexpr DWORD DDCAPS_GDI = 0x00000400;
constexpr DWORD DDCAPS_OVERLAY = 0x00000800;
constexpr DWORD DDCAPS_OVERLAYCANTCLIP = 0x00001000;
constexpr DWORD DDCAPS_OVERLAYFOURCC = 0x00002000;
constexpr DWORD DDCAPS_OVERLAYSTRETCH = 0x00004000;
constexpr DWORD DDCAPS_PALETTE = 0x00008000;
constexpr DWORD DDCAPS_READSCANLINE = 0x00020000;
constexpr DWORD DDCAPS_VBI = 0x00080000;
constexpr DWORD DDCAPS_ZBLTS = 0x00100000;
constexpr DWORD DDCAPS_ZOVERLAYS = 0x00200000;
constexpr DWORD DDCAPS_COLORKEY = 0x00400000;
constexpr DWORD DDCAPS_ALPHA = 0x00800000;
constexpr DWORD DDCAPS_NOHARDWARE = 0x02000000;
constexpr DWORD DDCAPS_BLTCOLORFILL = 0x04000000;

// The record sizes the 32-bit system expects; 64-bit builds use their own sizeof.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(DDSURFACEDESC) == 108, "DDSURFACEDESC");
static_assert(sizeof(DDBLTFX) == 100, "DDBLTFX");
#endif
static_assert(sizeof(DDPIXELFORMAT) == 32, "DDPIXELFORMAT");
static_assert(sizeof(DDCAPS) == 364, "DDCAPS");
