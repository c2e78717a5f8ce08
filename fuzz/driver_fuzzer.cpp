// Drives the exported entry points with a sequence of calls decoded from the
// input (every byte it reads is named in input_layout.h): arguments inside and outside the caller's
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
#include <string>
#include <vector>

#include "api/kxapi.h"
#include "fuzz/driver_fuzzer.h"
#include "fuzz/input_bytes.h"
#include "fuzz/input_layout.h"
#include "fuzz/persistent_start.h"
#include "fuzz/pooled_buffers.h"
#include "fuzz/step_text.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"

using namespace fuzzlayout;

namespace {

bool tracing = false;                         // KXFUZZ_TRACE: print each step as it is made
std::vector<std::string>* stepSink = nullptr; // the decoded steps, for the test

// Details of a step as it runs (results, the calls of a restart): printed
// with KXFUZZ_TRACE only.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char* format, ...) {
    if (!tracing) return;
    va_list list;
    va_start(list, format);
    std::fputs("  ", stderr);
    std::vfprintf(stderr, format, list);
    va_end(list);
    std::fputc('\n', stderr);
}

// Whether anyone looks at the decoded steps: their text costs more than
// most steps.
bool describing() {
    return tracing || stepSink;
}

// One decoded step, as a line of step_text.h.
void describe(const std::string& line) {
    if (tracing) std::fprintf(stderr, "%s\n", line.c_str());
    if (stepSink) stepSink->push_back(line);
}

class Input : public InputBytes {
  public:
    using InputBytes::InputBytes;
    // Small values mostly, with the extremes now and then.
    int32_t integer(int32_t small) {
        uint8_t kind = byte();
        if (kind < kPlainInteger) return int32_t(word() % uint32_t(2 * small + 1)) - small;
        return kExtremes[kind % (sizeof kExtremes / sizeof kExtremes[0])];
    }
    float coordinate() {
        uint8_t kind = byte();
        if (kind < kPlainCoordinate)
            return float(int32_t(word() % kCoordinateSpan) - kCoordinateOffset) / kCoordinateScale;
        return kSpecialCoordinates[kind % (sizeof kSpecialCoordinates / sizeof(float))];
    }
    uint32_t format() { return byte() < kAnyFormatFrom ? byte() % kFormatCodes : word(); }
};

class Steps {
  public:
    Steps(const uint8_t* data, size_t size) : in_(data, size) {}
    InputEffects effects;

