// The frame cycle: primitives queued between sgltri_startofframe and
// sgltri_render, each with its own copy of the context and vertices.
#include <algorithm>
#include <cstring>

#include "softsgl/rasterizer.h"
#include "softsgl/softsgl_state.h"

namespace softsgl {
namespace {

constexpr int32_t kMaxIndex = 65535;

// Two frames, queued into in turn: the band threads on other cores read the
// last frame's vertices, and writing memory another core has just read
// waits on that core. The frame before it has had time to leave their
// caches.
Frame frames[2];
Frame* queued = &frames[0];
PixelProbe probe;
struct {
    uint8_t* address = nullptr;
    int stride = 0, bitsPerPixel = 0;
} lastTarget;

// Primitives queued in one frame share a context copy while it is unchanged.
uint32_t contextIndex(const SGLCONTEXT* context) {
    if (queued->contexts.empty() ||
        std::memcmp(&queued->contexts.back(), context, sizeof(SGLCONTEXT)) != 0)
        queued->contexts.push_back(*context);
    return uint32_t(queued->contexts.size() - 1);
}

bool roomFor(size_t n) {
    return queued->primitives.size() + n <= kMaxQueuedPrimitives;
}

// A coordinate held to 0 .. kMaxRow; not a number gives `otherwise`.
float held(float c, float otherwise) {
    return c != c ? otherwise : std::min(std::max(c, 0.0f), float(kMaxRow));
}

void queue(PrimitiveKind kind, uint32_t context, std::initializer_list<const SGLVERTEX*> vs) {
    float xLo = vs.begin()[0]->x, xHi = xLo, yLo = vs.begin()[0]->y, yHi = yLo;
    for (const SGLVERTEX* v : vs) {
        // Written so that a coordinate that is not a number spreads to the
        // bounds: such a primitive is dropped when it is drawn, by each thread.
        xLo = v->x < xLo || v->x != v->x ? v->x : xLo;
        xHi = v->x > xHi || v->x != v->x ? v->x : xHi;
        yLo = v->y < yLo || v->y != v->y ? v->y : yLo;
        yHi = v->y > yHi || v->y != v->y ? v->y : yHi;
        queued->vertices.push_back(*v);
    }
    const int top = std::max(0, int(held(yLo, 0)) - 1);
    const int bottom = std::min(kMaxRow, int(held(yHi, float(kMaxRow))) + 1);
    const int width = int(held(xHi, 0)) - int(held(xLo, 0)) + 1;
    queued->primitives.push_back(QueuedPrimitive{kind, uint16_t(width), int16_t(top),
                                                 int16_t(bottom), context,
                                                 uint32_t(queued->vertices.size() - vs.size())});
}

} // namespace

PixelProbe& pixelProbe() {
    return probe;
}

} // namespace softsgl

using namespace softsgl;

void softsglSetProbe(int x, int y) {
    probe.on = x >= 0 && y >= 0;
    probe.x = x;
    probe.y = y;
    probe.hits.clear();
}

int softsglProbeHits(const SoftsglProbeHit** hits) {
    *hits = probe.hits.data();
    return int(probe.hits.size());
}

int softsglQueuedPrimitives(void) {
    return int(queued->primitives.size());
}

void softsglLastTarget(uint8_t** address, int* stride, int* bitsPerPixel) {
    *address = lastTarget.address;
    *stride = lastTarget.stride;
    *bitsPerPixel = lastTarget.bitsPerPixel;
}

SGL_API int SGL_CALL sgltri_startofframe(SGLCONTEXT* context) {
    int failed;
    if (enterCall("sgltri_startofframe", {pointerArg(context)}, &failed, context)) return failed;
    queued = queued == &frames[0] ? &frames[1] : &frames[0];
    queued->contexts.clear();
    queued->vertices.clear();
    queued->primitives.clear();
    return 0;
}

SGL_API void SGL_CALL sgltri_points(SGLCONTEXT* context, int count, SGLVERTEX* vertices) {
    int failed;
    size_t n = vertices && count > 0 ? size_t(count) : 0;
    if (enterCall("sgltri_points", {pointerArg(context), count, pointerArg(vertices)}, &failed,
                  context, vertices, n))
        return;
    if (!context || !roomFor(n)) return;
    uint32_t c = contextIndex(context);
    for (size_t i = 0; i < n; ++i)
        queue(PrimitiveKind::Point, c, {&vertices[i]});
}

