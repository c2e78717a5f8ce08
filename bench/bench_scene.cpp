// Frames of the software SGL (bench/frame_scenes.h), each beside the same
// frame drawn with OpenGL on Mesa's llvmpipe (one thread), the vertices sent
// every frame as the driver sends them (one fan per call) into a 565 target
// of 640 x 480.
//
// The plain names draw on one thread; `_threads:2` draws in bands on two;
// `_bilinear`, `_aa2` (antialias 2) and `_dither` draw the same frame with
// that quality setting on, `_all` with the three. llvmpipe's `_bilinear`
// filters by GL_LINEAR (where texel opacity counts, on the map
// premultiplied, as the oracle test draws it) and `_x2` draws the triangles
// on a target twice as wide and high and averages it down by the resolve's
// rule, the work of antialias 2.
// All are timed on the wall clock (the bands' work is on other threads), so
// they are comparable with each other only on an otherwise idle machine.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sgl.h"
#include "softsgl/softsgl_control.h"
#include "bench/box_average.h"
#include "bench/frame_scenes.h"
#include "bench/mesa_peer.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

std::vector<uint16_t> targetPixels(size_t(kWidth) * kHeight);

int SGL_CALL giveTarget(AddressCallbackParams* p) {
    p->address = targetPixels.data();
    p->stride = kWidth * 2;
    p->bitsPerPixel = 16;
    return 0;
}

enum class Stage { WholeFrame, RenderOnly, EmptyFrame };
// The quality settings a frame is drawn with.
struct Quality {
    bool bilinear = false;
    int antialias = 1;
    bool dither = false;
};
constexpr Quality kBilinear{true, 1, false}, kAntialias2{false, 2, false}, kDither{false, 1, true},
    kAll{true, 2, true};