    void run() {
        for (int steps = 0; !in_.empty() && steps < kMaxSteps; ++steps) {
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
    uint8_t fill_ = kFills[0];
    // Calls and frames the batch steps may still make in this input.
    int batchCalls_ = kBatchCalls;
    int batchFrames_ = kBatchFrames;
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
        return reinterpret_cast<const uint32_t*>(pooledBuffer(kxPaletteBytes, fill_));
    }
    // A palette argument: one of the step's fill, or null.
    const uint32_t* paletteChoice(std::string* text) {
        bool given = chosen(in_.byte());
        if (describing()) *text = steptext::palette(given, fill_);
        return given ? palette() : nullptr;
    }

    TextureRecord* handle(std::string* text) {
        uint8_t pick = in_.byte();
        if (pick < kInventedHandleBelow || handles_.empty()) {
            uintptr_t invented = uintptr_t(in_.word()) & kInventedHandleMask;
            if (describing()) *text = steptext::handle(-2, invented);
            return reinterpret_cast<TextureRecord*>(invented);
        }
        if (pick < kNullHandleBelow) {
            if (describing()) *text = steptext::handle(-1);
            return nullptr;
        }
        int index = int(pick % handles_.size());
        if (describing()) *text = steptext::handle(index);
        return handles_[size_t(index)];
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

    // An integer argument of a state call.
    int32_t stateArgument(const char* name, int32_t small) {
        int32_t value = in_.integer(small);
        if (describing()) describe(steptext::integerCall(name, value));
        return value;
    }

    void entryStep(EntryStep step) {
        std::string text;
        switch (step) {
        case kInit:
        case kShutdown:
        case kResetTextures:
        case kPageFlip:
        case kWaitForIdle:
        case kLoseSurfaces:
        case kIdentify:
        case kUnserved:
            if (describing()) describe(steptext::plain(step));
            break;
        default:
            break;
        }
        switch (step) {
        case kInit:
            init();
            break;
        case kShutdown:
            shutdown();
            break;
        case kChangeResolution: {
            int32_t mode = stateArgument("ChangeResolution", kModeRange);
            int result = ChangeResolution(mode);
            trace("= %d", result);
            effects.resolutionChanged = true;
            break;
        }
        case kAlphaBlend:
            ssAlphaBlend(stateArgument("ssAlphaBlend", kStateRange));
            break;
        case kChromaKey: {
            int32_t mode = in_.integer(kStateRange);
            uint32_t colour = in_.word();
            if (describing()) describe(steptext::chromaKey(mode, colour));
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
            TextureRecord* record = handle(&text);
            if (describing()) describe(steptext::call("UnloadTexture", text));
            UnloadTexture(record);
            break;
        }
        case kResetTextures:
            ResetTextures();
            break;
        case kSelectTexture:
        case kSelectTexture2: {
            TextureRecord* record = handle(&text);
            if (describing()) describe(steptext::call("SelectTexture", text));
            SelectTexture(record);
            break;
        }
        case kModifyTexture: {
            TextureRecord* record = handle(&text);
            if (describing()) describe(steptext::modifyTexture(text, fill_));
            ModifyTexture(record, pooledBuffer(bytesFor(record), fill_));
            break;
        }
        case kLoadPalette: {
            const uint32_t* given = paletteChoice(&text);
            if (describing()) describe(steptext::call("LoadPalette", text));
            LoadPalette(given);
            effects.paletteLoaded |= given != nullptr;
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
            trace("= %d", WaitForIdle());
            break;
        case kLoseSurfaces:
            kxstandLoseSurfaces();
            effects.surfacesLost = true;
            break;
        case kInjectFailure:
            injectFailure();
            break;
        case kIdentify:
            Restore(), Pause(), Detect(), GetID(), GetGuid();
            break;
        case kUnserved:
            BltFromCardToCard(), PushState(), PopState(), ssTexture(1), ssZBuffer(1);
            break;
        case kZCompare:
            ssZBufferCompareMode(stateArgument("ssZBufferCompareMode", kStateRange));
            break;
        case kEntrySteps:
            break;
        }
    }

    void drawPrimitive() {
        int32_t count = int32_t(in_.byte() % kCountSpan) - kCountOffset;
        std::vector<HostVertex> vertices(count > 0 ? count : 1);
        for (HostVertex& v : vertices) {
            v.x = in_.coordinate();
            v.y = in_.coordinate();
            v.z = in_.coordinate();
            v.invW = in_.byte() < kPlainInvW ? float(1 + in_.byte()) / 256.0f : in_.coordinate();
            v.u = in_.coordinate() / kTexelScale;
            v.v = in_.coordinate() / kTexelScale;
            v.colour = in_.word();
        }
        if (describing()) {
            std::vector<float> xy;
            for (const HostVertex& v : vertices)
                xy.insert(xy.end(), {v.x, v.y});
            describe(steptext::drawPrimitive(count, xy.data(), vertices[0].colour));
        }
        DrawPrimitive(vertices.data(), count);
        effects.frameTouched = true;
    }

    void loadTexture() {
        // Mostly images of at most 64 pixels a side, which take the same
        // paths as larger ones at a fraction of the conversion; often up to
        // 299 (textures of 128 and 256), now and then up to 2048.
        uint8_t sizes = in_.byte();
        uint32_t limit = kTextureSideLimits[sizes < kSmallTextureBelow    ? 0
                                            : sizes < kMediumTextureBelow ? 1
                                                                          : 2];
        int32_t width = int32_t(in_.word() % limit);
        int32_t height = int32_t(in_.word() % limit);
        if (int64_t(width) * height > kMaxTexturePixels)
            height = int32_t(kMaxTexturePixels / (width ? width : 1));
        if (in_.byte() < kNegativeWidthBelow) width = -width;
        uint32_t format = in_.format();
        int bpp = format < kxFormatCount ? hostBytesPerPixel(format) : 4;
        const uint8_t* pixels =
            in_.byte() < kNoPixelsBelow ? nullptr : image(width, height, width * bpp, bpp);
        std::string paletteText;
        const uint32_t* ownPalette = paletteChoice(&paletteText);
        uint32_t hostValue4 = in_.word();
        uint32_t hostValue6 = in_.word();
        if (describing())
            describe(steptext::loadTexture(pixels, width, height, format, hostValue4, hostValue6,
                                           paletteText, fill_, int(handles_.size())));
        TextureRecord* record =
            LoadTexture(pixels, width, height, hostValue4, format, hostValue6, ownPalette);
        trace("= %p", static_cast<void*>(record));
        keep(record, width > 0 && height > 0 ? size_t(width) * height * bpp : 16);
    }

    void blitToCard(bool stretch) {
        int32_t x = in_.integer(kColumnRange), y = in_.integer(kRowRange);
        int32_t width = in_.integer(kColumnRange), height = in_.integer(kRowRange);
        uint32_t format = in_.format();
        std::string paletteText;
        const uint32_t* ownPalette = paletteChoice(&paletteText);
        effects.frameTouched = true;
        if (!stretch) {
            int32_t sourceWidth = int32_t(std::abs(int64_t(width)) % kColumnRange);
            int32_t sourceHeight = int32_t(std::abs(int64_t(height)) % kRowRange);
            if (int64_t(sourceWidth) * sourceHeight > kMaxBlitPixels) sourceHeight = 1;
            int32_t pitch = chosen(in_.byte()) ? -sourceWidth : sourceWidth + in_.byte();
            // The blit reads width x height: keep them within the image we own.
            width = width < 0 ? width : sourceWidth;
            height = height < 0 ? height : sourceHeight;
            if (describing())
                describe(steptext::blt(x, y, width, height, pitch, format, paletteText, fill_));
            BltToCard(image(sourceWidth, sourceHeight, pitch, 1), x, y, width, height, pitch,
                      format, ownPalette);
        } else {
            // Source sizes stay within an image we can own; the destination
            // rectangle takes any value.
            int32_t sourceWidth = in_.integer(kSourceSideRange) % kMaxSourceSide;
            int32_t sourceHeight = in_.integer(kSourceSideRange) % kMaxSourceSide;
            int32_t w = sourceWidth > 0 ? sourceWidth : 1, h = sourceHeight > 0 ? sourceHeight : 1;
            int32_t pitch = chosen(in_.byte()) ? -w : w + in_.byte();
            if (describing())
                describe(steptext::stretchBlt(x, y, width, height, sourceWidth, sourceHeight, pitch,
                                              format, paletteText, fill_));
            StretchBltToCard(image(w, h, pitch, 1), x, y, width, height, sourceWidth, sourceHeight,
                             pitch, format, ownPalette);
        }
    }

    void readBack() {
        int32_t width = in_.integer(kColumnRange), height = in_.integer(kRowRange);
        int32_t w = std::min<int32_t>(width > 0 ? width : 0, kMaxReadBackWidth);
        int32_t h = std::min<int32_t>(height > 0 ? height : 0, kMaxReadBackHeight);
        width = width > 0 ? w : width;
        height = height > 0 ? h : height;
        int32_t pitch = hostBytesPerPixel(kx888) * w + int32_t(in_.byte() % kPitchSlack);
        if (in_.byte() < kBottomUpReadBackBelow) pitch = -pitch;
        size_t span = size_t(std::abs(int64_t(pitch))) * size_t(h > 0 ? h - 1 : 0) + 3 * size_t(w);
        uint8_t* block = pooledBuffer(span, kNoFill);
        uint8_t* first =
            pitch < 0 && h > 0 ? block + size_t(-int64_t(pitch)) * size_t(h - 1) : block;
        int32_t unused2 = in_.integer(kUnusedRange);
        int32_t unused3 = in_.integer(kUnusedRange);
        uint32_t format = in_.byte() < kOtherReadBackFormatFrom ? uint32_t(kx888) : in_.word();
        if (describing())
            describe(steptext::readBack(width, height, pitch, unused2, unused3, format));
        int result = BltFromCard(first, unused2, unused3, width, height, pitch, format);
        trace("= %d", result);
    }

    // Fails a platform call (PlatformCall, pick % kPlatformCallCount); a
    // DirectDraw or Win32 call as a lost surface when surfaceLost.
    void failCall(uint8_t pick, bool surfaceLost, uint32_t result, int from, int times) {
        const char* name = platformCallName(pick);
        if (pick % kPlatformCallCount < kCallSglCreateTexture) {
            HRESULT code = surfaceLost ? DDERR_SURFACELOST : static_cast<HRESULT>(result);
            if (describing()) describe(steptext::fail(name, from, times, uint32_t(code)));
            kxstandFailCall(name, code, from, times);
            effects.unlockFailed |= pick % kPlatformCallCount == kCallUnlock;
        } else {
            if (describing()) describe(steptext::fail(name, from, times, result));
            softsglFailCall(name, int(result), from, times);
        }
    }
    int failFrom() { return 1 + in_.byte() % kFailFromSpan; }
    int failTimes() { return 1 + in_.byte() % kFailTimesSpan; }

    void injectFailure() {
        uint8_t pick = in_.byte();
        int from = failFrom();
        int times = failTimes();
        if (chosen(pick))
            failCall(uint8_t(pick / 2 % kCallSglCreateTexture), pick & 2, uint32_t(DDERR_GENERIC),
                     from, times);
        else
            failCall(uint8_t(kCallSglCreateTexture +
                             pick / 2 % (kPlatformCallCount - kCallSglCreateTexture)),
                     false, uint32_t(pick & 2 ? kSglMemoryFull : kSglFailure), from, times);
    }

    // A setting of the display the stand-ins give a start: a started driver
    // is started again so that it takes effect.
    void restartFor(const std::string& what) {
        if (describing()) describe(what);
        effects.restartAsked = true;
        if (!effects.started) return;
        shutdown();
        init();
    }

    void machineStep(MachineStep step) {
        switch (step) {
        case kPixelFormat: {
            bool is555 = chosen(in_.byte());
            kxstandSetPixelFormat565(!is555);
            restartFor(steptext::pixelFormat(is555));
            break;
        }
        case kPitch: {
            int pitch = kPitches[in_.byte() % 8];
            kxstandSetPitch(pitch);
            restartFor(steptext::pitch(pitch));
            break;
        }
        case kOffset: {
            int offset = in_.byte() % kSurfaceOffsets;
            kxstandSetSurfaceOffset(offset);
            restartFor(steptext::surfaceOffset(offset));
            break;
        }
        case kCaps: {
            uint32_t caps = in_.word();
            kxstandSetDriverCaps(caps);
            restartFor(steptext::driverCaps(caps));
            break;
        }
        case kModeSupported: {
            bool refused = chosen(in_.byte());
            kxstandSetModeSupported(!refused);
            restartFor(steptext::displayMode(refused));
            break;
        }
        case kWindow: {
            int which = in_.byte() % kWindowChoices;
            switch (which) {
            case kDefaultWindow:
                kxstandSetActiveWindow(kxstandDefaultWindow());
                restartFor(steptext::window(WindowChoice(which)));
                break;
            case kNoWindow:
                kxstandSetActiveWindow(nullptr);
                restartFor(steptext::window(WindowChoice(which)));
                break;
            default: {
                // The driver keeps the window of its start, which then goes.
                HWND window = kxstandCreateWindow();
                kxstandSetActiveWindow(window);
                restartFor(steptext::window(WindowChoice(which)));
                kxstandDestroyWindow(window);
                break;
            }
            }
            break;
        }
        case kVersion: {
            const char* version = kVersions[in_.byte() % 8];
            if (describing()) describe(steptext::version(version));
            softsglSetVersionText(version);
            effects.libraryChanged = true;
            break;
        }
        case kBudget: {
            int bytes = kBudgets[in_.byte() % 8];
            if (describing()) describe(steptext::budget(bytes));
            softsglSetTextureBudget(bytes);
            effects.libraryChanged = true;
            break;
        }
        case kFrames: {
            int frames = kFrameCounts[in_.byte() % 16];
            if (describing()) describe(steptext::frames(frames));
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
            uint8_t pick = in_.byte();
            uint32_t result = in_.word();
            int from = failFrom();
            int times = failTimes();
            failCall(pick, false, result, from, times);
            break;
        }
        case kMachineStepCount:
            break;
        }
    }

    // count textures of side x side pixels of one format, sharing one image.
    void loadTextures() {
        int count = 1 + in_.byte() % kMaxBatchTextures;
        int side = kTextureSides[in_.byte() % 8];
        uint32_t format = in_.byte() % kFormatCodes;
        size_t bytes = size_t(side) * side * hostBytesPerPixel(format);
        const uint8_t* pixels = pooledBuffer(bytes, fill_);
        if (describing()) describe(steptext::textures(count, side, format, fill_));
        for (int i = 0; i < count && batchCalls_ > 0; ++i, --batchCalls_)
            keep(LoadTexture(pixels, side, side, 0, format, 0, nullptr), bytes);
    }

    // Every handle selected in turn, so that the cache fills and evicts.
    void selectEach() {
        uint8_t how = in_.byte();
        const bool drawing = how & kSelectEachDraws, flipping = how & kSelectEachFlips;
        if (describing()) describe(steptext::selectEach(handles_.size(), drawing, flipping));
        static const HostVertex fan[4] = {{8, 8, 0.5f, 1, 0, 0, 0xFFFFFFFF},
                                          {40, 8, 0.5f, 1, 1, 0, 0xFFFFFFFF},
                                          {40, 40, 0.5f, 1, 1, 1, 0x80FFFFFF},
                                          {8, 40, 0.5f, 1, 0, 1, 0xFFFFFFFF}};
        for (TextureRecord* record : handles_) {
            if (batchCalls_-- <= 0) break;
            SelectTexture(record);
            if (drawing) {
                DrawPrimitive(fan, 4);
                effects.frameTouched = true;
            }
            if (flipping && batchFrames_-- > 0) pageFlip();
        }
    }
};

} // namespace

void setStepSink(std::vector<std::string>* sink) {
    stepSink = sink;
}

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
    if (tracing) std::fputs("-- end of input\n", stderr);
    return 0;
}
