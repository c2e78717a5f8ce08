// Drives the exported entry points with a sequence of calls decoded from the
// input: arguments inside and outside the caller's contract, stale and
// invented handles, lost surfaces and failing platform calls at any point.
// Every buffer handed to the driver is sized from the arguments given with it,
// so any read or write outside it is the driver's fault.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(at, size) ((void)0)
#define ASAN_UNPOISON_MEMORY_REGION(at, size) ((void)0)
#endif

#include "driver/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"

namespace {

class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(byte()) << (8 * i);
        return v;
    }
    // Small values mostly, with the extremes now and then.
    int32_t integer(int32_t small) {
        static const int32_t extremes[] = {0,
                                           -1,
                                           1,
                                           std::numeric_limits<int32_t>::min(),
                                           std::numeric_limits<int32_t>::max(),
                                           -2147483583,
                                           65536,
                                           -65536,
                                           640,
                                           480,
                                           639,
                                           479};
        uint8_t kind = byte();
        if (kind < 200) return int32_t(word() % uint32_t(2 * small + 1)) - small;
        return extremes[kind % (sizeof extremes / sizeof extremes[0])];
    }
    float coordinate() {
        static const float specials[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 0.0f, 1e-30f};
        uint8_t kind = byte();
        if (kind < 220) return float(int32_t(word() % 2000) - 500) / 1.5f;
        return specials[kind % 7];
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Buffers are carved from blocks kept from input to input: a fresh large
// block would be mapped and faulted in anew for every input, which cost more
// than the driver's own work. A buffer starts its block and the rest of the
// block is poisoned, so a read past the buffer is still reported; between
// inputs whole blocks are poisoned, so a pointer the driver kept is caught.
struct Block {
    std::unique_ptr<uint8_t[]> bytes;
    size_t capacity;
    bool inUse;
};
std::vector<Block> blocks;

void poison(uint8_t* at, size_t size) {
    (void)at, (void)size;
    ASAN_POISON_MEMORY_REGION(at, size);
}
void unpoison(uint8_t* at, size_t size) {
    (void)at, (void)size;
    ASAN_UNPOISON_MEMORY_REGION(at, size);
}

void releaseBlocks() {
    size_t total = 0;
    for (Block& b : blocks) {
        if (b.inUse) poison(b.bytes.get(), b.capacity);
        b.inUse = false;
        total += b.capacity;
    }
    if (total <= (size_t(1024) << 20)) return;
    for (Block& b : blocks)
        unpoison(b.bytes.get(), b.capacity);
    blocks.clear();
}

struct Harness {
    std::vector<TextureRecord*> handles; // live, unloaded and reset alike
    std::vector<size_t> imageBytes;      // bytes of each handle's image

    ~Harness() { releaseBlocks(); }

    uint8_t* buffer(size_t size) {
        size = size ? size : 1;
        Block* best = nullptr;
        for (Block& b : blocks)
            if (!b.inUse && b.capacity >= size && (!best || b.capacity < best->capacity)) best = &b;
        if (!best) {
            blocks.push_back({std::unique_ptr<uint8_t[]>(new uint8_t[size]), size, false});
            best = &blocks.back();
        }
        best->inUse = true;
        uint8_t* at = best->bytes.get();
        unpoison(at, size);
        poison(at + size, best->capacity - size);
        std::memset(at, 0x5A, size);
        return at;
    }
    // An image of width x height at the given pitch; the returned pointer is
    // its first row, wherever the pitch's sign puts that row in the block.
    const uint8_t* image(int32_t width, int32_t height, int32_t pitch, int bytesPerPixel) {
        if (width <= 0 || height <= 0) return buffer(16);
        size_t row = size_t(width) * bytesPerPixel;
        size_t span = size_t(std::abs(int64_t(pitch))) * size_t(height - 1) + row;
        uint8_t* block = buffer(span);
        return pitch < 0 ? block + size_t(-int64_t(pitch)) * size_t(height - 1) : block;
    }
    TextureRecord* handle(Input& in) {
        uint8_t pick = in.byte();
        if (pick < 16 || handles.empty())
            return reinterpret_cast<TextureRecord*>(uintptr_t(in.word()) & ~uintptr_t(7));
        if (pick < 32) return nullptr;
        return handles[pick % handles.size()];
    }
    // Room for a replacement image of the record (none for invented handles,
    // which the driver must not follow).
    size_t bytesFor(const TextureRecord* record) const {
        for (size_t i = 0; i < handles.size(); ++i)
            if (handles[i] == record) return imageBytes[i];
        return 16;
    }
};

const char* const ddrawFailures[] = {"IDirectDraw::SetCooperativeLevel",
                                     "IDirectDraw::SetDisplayMode",
                                     "IDirectDraw::CreateSurface",
                                     "IDirectDraw::GetCaps",
                                     "IDirectDrawSurface::Lock",
                                     "IDirectDrawSurface::Unlock",
                                     "IDirectDrawSurface::Flip",
                                     "IDirectDrawSurface::Restore",
                                     "IDirectDrawSurface::Blt",
                                     "IDirectDrawSurface::GetAttachedSurface",
                                     "IDirectDrawSurface::GetPixelFormat",
                                     "LoadLibraryA",
                                     "GetProcAddress",
                                     "DirectDrawCreate"};
const char* const sglFailures[] = {"sgl_create_texture", "sgl_set_texture",
                                   "sgl_create_screen_device", "sgl_use_address_mode"};

void injectFailure(Input& in) {
    uint8_t pick = in.byte();
    int from = 1 + in.byte() % 4;
    if (pick & 1) {
        const char* name = ddrawFailures[pick / 2 % (sizeof ddrawFailures / sizeof *ddrawFailures)];
        kxstandFailCall(name, pick & 2 ? DDERR_SURFACELOST : DDERR_GENERIC, from,
                        1 + in.byte() % 3);
    } else {
        const char* name = sglFailures[pick / 2 % (sizeof sglFailures / sizeof *sglFailures)];
        softsglFailCall(name, pick & 2 ? -243 : -1, from, 1 + in.byte() % 3);
    }
}

void drawPrimitive(Harness& h, Input& in) {
    int32_t count = int32_t(in.byte() % 106) - 5;
    std::vector<HostVertex> vertices(count > 0 ? count : 1);
    for (HostVertex& v : vertices) {
        v.x = in.coordinate();
        v.y = in.coordinate();
        v.z = in.coordinate();
        v.invW = in.byte() < 240 ? float(1 + in.byte()) / 256.0f : in.coordinate();
        v.u = in.coordinate() / 64.0f;
        v.v = in.coordinate() / 64.0f;
        v.colour = in.word();
    }
    (void)h;
    DrawPrimitive(vertices.data(), count);
}

void loadTexture(Harness& h, Input& in) {
    // Mostly small images, now and then one up to 2048 pixels a side.
    uint32_t limit = in.byte() < 240 ? 300 : 2049;
    int32_t width = int32_t(in.word() % limit);
    int32_t height = int32_t(in.word() % limit);
    if (int64_t(width) * height > 1 << 20) height = (1 << 20) / (width ? width : 1);
    if (in.byte() < 8) width = -width;
    uint32_t format = in.byte() < 230 ? in.byte() % 6 : in.word();
    static const int bytesPerPixel[] = {1, 4, 3, 2, 2, 2};
    int bpp = format < 6 ? bytesPerPixel[format] : 4;
    const uint8_t* pixels = in.byte() < 8 ? nullptr : h.image(width, height, width * bpp, bpp);
    const uint32_t* palette = nullptr;
    if (in.byte() & 1) palette = reinterpret_cast<const uint32_t*>(h.buffer(256 * 4));
    TextureRecord* record =
        LoadTexture(pixels, width, height, in.word(), format, in.word(), palette);
    h.handles.push_back(record);
    h.imageBytes.push_back(width > 0 && height > 0 ? size_t(width) * height * bpp : 16);
}

void blitToCard(Harness& h, Input& in, bool stretch) {
    int32_t x = in.integer(700), y = in.integer(500);
    int32_t width = in.integer(700), height = in.integer(500);
    uint32_t format = in.byte() < 230 ? in.byte() % 6 : in.word();
    const uint32_t* palette =
        in.byte() & 1 ? reinterpret_cast<const uint32_t*>(h.buffer(256 * 4)) : nullptr;
    if (!stretch) {
        int32_t sourceWidth = int32_t(std::abs(int64_t(width)) % 700);
        int32_t sourceHeight = int32_t(std::abs(int64_t(height)) % 500);
        if (int64_t(sourceWidth) * sourceHeight > 1 << 20) sourceHeight = 1;
        int32_t pitch = in.byte() & 1 ? -sourceWidth : sourceWidth + in.byte();
        // The blit reads width x height: keep them within the image we own.
        width = width < 0 ? width : sourceWidth;
        height = height < 0 ? height : sourceHeight;
        BltToCard(h.image(sourceWidth, sourceHeight, pitch, 1), x, y, width, height, pitch, format,
                  palette);
    } else {
        // Source sizes stay within an image we can own; the destination
        // rectangle takes any value.
        int32_t sourceWidth = in.integer(300) % 1024, sourceHeight = in.integer(300) % 1024;
        int32_t w = sourceWidth > 0 ? sourceWidth : 1, hgt = sourceHeight > 0 ? sourceHeight : 1;
        int32_t pitch = in.byte() & 1 ? -w : w + in.byte();
        StretchBltToCard(h.image(w, hgt, pitch, 1), x, y, width, height, sourceWidth, sourceHeight,
                         pitch, format, palette);
    }
}

void readBack(Harness& h, Input& in) {
    int32_t width = in.integer(700), height = in.integer(500);
    int32_t w = std::min<int32_t>(width > 0 ? width : 0, 800);
    int32_t hgt = std::min<int32_t>(height > 0 ? height : 0, 600);
    width = width > 0 ? w : width;
    height = height > 0 ? hgt : height;
    int32_t pitch = 3 * w + int32_t(in.byte() % 16);
    if (in.byte() < 16) pitch = -pitch;
    size_t span = size_t(std::abs(int64_t(pitch))) * size_t(hgt > 0 ? hgt - 1 : 0) + 3 * size_t(w);
    uint8_t* block = h.buffer(span);
    uint8_t* first =
        pitch < 0 && hgt > 0 ? block + size_t(-int64_t(pitch)) * size_t(hgt - 1) : block;
    BltFromCard(first, in.integer(10), in.integer(10), width, height, pitch,
                in.byte() < 200 ? 2 : in.word());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Nobody reads the call logs here; building them cost a tenth of a run.
    kxstandSetCallLogging(false);
    softsglSetCallLogging(false);
    Input in(data, size);
    Harness h;
    for (int steps = 0; !in.empty() && steps < 200; ++steps) {
        switch (in.byte() % 24) {
        case 0:
            Init();
            break;
        case 1:
            Shutdown();
            break;
        case 2:
            ChangeResolution(in.integer(8));
            break;
        case 3:
            ssAlphaBlend(in.integer(3));
            break;
        case 4:
            ssChromaKey(in.integer(3), in.word());
            break;
        case 5:
        case 6:
            drawPrimitive(h, in);
            break;
        case 7:
            loadTexture(h, in);
            break;
        case 8:
            UnloadTexture(h.handle(in));
            break;
        case 9:
            ResetTextures();
            break;
        case 10:
        case 11:
            SelectTexture(h.handle(in));
            break;
        case 12: {
            TextureRecord* record = h.handle(in);
            ModifyTexture(record, h.buffer(h.bytesFor(record)));
            break;
        }
        case 13:
            LoadPalette(in.byte() & 1 ? reinterpret_cast<const uint32_t*>(h.buffer(1024))
                                      : nullptr);
            break;
        case 14:
            blitToCard(h, in, false);
            break;
        case 15:
            blitToCard(h, in, true);
            break;
        case 16:
            readBack(h, in);
            break;
        case 17:
            PageFlip();
            break;
        case 18:
            WaitForIdle();
            break;
        case 19:
            kxstandLoseSurfaces();
            break;
        case 20:
            injectFailure(in);
            break;
        case 21:
            Restore(), Pause(), Detect(), GetID(), GetGuid();
            break;
        case 22:
            BltFromCardToCard(), PushState(), PopState(), ssTexture(1), ssZBuffer(1);
            break;
        case 23:
            ssZBufferCompareMode(in.integer(3));
            break;
        }
    }
    // Back to a clean machine: the host shuts down and forgets its textures.
    kxstandClearFailures();
    softsglClearFailures();
    Shutdown();
    ResetTextures();
    if (kxstandLiveObjects() != 0 || kxstandLockedSurfaces() != 0 || softsglLiveTextures() != 0 ||
        softsglLiveDevices() != 0)
        std::abort();
    softsglClearCalls();
    kxstandClearCallLog();
    return 0;
}
