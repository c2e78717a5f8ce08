// Conversion of host texture images and palettes into SGL texels: the
// texture size, the per-format conversion with the colour key, the
// translucency test and the nearest-neighbour scaler.
#include <cstring>

#include "diag/diag.h"
#include "texture/texel_kernels.h"
#include "texture/texture_local.h"

uint32_t kxCache::HighestPowerOfTwo(uint32_t value) {
    for (int bit = 30; bit >= 1; --bit)
        if (value & (1u << bit)) return 1u << bit;
    return 0;
}

void kxCache::ChooseTextureSize(int32_t width, int32_t height, int32_t* sideX, int32_t* sideY,
                                uint32_t* sizeCode) {
    // An image without pixels gets the smallest texture; the upload refuses it
    // before anything is created, and a negative size must not look huge.
    int32_t w = width < 1 ? 1 : (width > 256 ? 256 : width);
    int32_t h = height < 1 ? 1 : (height > 256 ? 256 : height);
    w = static_cast<int32_t>(HighestPowerOfTwo(static_cast<uint32_t>(w)));
    h = static_cast<int32_t>(HighestPowerOfTwo(static_cast<uint32_t>(h)));
    while (w != h) {
        int32_t& smaller = w < h ? w : h;
        int32_t& larger = w < h ? h : w;
        smaller *= 2;
        if (smaller != larger) larger /= 2;
    }
    int32_t side = w < 32 ? 32 : w;
    *sideX = side;
    *sideY = side;
    *sizeCode = side == 32 ? 0 : side == 64 ? 1 : side == 128 ? 2 : 3;
}

void kxCache::ConvertPalette(uint32_t* destination, const uint32_t* source) {
    for (int i = 0; i < 256; ++i)
        destination[i] = paletteTexel(source[i], keyMode, keyColour);
}

void kxCache::ScaleTexels(uint32_t* destination, int32_t destinationWidth,
                          int32_t destinationHeight, int32_t destinationPitch,
                          const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
                          int32_t sourcePitch) {
    scaleTexels(texelKernels(), destination, destinationWidth, destinationHeight, destinationPitch,
                source, sourceWidth, sourceHeight, sourcePitch);
}

static void convertRun(uint32_t format, uint32_t* destination, const uint8_t* source,
                       const uint32_t* palette, int32_t count) {
    switch (format) {
    case 0:
        texelKernels().convertIndexed(destination, source, palette, count);
        break;
    case 1:
        texelKernels().convert8888(destination, source, count);
        break;
    case 2:
        texelKernels().convert888(destination, source, count);
        break;
    case 3:
        convert1555Texels(destination, source, count);
        break;
    case 4:
        convert555Texels(destination, source, count);
        break;
    default:
        convert565Texels(destination, source, count);
        break;
    }
}

// Copies the pixels at columns[0..count) of a source row next to each other.
static void pickColumns(uint8_t* picked, const uint8_t* from, const int32_t* columns, int32_t count,
                        int64_t bpp) {
    switch (bpp) {
    case 1:
        for (int32_t x = 0; x < count; ++x)
            picked[x] = from[columns[x]];
        break;
    case 2:
        for (int32_t x = 0; x < count; ++x)
            std::memcpy(picked + 2 * x, from + 2 * int64_t(columns[x]), 2);
        break;
    case 3:
        for (int32_t x = 0; x < count; ++x)
            std::memcpy(picked + 3 * x, from + 3 * int64_t(columns[x]), 3);
        break;
    default:
        for (int32_t x = 0; x < count; ++x)
            std::memcpy(picked + 4 * x, from + 4 * int64_t(columns[x]), 4);
        break;
    }
}

void kxCache::ConvertPixels(const TextureRecord* record, const uint32_t* palette,
                            uint32_t* destination, int32_t textureWidth, int32_t textureHeight) {
    const int32_t width = record->width, height = record->height;
    const uint32_t format = record->format;
    const uint8_t* source = static_cast<const uint8_t*>(record->pixels);
    const int64_t count = int64_t(width) * height;
    if (width == textureWidth && height == textureHeight) {
        convertRun(format, destination, source, palette, static_cast<int32_t>(count));
        return;
    }
    if (count <= 256 * 256) {
        convertRun(format, scratchBuffer, source, palette, static_cast<int32_t>(count));
        ScaleTexels(destination, textureWidth, textureHeight, textureWidth, scratchBuffer, width,
                    height, width);
        return;
    }
    // Too large for scratchBuffer: convert only the pixels the scaler would
    // keep, which gives the texels of converting everything and then scaling.
    const int64_t bpp = hostBytesPerPixel(format);
    int32_t columns[256], rows[256];
    buildScaleMap(columns, textureWidth, width);
    buildScaleMap(rows, textureHeight, height);
    for (int32_t y = 0; y < textureHeight; ++y) {
        uint32_t* row = destination + y * textureWidth;
        if (y > 0 && rows[y] == rows[y - 1]) {
            std::memcpy(row, row - textureWidth, size_t(textureWidth) * 4);
            continue;
        }
        uint8_t picked[256 * 4];
        pickColumns(picked, source + int64_t(rows[y]) * width * bpp, columns, textureWidth, bpp);
        convertRun(format, row, picked, palette, textureWidth);
    }
}

void kxCache::ConvertTexture(TextureRecord* record, uint32_t* destination, int32_t textureWidth,
                             int32_t textureHeight, uint32_t* mapType) {
    // Textures are at most 256 square; images without pixels are not read.
    if (!isConvertibleTexture(record) || !destination || textureWidth < 1 || textureHeight < 1 ||
        textureWidth > 256 || textureHeight > 256)
        return;
    const uint32_t format = record->format;
    if (format != kxIndexed8) kxPrint("convert: %s used\n", hostFormatLayout(format));

    uint32_t ownPalette[256];
    const uint32_t* palette = globalPalette;
    if (format == 0 && record->palette) {
        ConvertPalette(ownPalette, record->palette);
        palette = ownPalette;
    }
    const uint8_t* pixels = static_cast<const uint8_t*>(record->pixels);
    const int64_t count = int64_t(record->width) * record->height;
    // Found once per record and kept, even if palette or key change.
    const uint32_t type =
        translucentMap(format, keyMode, record->translucency, pixels, count, palette)
            ? SGL_MAP_TRANSLUCENT
            : SGL_MAP_OPAQUE;
    ConvertPixels(record, palette, destination, textureWidth, textureHeight);
    if (mapType) *mapType = type;
}
