// Decoded steps as text, one line a step: what the harness made of the
// input's bytes (KXFUZZ_TRACE prints them, the test fuzz.SeedSteps compares
// them) and what the seed writer meant its bytes to say. Both sides write
// through these functions, so a difference between them is a difference of
// values, never of wording.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/input_layout.h"

namespace steptext {

using std::to_string;

inline std::string hex(uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

// A coordinate to the nearest whole pixel: what a vertex was meant to be.
inline std::string pixel(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", double(value));
    return text;
}

inline std::string size(int32_t width, int32_t height) {
    return to_string(width) + " x " + to_string(height);
}

// A texture handle: number `index` of those the input loaded, null (-1) or
// invented (-2, with its value).
inline std::string handle(int index, uintptr_t invented = 0) {
    if (index == -1) return "null";
    if (index == -2) return "invented " + hex(invented, 1);
    return "handle " + to_string(index);
}

inline std::string palette(bool given, uint8_t fill) {
    return given ? "palette of " + hex(fill, 2) : "null";
}

// The steps without arguments.
inline std::string plain(fuzzlayout::EntryStep step) {
    using namespace fuzzlayout;
    switch (step) {
    case kInit:
        return "Init()";
    case kShutdown:
        return "Shutdown()";
    case kResetTextures:
        return "ResetTextures()";
    case kPageFlip:
        return "PageFlip()";
    case kWaitForIdle:
        return "WaitForIdle()";
    case kLoseSurfaces:
        return "lose surfaces";
    case kIdentify:
        return "Restore(), Pause(), Detect(), GetID(), GetGuid()";
    case kUnserved:
        return "BltFromCardToCard(), PushState(), PopState(), ssTexture(1), ssZBuffer(1)";
    default:
        return "step " + to_string(int(step));
    }
}

// UnloadTexture, SelectTexture, LoadPalette and the like: one argument.
inline std::string call(const char* name, const std::string& argument) {
    return std::string(name) + "(" + argument + ")";
}

inline std::string integerCall(const char* name, int32_t value) {
    return call(name, to_string(value));
}

inline std::string chromaKey(int32_t mode, uint32_t colour) {
    return call("ssChromaKey", to_string(mode) + ", " + hex(colour, 8));
}

inline std::string drawPrimitive(int32_t count, const float* xy, uint32_t colour) {
    std::string text = "DrawPrimitive(" + to_string(count) + " vertices:";
    for (int32_t i = 0; i < (count > 0 ? count : 1); ++i)
        text += " " + pixel(xy[2 * i]) + "," + pixel(xy[2 * i + 1]);
    return text + "; colour " + hex(colour, 8) + ")";
}

inline std::string loadTexture(bool pixels, int32_t width, int32_t height, uint32_t format,
                               uint32_t hostValue4, uint32_t hostValue6, const std::string& palette,
                               uint8_t fill, int index) {
    return "LoadTexture(" + (pixels ? "pixels of " + hex(fill, 2) : std::string("null")) + ", " +
           size(width, height) + ", format " + to_string(format) + ", " + to_string(hostValue4) +
           ", " + to_string(hostValue6) + ", " + palette + ") = " + handle(index);
}

inline std::string modifyTexture(const std::string& handle, uint8_t fill) {
    return "ModifyTexture(" + handle + ", pixels of " + hex(fill, 2) + ")";
}

// The rectangle at (x, y), and what the step reads the image with.
inline std::string blit(int32_t x, int32_t y, const std::string& rectangle, int32_t pitch,
                        uint32_t format, const std::string& palette, uint8_t fill) {
    return to_string(x) + ", " + to_string(y) + ", " + rectangle + ", pitch " + to_string(pitch) +
           ", format " + to_string(format) + ", " + palette + "; image of " + hex(fill, 2) + ")";
}

inline std::string blt(int32_t x, int32_t y, int32_t width, int32_t height, int32_t pitch,
                       uint32_t format, const std::string& palette, uint8_t fill) {
    return "BltToCard(" + blit(x, y, size(width, height), pitch, format, palette, fill);
}

inline std::string stretchBlt(int32_t x, int32_t y, int32_t width, int32_t height,
                              int32_t sourceWidth, int32_t sourceHeight, int32_t pitch,
                              uint32_t format, const std::string& palette, uint8_t fill) {
    return "StretchBltToCard(" +
           blit(x, y, size(width, height) + " from " + size(sourceWidth, sourceHeight), pitch,
                format, palette, fill);
}

inline std::string readBack(int32_t width, int32_t height, int32_t pitch, int32_t unused2,
                            int32_t unused3, uint32_t format) {
    return "BltFromCard(" + size(width, height) + ", pitch " + to_string(pitch) + ", " +
           to_string(unused2) + ", " + to_string(unused3) + ", format " + to_string(format) + ")";
}

inline std::string fail(const char* call, int from, int times, uint32_t result) {
    return std::string("fail ") + call + " from call " + to_string(from) + ", " + to_string(times) +
           " times, with " + hex(result, 8);
}

inline std::string textures(int count, int side, uint32_t format, uint8_t fill) {
    return to_string(count) + " textures of " + size(side, side) + ", format " + to_string(format) +
           ", pixels of " + hex(fill, 2);
}

inline std::string selectEach(size_t handles, bool drawing, bool flipping) {
    return "select each of " + to_string(handles) + " handles" + (drawing ? ", drawing" : "") +
           (flipping ? ", flipping" : "");
}

// Machine steps: what the next start gets, and the library.
inline std::string nextStart(const std::string& what) {
    return what + " for the next start";
}
inline std::string pixelFormat(bool is555) {
    return nextStart(is555 ? "display 555" : "display 565");
}
inline std::string pitch(int bytes) {
    return nextStart("pitch " + to_string(bytes));
}
inline std::string surfaceOffset(int bytes) {
    return nextStart("surface offset " + to_string(bytes));
}
inline std::string driverCaps(uint32_t caps) {
    return nextStart("driver caps " + hex(caps, 8));
}
inline std::string displayMode(bool refused) {
    return nextStart(refused ? "display mode refused" : "display mode accepted");
}
inline std::string window(fuzzlayout::WindowChoice which) {
    static const char* const names[fuzzlayout::kWindowChoices] = {
        "default window", "no active window", "a window destroyed after the start"};
    return nextStart(names[which]);
}
inline std::string version(const char* text) {
    return std::string("library version \"") + text + "\"";
}
inline std::string budget(int bytes) {
    return "texture memory of " + to_string(bytes) + " bytes";
}
inline std::string frames(int count) {
    return to_string(count) + " frames";
}

} // namespace steptext
