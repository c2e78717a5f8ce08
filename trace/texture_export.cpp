#include "trace/texture_export.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "texture/host_texels.h"
#include "trace/trace_hash.h"

namespace {

struct Seen {
    BlobHash image{}, palette{};
    bool any = false, translucent = false;
    int32_t translucency = -1; // the record's, as the driver finds it
};

// The palette's 256 colours as texels, the key applied as given.
void paletteTexels(const TraceItem* item, uint32_t keyMode, uint32_t keyColour,
                   uint32_t texels[256]) {
    uint32_t colours[256] = {}; // none loaded: the driver's palette is all zero
    paletteColours(item, colours);
    for (int i = 0; i < 256; ++i)
        texels[i] = paletteTexel(colours[i], keyMode, keyColour);
}

} // namespace

void forEachTextureImage(const Trace& trace, const std::function<void(const TextureImage&)>& take) {
    TraceState state;
    std::vector<Seen> seen;
    // The global palette as the driver converted it: under the key in force
    // at its LoadPalette.
    uint32_t global[256];
    paletteTexels(nullptr, 0, 0, global);
    for (size_t i = 0; i < trace.calls.size(); ++i) {
        applyCall(state, trace, i);
        if (trace.calls[i].entry == kEntry_LoadPalette && state.globalPaletteCall == i)
            paletteTexels(state.globalPalette, uint32_t(state.chromaKeyMode), state.chromaKeyColour,
                          global);
        seen.resize(state.textures.size());
        for (size_t n = 0; n < state.textures.size(); ++n) {
            const TraceTexture& t = state.textures[n];
            if (t.imageCall != i || !t.image || !t.image->data) continue;
            const uint64_t count = uint64_t(t.width) * uint64_t(t.height);
            const uint64_t bytes = hostImageBytes(t.width, t.height, t.format);
            if (t.format > kx565 || bytes == 0 || t.image->dataSize != bytes) continue;
            uint32_t own[256];
            const uint32_t* palette = global;
            if (t.format == kxIndexed8 && t.palette) {
                paletteTexels(t.ownPalette, uint32_t(state.chromaKeyMode), state.chromaKeyColour,
                              own);
                palette = own;
            }
            const uint8_t* pixels = t.image->data;
            Seen now = seen[n];
            now.any = true;
            now.translucent = translucentMap(t.format, uint32_t(state.chromaKeyMode),
                                             now.translucency, pixels, int64_t(count), palette);
            now.image = hashBlob(pixels, t.image->dataSize);
            now.palette = t.format == kxIndexed8 ? hashBlob(palette, sizeof own) : BlobHash{};
            const bool same = seen[n].any && seen[n].image == now.image &&
                              seen[n].palette == now.palette &&
                              seen[n].translucent == now.translucent;
            seen[n] = now;
            if (same) continue;
            TextureImage image;
            image.texture = t;
            image.call = i;
            image.width = t.width;
            image.height = t.height;
            image.translucent = now.translucent;
            image.rgba.resize(size_t(count) * 4);
            const uint64_t step = uint64_t(hostBytesPerPixel(t.format));
            for (uint64_t p = 0; p < count; ++p) {
                const uint32_t texel = hostPixelTexel(t.format, pixels + p * step, palette);
                uint8_t* out = &image.rgba[size_t(p) * 4];
                out[0] = uint8_t(texel);
                out[1] = uint8_t(texel >> 8);
                out[2] = uint8_t(texel >> 16);
                out[3] = now.translucent ? uint8_t(255 - (texel >> 24)) : 255;
            }
            take(image);
        }
    }
}

std::string textureFileName(const TextureImage& image) {
    char name[80];
    std::snprintf(name, sizeof name, "texture_%03d_%" PRIx64 "_call%zu.png", image.texture.number,
                  image.texture.handle, image.call);
    return name;
}
