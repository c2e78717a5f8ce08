// How the driver makes a texel of one host pixel: the rules every texture
// conversion follows, for each host image format, how a palette entry
// becomes a texel under the colour key, and when the texels' transparency
// counts (a translucent map) or not (an opaque one). A texel is the bytes red, green,
// blue, transparency (the word 0xTTBBGGRR). Inline, so that a tool that
// shows textures as the driver sees them (kxtrace textures) calls these
// rules without the rest of this layer.
#pragma once

#include <cstdint>
#include <cstring>

#include "api/kxapi_records.h"

// A host colour 0xAARRGGBB as a texel: red, green, blue, 255 - alpha.
inline uint32_t texelFromHostColour(uint32_t colour) {
    return ((colour >> 16) & 0xFFu) | (colour & 0xFF00u) | ((colour & 0xFFu) << 16) |
           (~colour & 0xFF000000u);
}

// Bytes blue, green, red as a texel: red, green, blue, 255.
inline uint32_t texelFrom888(const uint8_t* p) {
    return uint32_t(p[2]) | (uint32_t(p[1]) << 8) | (uint32_t(p[0]) << 16) | 0xFF000000u;
}

inline uint16_t load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// 16-bit layouts: components widen by a left shift (low bits zero). 1555's
// top bit is its alpha: set = opaque (transparency 0), clear = transparency 255.
inline uint32_t texelFrom1555(uint16_t p) {
    uint32_t r = ((p >> 10) & 0x1Fu) << 3, g = ((p >> 5) & 0x1Fu) << 3, b = (p & 0x1Fu) << 3;
    return r | (g << 8) | (b << 16) | ((p & 0x8000u) ? 0u : 0xFF000000u);
}
inline uint32_t texelFrom555(uint16_t p) {
    uint32_t r = ((p >> 10) & 0x1Fu) << 3, g = ((p >> 5) & 0x1Fu) << 3, b = (p & 0x1Fu) << 3;
    return r | (g << 8) | (b << 16);
}
inline uint32_t texelFrom565(uint16_t p) {
    uint32_t r = ((p >> 11) & 0x1Fu) << 3, g = ((p >> 5) & 0x3Fu) << 2, b = (p & 0x1Fu) << 3;
    return r | (g << 8) | (b << 16);
}

// A palette entry as a conversion makes it: while the key is on (mode 1),
// the key colour (all 32 bits) becomes black and fully transparent.
inline uint32_t paletteTexel(uint32_t colour, uint32_t keyMode, uint32_t keyColour) {
    return (keyMode == 1 && colour == keyColour) ? 0xFF000000u : texelFromHostColour(colour);
}

// One pixel of a host image of `format` at `pixel`; an indexed pixel takes
// its texel from `palette` (256 texels, made by paletteTexel). 0 for a code
// that is no format.
inline uint32_t hostPixelTexel(uint32_t format, const uint8_t* pixel, const uint32_t* palette) {
    uint32_t word;
    switch (format) {
    case kxIndexed8:
        return palette[pixel[0]];
    case kx8888:
        std::memcpy(&word, pixel, 4);
        return texelFromHostColour(word);
    case kx888:
        return texelFrom888(pixel);
    case kx1555:
        return texelFrom1555(load16(pixel));
    case kx555:
        return texelFrom555(load16(pixel));
    case kx565:
        return texelFrom565(load16(pixel));
    default:
        return 0;
    }
}

// Some pixel of the indexed image takes a palette texel that is not opaque.
inline bool anyTranslucentIndex(const uint8_t* pixels, int64_t count, const uint32_t* palette) {
    bool translucent[256];
    bool any = false;
    for (int i = 0; i < 256; ++i)
        any |= translucent[i] = (palette[i] >> 24) != 0;
    if (!any) return false;
    for (int64_t i = 0; i < count; ++i)
        if (translucent[pixels[i]]) return true;
    return false;
}

inline bool anyTransparent1555(const uint8_t* pixels, int64_t count) {
    for (int64_t i = 0; i < count; ++i)
        if (!(load16(pixels + 2 * i) & 0x8000u)) return true;
    return false;
}

// Whether a conversion of `count` pixels of `format` makes a translucent map;
// otherwise the map is opaque and its texels' transparency is ignored. An
// indexed image is translucent only under the key (mode 1), as found at its
// first such conversion: `translucency` (-1 unknown, 0 no, 1 yes) is the
// record's and keeps that answer even when palette or key change later.
inline bool translucentMap(uint32_t format, uint32_t keyMode, int32_t& translucency,
                           const uint8_t* pixels, int64_t count, const uint32_t* palette) {
    switch (format) {
    case kxIndexed8:
        if (keyMode != 1) return false;
        if (translucency == -1) translucency = anyTranslucentIndex(pixels, count, palette) ? 1 : 0;
        return translucency != 0;
    case kx8888:
        return true;
    case kx1555:
        return anyTransparent1555(pixels, count);
    default:
        return false;
    }
}
