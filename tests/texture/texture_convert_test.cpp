// Texture sizes, texel conversion of every host layout with and without the
// colour key, and the scaler, checked against plain references. CTest runs
// this program once per kernel level (KXPWRVR_KERNELS), so every set is checked.
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/posix/standin_control.h"
#include "texture/texel_reference.h"
#include "tests/texture/texture_test_helpers.h"
#include "texture/texel_kernels.h"

// The texels SGL received for the record's texture (selected now), and its map type.
static std::vector<uint32_t> uploadedTexels(TextureRecord* record, int* mapType) {
    int side = 0;
    const uint32_t* texels = softsglTexels(selectIn(record, framesFlipped()), &side, mapType);
    return texels ? std::vector<uint32_t>(texels, texels + side * side) : std::vector<uint32_t>{};
}

// The conversion runs the level the driver names on the debugger output
// under a cap (the AVX2 set serves AVX-512, having no wider one), so that
// each capped run of these tests checks the set it says it checks; without a
// cap nothing is named and the processor's widest set runs. Which level a
// cap gives is tests/cpu's.
TEST(TextureConvert, RunsTheLevelTheDriverNames) {
    kxstandClearDebugLines();
    const std::string set = texelKernels().name; // its first use chooses the level
    const std::vector<std::string> named = kxstandDebugLines();
    std::string level = kernelLevelName(processorKernelLevel());
    if (std::getenv("KXPWRVR_KERNELS")) {
        ASSERT_EQ(named.size(), 1u);
        const std::string prefix = "kxpwrvr: kernels ";
        ASSERT_EQ(named[0].rfind(prefix, 0), 0u) << named[0];
        level = named[0].substr(prefix.size(), named[0].size() - prefix.size() - 1);
    } else {
        EXPECT_TRUE(named.empty());
    }
    EXPECT_EQ(set, level == "avx512" ? "avx2" : level);
}

// The side of the square texture an image gets, and its size code (the
// second argument of sgl_create_texture): each dimension, held to 256, goes
// down to a power of two; the smaller doubles and the larger halves until
// they meet; at least 32.
TEST(TextureConvert, SizeTable) {
    StartedDriver driver;
    const int32_t table[][4] = {{256, 256, 256, 3}, {640, 480, 256, 3}, {200, 100, 128, 2},
                                {256, 32, 128, 2},  {256, 64, 128, 2},  {128, 256, 256, 3},
                                {64, 16, 32, 0},    {16, 16, 32, 0},    {1, 1, 32, 0},
                                {37, 13, 32, 0},    {1000, 70, 128, 2}, {100, 100, 64, 1}};
    static uint8_t image[1000 * 480];
    for (const auto& row : table) {
        TextureRecord* record = LoadTexture(image, row[0], row[1], 0, 0, 0, nullptr);
        softsglClearCalls();
        int side = 0;
        ASSERT_NE(softsglTexels(selectIn(record, framesFlipped()), &side), nullptr);
        ASSERT_EQ(softsglCallCount("sgl_create_texture"), 1);
        EXPECT_EQ(std::vector<int64_t>({side, softsglCalls().front().args[1]}),
                  std::vector<int64_t>({row[2], row[3]}))
            << row[0] << " x " << row[1];
        UnloadTexture(record);
    }
}

TEST(TextureConvert, IndexedImagesAndTheColourKey) {
    StartedDriver driver;
    const uint32_t key = 0xFF123456;
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = 0xFF000000u | (i * 0x010203u); // red i, green 2i, blue 3i
    palette[3] = key;
    palette[4] = key & 0x00FFFFFF; // differs from the key in alpha only: not keyed
    palette[5] = 0x40ABCDEF;
    static uint8_t usesKey[32 * 32], opaque[32 * 32], faint[32 * 32];
    std::memset(usesKey, 9, sizeof usesKey);
    usesKey[7] = 3;
    usesKey[8] = 4;
    std::memset(opaque, 9, sizeof opaque);
    std::memset(faint, 5, sizeof faint);
    ssChromaKey(1, key);
    LoadPalette(palette);
    TextureRecord* keyed = LoadTexture(usesKey, 32, 32, 0, 0, 0, nullptr);
    TextureRecord* plain = LoadTexture(opaque, 32, 32, 0, 0, 0, nullptr);
    int mapType = 0;
    std::vector<uint32_t> t = uploadedTexels(keyed, &mapType);
    EXPECT_EQ(std::vector<uint32_t>({t[0], t[7], t[8]}),
              std::vector<uint32_t>(
                  {texel(9, 18, 27, 0), texel(0, 0, 0, 255), texel(0x12, 0x34, 0x56, 0xFF)}));
    EXPECT_EQ(std::vector<int>({keyed->translucency, mapType}), std::vector<int>({1, 4}));
    EXPECT_EQ(uploadedTexels(plain, &mapType)[0], texel(9, 18, 27, 0));
    EXPECT_EQ(std::vector<int>({plain->translucency, mapType}), std::vector<int>({0, 1}));
    // Key off: map type 1 whatever the alphas; texels still carry 255 - alpha.
    ssChromaKey(0, key);
    TextureRecord* low = LoadTexture(faint, 32, 32, 0, 0, 0, nullptr);
    EXPECT_EQ(uploadedTexels(low, &mapType)[0], texel(0xAB, 0xCD, 0xEF, 0xBF));
    EXPECT_EQ(std::vector<int>({low->translucency, mapType}), std::vector<int>({-1, 1}));
    // A texture's own palette is converted under the key in force (off).
    TextureRecord* withOwn = LoadTexture(usesKey, 32, 32, 0, 0, 0, palette);
    EXPECT_EQ(uploadedTexels(withOwn, &mapType)[7], texel(0x12, 0x34, 0x56, 0));
    // A new palette re-converts the resident global-palette textures in place.
    softsglClearCalls();
    palette[9] = 0x80010203;
    LoadPalette(palette);
    EXPECT_EQ(softsglCallCount("sgl_set_texture"), 3);
    EXPECT_EQ(softsglTexels(selectIn(plain, 0))[0], texel(1, 2, 3, 0x7F));
    EXPECT_EQ(softsglTexels(selectIn(keyed, 0))[7], texel(0x12, 0x34, 0x56, 0));
    // Translucency is found once: a new texture for `plain`, whose entry is
    // now translucent under the key, keeps the opaque map type.
    ssChromaKey(1, key);
    Shutdown();
    ASSERT_EQ(Init(), 1);
    uploadedTexels(plain, &mapType);
    EXPECT_EQ(std::vector<int>({plain->translucency, mapType}), std::vector<int>({0, 1}));
}

