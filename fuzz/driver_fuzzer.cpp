// Drives the exported entry points with a sequence of calls decoded from the
// input (layout in input_layout.h): arguments inside and outside the caller's
// contract, stale and invented handles, lost surfaces, failing platform calls
// and other displays and libraries at any point. Every buffer handed to the
// driver is sized from the arguments given with it, so any read or write
// outside it is the driver's fault.
//
// The driver stays started from input to input (persistent_start.cpp), in a
// small render area; an input that shuts it down or changes what a start
// gets makes the harness start it afresh.
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "api/kxapi.h"
#include "fuzz/input_layout.h"
#include "fuzz/persistent_start.h"
#include "fuzz/pooled_buffers.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"

using namespace fuzzlayout;

namespace {

bool tracing = false; // KXFUZZ_TRACE: print each call as it is made

void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char* format, ...) {
    if (!tracing) return;
    va_list list;
    va_start(list, format);
    std::vfprintf(stderr, format, list);
    va_end(list);
    std::fputc('\n', stderr);
}

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
        uint8_t kind = byte();
        if (kind < kPlainInteger) return int32_t(word() % uint32_t(2 * small + 1)) - small;
        return kExtremes[kind % (sizeof kExtremes / sizeof kExtremes[0])];
    }
    float coordinate() {
        static const float specials[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 0.0f, 1e-30f};
        uint8_t kind = byte();
        if (kind < kPlainCoordinate) return float(int32_t(word() % 2000) - 500) / 1.5f;
        return specials[kind % 7];
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

class Steps {
  public:
    Steps(const uint8_t* data, size_t size) : in_(data, size) {}
    InputEffects effects;

    void run() {
        for (int steps = 0; !in_.empty() && steps < 200; ++steps) {
            uint8_t step = in_.byte();
            if (step == kMachineStep) {
                machineStep(MachineStep(in_.byte() % kMachineStepCount));
            } else if (step % kEntrySteps == kShutdown && step != kShutdownByte) {
                entryStep(kWaitForIdle);
            } else {
                fill_ = kFills[step / kEntrySteps];
                entryStep(EntryStep(step % kEntrySteps));
            }
        }
    }

  private:
    Input in_;
    int fill_ = kFills[0];
    // Calls the batch steps may still make in this input: beyond a few
    // thousand an input only gets slower, not deeper.
    int batchCalls_ = 4000;
    // Frames the batch steps may still render: a frame costs far more than
    // any other call, and the driver after a few hundred frames is in the
    // state it is in after a few thousand.
    int batchFrames_ = 256;
    std::vector<TextureRecord*> handles_; // live, unloaded and reset alike
    std::vector<size_t> imageBytes_;      // bytes of each handle's image

    // An image of width x height at the given pitch; the returned pointer is
    // its first row, wherever the pitch's sign puts that row in the buffer.
    const uint8_t* image(int32_t width, int32_t height, int32_t pitch, int bytesPerPixel) {
        if (width <= 0 || height <= 0) return pooledBuffer(16, fill_);
        size_t row = size_t(width) * bytesPerPixel;
        size_t span = size_t(std::abs(int64_t(pitch))) * size_t(height - 1) + row;
        uint8_t* block = pooledBuffer(span, fill_);
        return pitch < 0 ? block + size_t(-int64_t(pitch)) * size_t(height - 1) : block;
    }
    const uint32_t* palette() {
        return reinterpret_cast<const uint32_t*>(pooledBuffer(1024, fill_));
    }

    TextureRecord* handle() {
        uint8_t pick = in_.byte();
        if (pick < 16 || handles_.empty())
            return reinterpret_cast<TextureRecord*>(uintptr_t(in_.word()) & ~uintptr_t(7));
        if (pick < 32) return nullptr;
        return handles_[pick % handles_.size()];
    }
    // Room for a replacement image of the record (none for invented handles,
    // which the driver must not follow).
    size_t bytesFor(const TextureRecord* record) const {
        for (size_t i = 0; i < handles_.size(); ++i)
            if (handles_[i] == record) return imageBytes_[i];
        return 16;
    }
    void keep(TextureRecord* record, size_t bytes) {
        handles_.push_back(record);
        imageBytes_.push_back(bytes);
    }

    void init() {
        int result = Init();
        trace("Init() = %d", result);
        if (!effects.started) {
            effects.started = result == 1;
            effects.resolutionChanged = true;
            effects.frameTouched = false;
        }
    }
    void shutdown() {
        trace("Shutdown()");
        Shutdown();
        effects.started = false;
    }
    void pageFlip() {
        int result = PageFlip();
        trace("PageFlip() = %d", result);
        if (effects.started) effects.frameTouched = false;
    }

    void entryStep(EntryStep step) {
        switch (step) {
        case kInit:
            init();
            break;
        case kShutdown:
            shutdown();
            break;
        case kChangeResolution: {
            int32_t mode = in_.integer(8);
            int result = ChangeResolution(mode);
            trace("ChangeResolution(%d) = %d", mode, result);
            effects.resolutionChanged = true;
            break;
        }
        case kAlphaBlend: {
            int32_t mode = in_.integer(3);
            trace("ssAlphaBlend(%d)", mode);
            ssAlphaBlend(mode);
            break;
        }
        case kChromaKey: {
            int32_t mode = in_.integer(3);
            uint32_t colour = in_.word();
            trace("ssChromaKey(%d, 0x%08x)", mode, colour);
            ssChromaKey(mode, colour);
            break;
        }
        case kDraw:
        case kDraw2:
            drawPrimitive();
            break;
        case kLoadTexture:
            loadTexture();
            break;
        case kUnloadTexture: {
            TextureRecord* record = handle();
            trace("UnloadTexture(%p)", static_cast<void*>(record));
            UnloadTexture(record);
            break;
        }
        case kResetTextures:
            trace("ResetTextures()");
            ResetTextures();
            break;
        case kSelectTexture:
        case kSelectTexture2: {
            TextureRecord* record = handle();
            trace("SelectTexture(%p)", static_cast<void*>(record));
            SelectTexture(record);
            break;
        }
        case kModifyTexture: {
            TextureRecord* record = handle();
            trace("ModifyTexture(%p)", static_cast<void*>(record));
            ModifyTexture(record, pooledBuffer(bytesFor(record), fill_));
            break;
        }
        case kLoadPalette: {
            bool given = in_.byte() & 1;
            trace("LoadPalette(%s)", given ? "palette" : "null");
            LoadPalette(given ? palette() : nullptr);
            effects.paletteLoaded |= given;
            break;
        }
        case kBlt:
            blitToCard(false);
            break;
        case kStretchBlt:
            blitToCard(true);
            break;
        case kReadBack:
            readBack();
            break;
        case kPageFlip:
            pageFlip();
            break;
        case kWaitForIdle:
            trace("WaitForIdle()");
            WaitForIdle();
            break;
        case kLoseSurfaces:
            trace("lose surfaces");
            kxstandLoseSurfaces();
            effects.surfacesLost = true;
            break;
        case kInjectFailure:
            injectFailure();
            break;
        case kIdentify:
            trace("Restore, Pause, Detect, GetID, GetGuid");
            Restore(), Pause(), Detect(), GetID(), GetGuid();
            break;
        case kUnserved:
            trace("BltFromCardToCard, PushState, PopState, ssTexture, ssZBuffer");
            BltFromCardToCard(), PushState(), PopState(), ssTexture(1), ssZBuffer(1);
            break;
        case kZCompare: {
            int32_t mode = in_.integer(3);
            trace("ssZBufferCompareMode(%d)", mode);
            ssZBufferCompareMode(mode);
            break;
        }
        case kEntrySteps:
            break;
        }
    }

    void drawPrimitive() {
        int32_t count = int32_t(in_.byte() % 106) - 5;
        std::vector<HostVertex> vertices(count > 0 ? count : 1);
        for (HostVertex& v : vertices) {
            v.x = in_.coordinate();
            v.y = in_.coordinate();
            v.z = in_.coordinate();
            v.invW = in_.byte() < 240 ? float(1 + in_.byte()) / 256.0f : in_.coordinate();
            v.u = in_.coordinate() / 64.0f;
            v.v = in_.coordinate() / 64.0f;
            v.colour = in_.word();
        }
        trace("DrawPrimitive(%d vertices, first at %g, %g)", count, double(vertices[0].x),
              double(vertices[0].y));
        DrawPrimitive(vertices.data(), count);
        effects.frameTouched = true;
    }

    void loadTexture() {
        // Mostly images of at most 64 pixels a side, which take the same
        // paths as larger ones at a fraction of the conversion; often up to
        // 299 (textures of 128 and 256), now and then up to 2048.
        uint8_t sizes = in_.byte();
        uint32_t limit = sizes < 160 ? 65 : sizes < 240 ? 300 : 2049;
        int32_t width = int32_t(in_.word() % limit);
        int32_t height = int32_t(in_.word() % limit);
        if (int64_t(width) * height > 1 << 20) height = (1 << 20) / (width ? width : 1);
        if (in_.byte() < 8) width = -width;
        uint32_t format = in_.byte() < 230 ? in_.byte() % 6 : in_.word();
        int bpp = format < kxFormatCount ? hostBytesPerPixel(format) : 4;
        const uint8_t* pixels = in_.byte() < 8 ? nullptr : image(width, height, width * bpp, bpp);
        const uint32_t* ownPalette = in_.byte() & 1 ? palette() : nullptr;
        uint32_t hostValue4 = in_.word();
        uint32_t hostValue6 = in_.word();
        TextureRecord* record =
            LoadTexture(pixels, width, height, hostValue4, format, hostValue6, ownPalette);
        trace("LoadTexture(%s, %d, %d, format %u, %s) = %p", pixels ? "pixels" : "null", width,
              height, format, ownPalette ? "palette" : "null", static_cast<void*>(record));
        keep(record, width > 0 && height > 0 ? size_t(width) * height * bpp : 16);
    }

    void blitToCard(bool stretch) {
        int32_t x = in_.integer(700), y = in_.integer(500);
        int32_t width = in_.integer(700), height = in_.integer(500);
        uint32_t format = in_.byte() < 230 ? in_.byte() % 6 : in_.word();
        const uint32_t* ownPalette = in_.byte() & 1 ? palette() : nullptr;
        effects.frameTouched = true;
        if (!stretch) {
            int32_t sourceWidth = int32_t(std::abs(int64_t(width)) % 700);
            int32_t sourceHeight = int32_t(std::abs(int64_t(height)) % 500);
            if (int64_t(sourceWidth) * sourceHeight > 1 << 20) sourceHeight = 1;
            int32_t pitch = in_.byte() & 1 ? -sourceWidth : sourceWidth + in_.byte();
            // The blit reads width x height: keep them within the image we own.
            width = width < 0 ? width : sourceWidth;
            height = height < 0 ? height : sourceHeight;
            trace("BltToCard(%d, %d, %d x %d, pitch %d, format %u)", x, y, width, height, pitch,
                  format);
            BltToCard(image(sourceWidth, sourceHeight, pitch, 1), x, y, width, height, pitch,
                      format, ownPalette);
        } else {
            // Source sizes stay within an image we can own; the destination
            // rectangle takes any value.
            int32_t sourceWidth = in_.integer(300) % 1024, sourceHeight = in_.integer(300) % 1024;
            int32_t w = sourceWidth > 0 ? sourceWidth : 1, h = sourceHeight > 0 ? sourceHeight : 1;
            int32_t pitch = in_.byte() & 1 ? -w : w + in_.byte();
            trace("StretchBltToCard(%d, %d, %d x %d from %d x %d, pitch %d, format %u)", x, y,
                  width, height, sourceWidth, sourceHeight, pitch, format);
            StretchBltToCard(image(w, h, pitch, 1), x, y, width, height, sourceWidth, sourceHeight,
                             pitch, format, ownPalette);
        }
    }

    void readBack() {
        int32_t width = in_.integer(700), height = in_.integer(500);
        int32_t w = std::min<int32_t>(width > 0 ? width : 0, 800);
        int32_t h = std::min<int32_t>(height > 0 ? height : 0, 600);
        width = width > 0 ? w : width;
        height = height > 0 ? h : height;
        int32_t pitch = 3 * w + int32_t(in_.byte() % 16);
        if (in_.byte() < 16) pitch = -pitch;
        size_t span = size_t(std::abs(int64_t(pitch))) * size_t(h > 0 ? h - 1 : 0) + 3 * size_t(w);
        uint8_t* block = pooledBuffer(span, kNoFill);
        uint8_t* first =
            pitch < 0 && h > 0 ? block + size_t(-int64_t(pitch)) * size_t(h - 1) : block;
        int32_t unused2 = in_.integer(10);
        int32_t unused3 = in_.integer(10);
        uint32_t format = in_.byte() < 200 ? 2 : in_.word();
        int result = BltFromCard(first, unused2, unused3, width, height, pitch, format);
        trace("BltFromCard(%d x %d, pitch %d, format %u) = %d", width, height, pitch, format,
              result);
    }

    void failCall(size_t pick, bool surfaceLost, uint32_t result, int from, int times) {
        const size_t ddraw = sizeof kDirectDrawCalls / sizeof *kDirectDrawCalls;
        const size_t sgl = sizeof kSglCalls / sizeof *kSglCalls;
        pick %= ddraw + sgl;
        if (pick < ddraw) {
            HRESULT code = surfaceLost ? DDERR_SURFACELOST : static_cast<HRESULT>(result);
            trace("fail %s from call %d, %d times, with 0x%08x", kDirectDrawCalls[pick], from,
                  times, static_cast<unsigned>(code));
            kxstandFailCall(kDirectDrawCalls[pick], code, from, times);
            effects.unlockFailed |=
                std::strcmp(kDirectDrawCalls[pick], "IDirectDrawSurface::Unlock") == 0;
        } else {
            trace("fail %s from call %d, %d times, with %d", kSglCalls[pick - ddraw], from, times,
                  int(result));
            softsglFailCall(kSglCalls[pick - ddraw], int(result), from, times);
        }
    }

    void injectFailure() {
        uint8_t pick = in_.byte();
        int from = 1 + in_.byte() % 4;
        const size_t ddraw = sizeof kDirectDrawCalls / sizeof *kDirectDrawCalls;
        const size_t sgl = sizeof kSglCalls / sizeof *kSglCalls;
        int times = 1 + in_.byte() % 3;
        if (pick & 1)
            failCall(pick / 2 % ddraw, pick & 2, uint32_t(DDERR_GENERIC), from, times);
        else
            failCall(ddraw + pick / 2 % sgl, false, pick & 2 ? uint32_t(-243) : uint32_t(-1), from,
                     times);
    }

    // A setting of the display the stand-ins give a start: a started driver
    // is started again so that it takes effect.
    void restartFor(const char* what) {
        trace("%s for the next start", what);
        effects.restartAsked = true;
        if (!effects.started) return;
        shutdown();
        init();
    }

    void machineStep(MachineStep step) {
        switch (step) {
        case kPixelFormat:
            kxstandSetPixelFormat565(!(in_.byte() & 1));
            restartFor("pixel format");
            break;
        case kPitch:
            kxstandSetPitch(kPitches[in_.byte() % 8]);
            restartFor("pitch");
            break;
        case kOffset:
            kxstandSetSurfaceOffset(in_.byte() % 16);
            restartFor("surface offset");
            break;
        case kCaps:
            kxstandSetDriverCaps(in_.word());
            restartFor("driver caps");
            break;
        case kModeSupported:
            kxstandSetModeSupported(!(in_.byte() & 1));
            restartFor("display mode support");
            break;
        case kWindow:
            switch (in_.byte() % 3) {
            case 0:
                kxstandSetActiveWindow(kxstandDefaultWindow());
                restartFor("default window");
                break;
            case 1:
                kxstandSetActiveWindow(nullptr);
                restartFor("no active window");
                break;
            default: {
                // The driver keeps the window of its start, which then goes.
                HWND window = kxstandCreateWindow();
                kxstandSetActiveWindow(window);
                restartFor("a window destroyed after the start");
                kxstandDestroyWindow(window);
                break;
            }
            }
            break;
        case kVersion: {
            const char* version = kVersions[in_.byte() % 8];
            trace("library version \"%s\"", version);
            softsglSetVersionText(version);
            effects.libraryChanged = true;
            break;
        }
        case kBudget: {
            int bytes = kBudgets[in_.byte() % 8];
            trace("texture memory of %d bytes", bytes);
            softsglSetTextureBudget(bytes);
            effects.libraryChanged = true;
            break;
        }
        case kFrames: {
            int frames = kFrameCounts[in_.byte() % 16];
            trace("%d frames", frames);
            for (int i = 0; i < frames && batchCalls_ > 0 && batchFrames_ > 0;
                 ++i, --batchCalls_, --batchFrames_)
                PageFlip();
            if (effects.started) effects.frameTouched = false;
            break;
        }
        case kTextures:
            loadTextures();
            break;
        case kSelectEach:
            selectEach();
            break;
        case kFailWith: {
            size_t pick = in_.byte();
            uint32_t result = in_.word();
            int from = 1 + in_.byte() % 4;
            int times = 1 + in_.byte() % 3;
            failCall(pick, false, result, from, times);
            break;
        }
        case kMachineStepCount:
            break;
        }
    }

    // count textures of side x side pixels of one format, sharing one image.
    void loadTextures() {
        int count = 1 + in_.byte() % 16;
        int side = kTextureSides[in_.byte() % 8];
        uint32_t format = in_.byte() % 6;
        size_t bytes = size_t(side) * side * hostBytesPerPixel(format);
        const uint8_t* pixels = pooledBuffer(bytes, fill_);
        trace("%d textures of %d x %d, format %u", count, side, side, format);
        for (int i = 0; i < count && batchCalls_ > 0; ++i, --batchCalls_)
            keep(LoadTexture(pixels, side, side, 0, format, 0, nullptr), bytes);
    }

    // Every handle selected in turn, so that the cache fills and evicts.
    void selectEach() {
        uint8_t how = in_.byte();
        trace("select each of %zu handles%s%s", handles_.size(), how & 1 ? ", drawing" : "",
              how & 2 ? ", flipping" : "");
        static const HostVertex fan[4] = {{8, 8, 0.5f, 1, 0, 0, 0xFFFFFFFF},
                                          {40, 8, 0.5f, 1, 1, 0, 0xFFFFFFFF},
                                          {40, 40, 0.5f, 1, 1, 1, 0x80FFFFFF},
                                          {8, 40, 0.5f, 1, 0, 1, 0xFFFFFFFF}};
        for (TextureRecord* record : handles_) {
            if (batchCalls_-- <= 0) break;
            SelectTexture(record);
            if (how & 1) {
                DrawPrimitive(fan, 4);
                effects.frameTouched = true;
            }
            if (how & 2 && batchFrames_-- > 0) pageFlip();
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* trace = std::getenv("KXFUZZ_TRACE");
    tracing = trace && *trace && *trace != '0';
    startHarness();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Steps steps(data, size);
    beginSteps();
    steps.run();
    endInput(steps.effects, data, size);
    releasePooledBuffers();
    trace("-- end of input");
    return 0;
}
