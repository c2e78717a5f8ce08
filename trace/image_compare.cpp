#include "trace/image_compare.h"

#include <algorithm>
#include <cstdlib>

#if defined(KX_HAVE_LIBPNG)
#include <png.h>

bool readPng(const std::string& path, Image& image, std::string& error) {
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        error = "cannot read " + path + ": " + png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    image.width = int(png.width);
    image.height = int(png.height);
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) {
        error = "cannot decode " + path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}
#endif

namespace {

// The largest difference of pixel i's three components.
int pixelDifference(const Image& reference, const Image& test, size_t i) {
    int largest = 0;
    for (int c = 0; c < 3; ++c)
        largest =
            std::max(largest, std::abs(int(reference.rgb[3 * i + c]) - int(test.rgb[3 * i + c])));
    return largest;
}

} // namespace

ImageDifference compareImages(const Image& reference, const Image& test) {
    ImageDifference d;
    const size_t n = std::min(reference.rgb.size(), test.rgb.size()) / 3;
    for (size_t i = 0; i < n; ++i) {
        const int largest = pixelDifference(reference, test, i);
        d.pixels += largest > 0;
        d.largest = std::max(d.largest, largest);
    }
    return d;
}

Image differenceImage(const Image& reference, const Image& test) {
    Image out = reference;
    const size_t n = std::min(reference.rgb.size(), test.rgb.size()) / 3;
    for (size_t i = 0; i < n; ++i) {
        const int largest = pixelDifference(reference, test, i);
        uint8_t* p = &out.rgb[3 * i];
        if (largest) {
            p[0] = uint8_t(std::min(255, 128 + largest));
            p[1] = p[2] = 0;
        } else {
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t(p[c] / 4);
        }
    }
    return out;
}

Image shrinkImage(const Image& image, int factor) {
    Image out;
    if (factor < 1) factor = 1;
    out.width = image.width / factor;
    out.height = image.height / factor;
    out.rgb.resize(size_t(out.width) * size_t(out.height) * 3);
    const uint32_t area = uint32_t(factor) * uint32_t(factor);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < 3; ++c) {
                uint32_t sum = 0;
                for (int dy = 0; dy < factor; ++dy) {
                    const uint8_t* row = &image.rgb[(size_t(y * factor + dy) * size_t(image.width) +
                                                     size_t(x * factor)) *
                                                    3];
                    for (int dx = 0; dx < factor; ++dx)
                        sum += row[3 * dx + c];
                }
                out.rgb[(size_t(y) * size_t(out.width) + size_t(x)) * 3 + c] =
                    uint8_t((sum + area / 2) / area);
            }
    return out;
}