TEST(TextureConvert, ScalerStepping) {
    // 32 x 128 into 64 x 64: each source column twice, row k from source row 2k + 1.
    std::vector<uint32_t> source(32 * 128), scaled(64 * 64);
    for (int i = 0; i < 32 * 128; ++i)
        source[i] = i;
    scaleTexels(texelKernels(), scaled.data(), 64, 64, 64, source.data(), 32, 128, 32);
    for (int i = 0; i < 64 * 64; ++i)
        ASSERT_EQ(scaled[i], uint32_t((2 * (i / 64) + 1) * 32 + i % 64 / 2)) << i;
    // Random sizes against the reference, uncovered rows and columns included,
    // and wider than the tables.
    std::mt19937 random(7);
    for (int n = 0; n < 600; ++n) {
        int sw = random() % 300 + 1, sh = random() % 300 + 1;
        int dw = random() % 256 + 1, dh = random() % 256 + 1;
        if (n % 4 == 1) sw = dw + random() % (dw + 1); // shrinks up to 2:1
        if (n % 50 == 0) dw = 1025 + random() % 600;
        std::vector<uint32_t> src(sw * sh), ours(dw * dh), expected(dw * dh);
        for (uint32_t& v : src)
            v = random();
        scaleTexels(texelKernels(), ours.data(), dw, dh, dw, src.data(), sw, sh, sw);
        reference::scale(expected.data(), dw, dh, src.data(), sw, sh);
        ASSERT_EQ(ours, expected) << sw << "x" << sh << " -> " << dw << "x" << dh;
    }
}

TEST(TextureConvert, ImagesOfEverySizeMatchConvertThenScale) {
    StartedDriver driver;
    std::mt19937 random(11);
    uint32_t palette[256];
    for (uint32_t& c : palette)
        c = random();
    LoadPalette(palette);
    LoadPalette(nullptr); // no palette: the loaded one stays
    // Straight into the texture, through scratchBuffer (odd sizes leave every
    // kernel's tail), and too large for it.
    // Width, height, and the side of the texture (SizeTable).
    const int sizes[][3] = {{64, 64, 64},    {100, 100, 64},  {37, 13, 32},   {200, 100, 128},
                            {300, 260, 256}, {640, 480, 256}, {1000, 70, 128}};
    const char* messages[] = {"",
                              "convert: 8888 used\n",
                              "convert: 888 used\n",
                              "convert: 1555 used\n",
                              "convert: 555 used\n",
                              "convert: 565 used\n"};
    for (uint32_t format = 0; format <= 5; ++format)
        for (const auto& [w, h, side] : sizes) {
            const int bpp = format == 0 ? 1 : format == 1 ? 4 : format == 2 ? 3 : 2;
            std::vector<uint8_t> pixels(size_t(w) * h * bpp);
            for (uint8_t& b : pixels)
                b = uint8_t(random() | (format == 3 ? 0x80 : 0));
            // 1555: one transparent pixel, in row 0 (which shrinks skip), or none.
            const bool transparent = format == 1 || (format == 3 && w != 64);
            if (format == 3 && transparent) pixels[1] &= 0x7F;
            std::vector<uint32_t> whole(size_t(w) * h);
            for (size_t i = 0; i < whole.size(); ++i)
                whole[i] = reference::texel(format, &pixels[i * bpp], palette);
            std::vector<uint32_t> expected(side * side);
            reference::scale(expected.data(), side, side, whole.data(), w, h);
            int mapType = 0;
            clearMessages();
            TextureRecord* record = LoadTexture(pixels.data(), w, h, 0, format, 0, nullptr);
            EXPECT_EQ(uploadedTexels(record, &mapType), expected)
                << format << ": " << w << "x" << h;
            EXPECT_EQ(mapType, transparent ? 4 : 1);
            EXPECT_EQ(driverMessages(), std::vector<std::string>(format > 0, messages[format]));
            UnloadTexture(record);
        }
}

// No new image for a resident texture: it stays, untouched. (Images that
// cannot be converted at all: SelectedTexture.)
TEST(TextureConvert, ModifyingWithoutAnImageKeepsTheTexture) {
    StartedDriver driver;
    static uint8_t pixels[32 * 32];
    TextureRecord* good = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
    int32_t name = selectIn(good, 1);
    softsglClearCalls();
    ModifyTexture(good, nullptr);
    EXPECT_TRUE(softsglCalls().empty());
    EXPECT_EQ(good->pixels, pixels);
    EXPECT_NE(softsglTexels(name), nullptr);
    EXPECT_EQ(softsglLiveTextures(), 1);
}
