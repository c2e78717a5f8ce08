// Module state of the software SGL, shared by its files: call log and
// failures, callbacks, devices, texture memory and the queued frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <unordered_map>
#include <vector>

#include "platform/sgl.h"
#include "softsgl/softsgl_control.h"

namespace softsgl {

// Results other than success and -243.
constexpr int kErrBadParameter = -1;
constexpr int kErrNoSuchTexture = -2;
constexpr int kErrNoTarget = -3;

constexpr int kDefaultTextureBudget = 4 * 1024 * 1024; // bytes, 2 per texel
constexpr int kBytesPerTexel = 2;
constexpr int kMaxDevices = 8;
constexpr int kMaxDeviceSide = 4096;
constexpr size_t kMaxQueuedPrimitives = 1u << 20;

struct Texture {
    int side = 0;
    int shift = 0; // log2 side
    int mapType = SGL_MAP_OPAQUE;
    // Some texel's transparency byte is not 0: found whenever the texels
    // are stored, so that a translucent map whose texels are all opaque is
    // drawn as an opaque one, by the fast spans.
    bool anyTransparent = false;
    std::vector<uint32_t> texels; // bytes red, green, blue, transparency
};

struct Device {
    bool live = false;
    int width = 0;
    int height = 0;
    uint32_t serial = 0; // creation order; the newest live device is drawn into
    int id = -1;         // what the host was handed: the slot, plus a multiple of the slots'
                         // count each time the slot was taken over from a live device
};

enum class PrimitiveKind : uint8_t { Point, Line, Triangle };

// One queued primitive: its kind, the context as it stood at the call and
// its own copy of its vertices (1, 2 or 3 of them). The rows it may reach
// and its width are noted as it is queued, so that a thread drawing other
// rows passes it by without reading its vertices, and the rows can be
// shared out between threads by the work on them.
struct QueuedPrimitive {
    PrimitiveKind kind;
    uint16_t width;       // of its bounding box inside 0 .. kMaxRow, in pixels
    int16_t top, bottom;  // rows it may reach, a row's margin either way, inside 0 .. kMaxRow
    uint32_t context;     // index into Frame::contexts
    uint32_t firstVertex; // index into Frame::vertices
};
constexpr int kMaxRow = 32767;

struct Frame {
    std::vector<SGLCONTEXT> contexts;
    std::vector<SGLVERTEX> vertices;
    std::vector<QueuedPrimitive> primitives;
};

// The pixel probe (softsgl_control.h): the pixel watched and what covered
// it in the latest render.
struct PixelProbe {
    bool on = false;
    int x = 0, y = 0;
    // The render's samples each way, and the pixel's samples: columns
    // x0 .. x1 - 1 and rows y0 .. y1 - 1 of what is drawn into.
    int scale = 1;
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    bool dither = false;    // the resolve dithers
    uint32_t primitive = 0; // the primitive being drawn
    std::vector<SoftsglProbeHit> hits;
};
PixelProbe& pixelProbe();

// Logs a call (unless logging is off) and tells whether it is to fail, with
// the result to return then. `name` must outlive the library (a literal):
// the counts keep the pointer.
bool enterCall(const char* name, std::initializer_list<int64_t> args, int* failResult,
               const SGLCONTEXT* context = nullptr, const SGLVERTEX* vertices = nullptr,
               size_t vertexCount = 0, const int32_t* indices = nullptr, size_t indexCount = 0);

inline int64_t pointerArg(const void* p) {
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(p));
}

sgl_address_callback addressCallback();
sgl_eor_callback eorCallback();
// Newest live device, or null.
const Device* currentDevice();
// Live texture of that name, or null.
const Texture* findTexture(int name);

} // namespace softsgl
