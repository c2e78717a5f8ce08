#include "tests/e2e/e2e_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/png_writer.h"
#include "trace/image_compare.h"

const KxEntryPoints& linkedDriver() {
    static const KxEntryPoints api = [] {
        KxEntryPoints table;
#define KX_LINKED(code, name, Result, result, parameters, arguments) table.name = &::name;
        KX_ENTRY_POINTS(KX_LINKED, KX_ENTRY_LIST)
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

namespace {

std::string writeOrNote(const std::string& path, const Image& image) {
    std::string error;
    if (!writePng(path, image.width, image.height, image.rgb.data(), image.width * 3, error))
        return "(could not write " + path + ": " + error + ")";
    return path;
}

} // namespace

::testing::AssertionResult matchesGolden(const std::string& scene, const RgbImage& frame) {
    const std::string golden = std::string(KX_GOLDEN_DIR) + "/" + scene + ".png";
    const Image actual{frame.width, frame.height, frame.rgb};
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

    Image expected;
    std::string error;
    if (!readPng(golden, expected, error))
        return ::testing::AssertionFailure()
               << "no golden image (" << error
               << "); this run's frame: " << writeOrNote(actualPath, actual)
               << "; after checking it, accept it with scripts/regen_goldens.sh";
    if (expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure()
               << scene << ": golden is " << expected.width << " x " << expected.height
               << ", frame is " << actual.width << " x " << actual.height
               << "; actual: " << writeOrNote(actualPath, actual);
    const ImageDifference d = compareImages(expected, actual);
    if (d.pixels == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << scene << ": " << d.pixels << " pixels differ from " << golden << ", by up to "
           << d.largest << "\n  actual: " << writeOrNote(actualPath, actual)
           << "\n  diff:   " << writeOrNote(diffPath, differenceImage(expected, actual));
}
