// The blit and read-back kernels on in-memory 640 x 480 buffers, every kernel
// set this processor runs (named by level), with SDL2, pixman and memcpy
// doing the same work in the same run. Each set's output is compared with the
// plain reference before it is timed. Items are destination pixels.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <cstring>
#include <string>
#include <random>
#include <vector>

#include "blit/blit_kernels.h"
#include "blit/blit_reference.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr uint8_t kKeyIndex = 0;
const ScreenPixelFormat k565 = {0xF800, 0x07E0, 0x001F, 8, 3, -3, nullptr};

struct Scene {
    std::vector<uint8_t> image, half;      // 640 x 480 and 320 x 240 indices
    std::vector<uint8_t> keyed, halfKeyed; // the same with a quarter of key pixels
    std::vector<uint16_t> screen;          // 640 x 480 565 pixels
    uint32_t palette[256];
    uint16_t table[256];
};

uint16_t to565(uint32_t c) {
    return static_cast<uint16_t>((c >> 8 & 0xF800) | (c >> 5 & 0x07E0) | (c >> 3 & 0x001F));
}

// A sprite-like key layout: the key fills a band of each row a quarter of
// its width, moving from row to row.
void keyQuarter(std::vector<uint8_t>& image, int w, int h) {
    for (int y = 0; y < h; ++y) {
        int start = (y * 7) % (w - w / 4);
        std::memset(&image[y * w + start], kKeyIndex, w / 4);
    }
}

const Scene& scene() {
    static Scene s = [] {
        Scene s;
        std::mt19937 rng(42);
        auto fill = [&](std::vector<uint8_t>& v, size_t n) {
            v.resize(n);
            for (auto& b : v)
                b = static_cast<uint8_t>(1 + rng() % 255);
        };
        fill(s.image, kW * kH);
        fill(s.half, kW / 2 * kH / 2);
        s.keyed = s.image;
        keyQuarter(s.keyed, kW, kH);
        s.halfKeyed = s.half;
        keyQuarter(s.halfKeyed, kW / 2, kH / 2);
        s.screen.resize(kW * kH);
        for (auto& p : s.screen)
            p = static_cast<uint16_t>(rng());
        for (int k = 0; k < 256; ++k) {
            // Distinct colours, so that only the key index has the key colour.
            s.palette[k] = 0xFF000000u | (k << 16) | ((255 - k) << 8) | (k * 37 & 0xF8);
            s.table[k] = to565(s.palette[k]);
        }
        return s;
    }();
    return s;
}

SDL_Surface* indexedSurface(const std::vector<uint8_t>& pixels, int w, int h, bool keyed) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(pixels.data()),
                                                              w, h, 8, w, SDL_PIXELFORMAT_INDEX8);
    SDL_Color colours[256];
    for (int k = 0; k < 256; ++k) {
        uint32_t c = scene().palette[k];
        colours[k] = {static_cast<Uint8>(c >> 16), static_cast<Uint8>(c >> 8),
                      static_cast<Uint8>(c), 255};
    }
    SDL_SetPaletteColors(surface->format->palette, colours, 0, 256);
    if (keyed) SDL_SetColorKey(surface, SDL_TRUE, kKeyIndex);
    return surface;
}

SDL_Surface* screenSurface(int w, int h) {
    return SDL_CreateRGBSurfaceWithFormat(0, w, h, 16, SDL_PIXELFORMAT_RGB565);
}

void done(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kW * kH);
}

// One of our kernels on the benchmark's buffers, and the plain reference
// doing the same: skipped with an error when the outputs differ.
struct Operation {
    size_t destinationBytes;
    void (*run)(const BlitKernelSet& set, uint8_t* destination);
    void (*reference)(uint8_t* destination);
};

void timeOurs(benchmark::State& state, const BlitKernelSet& set, const Operation& op) {
    std::vector<uint8_t> dst(op.destinationBytes, 0x5A), expected(op.destinationBytes, 0x5A);
    op.run(set, dst.data());
    op.reference(expected.data());
    if (dst != expected) {
        state.SkipWithError("output differs from the plain reference");
        return;
    }
    for (auto _ : state) {
        op.run(set, dst.data());
        benchmark::ClobberMemory();
    }
    done(state);
}

// ---- blt ----

const Operation kBlt = {
    2 * kW * kH,
    [](const BlitKernelSet& set, uint8_t* d) {
        set.copyIndexed(scene().image.data(), kW, d, 2 * kW, kW, kH, scene().table);
    },
    [](uint8_t* d) {
        reference::copy(scene().image.data(), kW, d, 2 * kW, kW, kH, scene().table, false, 0);
    }};

// SDL2's 8-bit to RGB565 blit, with or without its colour key.
void indexedSdl(benchmark::State& state, bool keyed) {
    SDL_Surface* src = indexedSurface(keyed ? scene().keyed : scene().image, kW, kH, keyed);
    SDL_Surface* dst = screenSurface(kW, kH);
    for (auto _ : state) {
        SDL_BlitSurface(src, nullptr, dst, nullptr);
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
    done(state);
}

void bltMemcpy(benchmark::State& state) {
    std::vector<uint16_t> src(kW * kH, 1), dst(kW * kH);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), 2 * kW * kH);
        benchmark::ClobberMemory();
    }
    done(state);
}

// ---- bltC ----

const Operation kBltc = {2 * kW * kH,
                         [](const BlitKernelSet& set, uint8_t* d) {
                             set.copyIndexedKeyed(scene().keyed.data(), kW, d, 2 * kW, kW, kH,
                                                  scene().table, scene().table[kKeyIndex]);
                         },
                         [](uint8_t* d) {
                             reference::copy(scene().keyed.data(), kW, d, 2 * kW, kW, kH,
                                             scene().table, true, scene().table[kKeyIndex]);
                         }};