SGL_API void SGL_CALL sgltri_lines(SGLCONTEXT* context, int count, uint16_t (*pairs)[2],
                                   SGLVERTEX* vertices) {
    int failed;
    size_t n = pairs && vertices && count > 0 ? size_t(count) : 0;
    std::vector<int32_t> indices;
    int32_t top = -1;
    for (size_t i = 0; i < n; ++i) {
        indices.push_back(pairs[i][0]);
        indices.push_back(pairs[i][1]);
        top = std::max<int32_t>(top, std::max(pairs[i][0], pairs[i][1]));
    }
    if (enterCall("sgltri_lines",
                  {pointerArg(context), count, pointerArg(pairs), pointerArg(vertices)}, &failed,
                  context, vertices, size_t(top + 1), indices.data(), indices.size()))
        return;
    if (!context || !roomFor(n)) return;
    uint32_t c = contextIndex(context);
    for (size_t i = 0; i < n; ++i)
        queue(PrimitiveKind::Line, c, {&vertices[pairs[i][0]], &vertices[pairs[i][1]]});
}

SGL_API void SGL_CALL sgltri_triangles(SGLCONTEXT* context, int count, int32_t (*triples)[3],
                                       SGLVERTEX* vertices) {
    int failed;
    size_t n = triples && vertices && count > 0 ? size_t(count) : 0;
    int32_t top = -1;
    for (size_t i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k)
            if (triples[i][k] <= kMaxIndex) top = std::max(top, triples[i][k]);
    if (enterCall("sgltri_triangles",
                  {pointerArg(context), count, pointerArg(triples), pointerArg(vertices)}, &failed,
                  context, vertices, size_t(top + 1), n ? &triples[0][0] : nullptr, n * 3))
        return;
    if (!context || !roomFor(n)) return;
    uint32_t c = contextIndex(context);
    for (size_t i = 0; i < n; ++i) {
        const int32_t* t = triples[i];
        // Indices outside 0..65535 make the triangle invalid; it is dropped.
        if (t[0] < 0 || t[1] < 0 || t[2] < 0 || t[0] > kMaxIndex || t[1] > kMaxIndex ||
            t[2] > kMaxIndex)
            continue;
        queue(PrimitiveKind::Triangle, c, {&vertices[t[0]], &vertices[t[1]], &vertices[t[2]]});
    }
}

SGL_API int SGL_CALL sgltri_render(SGLCONTEXT* context) {
    int failed;
    if (enterCall("sgltri_render", {pointerArg(context)}, &failed, context)) return failed;
    // The record starts empty: a callback that does not fill it leaves no
    // address, and then nothing is drawn.
    AddressCallbackParams params;
    std::memset(&params, 0, sizeof params);
    if (sgl_address_callback cb = addressCallback()) cb(&params);

    int result = kErrNoTarget;
    const Device* device = currentDevice();
    uintptr_t address = reinterpret_cast<uintptr_t>(params.address);
    bool usable = device && address != 0 && (address & 1) == 0 && (params.stride & 1) == 0 &&
                  (params.bitsPerPixel == 15 || params.bitsPerPixel == 16);
    if (usable) {
        RenderTarget target{static_cast<uint8_t*>(params.address), params.stride,
                            std::min(device->width, params.stride / 2), device->height,
                            params.bitsPerPixel == 15};
        renderFrame(*queued, target);
        lastTarget = {target.base, target.stride, params.bitsPerPixel};
        result = 0;
    }
    if (sgl_eor_callback eor = eorCallback()) eor();
    return result;
}

SGL_API int SGL_CALL sgltri_isrendercomplete(SGLCONTEXT* context, uint32_t timeout) {
    int failed;
    if (enterCall("sgltri_isrendercomplete", {pointerArg(context), int64_t(timeout)}, &failed,
                  context))
        return failed;
    return 0; // rendering is synchronous: always complete
}
