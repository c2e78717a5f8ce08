// libFuzzer harness for softsgl, our sgl.dll: the 15 SGL operations called
// directly, not through the driver, with what a careless or broken caller
// could hand them. Contexts with any flag word and texture names that are
// live, deleted or never made; vertices with NaN, infinities, denormals,
// huge and tiny values, in zero-area, one-pixel, screen-covering and
// guard-band shapes; index lists with negative and out-of-range entries;
// textures of every map type and size code with malformed maps; devices of
// any size; render targets with odd, tiny and huge strides and sizes at 15
// and 16 bits per pixel, from address callbacks that fail or hand back
// nothing; renders with bilinear filtering, supersampling and dithering.
//
// Every buffer handed over is exactly as large as its arguments say
// (pooled_buffers.cpp poisons what lies past it), so any read or write
// outside it is softsgl's fault. After a render the bytes of the target
// outside the drawn area must be as they were, and a render drawn again on
// another thread count must draw the same pixels; at the end of an input
// everything it made is deleted and the library must hold no texture, no
// device and its whole texture memory. A failed check aborts.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "fuzz/input_bytes.h"
#include "fuzz/pooled_buffers.h"
#include "fuzz/softsgl_input.h"
#include "platform/sgl.h"
#include "softsgl/softsgl_control.h"

using namespace softsglfuzz;

namespace {

// The byte a render target is filled with before a render.
constexpr uint8_t kTargetFill = 0xA5;
// Render targets stay below this, whatever the device and stride: the
// largest (1024 x 2048 pixels, say) is already two million pixels to clear
// per render.
constexpr size_t kMaxTargetBytes = size_t(4) << 20;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "softsgl fuzz check failed: %s\n", what);
    std::abort();
}

class Input : public InputBytes {
  public:
    using InputBytes::InputBytes;
    // Small values mostly, with the extremes now and then.
    int32_t integer(int32_t lo, int32_t hi) {
        static const int32_t extremes[] = {INT32_MIN, INT32_MAX, -1, 0, 65535, 65536, 1 << 20};
        uint8_t kind = byte();
        if (kind < 224) return lo + int32_t(word() % uint32_t(hi - lo + 1));
        return extremes[kind % (sizeof extremes / sizeof extremes[0])];
    }
    // A float on the screen mostly, else one of the values that break
    // arithmetic: NaN, infinities, denormals, huge and tiny, the guard band.
    float coordinate(float lo, float hi) {
        static const float specials[] = {NAN,
                                         INFINITY,
                                         -INFINITY,
                                         1e-40f,
                                         -1e-45f,
                                         -0.0f,
                                         std::numeric_limits<float>::max(),
                                         -std::numeric_limits<float>::max(),
                                         1e30f,
                                         -1e30f,
                                         1e-30f,
                                         1048576.5f,
                                         -1048577.0f,
                                         16777216.0f,
                                         0.0f};
        uint8_t kind = byte();
        if (kind < 200) return lo + (hi - lo) * float(half()) / 65535.0f;
        return specials[kind % (sizeof specials / sizeof specials[0])];
    }
};

// What the harness knows of the library's state: its devices (the newest
// live one is drawn into, and the target must hold its rows), the texture
// names made, and the render target the address callback hands out.
struct DeviceRecord {
    bool live = false;
    int width = 0, height = 0;
    uint32_t serial = 0;
    int id = -1; // the slot, while no live device was ever taken over in it
};

struct TargetChoice {
    TargetKind kind = TargetKind::Good;
    int stride = 0; // bytes; -1: twice the device width
    int bitsPerPixel = 16;
};

struct RenderTarget {
    uint8_t* bytes = nullptr; // as handed out by the last callback, or null
    size_t size = 0;
    int stride = 0, rows = 0;
};

DeviceRecord devices[8];
uint32_t deviceSerial = 0;
std::vector<int> madeNames, deletedNames;
TargetChoice targetChoice;
RenderTarget target;
int32_t addressStatus;
int eorCalls = 0;
bool eorSet = false;
int defaultBudget = 0;
bool tracing = false; // KXFUZZ_TRACE: print each step's operation (softsgl_input.h)

const DeviceRecord* newestDevice() {
    const DeviceRecord* newest = nullptr;
    for (const DeviceRecord& d : devices)
        if (d.live && (!newest || d.serial > newest->serial)) newest = &d;
    return newest;
}

