// The textures a trace loads, as images: each content recorded for each
// texture (its first, each later one a ModifyTexture or the host gave it,
// and each palette it is converted with), at the host's own size, every
// pixel made a texel by the driver's own rules (texture/host_texels.h): its
// palette applied, own or global, with the colour key as the driver applies
// it then (the key colour transparent black while keyed), and transparency
// shown only where the driver makes a translucent map of it (elsewhere its
// texels draw opaque).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trace/trace_reader.h"
#include "trace/trace_state.h"

struct TextureImage {
    TraceTexture texture; // as it stood at `call`
    size_t call = 0;      // where this content first appears
    int32_t width = 0, height = 0;
    bool translucent = false;  // the driver's map is translucent, else opaque
    std::vector<uint8_t> rgba; // width x height pixels, rows top to bottom; alpha 255 opaque
};

// Calls `take` with every new content of every texture, in trace order.
void forEachTextureImage(const Trace& trace, const std::function<void(const TextureImage&)>& take);

// "texture_003_55e1207c2ae0_call376.png": number, handle, first call.
std::string textureFileName(const TextureImage& image);
