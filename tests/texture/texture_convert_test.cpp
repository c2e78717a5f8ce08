// Texture sizes, texel conversion of every host layout with and without the
// colour key, and the scaler, checked against plain references.
#include <cstring>
#include <random>

#include "tests/texture/texture_test_helpers.h"
#include "texture/texel_kernels.h"

// The texels SGL received for the record's texture (selected now), and its map type.
static std::vector<uint32_t> uploadedTexels(TextureRecord* record, int* mapType = nullptr) {
    int side = 0;
    const uint32_t* texels = softsglTexels(selectIn(record, frameCounter), &side, mapType);
    return texels ? std::vector<uint32_t>(texels, texels + side * side) : std::vector<uint32_t>{};
}

// One host pixel as a texel, from the layouts' description.
static uint32_t referenceTexel(uint32_t format, const uint8_t* p, const uint32_t* palette) {
    uint32_t w = p[0] | (p[1] << 8);
    switch (format) {
    case 0: {
        uint32_t c = palette[p[0]];
        return texel((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, 255 - (c >> 24));
    }
    case 1:
        return texel(p[2], p[1], p[0], 255 - p[3]);
    case 2:
        return texel(p[2], p[1], p[0], 255);
    case 3:
        return texel((w >> 10 & 31) << 3, (w >> 5 & 31) << 3, (w & 31) << 3, w >> 15 ? 0 : 255);
    case 4:
        return texel((w >> 10 & 31) << 3, (w >> 5 & 31) << 3, (w & 31) << 3, 0);
    default:
        return texel((w >> 11) << 3, (w >> 5 & 63) << 2, (w & 31) << 3, 0);
    }
}

TEST(TextureConvert, SizeTable) {
    const int32_t table[][4] = {{256, 256, 256, 3}, {640, 480, 256, 3}, {200, 100, 128, 2},
                                {256, 32, 128, 2},  {256, 64, 128, 2},  {128, 256, 256, 3},
                                {64, 16, 32, 0},    {16, 16, 32, 0},    {1, 1, 32, 0},
                                {0, 64, 32, 0},     {-5, -5, 32, 0}};
    for (const auto& row : table) {
        int32_t x = 0, y = 0;
        uint32_t code = 9;
        kxCache::ChooseTextureSize(row[0], row[1], &x, &y, &code);
        EXPECT_EQ(x, row[2]) << row[0] << " x " << row[1];
        EXPECT_EQ(y, row[2]);
        EXPECT_EQ(code, uint32_t(row[3]));
    }
    const uint32_t powers[][2] = {
        {0, 0}, {1, 0}, {2, 2}, {3, 2}, {255, 128}, {256, 256}, {0x7FFFFFFF, 0x40000000}};
    for (const auto& p : powers)
        EXPECT_EQ(kxCache::HighestPowerOfTwo(p[0]), p[1]) << p[0];
}

TEST(TextureConvert, HostLayoutsBecomeTexels) {
    StartedDriver driver;
    struct Case {
        uint32_t format;
        std::vector<uint8_t> first, second; // two pixels' bytes; the rest repeat the first
        uint32_t texel0, texel1;
        int mapType;
        const char* message;
    };
    const Case cases[] = {
        {1,
         {0x10, 0x20, 0x30, 0xFF},
         {1, 2, 3, 0x40},
         texel(0x30, 0x20, 0x10, 0),
         texel(3, 2, 1, 0xBF),
         4,
         "convert: 8888 used\n"},
        {2,
         {0x10, 0x20, 0x30},
         {1, 2, 3},
         texel(0x30, 0x20, 0x10, 0xFF),
         texel(3, 2, 1, 0xFF),
         1,
         "convert: 888 used\n"},
        {3,
         {0x22, 0xFC},
         {0x22, 0x7C},
         texel(0xF8, 0x08, 0x10, 0),
         texel(0xF8, 0x08, 0x10, 0xFF),
         4,
         "convert: 1555 used\n"},
        {3,
         {0x22, 0xFC},
         {0x1F, 0x80},
         texel(0xF8, 0x08, 0x10, 0),
         texel(0, 0, 0xF8, 0),
         1,
         "convert: 1555 used\n"},
        {4,
         {0x22, 0x7C},
         {0x1F, 0x00},
         texel(0xF8, 0x08, 0x10, 0),
         texel(0, 0, 0xF8, 0),
         1,
         "convert: 555 used\n"},
        {5,
         {0xE1, 0xFF},
         {0x20, 0x00},
         texel(0xF8, 0xFC, 0x08, 0),
         texel(0, 4, 0, 0),
         1,
         "convert: 565 used\n"},
    };
    ssChromaKey(1, 0); // the key touches indexed images only
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<uint8_t> pixels;
        for (int i = 0; i < 32 * 32; ++i)
            pixels.insert(pixels.end(), (i == 1 ? c.second : c.first).begin(),
                          (i == 1 ? c.second : c.first).end());
        clearMessages();
        int mapType = 0;
        std::vector<uint32_t> texels =
            uploadedTexels(LoadTexture(pixels.data(), 32, 32, 0, c.format, 0, nullptr), &mapType);
        ASSERT_EQ(texels.size(), 32u * 32u);
        EXPECT_EQ(texels[0], c.texel0);
        EXPECT_EQ(texels[1], c.texel1);
        EXPECT_EQ(texels[1023], c.texel0);
        EXPECT_EQ(mapType, c.mapType);
        EXPECT_EQ(countMessages(c.message), 1);
    }
}