int SGL_CALL handOutTarget(AddressCallbackParams* p) {
    target = RenderTarget{};
    if (targetChoice.kind == TargetKind::Nothing) return 0;
    if (targetChoice.kind == TargetKind::FailEmpty) return -1;
    const DeviceRecord* device = newestDevice();
    int rows = device ? device->height : 1;
    int stride = targetChoice.stride < 0 ? 2 * (device ? device->width : 1) : targetChoice.stride;
    stride = stride > 65535 ? 65535 : stride;
    while (stride > 2 && size_t(stride) * size_t(rows) > kMaxTargetBytes)
        stride /= 2;
    target.stride = stride;
    target.rows = rows;
    target.size = size_t(stride) * size_t(rows);
    // An odd address is one byte into a buffer one byte larger.
    const bool odd = targetChoice.kind == TargetKind::OddAddress;
    uint8_t* block = pooledBuffer(target.size + (odd ? 1 : 0), kNoFill);
    std::memset(block, kTargetFill, target.size + (odd ? 1 : 0));
    target.bytes = block + (odd ? 1 : 0);
    p->address = targetChoice.kind == TargetKind::NullAddress ? nullptr : target.bytes;
    p->stride = uint16_t(stride);
    p->bitsPerPixel = uint8_t(targetChoice.bitsPerPixel);
    return targetChoice.kind == TargetKind::FailFilled ? -1 : 0;
}

int SGL_CALL countEndOfRender() {
    ++eorCalls;
    return 0;
}

int SGL_CALL failEndOfRender() {
    ++eorCalls;
    return -1;
}

// After a render: nothing outside the drawn area changed, and nothing at all
// when the render drew nothing.
void checkTarget(int result) {
    if (!target.bytes) return;
    const DeviceRecord* device = newestDevice();
    int drawnBytes = 0;
    if (result == 0 && device) {
        int width = device->width < target.stride / 2 ? device->width : target.stride / 2;
        drawnBytes = 2 * width;
    }
    if (result == 0 && !device) fail("a render without a device reported success");
    static const std::vector<uint8_t> filled(65536, kTargetFill);
    const size_t rest = size_t(target.stride - drawnBytes);
    for (int y = 0; y < target.rows; ++y) {
        const uint8_t* row = target.bytes + size_t(y) * size_t(target.stride);
        if (rest && std::memcmp(row + drawnBytes, filled.data(), rest) != 0) {
            std::fprintf(stderr, "row %d of %d-byte rows, %d bytes drawn, render result %d\n", y,
                         target.stride, drawnBytes, result);
            fail("a render wrote outside the area it draws");
        }
    }
}

int textureName(Input& in) {
    switch (in.pick(6)) {
    case 0:
    case 1:
        if (!madeNames.empty()) return madeNames[in.byte() % madeNames.size()];
        return 1;
    case 2:
        if (!deletedNames.empty()) return deletedNames[in.byte() % deletedNames.size()];
        return 2;
    case 3:
        return 0;
    case 4:
        return madeNames.empty() ? 1000 : madeNames.back() + 1 + in.pick(4); // never made
    default:
        return in.integer(-2, 64);
    }
}

void changeContext(Input& in, SGLCONTEXT& ctx) {
    static const uint32_t bits[] = {SGLTT_ALWAYS_SET, SGLTT_TEXTURE, SGLTT_VERTEXTRANS,
                                    SGLTT_NOBLEND,    0x00020000,    0x00080000};
    switch (in.pick(4)) {
    case 0:
        ctx.flags = in.word();
        break;
    case 1:
        ctx.flags ^= bits[in.pick(6)];
        break;
    case 2:
        ctx.textureName = textureName(in);
        break;
    default: { // fog, culling and the library's other words, any of the 36
        const uint32_t word = in.word();
        std::memcpy(reinterpret_cast<uint8_t*>(&ctx) + 4 * in.pick(36), &word, 4);
        break;
    }
    }
}

