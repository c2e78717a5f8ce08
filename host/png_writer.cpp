#include "host/png_writer.h"

#include <cstdio>

#include <png.h>

std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels,
                               int pitch) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (png_image_write_get_memory_size(image, size, 0, pixels, pitch, nullptr)) {
        std::vector<uint8_t> bytes(size);
        if (png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels, pitch, nullptr)) {
            bytes.resize(size);
            return bytes;
        }
    }
    png_image_free(&image);
    return {};
}

bool writePng(const std::string& path, int width, int height, const uint8_t* rgb, int pitch,
              std::string& error) {
    const std::vector<uint8_t> bytes = encodePng(width, height, 3, rgb, pitch);
    if (bytes.empty()) {
        error = "libpng failed to encode " + path;
        return false;
    }
    return writeFileBytes(path, bytes, error);
}

bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) error = "cannot write " + path;
    return ok;
}
