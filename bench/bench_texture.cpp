// Texture conversion and scaling by every kernel set this processor runs
// (named by level), with SDL2, pixman and memcpy doing the same work in the
// same run, and one 16-vertex fan through DrawPrimitive. Each set's output is
// compared with the plain reference before it is timed. Items are
// destination texels (calls for DrawPrimitive).
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "api/kxapi.h"
#include "softsgl/softsgl_control.h"
#include "texture/texel_reference.h"
#include "texture/texel_kernels.h"

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

// One set's conversion of a 256 x 256 image of one host layout (format 0,
// 1 or 2), after a check against the reference.
void convertOurs(benchmark::State& state, const TexelKernelSet& set, uint32_t format) {
    const int bytesPerPixel = hostBytesPerPixel(format);
    const int32_t count = kSide * kSide;
    std::vector<uint8_t> pixels = randomBytes(size_t(count) * bytesPerPixel);
    std::vector<uint32_t> palette = randomTexels(256), texels(count), expected(count);
    auto run = [&] {
        if (format == 0) set.convertIndexed(texels.data(), pixels.data(), palette.data(), count);
        if (format == 1) set.convert8888(texels.data(), pixels.data(), count);
        if (format == 2) set.convert888(texels.data(), pixels.data(), count);
    };
    // The reference takes host colours 0xAARRGGBB for the palette; the
    // kernels take texels, so the expected texel of an index is the palette
    // entry itself.
    for (int32_t i = 0; i < count; ++i)
        expected[i] = format == 0
                          ? palette[pixels[i]]
                          : reference::texel(format, &pixels[size_t(i) * bytesPerPixel], nullptr);
    run();
    if (texels != expected) {
        state.SkipWithError("output differs from the plain reference");
        return;
    }
    for (auto _ : state) {
        run();
        benchmark::DoNotOptimize(texels.data());
    }
    state.SetItemsProcessed(state.iterations() * count);
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

void BM_ConvertIndexedSdl(benchmark::State& s) {
    convertSdl(s, SDL_PIXELFORMAT_INDEX8, 1);
}
void BM_Convert8888Sdl(benchmark::State& s) {
    convertSdl(s, SDL_PIXELFORMAT_ARGB8888, 4);
}
void BM_Convert888Sdl(benchmark::State& s) {
    convertSdl(s, SDL_PIXELFORMAT_BGR24, 3);
}

struct ScaleCase {
    int sourceWidth, sourceHeight, side;
};
constexpr ScaleCase k100To64 = {100, 100, 64}, k640x480To256 = {640, 480, 256};

void scaleOurs(benchmark::State& state, const TexelKernelSet& set, ScaleCase c) {
    std::vector<uint32_t> source = randomTexels(size_t(c.sourceWidth) * c.sourceHeight);
    std::vector<uint32_t> texels(size_t(c.side) * c.side), expected(texels.size());
    auto run = [&] {
        scaleTexels(set, texels.data(), c.side, c.side, c.side, source.data(), c.sourceWidth,
                    c.sourceHeight, c.sourceWidth);
    };
    reference::scale(expected.data(), c.side, c.side, source.data(), c.sourceWidth, c.sourceHeight);
    run();
    if (texels != expected) {
        state.SkipWithError("output differs from the plain reference");
        return;
    }
    for (auto _ : state) {
        run();
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

void BM_Scale100Sdl(benchmark::State& s) {
    scaleSdl(s, k100To64);
}
void BM_Scale100Pixman(benchmark::State& s) {
    scalePixman(s, k100To64);
}
void BM_Scale640Pixman(benchmark::State& s) {
    scalePixman(s, k640x480To256);
}

// "<operation>/<level>" for every set this processor runs, then the peers.
const bool registered = [] {
    auto ours = [](const std::string& operation, auto run) {
        for (int level = 0; level < kLevelCount; ++level)
            if (const TexelKernelSet* set = texelKernelSet(level))
                benchmark::RegisterBenchmark(
                    (operation + "/" + set->name).c_str(),
                    [set, run](benchmark::State& state) { run(state, *set); });
    };
    const char* const names[3] = {"convert_indexed_256", "convert_8888_256", "convert_888_256"};
    void (*const sdl[3])(benchmark::State&) = {BM_ConvertIndexedSdl, BM_Convert8888Sdl,
                                               BM_Convert888Sdl};
    for (uint32_t format = 0; format < 3; ++format) {
        ours(names[format], [format](benchmark::State& state, const TexelKernelSet& set) {
            convertOurs(state, set, format);
        });
        benchmark::RegisterBenchmark((std::string(names[format]) + "/sdl2").c_str(), sdl[format]);
        benchmark::RegisterBenchmark((std::string(names[format]) + "/memcpy").c_str(),
                                     convertMemcpy);
    }
    ours("scale_100_to_64", [](benchmark::State& state, const TexelKernelSet& set) {
        scaleOurs(state, set, k100To64);
    });
    benchmark::RegisterBenchmark("scale_100_to_64/sdl2", BM_Scale100Sdl);
    benchmark::RegisterBenchmark("scale_100_to_64/pixman", BM_Scale100Pixman);
    ours("scale_640x480_to_256", [](benchmark::State& state, const TexelKernelSet& set) {
        scaleOurs(state, set, k640x480To256);
    });
    benchmark::RegisterBenchmark("scale_640x480_to_256/pixman", BM_Scale640Pixman);
    return true;
}();

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
    // Any context opens softsgl's next frame; the driver's own stays its own.
    SGLCONTEXT frame{};
    int calls = 0;
    for (auto _ : state) {
        DrawPrimitive(fan, 16);
        if (++calls == 1024) {
            calls = 0;
            sgltri_startofframe(&frame);
        }
    }
    Shutdown();
    softsglSetCallLogging(true);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawFan16)->Name("drawprimitive_fan16/ours");

} // namespace