// A vertex in one of the shapes: anywhere with any value, or near (x, y).
SGLVERTEX vertex(Input& in, float x, float y, float spread) {
    SGLVERTEX v;
    if (spread > 0) {
        v.x = x + in.coordinate(-spread, spread);
        v.y = y + in.coordinate(-spread, spread);
    } else {
        v.x = in.coordinate(-100, 740);
        v.y = in.coordinate(-100, 580);
    }
    v.z = in.coordinate(0, 1);
    v.invW = in.coordinate(0.01f, 1.5f);
    v.colour = in.pick(2) ? 0xFF000000u | in.word() : in.word();
    v.specular = 0;
    v.uOverW = in.coordinate(-4, 4);
    v.vOverW = in.coordinate(-4, 4);
    return v;
}

// n vertices of one shape, in a buffer of exactly n.
SGLVERTEX* vertices(Input& in, size_t n) {
    if (n == 0 || in.pick(32) == 0) return nullptr;
    SGLVERTEX* vs = reinterpret_cast<SGLVERTEX*>(pooledBuffer(n * sizeof(SGLVERTEX), kNoFill));
    const Shape shape = Shape(in.pick(kShapeCount));
    const float cx = in.coordinate(-50, 690), cy = in.coordinate(-50, 530);
    // Only the first 64 are made from the input; the rest repeat them.
    size_t made = n < 64 ? n : 64;
    for (size_t i = 0; i < made; ++i) {
        switch (shape) {
        case Shape::Anywhere:
            vs[i] = vertex(in, 0, 0, 0);
            break;
        case Shape::Small: // one-pixel triangles and points near each other
            vs[i] = vertex(in, cx, cy, 1.0f);
            break;
        case Shape::Covering: // far beyond the screen on every side
            vs[i] = vertex(in, 320, 240, 1e5f);
            break;
        case Shape::Collinear: // zero area: all on one line through (cx, cy)
            vs[i] = vertex(in, cx, cy, 0);
            vs[i].y = cy + (vs[i].x - cx) * 0.5f;
            break;
        case Shape::GuardBand: // crossing the 2^20-pixel guard band
            vs[i] = vertex(in, 0, 0, 2e6f);
            break;
        }
    }
    for (size_t i = made; i < n; ++i)
        vs[i] = vs[i % made];
    return vs;
}

void queuePoints(Input& in, SGLCONTEXT* ctx) {
    // Counts are held to what a buffer can be made for; arrays hold them.
    int count = std::min(in.integer(-2, 24), 4096);
    sgltri_points(ctx, count, vertices(in, count > 0 ? size_t(count) : 0));
}

void queueLines(Input& in, SGLCONTEXT* ctx) {
    int count = std::min(in.integer(-2, 24), 4096);
    size_t n = count > 0 ? size_t(count) : 0;
    uint16_t(*pairs)[2] = nullptr;
    size_t top = 0;
    if (n && in.pick(32) != 0) {
        pairs = reinterpret_cast<uint16_t(*)[2]>(pooledBuffer(n * 4, kNoFill));
        for (size_t i = 0; i < n; ++i)
            for (int k = 0; k < 2; ++k) {
                pairs[i][k] = in.pick(8) ? uint16_t(in.pick(16)) : in.half();
                top = pairs[i][k] > top ? pairs[i][k] : top;
            }
    }
    sgltri_lines(ctx, count, pairs, vertices(in, pairs ? top + 1 : 0));
}

void queueTriangles(Input& in, SGLCONTEXT* ctx) {
    int count = std::min(in.integer(-2, 40), 4096);
    size_t n = count > 0 ? size_t(count) : 0;
    int32_t(*triples)[3] = nullptr;
    int32_t top = -1;
    if (n && in.pick(32) != 0) {
        triples = reinterpret_cast<int32_t(*)[3]>(pooledBuffer(n * 12, kNoFill));
        const bool fan = in.pick(2) == 0;
        for (size_t i = 0; i < n; ++i)
            for (int k = 0; k < 3; ++k) {
                int32_t index = fan ? (k == 0 ? 0 : int32_t(i) + k) : int32_t(in.pick(24));
                if (in.pick(16) == 0) index = in.integer(-3, 70000);
                triples[i][k] = index;
                // Entries outside 0..65535 are dropped; the array holds the rest.
                if (index >= 0 && index <= 65535 && index > top) top = index;
            }
    }
    sgltri_triangles(ctx, count, triples, vertices(in, size_t(top + 1)));
}

