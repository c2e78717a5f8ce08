// The records and facts a host engine and the driver share: the host's
// vertex, its image formats, the texture record a handle points to, and the
// display. Everything that must agree with the driver about host memory
// (the driver's own layers, the recording driver, replay, the fuzzer, the
// host programs) takes them from here.
#pragma once

#include <cstdint>

// The display the driver takes over: the back buffer the blits draw into and
// the screen the read-back copies, 16 bits a pixel.
constexpr int32_t kxScreenWidth = 640;
constexpr int32_t kxScreenHeight = 480;

// A palette: 256 host colours, each a 32-bit 0xAARRGGBB (in memory blue,
// green, red, alpha).
constexpr int32_t kxPaletteColours = 256;
constexpr uint32_t kxPaletteBytes = kxPaletteColours * 4;

// Host image formats: how the pixels of a texture or an image lie in host
// memory, row after row. Codes above 5 are not formats.
enum HostImageFormat : uint32_t {
    kxIndexed8 = 0, // an index into a palette
    kx8888 = 1,     // blue, green, red, alpha: a host colour
    kx888 = 2,      // blue, green, red
    kx1555 = 3,     // 16-bit words
    kx555 = 4,
    kx565 = 5,
};
constexpr uint32_t kxFormatCount = 6;

struct HostFormatInfo {
    const char* layout; // as messages name it
    int32_t bytesPerPixel;
};
constexpr HostFormatInfo kxFormats[kxFormatCount] = {{"8-bit indexed", 1}, {"8888", 4},
                                                     {"888", 3},           {"1555", 2},
                                                     {"555", 2},           {"565", 2}};

// Bytes of one pixel; 0 for a code that is no format.
constexpr int32_t hostBytesPerPixel(uint32_t format) {
    return format < kxFormatCount ? kxFormats[format].bytesPerPixel : 0;
}
// The layout's name ("8888"); null for a code that is no format.
constexpr const char* hostFormatLayout(uint32_t format) {
    return format < kxFormatCount ? kxFormats[format].layout : nullptr;
}
// Bytes of a width x height image packed row after row; 0 when it has no
// pixels (no size, or no format).
constexpr uint64_t hostImageBytes(int32_t width, int32_t height, uint32_t format) {
    return width <= 0 || height <= 0
               ? 0
               : uint64_t(width) * uint64_t(height) * uint64_t(hostBytesPerPixel(format));
}

// The host's vertex: 28 bytes, screen space.
struct HostVertex {
    float x, y, z;
    float invW;
    float u, v;
    uint32_t colour; // 0xAARRGGBB
};
static_assert(sizeof(HostVertex) == 28, "HostVertex is 7 words");

// The driver's record of one host texture. LoadTexture returns its address
// as the texture's handle, and a host or tool may read it there: the image
// is width x height pixels of `format` at `pixels`, packed row after row,
// which the driver reads again whenever it converts the texture (at its
// first selection, after an eviction, on ModifyTexture of a resident
// texture, which moves `pixels`, and on LoadPalette).
struct TextureRecord {
    int32_t width;
    int32_t height;
    uint32_t hostValue4; // LoadTexture's fourth argument, kept, never read
    uint32_t hostValue6; // its sixth
    uint32_t format;
    const uint32_t* palette; // the texture's own palette, or null: the global one
    const void* pixels;
    int32_t translucency; // -1 not known yet, 0 every texel opaque, 1 some texel not
};
static_assert(sizeof(void*) != 4 || sizeof(TextureRecord) == 32, "eight 32-bit words");
