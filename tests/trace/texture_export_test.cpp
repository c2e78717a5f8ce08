// kxtrace textures: every content of every texture a trace loads, as PNG
// files the way the host handed them, through the palette and the colour key
// the driver converted them with at that point of the trace.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>

#include "tests/trace/tool_run.h"
#include "tests/trace/trace_builder.h"

namespace fs = std::filesystem;

namespace {

const uint32_t kKey = 0xFFFF00FF;

struct Rgba {
    int width = 0, height = 0;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> at(int x, int y) const {
        const uint8_t* p = &bytes[(size_t(y) * size_t(width) + size_t(x)) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

Rgba readRgba(const fs::path& path) {
    Rgba image;
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        ADD_FAILURE() << "cannot read " << path << ": " << png.message;
        return image;
    }
    png.format = PNG_FORMAT_RGBA;
    image.width = int(png.width);
    image.height = int(png.height);
    image.bytes.resize(PNG_IMAGE_SIZE(png));
    EXPECT_TRUE(png_image_finish_read(&png, nullptr, image.bytes.data(), 0, nullptr))
        << png.message;
    return image;
}

using Px = std::vector<uint8_t>;

// Textures of four formats, global and own palettes, the key switched off
// between conversions, and one texture never selected.
std::string writeSession(const WorkDir& dir) {
    const std::string path = (dir / "textures.kxtrace").string();
    std::vector<uint32_t> global(256), own(256);
    for (uint32_t i = 0; i < 256; ++i) {
        global[i] = 0xFF000000u | (i << 16) | (((i + 1) & 0xFF) << 8) | ((i + 2) & 0xFF);
        own[i] = 0xFF000000u | (i * 0x010101u);
    }
    global[1] = kKey;
    global[2] = 0x80102030; // half transparent
    global[3] = 0x7FFF00FF; // the key colour but for its alpha: not keyed
    own[1] = kKey;
    const uint8_t indexed[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    const uint8_t reversed[8] = {7, 6, 5, 4, 3, 2, 1, 0};
    const uint8_t bgr[6] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
    const uint8_t ownIndexed[2] = {1, 5};
    const uint16_t p565[2] = {0xF81F, 0x07E0};
    const uint8_t bgra[4] = {0x10, 0x20, 0x30, 0x40};
    TraceBuilder b(path);
    b.call(kEntry_Init, {}, 1);                                                          // 0
    b.call(kEntry_ssChromaKey, {1, kKey});                                               // 1
    b.call(kEntry_LoadPalette, {0x1000}).reads(0x1000, global.data(), paletteRead());    // 2
    b.call(kEntry_LoadTexture, {0x2000, 4, 2, 0, kxIndexed8, 0, 0}, 0x9000);             // 3
    b.call(kEntry_LoadTexture, {0x3000, 2, 1, 0, kx888, 0, 0}, 0x9100);                  // 4
    b.call(kEntry_LoadTexture, {0x4000, 2, 1, 0, kxIndexed8, 0, 0x5000}, 0x9200);        // 5
    b.call(kEntry_LoadTexture, {0x6000, 2, 1, 0, kx565, 0, 0}, 0x9300);                  // 6
    b.call(kEntry_LoadTexture, {0x7000, 8, 8, 0, kxIndexed8, 0, 0}, 0x9400);             // 7
    b.call(kEntry_SelectTexture, {0x9000}).reads(0x2000, indexed, textureRead(4, 2, 0)); // 8
    b.call(kEntry_SelectTexture, {0x9100}).reads(0x3000, bgr, textureRead(2, 1, kx888)); // 9
    b.call(kEntry_SelectTexture, {0x9200})                                               // 10
        .reads(0x4000, ownIndexed, textureRead(2, 1, 0))
        .reads(0x5000, own.data(), paletteRead());
    b.call(kEntry_SelectTexture, {0x9300}).reads(0x6000, p565, textureRead(2, 1, kx565)); // 11
    b.call(kEntry_SelectTexture, {0x9000});        // 12: resident, nothing read
    b.call(kEntry_ssChromaKey, {0, kKey});         // 13
    b.call(kEntry_ModifyTexture, {0x9000, 0x2100}) // 14
        .reads(0x2100, reversed, textureRead(4, 2, 0));
    b.call(kEntry_ModifyTexture, {0x9200, 0x4000}) // 15: same pixels, the key now off
        .reads(0x4000, ownIndexed, textureRead(2, 1, 0))
        .reads(0x5000, own.data(), paletteRead());
    b.call(kEntry_LoadPalette, {0x1000}) // 16: the global texture converted again
        .reads(0x1000, global.data(), paletteRead())
        .reads(0x2100, reversed, textureRead(4, 2, 0));
    b.call(kEntry_LoadTexture, {0x8000, 1, 1, 0, kx8888, 0, 0}, 0x9500);                   // 17
    b.call(kEntry_SelectTexture, {0x9500}).reads(0x8000, bgra, textureRead(1, 1, kx8888)); // 18
    b.call(kEntry_PageFlip, {}, 0);                                                        // 19
    b.call(kEntry_Shutdown);                                                               // 20
    b.close();
    return path;
}

TEST(KxtraceTextures, EveryContentThroughItsPaletteAndKey) {
    const WorkDir dir("textures");
    const std::string trace = writeSession(dir);
    const fs::path out = dir / "out";
    ToolResult r = runTool("kxtrace textures " + trace + " " + out.string());
    ASSERT_EQ(r.exitCode, 0) << r.output;

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{
                         "texture_000_9000_call14.png", "texture_000_9000_call16.png",
                         "texture_000_9000_call8.png", "texture_001_9100_call9.png",
                         "texture_002_9200_call10.png", "texture_002_9200_call15.png",
                         "texture_003_9300_call11.png", "texture_005_9500_call18.png"}));
    expectContains(r.output, {"texture #0 0x9000 (4 x 2, 8-bit indexed, global palette), "
                              "loaded at call 3: first content at call 8 -> ",
                              "loaded at call 3: new content at call 14 -> ",
                              "texture #4 0x9400 (8 x 8, 8-bit indexed, global palette), "
                              "loaded at call 7: no image, never selected",
                              "kxtrace: 8 PNG files in " + out.string() +
                                  ", of 6 textures (1 without an image)"});

    // The global palette under the key: entry 1 (the key) transparent black,
    // entry 2 half transparent, entry 3 differs from the key in alpha only.
    const Rgba first = readRgba(out / "texture_000_9000_call8.png");
    ASSERT_EQ(first.width, 4);
    ASSERT_EQ(first.height, 2);
    EXPECT_EQ(first.at(0, 0), (Px{0, 1, 2, 255}));
    EXPECT_EQ(first.at(1, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(first.at(2, 0), (Px{0x10, 0x20, 0x30, 0x80}));
    EXPECT_EQ(first.at(3, 0), (Px{0xFF, 0x00, 0xFF, 0x7F}));
    EXPECT_EQ(first.at(3, 1), (Px{7, 8, 9, 255}));
    // New pixels after the key went off: the global palette still holds the
    // key of its LoadPalette (black), but the map is opaque without the key;
    // reloaded with the key off, the palette has the key colour itself.
    const Rgba modified = readRgba(out / "texture_000_9000_call14.png");
    EXPECT_EQ(modified.at(2, 1), (Px{0, 0, 0, 255}));
    EXPECT_EQ(modified.at(1, 1), (Px{0x10, 0x20, 0x30, 255}));
    EXPECT_EQ(modified.at(0, 0), (Px{7, 8, 9, 255}));
    const Rgba reloaded = readRgba(out / "texture_000_9000_call16.png");
    EXPECT_EQ(reloaded.at(2, 1), (Px{0xFF, 0x00, 0xFF, 0xFF}));
    // An own palette is converted under the key of each conversion.
    const Rgba own = readRgba(out / "texture_002_9200_call10.png");
    EXPECT_EQ(own.at(0, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(own.at(1, 0), (Px{5, 5, 5, 255}));
    EXPECT_EQ(readRgba(out / "texture_002_9200_call15.png").at(0, 0), (Px{0xFF, 0x00, 0xFF, 0xFF}));
    // Direct formats: 888 bytes blue, green, red, opaque; 565 widened by a
    // shift; 8888's alpha kept (a translucent map).
    const Rgba direct = readRgba(out / "texture_001_9100_call9.png");
    EXPECT_EQ(direct.at(0, 0), (Px{0x30, 0x20, 0x10, 255}));
    EXPECT_EQ(direct.at(1, 0), (Px{0x60, 0x50, 0x40, 255}));
    const Rgba wide = readRgba(out / "texture_003_9300_call11.png");
    EXPECT_EQ(wide.at(0, 0), (Px{0xF8, 0x00, 0xF8, 255}));
    EXPECT_EQ(wide.at(1, 0), (Px{0x00, 0xFC, 0x00, 255}));
    EXPECT_EQ(readRgba(out / "texture_005_9500_call18.png").at(0, 0), (Px{0x30, 0x20, 0x10, 0x40}));
}

TEST(KxtraceTextures, BadInputSaysWhy) {
    const WorkDir dir("textures");
    const std::string trace = writeSession(dir);
    const std::string damaged =
        "kxtrace textures " + truncatedCopy(trace) + " " + (dir / "out").string();
    EXPECT_TRUE(contains(expectTool(damaged, 3, ": offset "), "truncated"));
    EXPECT_FALSE(fs::exists(dir / "out"));

    // A file where the folder should go.
    std::ofstream(dir / "taken") << "x";
    expectTool("kxtrace textures " + trace + " " + (dir / "taken").string(), 4,
               "cannot create " + (dir / "taken").string());
}

} // namespace