// A map of `side` texels a side in one of the patterns, or a malformed one.
sgl_intermediate_map* textureMap(Input& in, int side) {
    if (side < 32 || side > 256) side = 32 << in.pick(4);
    const MapDefect defect = MapDefect(in.pick(kMapDefectCount + 4)); // mostly sound
    if (defect == MapDefect::NullMap) return nullptr;
    auto* map = reinterpret_cast<sgl_intermediate_map*>(
        pooledBuffer(sizeof(sgl_intermediate_map), kNoFill));
    std::memcpy(map->id, defect == MapDefect::WrongId ? "IMAQ" : "IMAP", 4);
    map->xDim = side;
    map->yDim = side;
    if (defect == MapDefect::WrongSize) {
        static const int32_t sizes[] = {0, -32, 1, 31, 33, 512, INT32_MIN};
        (in.pick(2) ? map->xDim : map->yDim) = sizes[in.pick(7)];
    }
    if (defect == MapDefect::NullTexels) {
        map->pixels = nullptr;
        return map;
    }
    // Texels for what the map claims, when that is a size at all.
    int64_t claimed = int64_t(map->xDim) * map->yDim;
    size_t texels = claimed > 0 && claimed <= 65536 ? size_t(claimed) : 1;
    auto* t = reinterpret_cast<uint32_t*>(pooledBuffer(texels * 4, kNoFill));
    const uint32_t seed = in.word();
    const TexelPattern pattern = TexelPattern(in.pick(kTexelPatternCount));
    for (size_t i = 0; i < texels; ++i) {
        uint32_t h = uint32_t(i) * 0x9E3779B1u ^ seed;
        h ^= h >> 15;
        h *= 0x2C1B3C6Du;
        h ^= h >> 12;
        uint32_t transparency = 0;
        switch (pattern) {
        case TexelPattern::Opaque:
            break;
        case TexelPattern::Clear:
            transparency = 255;
            break;
        case TexelPattern::Holes:
            transparency = (h >> 28) == 0 ? 255 : 0;
            break;
        case TexelPattern::Mixed:
            transparency = h >> 24;
            break;
        case TexelPattern::OneTransparent:
            transparency = i == seed % texels ? 1 : 0;
            break;
        }
        t[i] = (h & 0xFFFFFF) | transparency << 24;
    }
    map->pixels = t;
    return map;
}

void createTexture(Input& in) {
    static const int types[] = {SGL_MAP_OPAQUE, SGL_MAP_TRANSLUCENT, 0, 2, 3, 5, -1};
    int type = in.pick(4) ? types[in.pick(2)] : types[in.pick(7)];
    // Small maps mostly: a large one is that many texels to make.
    static const int codes[] = {0, 0, 0, 0, 1, 1, 2, 3};
    int sizeCode = in.pick(4) ? codes[in.pick(8)] : in.integer(-2, 5);
    int side = sizeCode >= 0 && sizeCode <= 3 ? 32 << sizeCode : 32;
    int mipmap = in.integer(0, 3), dither = in.integer(0, 2);
    sgl_intermediate_map* map = textureMap(in, side);
    int name = sgl_create_texture(type, sizeCode, mipmap, dither, map, nullptr);
    if (name == 0) fail("a texture was named 0");
    if (name > 0) madeNames.push_back(name);
}

void setTexture(Input& in) {
    int name = textureName(in);
    int mipLevel = in.pick(8) ? 0 : in.integer(-1, 4);
    int regenerate = in.integer(0, 1);
    int side = 32 << in.pick(4);
    softsglTexels(name, &side); // a live texture's own side
    sgl_set_texture(name, mipLevel, regenerate, textureMap(in, in.pick(4) ? side : 0), nullptr);
}

void deleteTexture(Input& in) {
    int name = textureName(in);
    bool live = softsglTexels(name) != nullptr;
    sgl_delete_texture(name);
    if (softsglTexels(name)) fail("a deleted texture is still there");
    if (live) deletedNames.push_back(name);
}

