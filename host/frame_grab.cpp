#include "host/frame_grab.h"

#include <cstddef>

RgbImage rgbFromReadBack(const uint8_t* bgr, int width, int height, int pitch) {
    RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb.resize(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = bgr + size_t(height - 1 - y) * size_t(pitch);
        uint8_t* out = image.rgb.data() + size_t(y) * size_t(width) * 3;
        for (int x = 0; x < width; ++x) {
            out[3 * x + 0] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x + 0];
        }
    }
    return image;
}

RgbImage readBackFrame(const KxEntryPoints& api, int width, int height) {
    // Rows padded to 4 bytes, as a host's DIB-style buffer would be.
    int pitch = (width * 3 + 3) & ~3;
    std::vector<uint8_t> bgr(size_t(pitch) * size_t(height));
    const uint32_t kFormat888 = 2;
    api.BltFromCard(bgr.data(), 0, 0, width, height, pitch, kFormat888);
    return rgbFromReadBack(bgr.data(), width, height, pitch);
}
