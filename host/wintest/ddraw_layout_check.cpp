// Compile-time check of our DirectDraw declarations against the toolchain's
// own <ddraw.h>: record sizes, member offsets and constant values. Built in
// the 32- and 64-bit Windows builds; it produces no code.
//
// Our header is read first, inside a namespace, before <windows.h> turns the
// constant names into macros. Its few Win32 function declarations get other
// names here, since extern "C" functions would clash across namespaces.
#include <cstddef>
#include <cstdint>

#include "host/wintest/ours_directdraw.h"

// Every constant of ours that <ddraw.h> also defines, by name.
#define KX_DDRAW_CONSTANTS(X)                                                                      \
    X(DD_OK)                                                                                       \
    X(DDERR_UNSUPPORTED)                                                                           \
    X(DDERR_GENERIC)                                                                               \
    X(DDERR_OUTOFMEMORY)                                                                           \
    X(DDERR_INVALIDPARAMS)                                                                         \
    X(DDERR_INVALIDCAPS)                                                                           \
    X(DDERR_INVALIDMODE)                                                                           \
    X(DDERR_INVALIDOBJECT)                                                                         \
    X(DDERR_LOCKEDSURFACES)                                                                        \
    X(DDERR_NOCOOPERATIVELEVELSET)                                                                 \
    X(DDERR_NOEXCLUSIVEMODE)                                                                       \
    X(DDERR_NOTFOUND)                                                                              \
    X(DDERR_NOROTATIONHW)                                                                          \
    X(DDERR_SURFACEBUSY)                                                                           \
    X(DDERR_SURFACELOST)                                                                           \
    X(DDERR_WASSTILLDRAWING)                                                                       \
    X(DDERR_PRIMARYSURFACEALREADYEXISTS)                                                           \
    X(DDERR_NOHWND)                                                                                \
    X(DDERR_EXCLUSIVEMODEALREADYSET)                                                               \
    X(DDERR_NOTFLIPPABLE)                                                                          \
    X(DDERR_NOTLOCKED)                                                                             \
    X(DDERR_UNSUPPORTEDMODE)                                                                       \
    X(DDERR_NOTINITIALIZED)                                                                        \
    X(DDSCL_FULLSCREEN)                                                                            \
    X(DDSCL_NORMAL)                                                                                \
    X(DDSCL_EXCLUSIVE)                                                                             \
    X(DDSD_CAPS)                                                                                   \
    X(DDSD_HEIGHT)                                                                                 \
    X(DDSD_WIDTH)                                                                                  \
    X(DDSD_PITCH)                                                                                  \
    X(DDSD_BACKBUFFERCOUNT)                                                                        \
    X(DDSD_LPSURFACE)                                                                              \
    X(DDSD_PIXELFORMAT)                                                                            \
    X(DDSCAPS_BACKBUFFER)                                                                          \
    X(DDSCAPS_COMPLEX)                                                                             \
    X(DDSCAPS_FLIP)                                                                                \
    X(DDSCAPS_FRONTBUFFER)                                                                         \
    X(DDSCAPS_PRIMARYSURFACE)                                                                      \
    X(DDSCAPS_VIDEOMEMORY)                                                                         \
    X(DDPF_RGB)                                                                                    \
    X(DDBLT_COLORFILL)                                                                             \
    X(DDBLT_WAIT)                                                                                  \
    X(DDLOCK_WAIT)                                                                                 \
    X(DDFLIP_WAIT)                                                                                 \
    X(DDWAITVB_BLOCKBEGIN)                                                                         \
    X(DDWAITVB_BLOCKEND)                                                                           \
    X(DDCAPS_3D)                                                                                   \
    X(DDCAPS_ALIGNBOUNDARYDEST)                                                                    \
    X(DDCAPS_BLT)                                                                                  \
    X(DDCAPS_BLTQUEUE)                                                                             \
    X(DDCAPS_BLTFOURCC)                                                                            \
    X(DDCAPS_BLTSTRETCH)                                                                           \
    X(DDCAPS_GDI)                                                                                  \
    X(DDCAPS_OVERLAY)                                                                              \
    X(DDCAPS_OVERLAYCANTCLIP)                                                                      \
    X(DDCAPS_OVERLAYFOURCC)                                                                        \
    X(DDCAPS_OVERLAYSTRETCH)                                                                       \
    X(DDCAPS_PALETTE)                                                                              \
    X(DDCAPS_READSCANLINE)                                                                         \
    X(DDCAPS_VBI)                                                                                  \
    X(DDCAPS_ZBLTS)                                                                                \
    X(DDCAPS_ZOVERLAYS)                                                                            \
    X(DDCAPS_COLORKEY)                                                                             \
    X(DDCAPS_ALPHA)                                                                                \
    X(DDCAPS_NOHARDWARE)                                                                           \
    X(DDCAPS_BLTCOLORFILL)