// Whole frame: queue and render. Render only: the queued frame rendered
// again (rasterizing alone). Empty frame: what clearing target and depth costs.
void frameOurs(benchmark::State& state, const Scene& scene, Stage stage, int threads,
               Quality quality = {}) {
    static int32_t status;
    sgl_use_address_mode(giveTarget, &status);
    int device = sgl_create_screen_device(0, kWidth, kHeight, 0, 1);
    softsglSetThreads(threads);
    softsglSetFilter(quality.bilinear ? 1 : 0);
    softsglSetAntialias(quality.antialias);
    softsglSetDither(quality.dither ? 1 : 0);
    const std::vector<int> names = createSceneTextures(scene);
    SGLCONTEXT ctx{};
    auto queue = [&] {
        softsglClearCalls(); // the counts would grow across frames
        queueScene(scene, names, ctx, stage == Stage::EmptyFrame);
    };
    if (stage != Stage::WholeFrame) queue();
    for (auto _ : state) {
        if (stage == Stage::WholeFrame) queue();
        sgltri_render(&ctx);
        sgltri_isrendercomplete(&ctx, 0xFFFFFFFF);
        benchmark::DoNotOptimize(targetPixels.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
    for (int name : names)
        sgl_delete_texture(name);
    sgl_delete_device(device);
    softsglSetThreads(0);
    softsglSetFilter(-1);
    softsglSetAntialias(-1);
    softsglSetDither(-1);
}

// The same frame on llvmpipe: one fan per draw call from the vertices as
// SGL gets them, the state set where it changes, the blended fans after the
// others in one blended pass without depth writes (as a game on OpenGL
// draws them; softsgl's per-pixel rule would need two passes), glFinish at
// the end. `scale` 2 draws every x and y doubled on a target twice as wide
// and high, then reads it back and averages each 2 x 2 into the 640 x 480
// frame. The context stays open across runs of one size, and a first frame
// outside the timing compiles the shaders.
void frameLlvmpipe(benchmark::State& state, const Scene& scene, bool bilinear = false,
                   int scale = 1) {
    static int openWidth = 0;
    static std::string why;
    if (openWidth != kWidth * scale) {
        if (openWidth) mesaClose();
        openWidth = mesaOpen(kWidth * scale, kHeight * scale, why) ? kWidth * scale : 0;
    }
    if (!openWidth) {
        state.SkipWithError(("no llvmpipe: " + why).c_str());
        return;
    }
    // Filtered, a translucent fan whose map has a transparent texel samples
    // the map premultiplied, as softsgl weighs texels by their opacity there.
    const PeerSampling sampling = bilinear ? PeerSampling::Linear : PeerSampling::Nearest;
    std::vector<unsigned> names, premultiplied;
    for (const SceneTexture& t : scene.textures) {
        std::vector<uint32_t> rgba(t.texels);
        bool transparent = false;
        for (uint32_t& texel : rgba) { // transparency to alpha
            transparent = transparent || texel >> 24 != 0;
            texel = (texel & 0xFFFFFFu) | (255 - (texel >> 24)) << 24;
        }
        names.push_back(mesaTexture(rgba.data(), t.side, PeerTexels::Rgba, sampling));
        premultiplied.push_back(bilinear && transparent && t.mapType == SGL_MAP_TRANSLUCENT
                                    ? mesaTexture(rgba.data(), t.side, PeerTexels::Rgba,
                                                  PeerSampling::LinearPremultiplied)
                                    : 0);
    }
    std::vector<Draw> draws = scene.draws;
    for (Draw& d : draws)
        for (SGLVERTEX& v : d.fan)
            v.x *= float(scale), v.y *= float(scale);
    std::vector<uint16_t> averaged;
    auto frame = [&] {
        mesaClear();
        for (bool blendedPass : {false, true}) {
            unsigned bound = ~0u;
            for (const Draw& d : draws) {
                if (d.translucent != blendedPass) continue;
                unsigned name = 0;
                if (d.texture >= 0) {
                    const size_t t = size_t(d.texture);
                    name = d.translucent && premultiplied[t] ? premultiplied[t] : names[t];
                }
                if (name != bound)
                    mesaState(name, blendedPass ? PeerPass::Blended : PeerPass::Opaque);
                bound = name;
                mesaFan(d.fan.data(), int(d.fan.size()));
            }
        }
        mesaFinish();
        if (scale == 1) return;
        const std::vector<uint32_t> rgb = boxAveraged(mesaRead565(), kWidth, kHeight, scale, false);
        averaged.resize(rgb.size());
        for (size_t i = 0; i < rgb.size(); ++i) // packed by dropping low bits
            averaged[i] =
                uint16_t((rgb[i] >> 8 & 0xF800) | (rgb[i] >> 5 & 0x07E0) | (rgb[i] >> 3 & 0x001F));
        benchmark::DoNotOptimize(averaged.data());
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
    for (const std::vector<unsigned>* list : {&names, &premultiplied})
        for (unsigned name : *list)
            if (name) mesaDeleteTexture(name);
}

const Scene& light() {
    static const Scene s = lightScene();
    return s;
}
const Scene& heavy() {
    static const Scene s = heavyScene();
    return s;
}

// Registered by name, so that the thread count is part of it.
const bool registered = [] {
    auto frame = [](const char* name, auto fn) {
        benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    frame("frame_scene/llvmpipe", [](benchmark::State& s) { frameLlvmpipe(s, light()); });
    frame("frame_scene/ours",
          [](benchmark::State& s) { frameOurs(s, light(), Stage::WholeFrame, 1); });
    frame("frame_scene/ours_threads:2",
          [](benchmark::State& s) { frameOurs(s, light(), Stage::WholeFrame, 2); });
    frame("frame_scene/ours_render_only",
          [](benchmark::State& s) { frameOurs(s, light(), Stage::RenderOnly, 1); });
    frame("frame_scene/ours_empty_frame",
          [](benchmark::State& s) { frameOurs(s, light(), Stage::EmptyFrame, 1); });
    frame("frame_scene/ours_bilinear",
          [](benchmark::State& s) { frameOurs(s, light(), Stage::WholeFrame, 1, kBilinear); });
    frame("frame_scene/llvmpipe_bilinear",
          [](benchmark::State& s) { frameLlvmpipe(s, light(), true); });
    frame("frame_heavy/llvmpipe", [](benchmark::State& s) { frameLlvmpipe(s, heavy()); });
    frame("frame_heavy/ours",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::WholeFrame, 1); });
    frame("frame_heavy/ours_threads:2",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::WholeFrame, 2); });
    frame("frame_heavy/ours_render_only",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::RenderOnly, 1); });
    frame("frame_heavy/ours_render_only_threads:2",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::RenderOnly, 2); });
    frame("frame_heavy/ours_bilinear",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::WholeFrame, 1, kBilinear); });
    frame("frame_heavy/ours_dither",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::WholeFrame, 1, kDither); });
    frame("frame_heavy/ours_aa2",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::WholeFrame, 1, kAntialias2); });
    frame("frame_heavy/ours_aa2_threads:2",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::WholeFrame, 2, kAntialias2); });
    frame("frame_heavy/ours_all",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::WholeFrame, 1, kAll); });
    frame("frame_heavy/llvmpipe_bilinear",
          [](benchmark::State& s) { frameLlvmpipe(s, heavy(), true); });
    frame("frame_heavy/llvmpipe_x2",
          [](benchmark::State& s) { frameLlvmpipe(s, heavy(), false, 2); });
    return true;
}();

} // namespace
