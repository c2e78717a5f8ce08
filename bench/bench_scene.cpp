// One frame of the software SGL: 1,000 textured, perspective-correct,
// depth-tested, Gouraud-shaded triangles covering 640 x 480 about once, sent
// as the driver sends them (one two-triangle fan per call) and rendered into
// a 565 target. Its peer draws the same frame with OpenGL on Mesa's llvmpipe
// (one thread), the vertices sent every frame the same way.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/sgl.h"
#include "softsgl/softsgl_control.h"
#include "bench/mesa_peer.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kColumns = 25, kRows = 20; // 500 quads, 1,000 triangles

std::vector<uint16_t> targetPixels(size_t(kWidth) * kHeight);

int SGL_CALL giveTarget(AddressCallbackParams* p) {
    p->address = targetPixels.data();
    p->stride = kWidth * 2;
    p->bitsPerPixel = 16;
    return 0;
}

uint32_t hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    return x ^ (x >> 16);
}

// A receding floor: 1/w, u/w and v/w are linear on the screen, so u and v
// themselves are not, and every pixel needs the perspective divide.
SGLVERTEX floorVertex(int i, int j) {
    float x = float(i) * kWidth / kColumns, y = float(j) * kHeight / kRows;
    float q = 0.2f + 0.8f * y / kHeight;
    uint32_t grey = 128 + hash(uint32_t(j * 97 + i)) % 128;
    uint32_t colour = 0xFF000000u | grey << 16 | grey << 8 | grey;
    // u = (x - 320) / (160 q) and v = 2 / q: a floor seen from above it.
    return SGLVERTEX{x, y, 1.0f - q, q, colour, 0, (x - kWidth / 2) / 160.0f, 2.0f};
}

// Checks of 32 texels with a grain; bytes red, green, blue, transparency.
std::vector<uint32_t> sceneTexels() {
    std::vector<uint32_t> texels(256 * 256);
    for (uint32_t k = 0; k < texels.size(); ++k) {
        uint32_t base = ((k >> 5) ^ (k >> 13)) & 1 ? 0xE0 : 0x40, grain = hash(k) & 0x1F;
        uint32_t c = base + grain;
        texels[k] = c | (c * 3 / 4) << 8 | (c / 2) << 16;
    }
    return texels;
}

// The frame's quads, four vertices each, in the driver's fan order.
std::vector<SGLVERTEX> sceneQuads() {
    std::vector<SGLVERTEX> quads;
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < kColumns; ++i)
            for (SGLVERTEX v : {floorVertex(i, j), floorVertex(i + 1, j), floorVertex(i + 1, j + 1),
                                floorVertex(i, j + 1)})
                quads.push_back(v);
    return quads;
}

enum class Stage { WholeFrame, RenderOnly, EmptyFrame };

// Whole frame: queue and render. Render only: the queued frame rendered
// again (rasterizing alone). Empty frame: what clearing target and depth costs.
void frameScene(benchmark::State& state, Stage stage) {
    static int32_t status;
    sgl_use_address_mode(giveTarget, &status);
    int device = sgl_create_screen_device(0, kWidth, kHeight, 0, 1);
    std::vector<uint32_t> texels = sceneTexels();
    sgl_intermediate_map map{{'I', 'M', 'A', 'P'}, 256, 256, texels.data()};
    int texture = sgl_create_texture(SGL_MAP_OPAQUE, 3, 2, 0, &map, nullptr);

    SGLCONTEXT ctx{};
    ctx.flags = SGLTT_DEFAULT_FLAGS;
    ctx.textureName = texture;
    // Fan vertex order as the driver builds it: (0, 1, 2), (0, 2, 3).
    std::vector<SGLVERTEX> quads = sceneQuads();
    int32_t fan[2][3] = {{0, 1, 2}, {0, 2, 3}};
    auto queueScene = [&] {
        softsglClearCalls(); // keep the call log from growing across frames
        sgltri_startofframe(&ctx);
        if (stage == Stage::EmptyFrame) return;
        for (size_t k = 0; k < quads.size(); k += 4)
            sgltri_triangles(&ctx, 2, fan, &quads[k]);
    };

    if (stage != Stage::WholeFrame) queueScene();
    for (auto _ : state) {
        if (stage == Stage::WholeFrame) queueScene();
        sgltri_render(&ctx);
        sgltri_isrendercomplete(&ctx, 0xFFFFFFFF);
        benchmark::DoNotOptimize(targetPixels.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
    sgl_delete_texture(texture);
    sgl_delete_device(device);
}

void BM_FrameScene(benchmark::State& state) {
    frameScene(state, Stage::WholeFrame);
}
void BM_FrameSceneRenderOnly(benchmark::State& state) {
    frameScene(state, Stage::RenderOnly);
}
void BM_FrameSceneEmpty(benchmark::State& state) {
    frameScene(state, Stage::EmptyFrame);
}

// The same frame on llvmpipe: one fan per draw call from the vertices as
// SGL gets them, glFinish at the end. The context stays open across runs,
// and a first frame outside the timing compiles the shaders.
void BM_FrameSceneLlvmpipe(benchmark::State& state) {
    static std::string why;
    static const bool open = mesaOpen(kWidth, kHeight, why);
    if (!open) {
        state.SkipWithError(("no llvmpipe: " + why).c_str());
        return;
    }
    static const std::vector<uint32_t> texels = sceneTexels();
    static const unsigned texture = mesaTexture(texels.data(), 256, PeerTexels::Rgba);
    const std::vector<SGLVERTEX> quads = sceneQuads();
    auto frame = [&] {
        mesaClear();
        mesaState(texture, PeerPass::Opaque);
        for (size_t k = 0; k < quads.size(); k += 4)
            mesaFan(&quads[k], 4);
        mesaFinish();
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

} // namespace

BENCHMARK(BM_FrameSceneLlvmpipe)->Name("frame_scene/llvmpipe")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameScene)->Name("frame_scene/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameSceneRenderOnly)
    ->Name("frame_scene/ours_render_only")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameSceneEmpty)->Name("frame_scene/ours_empty_frame")->Unit(benchmark::kMillisecond);