void createDevice(Input& in) {
    static const int sides[] = {1,   2,   3,   7,    8,    33, 200, 240,
                                320, 480, 640, 1023, 4096, 0,  -1,  4097};
    int number = in.pick(8) ? 0 : in.integer(-1, 2);
    int width = in.pick(4) ? sides[in.pick(13)] : sides[in.pick(16)];
    int height = in.pick(4) ? sides[in.pick(13)] : sides[in.pick(16)];
    int id = sgl_create_screen_device(number, width, height, in.integer(0, 2), in.integer(0, 1));
    if (id < 0) return;
    // Eight slots; with all of them live the oldest is taken over under a
    // new id (a host freed without deleting its device must not lock the
    // next one out).
    DeviceRecord& slot = devices[id % 8];
    if (slot.live) {
        for (const DeviceRecord& d : devices)
            if (!d.live || d.serial < slot.serial)
                fail("a device was taken over while a slot was free or an older one live");
        if (slot.id == id) fail("a live device's id was given out again");
    }
    slot = DeviceRecord{true, width, height, ++deviceSerial, id};
}

// A slot's device by the id it was handed out under, or a number of any kind.
void deleteDevice(Input& in) {
    int id;
    if (in.pick(8)) {
        const DeviceRecord& d = devices[in.pick(8)];
        id = d.id >= 0 ? d.id : int(&d - devices);
    } else {
        id = in.integer(-2, 10);
    }
    sgl_delete_device(id);
    if (id >= 0 && devices[id % 8].id == id) devices[id % 8].live = false;
    bool anyLive = false;
    for (const DeviceRecord& d : devices)
        anyLive = anyLive || d.live;
    if (!anyLive)
        for (DeviceRecord& d : devices)
            d.id = -1;
}

void chooseTarget(Input& in) {
    static const int strides[] = {-1,  -1,   0,    1,    2,    3,     64,
                                  640, 1280, 1282, 1279, 4096, 65534, 65535};
    targetChoice.kind = TargetKind(in.pick(kTargetKindCount + 6) % kTargetKindCount);
    if (in.pick(3) == 0) targetChoice.kind = TargetKind::Good;
    targetChoice.stride = in.pick(4) ? strides[in.pick(14)] : int(in.half());
    static const int bits[] = {16, 15, 16, 15, 0, 8, 24, 32};
    targetChoice.bitsPerPixel = bits[in.pick(8)];
}

// The quality settings of the renders from now on (softsgl_input.h). A
// render drawn again and one on another thread count draw the same pixels
// with them as without.
void setQuality(uint8_t bits) {
    const int filter = bits & kQualityFilterBit ? 1 : 0, dither = bits & kQualityDitherBit ? 1 : 0;
    const int samples = 1 + (bits >> kQualitySamplesShift) % 4;
    softsglSetFilter(filter);
    softsglSetDither(dither);
    softsglSetAntialias(samples);
    if (tracing)
        std::fprintf(stderr, "quality: filter %d, dither %d, antialias %d\n", filter, dither,
                     samples);
}

// The threads a render is drawn on, 1 to 3 in turn: bands and their
// workers are fuzzed too, and a render drawn again goes on another count.
void setRenderThreads(int rendersLeft) {
    softsglSetThreads(1 + rendersLeft % 3);
}

void render(Input& in, SGLCONTEXT* ctx, int& rendersLeft) {
    if (rendersLeft-- <= 0) return;
    const bool twice = in.pick(4) == 0;
    const int eorBefore = eorCalls;
    target = RenderTarget{}; // the callback, if there is one, hands out a new one
    setRenderThreads(rendersLeft);
    int result = sgltri_render(ctx);
    checkTarget(result);
    if (eorCalls != eorBefore + (eorSet ? 1 : 0))
        fail("the end-of-render callback was not called once per render");
    if (!twice || result != 0 || !target.bytes || target.size == 0 ||
        target.size > (size_t(1) << 18))
        return;
    // The queue is kept: a second render draws the very same pixels, on
    // another number of threads too.
    std::vector<uint8_t> first(target.bytes, target.bytes + target.size);
    target = RenderTarget{};
    setRenderThreads(rendersLeft + 1);
    result = sgltri_render(ctx);
    checkTarget(result);
    if (result == 0 && target.bytes && target.size == first.size() &&
        std::memcmp(first.data(), target.bytes, first.size()) != 0)
        fail("rendering the same frame again drew other pixels");
}