// Our values, taken while the names are still ours.
namespace saved {
#define KX_SAVE(name) constexpr uint32_t name##_ = static_cast<uint32_t>(ours::name);
KX_DDRAW_CONSTANTS(KX_SAVE)
#undef KX_SAVE
} // namespace saved

#include <windows.h>

#include <ddraw.h>

#define KX_COMPARE(name)                                                                           \
    static_assert(saved::name##_ == static_cast<uint32_t>(name), "value of " #name);
KX_DDRAW_CONSTANTS(KX_COMPARE)
#undef KX_COMPARE

#define KX_SAME_OFFSET(record, theirs, member)                                                     \
    static_assert(offsetof(ours::record, member) == offsetof(theirs, member),                      \
                  "offset of " #record "::" #member)

// Records: same size as the system's in this build, member by member.
static_assert(sizeof(ours::DDPIXELFORMAT) == sizeof(::DDPIXELFORMAT), "DDPIXELFORMAT size");
static_assert(sizeof(ours::DDPIXELFORMAT) == 32, "DDPIXELFORMAT is 32 bytes in every build");
KX_SAME_OFFSET(DDPIXELFORMAT, ::DDPIXELFORMAT, dwFlags);
KX_SAME_OFFSET(DDPIXELFORMAT, ::DDPIXELFORMAT, dwFourCC);
KX_SAME_OFFSET(DDPIXELFORMAT, ::DDPIXELFORMAT, dwRGBBitCount);
KX_SAME_OFFSET(DDPIXELFORMAT, ::DDPIXELFORMAT, dwRBitMask);
KX_SAME_OFFSET(DDPIXELFORMAT, ::DDPIXELFORMAT, dwGBitMask);
KX_SAME_OFFSET(DDPIXELFORMAT, ::DDPIXELFORMAT, dwBBitMask);
KX_SAME_OFFSET(DDPIXELFORMAT, ::DDPIXELFORMAT, dwRGBAlphaBitMask);

static_assert(sizeof(ours::DDSCAPS) == sizeof(::DDSCAPS), "DDSCAPS size");
static_assert(sizeof(ours::DDCOLORKEY) == sizeof(::DDCOLORKEY), "DDCOLORKEY size");

static_assert(sizeof(ours::DDSURFACEDESC) == sizeof(::DDSURFACEDESC), "DDSURFACEDESC size");
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, dwFlags);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, dwHeight);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, dwWidth);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, lPitch);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, dwBackBufferCount);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, dwRefreshRate);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, dwAlphaBitDepth);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, dwReserved);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, lpSurface);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, ddckCKDestOverlay);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, ddckCKDestBlt);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, ddckCKSrcOverlay);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, ddckCKSrcBlt);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, ddpfPixelFormat);
KX_SAME_OFFSET(DDSURFACEDESC, ::DDSURFACEDESC, ddsCaps);

static_assert(sizeof(ours::DDBLTFX) == sizeof(::DDBLTFX), "DDBLTFX size");
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwDDFX);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwROP);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwDDROP);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwRotationAngle);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwZBufferOpCode);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwZBufferBaseDest);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwZDestConstBitDepth);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwZDestConst);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwZSrcConstBitDepth);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwZSrcConst);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwAlphaEdgeBlendBitDepth);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwReserved);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwAlphaDestConstBitDepth);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwAlphaDestConst);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwAlphaSrcConstBitDepth);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwAlphaSrcConst);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, dwFillColor);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, ddckDestColorkey);
KX_SAME_OFFSET(DDBLTFX, ::DDBLTFX, ddckSrcColorkey);

// Our capability record is the DirectX 5 one.
static_assert(sizeof(ours::DDCAPS) == sizeof(::DDCAPS_DX5), "DDCAPS size");
static_assert(sizeof(ours::DDCAPS) == 364, "DDCAPS is 364 bytes in every build");
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwCaps);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwCaps2);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwVidMemTotal);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwAlignStrideAlign);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwRops);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, ddsCaps);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwSVBCaps);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwVSBRops);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwSSBRops);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwMaxVideoPorts);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwNLVBCaps);
KX_SAME_OFFSET(DDCAPS, ::DDCAPS_DX5, dwNLVBRops);

static_assert(sizeof(ours::GUID) == sizeof(::GUID), "GUID size");
static_assert(sizeof(ours::RECT) == sizeof(::RECT), "RECT size");

// The sizes the 32-bit system's DirectDraw expects in every dwSize.
#if !defined(_WIN64)
static_assert(sizeof(ours::DDSURFACEDESC) == 108, "DDSURFACEDESC is 108 bytes");
static_assert(sizeof(ours::DDBLTFX) == 100, "DDBLTFX is 100 bytes");
#else
static_assert(sizeof(ours::DDSURFACEDESC) == 120, "DDSURFACEDESC holds a 64-bit pointer");
static_assert(sizeof(ours::DDBLTFX) == 128, "DDBLTFX holds 64-bit pointers");
#endif
