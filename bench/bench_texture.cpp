// Texture conversion and scaling, with SDL2, pixman and memcpy doing the same
// work in the same run, and one 16-vertex fan through DrawPrimitive. Items
// are destination texels (calls for DrawPrimitive).
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <vector>

#include "driver/driver_state.h"
#include "driver/kxapi.h"
#include "softsgl/softsgl_control.h"
#include "texture/texture.h"

namespace {

constexpr int kSide = 256;

std::vector<uint8_t> randomBytes(size_t n) {
    std::mt19937 random(5);
    std::vector<uint8_t> bytes(n);
    for (uint8_t& b : bytes)
        b = uint8_t(random());
    return bytes;
}

std::vector<uint32_t> randomTexels(size_t n) {
    std::mt19937 random(6);
    std::vector<uint32_t> texels(n);
    for (uint32_t& t : texels)
        t = random();
    return texels;
}

// Converts a 256 x 256 image of one host layout as the cache does.
void convertOurs(benchmark::State& state, uint32_t format, int bytesPerPixel) {
    std::vector<uint8_t> pixels = randomBytes(size_t(kSide) * kSide * bytesPerPixel);
    std::vector<uint32_t> palette = randomTexels(256);
    textureCache.LoadPalette(palette.data());
    TextureRecord record = {kSide, kSide, 0, 0, format, nullptr, pixels.data(), -1};
    std::vector<uint32_t> texels(kSide * kSide);
    uint32_t mapType;
    for (auto _ : state) {
        textureCache.ConvertTexture(&record, texels.data(), kSide, kSide, &mapType);
        benchmark::DoNotOptimize(texels.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void convertSdl(benchmark::State& state, uint32_t sourceFormat, int bytesPerPixel) {
    std::vector<uint8_t> pixels = randomBytes(size_t(kSide) * kSide * bytesPerPixel);
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        pixels.data(), kSide, kSide, bytesPerPixel * 8, kSide * bytesPerPixel, sourceFormat);
    if (sourceFormat == SDL_PIXELFORMAT_INDEX8) {
        std::vector<uint32_t> colours = randomTexels(256);
        SDL_Color palette[256];
        for (int i = 0; i < 256; ++i)
            palette[i] = {uint8_t(colours[i] >> 16), uint8_t(colours[i] >> 8), uint8_t(colours[i]),
                          uint8_t(colours[i] >> 24)};
        SDL_SetPaletteColors(source->format->palette, palette, 0, 256);
    }
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    SDL_Surface* destination =
        SDL_CreateRGBSurfaceWithFormat(0, kSide, kSide, 32, SDL_PIXELFORMAT_ABGR8888);
    for (auto _ : state) {
        SDL_BlitSurface(source, nullptr, destination, nullptr);
        benchmark::DoNotOptimize(destination->pixels);
    }
    SDL_FreeSurface(destination);
    SDL_FreeSurface(source);
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void convertMemcpy(benchmark::State& state) {
    std::vector<uint32_t> source = randomTexels(kSide * kSide), texels(kSide * kSide);
    for (auto _ : state) {
        std::memcpy(texels.data(), source.data(), texels.size() * 4);
        benchmark::DoNotOptimize(texels.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_ConvertIndexedOurs(benchmark::State& s) {
    convertOurs(s, 0, 1);
}
void BM_ConvertIndexedSdl(benchmark::State& s) {
    convertSdl(s, SDL_PIXELFORMAT_INDEX8, 1);
}
void BM_Convert8888Ours(benchmark::State& s) {
    convertOurs(s, 1, 4);
}
void BM_Convert8888Sdl(benchmark::State& s) {
    convertSdl(s, SDL_PIXELFORMAT_ARGB8888, 4);
}
void BM_Convert888Ours(benchmark::State& s) {
    convertOurs(s, 2, 3);
}
void BM_Convert888Sdl(benchmark::State& s) {
    convertSdl(s, SDL_PIXELFORMAT_BGR24, 3);
}

BENCHMARK(BM_ConvertIndexedOurs)->Name("convert_indexed_256/ours");
BENCHMARK(BM_ConvertIndexedSdl)->Name("convert_indexed_256/sdl2");
BENCHMARK(convertMemcpy)->Name("convert_indexed_256/memcpy");
BENCHMARK(BM_Convert8888Ours)->Name("convert_8888_256/ours");
BENCHMARK(BM_Convert8888Sdl)->Name("convert_8888_256/sdl2");
BENCHMARK(convertMemcpy)->Name("convert_8888_256/memcpy");
BENCHMARK(BM_Convert888Ours)->Name("convert_888_256/ours");
BENCHMARK(BM_Convert888Sdl)->Name("convert_888_256/sdl2");
BENCHMARK(convertMemcpy)->Name("convert_888_256/memcpy");

struct ScaleCase {
    int sourceWidth, sourceHeight, side;
};
constexpr ScaleCase k100To64 = {100, 100, 64}, k640x480To256 = {640, 480, 256};

void scaleOurs(benchmark::State& state, ScaleCase c) {
    std::vector<uint32_t> source = randomTexels(size_t(c.sourceWidth) * c.sourceHeight);
    std::vector<uint32_t> texels(size_t(c.side) * c.side);
    for (auto _ : state) {
        kxCache::ScaleTexels(texels.data(), c.side, c.side, c.side, source.data(), c.sourceWidth,
                             c.sourceHeight, c.sourceWidth);
        benchmark::DoNotOptimize(texels.data());
    }
    state.SetItemsProcessed(state.iterations() * c.side * c.side);
}

void scaleSdl(benchmark::State& state, ScaleCase c) {
    std::vector<uint32_t> source = randomTexels(size_t(c.sourceWidth) * c.sourceHeight);
    SDL_Surface* from =
        SDL_CreateRGBSurfaceWithFormatFrom(source.data(), c.sourceWidth, c.sourceHeight, 32,
                                           c.sourceWidth * 4, SDL_PIXELFORMAT_ABGR8888);
    SDL_SetSurfaceBlendMode(from, SDL_BLENDMODE_NONE);
    SDL_Surface* to =
        SDL_CreateRGBSurfaceWithFormat(0, c.side, c.side, 32, SDL_PIXELFORMAT_ABGR8888);
    SDL_Rect all = {0, 0, c.side, c.side};
    for (auto _ : state) {
        SDL_BlitScaled(from, nullptr, to, &all);
        benchmark::DoNotOptimize(to->pixels);
    }
    SDL_FreeSurface(to);
    SDL_FreeSurface(from);
    state.SetItemsProcessed(state.iterations() * c.side * c.side);
}

void scalePixman(benchmark::State& state, ScaleCase c) {
    std::vector<uint32_t> source = randomTexels(size_t(c.sourceWidth) * c.sourceHeight);
    std::vector<uint32_t> texels(size_t(c.side) * c.side);
    pixman_image_t* from = pixman_image_create_bits(PIXMAN_a8b8g8r8, c.sourceWidth, c.sourceHeight,
                                                    source.data(), c.sourceWidth * 4);
    pixman_image_t* to =
        pixman_image_create_bits(PIXMAN_a8b8g8r8, c.side, c.side, texels.data(), c.side * 4);
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_int_to_fixed(c.sourceWidth) / c.side,
                                pixman_int_to_fixed(c.sourceHeight) / c.side);
    pixman_image_set_transform(from, &scale);
    pixman_image_set_filter(from, PIXMAN_FILTER_NEAREST, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, c.side,
                                 c.side);
        benchmark::DoNotOptimize(texels.data());
    }
    pixman_image_unref(to);
    pixman_image_unref(from);
    state.SetItemsProcessed(state.iterations() * c.side * c.side);
}

void BM_Scale100Ours(benchmark::State& s) {
    scaleOurs(s, k100To64);
}
void BM_Scale100Sdl(benchmark::State& s) {
    scaleSdl(s, k100To64);
}
void BM_Scale100Pixman(benchmark::State& s) {
    scalePixman(s, k100To64);
}
void BM_Scale640Ours(benchmark::State& s) {
    scaleOurs(s, k640x480To256);
}
void BM_Scale640Pixman(benchmark::State& s) {
    scalePixman(s, k640x480To256);
}

BENCHMARK(BM_Scale100Ours)->Name("scale_100_to_64/ours");
BENCHMARK(BM_Scale100Sdl)->Name("scale_100_to_64/sdl2");
BENCHMARK(BM_Scale100Pixman)->Name("scale_100_to_64/pixman");
BENCHMARK(BM_Scale640Ours)->Name("scale_640x480_to_256/ours");
BENCHMARK(BM_Scale640Pixman)->Name("scale_640x480_to_256/pixman");

// One 16-vertex fan per call into softsgl's frame queue; the frame is opened
// afresh every 1,024 calls so that the queue stays small. Nothing is rendered.
void BM_DrawFan16(benchmark::State& state) {
    softsglSetCallLogging(false);
    if (Init() != 1) {
        state.SkipWithError("Init failed");
        return;
    }
    HostVertex fan[16];
    for (int i = 0; i < 16; ++i)
        fan[i] = {10.0f + i, 20.0f + (i & 3), 0.5f, 1.0f, 0.1f * i, 0.2f, 0xFF808080u};
    int calls = 0;
    for (auto _ : state) {
        DrawPrimitive(fan, 16);
        if (++calls == 1024) {
            calls = 0;
            sgltri_startofframe(&sglContext);
        }
    }
    Shutdown();
    softsglSetCallLogging(true);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawFan16)->Name("drawprimitive_fan16/ours");

} // namespace