// Deletes what the input made and checks that the library is empty again.
void endInput(SGLCONTEXT* ctx) {
    for (int name : madeNames)
        sgl_delete_texture(name);
    for (const DeviceRecord& d : devices)
        if (d.live) sgl_delete_device(d.id);
    sgltri_startofframe(ctx);
    sgl_use_address_mode(nullptr, nullptr);
    sgl_use_eor_callback(nullptr);
    eorSet = false;
    softsglClearFailures();
    softsglClearCalls();
    softsglSetCallLogging(false);
    softsglSetTextureBudget(defaultBudget);
    // The next input starts with the player's settings (none in a fuzz
    // run; the tsan stage's replay sets them through the environment).
    softsglSetFilter(-1);
    softsglSetDither(-1);
    softsglSetAntialias(-1);
    if (softsglLiveTextures() != 0) fail("textures outlived their deletion");
    if (softsglLiveDevices() != 0) fail("devices outlived their deletion");
    if (sgl_get_free_texture_mem() != defaultBudget) fail("texture memory was not given back");
    madeNames.clear();
    deletedNames.clear();
    for (DeviceRecord& d : devices)
        d = DeviceRecord{};
    targetChoice = TargetChoice{};
    target = RenderTarget{};
    releasePooledBuffers();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = false;
    if (!started) {
        started = true;
        tracing = std::getenv("KXFUZZ_TRACE") != nullptr;
        defaultBudget = softsglTextureBudget();
        softsglSetCallLogging(false);
    }
    Input in(data, size);
    SGLCONTEXT context;
    std::memset(&context, 0, sizeof context);
    context.flags = SGLTT_DEFAULT_FLAGS;
    int rendersLeft = 8;
    for (int steps = 0; !in.empty() && steps < 256; ++steps) {
        // A null context now and then: the library must not follow it.
        SGLCONTEXT* ctx = in.pick(64) == 0 ? nullptr : &context;
        const uint8_t opByte = in.byte();
        const Operation op =
            opByte == kQualityByte ? Operation::Quality : Operation(opByte % kOperationCount);
        if (tracing) std::fprintf(stderr, "step %d: operation %d\n", steps, int(op));
        switch (op) {
        case Operation::GetVersions: {
            sgl_win_versions* v = sgl_get_win_versions();
            if (v)
                for (const char* text : v->text)
                    if (!text || std::strlen(text) > 63) fail("a version text is missing or long");
            break;
        }
        case Operation::UseAddressMode:
            chooseTarget(in);
            sgl_use_address_mode(in.pick(8) ? handOutTarget : nullptr,
                                 in.pick(2) ? &addressStatus : nullptr);
            break;
        case Operation::UseEorCallback: {
            static const sgl_eor_callback callbacks[] = {countEndOfRender, failEndOfRender,
                                                         nullptr};
            sgl_eor_callback callback = callbacks[in.pick(3)];
            sgl_use_eor_callback(callback);
            eorSet = callback != nullptr;
            break;
        }
        case Operation::CreateDevice:
            createDevice(in);
            break;
        case Operation::DeleteDevice:
            deleteDevice(in);
            break;
        case Operation::StartOfFrame:
            sgltri_startofframe(ctx);
            break;
        case Operation::Points:
            queuePoints(in, ctx);
            break;
        case Operation::Lines:
            queueLines(in, ctx);
            break;
        case Operation::Triangles:
        case Operation::Triangles2:
            queueTriangles(in, ctx);
            break;
        case Operation::Render:
            render(in, ctx, rendersLeft);
            break;
        case Operation::IsRenderComplete:
            if (sgltri_isrendercomplete(ctx, in.word()) != 0)
                fail("a synchronous render was not complete");
            break;
        case Operation::FreeTextureMemory:
            if (sgl_get_free_texture_mem() < 0) fail("negative free texture memory");
            break;
        case Operation::CreateTexture:
            createTexture(in);
            break;
        case Operation::SetTexture:
            setTexture(in);
            break;
        case Operation::DeleteTexture:
            deleteTexture(in);
            break;
        case Operation::ChangeContext:
            changeContext(in, context);
            break;
        case Operation::TextureBudget: {
            static const int budgets[] = {0, 2048, 2 * 64 * 64 * 2, 1 << 30, -5};
            softsglSetTextureBudget(in.pick(2) ? defaultBudget : budgets[in.pick(5)]);
            break;
        }
        case Operation::CallLogging:
            softsglSetCallLogging(in.pick(2) == 0);
            break;
        case Operation::Quality:
            setQuality(in.byte());
            break;
        }
    }
    endInput(&context);
    return 0;
}
