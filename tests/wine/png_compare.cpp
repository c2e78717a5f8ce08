// kxpngcompare: compares two PNG images pixel for pixel (decoded to 8-bit RGB)
// and describes where they differ.
//
//   kxpngcompare a.png b.png    exit 0: same size and pixels; 1: they differ;
//                               2: a file cannot be read
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // rows top to bottom, 3 bytes a pixel
};

bool readPng(const char* path, Image& image, std::string& error) {
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path)) {
        error = std::string(path) + ": " + png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) {
        error = std::string(path) + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kxpngcompare a.png b.png\n");
        return 2;
    }
    Image a, b;
    std::string error;
    if (!readPng(argv[1], a, error) || !readPng(argv[2], b, error)) {
        std::fprintf(stderr, "kxpngcompare: %s\n", error.c_str());
        return 2;
    }
    if (a.width != b.width || a.height != b.height) {
        std::printf("size differs: %dx%d and %dx%d\n", a.width, a.height, b.width, b.height);
        return 1;
    }
    long differing = 0;
    int maxDelta = 0;
    int left = a.width, top = a.height, right = -1, bottom = -1;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const unsigned char* p = &a.rgb[(size_t(y) * a.width + x) * 3];
            const unsigned char* q = &b.rgb[(size_t(y) * b.width + x) * 3];
            int delta = 0;
            for (int c = 0; c < 3; ++c)
                delta = std::max(delta, std::abs(int(p[c]) - int(q[c])));
            if (!delta) continue;
            if (++differing <= 5)
                std::printf("pixel (%d, %d): RGB %02x %02x %02x and %02x %02x %02x\n", x, y, p[0],
                            p[1], p[2], q[0], q[1], q[2]);
            maxDelta = std::max(maxDelta, delta);
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    if (!differing) {
        std::printf("same: %dx%d pixels\n", a.width, a.height);
        return 0;
    }
    std::printf("%ld of %d pixels differ, by up to %d in a channel, within (%d, %d)-(%d, %d)\n",
                differing, a.width * a.height, maxDelta, left, top, right, bottom);
    return 1;
}