// ---- stBlt, stBltC: 320 x 240 onto 640 x 480 ----

template <bool keyed> void stretchOurs(const BlitKernelSet& set, uint8_t* d) {
    set.stretchIndexed((keyed ? scene().halfKeyed : scene().half).data(), kW / 2, d, 2 * kW, kW, kH,
                       kW / 2, kH / 2, StretchWindow{0, 0, kW, kH}, scene().table, keyed,
                       scene().table[kKeyIndex]);
}
template <bool keyed> void stretchReference(uint8_t* d) {
    reference::stretch((keyed ? scene().halfKeyed : scene().half).data(), kW / 2, d, 2 * kW, kW, kH,
                       kW / 2, kH / 2, StretchWindow{0, 0, kW, kH}, scene().table, keyed,
                       scene().table[kKeyIndex]);
}
const Operation kStblt = {2 * kW * kH, stretchOurs<false>, stretchReference<false>};
const Operation kStbltc = {2 * kW * kH, stretchOurs<true>, stretchReference<true>};

void stbltSdl(benchmark::State& state) {
    SDL_Surface* src = indexedSurface(scene().half, kW / 2, kH / 2, false);
    SDL_Surface* temp = screenSurface(kW / 2, kH / 2);
    SDL_Surface* dst = screenSurface(kW, kH);
    for (auto _ : state) {
        SDL_BlitSurface(src, nullptr, temp, nullptr);
        SDL_SoftStretch(temp, nullptr, dst, nullptr);
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(src);
    SDL_FreeSurface(temp);
    SDL_FreeSurface(dst);
    done(state);
}

void stbltcSdl(benchmark::State& state) {
    SDL_Surface* src = indexedSurface(scene().halfKeyed, kW / 2, kH / 2, false);
    std::vector<uint8_t> large(kW * kH);
    SDL_Surface* temp = indexedSurface(large, kW, kH, true);
    SDL_Surface* dst = screenSurface(kW, kH);
    for (auto _ : state) {
        SDL_SoftStretch(src, nullptr, temp, nullptr);
        SDL_BlitSurface(temp, nullptr, dst, nullptr);
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(src);
    SDL_FreeSurface(temp);
    SDL_FreeSurface(dst);
    done(state);
}

// ---- read-back: 565 to 24-bit blue, green, red, bottom-up ----

const uint8_t* lowestScreenRow() {
    return reinterpret_cast<const uint8_t*>(scene().screen.data()) + (kH - 1) * 2 * kW;
}
const Operation kReadback = {
    3 * kW * kH,
    [](const BlitKernelSet& set, uint8_t* d) {
        set.readBack888(lowestScreenRow(), -2 * kW, d, 3 * kW, kW, kH, k565);
    },
    [](uint8_t* d) { reference::readBack(lowestScreenRow(), -2 * kW, d, 3 * kW, kW, kH, k565); }};

void readbackPixman(benchmark::State& state) {
    std::vector<uint32_t> dst(3 * kW * kH / 4);
    pixman_image_t* src = pixman_image_create_bits(
        PIXMAN_r5g6b5, kW, kH,
        const_cast<uint32_t*>(reinterpret_cast<const uint32_t*>(scene().screen.data())), 2 * kW);
    pixman_image_t* out = pixman_image_create_bits(PIXMAN_r8g8b8, kW, kH,
                                                   dst.data() + (kH - 1) * 3 * kW / 4, -3 * kW);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, out, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(out);
    done(state);
}

void readbackSdl(benchmark::State& state) {
    std::vector<uint8_t> dst(3 * kW * kH);
    for (auto _ : state) {
        if (SDL_ConvertPixels(kW, kH, SDL_PIXELFORMAT_RGB565, scene().screen.data(), 2 * kW,
                              SDL_PIXELFORMAT_BGR24, dst.data() + (kH - 1) * 3 * kW, -3 * kW) != 0)
            state.SkipWithError(SDL_GetError());
        benchmark::ClobberMemory();
    }
    done(state);
}

// "<operation>/<level>" for every set this processor runs.
void registerOurs(const std::string& operation, const Operation* op) {
    for (int level = 0; level < kLevelCount; ++level)
        if (const BlitKernelSet* set = blitKernelSet(level))
            benchmark::RegisterBenchmark(
                (operation + "/" + set->name).c_str(),
                [set, op](benchmark::State& state) { timeOurs(state, *set, *op); });
}

const bool registered = [] {
    registerOurs("blt_640x480", &kBlt);
    benchmark::RegisterBenchmark("blt_640x480/sdl2", indexedSdl, false);
    benchmark::RegisterBenchmark("blt_640x480/memcpy", bltMemcpy);
    registerOurs("bltc_640x480", &kBltc);
    benchmark::RegisterBenchmark("bltc_640x480/sdl2", indexedSdl, true);
    registerOurs("stblt_320x240_to_640x480", &kStblt);
    benchmark::RegisterBenchmark("stblt_320x240_to_640x480/sdl2", stbltSdl);
    registerOurs("stbltc_320x240_to_640x480", &kStbltc);
    benchmark::RegisterBenchmark("stbltc_320x240_to_640x480/sdl2", stbltcSdl);
    registerOurs("readback_640x480", &kReadback);
    benchmark::RegisterBenchmark("readback_640x480/pixman", readbackPixman);
    benchmark::RegisterBenchmark("readback_640x480/sdl2", readbackSdl);
    return true;
}();

} // namespace
