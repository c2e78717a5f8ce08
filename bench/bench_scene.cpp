// Frames of the software SGL (bench/frame_scenes.h), each beside the same
// frame drawn with OpenGL on Mesa's llvmpipe (one thread), the vertices sent
// every frame as the driver sends them (one fan per call) into a 565 target
// of 640 x 480.
//
// The plain names draw on one thread; `_threads:2` draws in bands on two;
// `_bilinear` and `_dither` draw the same frame on one thread with that
// quality setting on.
// All are timed on the wall clock (the bands' work is on other threads), so
// they are comparable with each other only on an otherwise idle machine.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/sgl.h"
#include "softsgl/softsgl_control.h"
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
enum class Quality { Off, Bilinear, Dither };

// Whole frame: queue and render. Render only: the queued frame rendered
// again (rasterizing alone). Empty frame: what clearing target and depth costs.
void frameOurs(benchmark::State& state, const Scene& scene, Stage stage, int threads,
               Quality quality = Quality::Off) {
    static int32_t status;
    sgl_use_address_mode(giveTarget, &status);
    int device = sgl_create_screen_device(0, kWidth, kHeight, 0, 1);
    softsglSetThreads(threads);
    softsglSetFilter(quality == Quality::Bilinear ? 1 : 0);
    softsglSetDither(quality == Quality::Dither ? 1 : 0);
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
    softsglSetDither(-1);
}

// The same frame on llvmpipe: one fan per draw call from the vertices as
// SGL gets them, the state set where it changes, the blended fans after the
// others in one blended pass without depth writes (as a game on OpenGL
// draws them; softsgl's per-pixel rule would need two passes), glFinish at
// the end. The context stays open across runs, and a first frame outside
// the timing compiles the shaders.
void frameLlvmpipe(benchmark::State& state, const Scene& scene) {
    static std::string why;
    static const bool open = mesaOpen(kWidth, kHeight, why);
    if (!open) {
        state.SkipWithError(("no llvmpipe: " + why).c_str());
        return;
    }
    std::vector<unsigned> names;
    for (const SceneTexture& t : scene.textures) {
        std::vector<uint32_t> rgba(t.texels);
        for (uint32_t& texel : rgba) // transparency to alpha
            texel = (texel & 0xFFFFFFu) | (255 - (texel >> 24)) << 24;
        names.push_back(mesaTexture(rgba.data(), t.side, PeerTexels::Rgba));
    }
    auto frame = [&] {
        mesaClear();
        for (bool blendedPass : {false, true}) {
            unsigned bound = ~0u;
            for (const Draw& d : scene.draws) {
                if (d.translucent != blendedPass) continue;
                unsigned name = d.texture < 0 ? 0 : names[size_t(d.texture)];
                if (name != bound)
                    mesaState(name, blendedPass ? PeerPass::Blended : PeerPass::Opaque);
                bound = name;
                mesaFan(d.fan.data(), int(d.fan.size()));
            }
        }
        mesaFinish();
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
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
    frame("frame_scene/ours_bilinear", [](benchmark::State& s) {
        frameOurs(s, light(), Stage::WholeFrame, 1, Quality::Bilinear);
    });
    frame("frame_heavy/llvmpipe", [](benchmark::State& s) { frameLlvmpipe(s, heavy()); });
    frame("frame_heavy/ours",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::WholeFrame, 1); });
    frame("frame_heavy/ours_threads:2",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::WholeFrame, 2); });
    frame("frame_heavy/ours_render_only",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::RenderOnly, 1); });
    frame("frame_heavy/ours_render_only_threads:2",
          [](benchmark::State& s) { frameOurs(s, heavy(), Stage::RenderOnly, 2); });
    frame("frame_heavy/ours_bilinear", [](benchmark::State& s) {
        frameOurs(s, heavy(), Stage::WholeFrame, 1, Quality::Bilinear);
    });
    frame("frame_heavy/ours_dither", [](benchmark::State& s) {
        frameOurs(s, heavy(), Stage::WholeFrame, 1, Quality::Dither);
    });
    return true;
}();

} // namespace