TEST(TextureConvert, IndexedImagesAndTheColourKey) {
    StartedDriver driver;
    const uint32_t key = 0xFF123456;
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = 0xFF000000u | (i * 0x010203u);
    palette[3] = key;
    palette[4] = key & 0x00FFFFFF; // differs from the key in alpha only: not keyed
    palette[5] = 0x40ABCDEF;
    static uint8_t usesKey[32 * 32], opaque[32 * 32], translucent[32 * 32];
    std::memset(usesKey, 9, sizeof usesKey);
    usesKey[7] = 3;
    usesKey[8] = 4;
    std::memset(opaque, 9, sizeof opaque);
    std::memset(translucent, 5, sizeof translucent);

    ssChromaKey(1, key);
    LoadPalette(palette);
    TextureRecord* keyed = LoadTexture(usesKey, 32, 32, 0, 0, 0, nullptr);
    TextureRecord* plain = LoadTexture(opaque, 32, 32, 0, 0, 0, nullptr);
    int mapType = 0;
    std::vector<uint32_t> t = uploadedTexels(keyed, &mapType);
    EXPECT_EQ(t[7], texel(0, 0, 0, 255));
    EXPECT_EQ(t[8], texel(0x12, 0x34, 0x56, 0xFF)); // alpha 0x00 gives transparency 255
    EXPECT_EQ(t[0], texel(9, 18, 27, 0));
    EXPECT_EQ(keyed->translucency, 1);
    EXPECT_EQ(mapType, 4);
    t = uploadedTexels(plain, &mapType);
    EXPECT_EQ(t[0], texel(9, 18, 27, 0));
    EXPECT_EQ(plain->translucency, 0);
    EXPECT_EQ(mapType, 1);

    // Key off: map type 1 whatever the alphas; texels still carry 255 - alpha.
    ssChromaKey(0, key);
    TextureRecord* faint = LoadTexture(translucent, 32, 32, 0, 0, 0, nullptr);
    t = uploadedTexels(faint, &mapType);
    EXPECT_EQ(t[0], texel(0xAB, 0xCD, 0xEF, 0xBF));
    EXPECT_EQ(mapType, 1);
    EXPECT_EQ(faint->translucency, -1);

    // A new palette re-converts the resident global-palette textures in place,
    // under the key as it is now, and only those.
    uint32_t own[256];
    std::memcpy(own, palette, sizeof own);
    TextureRecord* withOwn = LoadTexture(usesKey, 32, 32, 0, 0, 0, own);
    t = uploadedTexels(withOwn, &mapType); // its own palette, under no key
    EXPECT_EQ(t[7], texel(0x12, 0x34, 0x56, 0));
    softsglClearCalls();
    palette[9] = 0x80010203;
    LoadPalette(palette);
    EXPECT_EQ(softsglCallCount("sgl_set_texture"), 3);
    EXPECT_EQ(softsglTexels(selectIn(plain, 0))[0], texel(1, 2, 3, 0x7F));
    EXPECT_EQ(softsglTexels(selectIn(keyed, 0))[7], texel(0x12, 0x34, 0x56, 0));

    // Translucency is found once: a new texture for `plain`, now showing a
    // translucent entry under the key, keeps the opaque map type.
    ssChromaKey(1, key);
    Shutdown();
    ASSERT_EQ(Init(), 1);
    uploadedTexels(plain, &mapType);
    EXPECT_EQ(plain->translucency, 0);
    EXPECT_EQ(mapType, 1);
}

