#include "tests/e2e/e2e_support.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/png_writer.h"

const KxEntryPoints& linkedDriver() {
    static const KxEntryPoints api = [] {
        KxEntryPoints table;
#define KX_LINKED(name) table.name = &::name;
        KX_ENTRY_POINTS(KX_LINKED)
#undef KX_LINKED
        return table;
    }();
    return api;
}

HostVertex vertex(float x, float y, float invW, uint32_t colour, float u, float v) {
    return HostVertex{x, y, 1.0f - invW, invW, u * invW, v * invW, colour};
}

RgbImage shownFrame() {
    return readBackFrame(linkedDriver(), 640, 480);
}

uint32_t rgbAt(const RgbImage& image, int x, int y) {
    const uint8_t* p = image.rgb.data() + (size_t(y) * size_t(image.width) + size_t(x)) * 3;
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

bool readPng(const std::string& path, RgbImage& image, std::string& error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        error = png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    image.width = int(png.width);
    image.height = int(png.height);
    image.rgb.assign(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) {
        error = png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

namespace {

std::string writeOrNote(const std::string& path, const RgbImage& image) {
    std::string error;
    if (!writePng(path, image.width, image.height, image.rgb.data(), image.width * 3, error))
        return "(could not write " + path + ": " + error + ")";
    return path;
}

} // namespace

::testing::AssertionResult matchesGolden(const std::string& scene, const RgbImage& actual) {
    const std::string golden = std::string(KX_GOLDEN_DIR) + "/" + scene + ".png";
    const char* regenerate = std::getenv("KX_REGENERATE_GOLDENS");
    if (regenerate && std::string(regenerate) == "1") {
        std::string written = writeOrNote(golden, actual);
        std::printf("regenerated golden image %s\n", written.c_str());
        if (written != golden) return ::testing::AssertionFailure() << written;
        return ::testing::AssertionSuccess();
    }

    const std::string dir = KX_E2E_FAILURE_DIR;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string actualPath = dir + "/" + scene + "-actual.png";
    const std::string diffPath = dir + "/" + scene + "-diff.png";

    RgbImage expected;
    std::string error;
    if (!readPng(golden, expected, error))
        return ::testing::AssertionFailure()
               << "no golden image " << golden << " (" << error
               << "); this run's frame: " << writeOrNote(actualPath, actual)
               << "; after checking it, accept it with scripts/regen_goldens.sh";
    if (expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure()
               << scene << ": golden is " << expected.width << " x " << expected.height
               << ", frame is " << actual.width << " x " << actual.height
               << "; actual: " << writeOrNote(actualPath, actual);

    RgbImage diff = actual;
    long differing = 0;
    int firstX = -1, firstY = -1;
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x) {
            size_t i = (size_t(y) * size_t(actual.width) + size_t(x)) * 3;
            bool same = actual.rgb[i] == expected.rgb[i] &&
                        actual.rgb[i + 1] == expected.rgb[i + 1] &&
                        actual.rgb[i + 2] == expected.rgb[i + 2];
            if (same) {
                for (int c = 0; c < 3; ++c)
                    diff.rgb[i + size_t(c)] = uint8_t(actual.rgb[i + size_t(c)] / 4);
                continue;
            }
            if (differing++ == 0) firstX = x, firstY = y;
            diff.rgb[i] = 255;
            diff.rgb[i + 1] = 0;
            diff.rgb[i + 2] = 0;
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    char first[96];
    std::snprintf(first, sizeof first, "first at (%d, %d): %06X, golden %06X", firstX, firstY,
                  rgbAt(actual, firstX, firstY), rgbAt(expected, firstX, firstY));
    return ::testing::AssertionFailure()
           << scene << ": " << differing << " pixels differ from " << golden << ", " << first
           << "\n  actual: " << writeOrNote(actualPath, actual)
           << "\n  diff:   " << writeOrNote(diffPath, diff);
}