TEST(TextureConvert, ScalerStepping) {
    // 32 x 128 into 64 x 64: each source column twice, destination row k from source row 2k + 1.
    std::vector<uint32_t> source(32 * 128), scaled(64 * 64);
    for (int r = 0; r < 128; ++r)
        for (int c = 0; c < 32; ++c)
            source[r * 32 + c] = r << 8 | c;
    kxCache::ScaleTexels(scaled.data(), 64, 64, 64, source.data(), 32, 128, 32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(scaled[y * 64 + x], uint32_t((2 * y + 1) << 8 | x / 2)) << x << "," << y;

    // Random sizes against the reference, uncovered rows and columns included,
    // with each instruction set the kernels may use; destinations wider than
    // the scaler's tables too.
    std::mt19937 random(7);
    for (int n = 0; n < 600; ++n) {
        capTexelSimdLevel(n % 3);
        int sw = random() % 300 + 1, sh = random() % 300 + 1;
        int dw = random() % 256 + 1, dh = random() % 256 + 1;
        if (n % 4 == 1) sw = dw + random() % (dw + 1); // shrinks up to 2:1
        if (n % 50 == 0) dw = 1025 + random() % 600;
        std::vector<uint32_t> src(sw * sh), ours(dw * dh), expected(dw * dh);
        for (uint32_t& v : src)
            v = random();
        kxCache::ScaleTexels(ours.data(), dw, dh, dw, src.data(), sw, sh, sw);
        referenceScale(expected.data(), dw, dh, src.data(), sw, sh);
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
    // Straight into the texture, through scratchBuffer, and too large for it.
    const int sizes[][2] = {{64, 64}, {100, 100}, {200, 100}, {300, 260}, {640, 480}, {1000, 70}};
    for (uint32_t format = 0; format <= 5; ++format)
        for (const auto& size : sizes) {
            SCOPED_TRACE(testing::Message() << format << ": " << size[0] << "x" << size[1]);
            capTexelSimdLevel(random() % 3);
            const int w = size[0], h = size[1],
                      bpp = format == 0   ? 1
                            : format == 1 ? 4
                            : format == 2 ? 3
                                          : 2;
            std::vector<uint8_t> pixels(size_t(w) * h * bpp);
            for (uint8_t& b : pixels)
                b = uint8_t(random() | (format == 3 ? 0x80 : 0));
            // One 1555 pixel without its alpha bit, in row 0, which shrinking skips.
            if (format == 3) pixels[1] &= 0x7F;
            std::vector<uint32_t> whole(size_t(w) * h);
            for (size_t i = 0; i < whole.size(); ++i)
                whole[i] = referenceTexel(format, &pixels[i * bpp], palette);
            int32_t side;
            uint32_t code;
            kxCache::ChooseTextureSize(w, h, &side, &side, &code);
            std::vector<uint32_t> expected(side * side);
            referenceScale(expected.data(), side, side, whole.data(), w, h);
            int mapType = 0;
            TextureRecord* record = LoadTexture(pixels.data(), w, h, 0, format, 0, nullptr);
            EXPECT_EQ(uploadedTexels(record, &mapType), expected);
            EXPECT_EQ(mapType, format == 1 || format == 3 ? 4 : 1);
            UnloadTexture(record);
        }
}

TEST(TextureConvert, ImagesWithoutPixelsAreRefused) {
    StartedDriver driver;
    static uint8_t pixels[32 * 32];
    TextureRecord* good = LoadTexture(pixels, 32, 32, 0, 0, 0, nullptr);
    int32_t name = selectIn(good, 1);
    TextureRecord* bad[] = {LoadTexture(pixels, 0, 32, 0, 0, 0, nullptr),
                            LoadTexture(pixels, 32, -3, 0, 0, 0, nullptr),
                            LoadTexture(nullptr, 32, 32, 0, 0, 0, nullptr),
                            LoadTexture(pixels, 32, 32, 0, 6, 0, nullptr)};
    softsglClearCalls();
    for (TextureRecord* record : bad) {
        clearMessages();
        EXPECT_EQ(selectIn(record, 2), name); // the name handed out before
        EXPECT_TRUE(sawMessage("kxCache::GetTextureHandle - failed to load texture\n"));
        selectIn(good, 2);
    }
    EXPECT_EQ(softsglCallCount("sgl_create_texture"), 0);
    // A resident texture given no pixels cannot be re-converted: it is dropped.
    ModifyTexture(good, nullptr);
    EXPECT_EQ(textureCache.slotCount, 0);
    EXPECT_EQ(softsglLiveTextures(), 0);
}
