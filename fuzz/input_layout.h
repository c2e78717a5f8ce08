// The layout of a driver fuzz input, shared by the harness that reads it and
// the seed writer that writes inputs by hand. An input is a sequence of
// steps; each step is one step byte followed by its arguments. Multi-byte
// numbers are little-endian.
//
// A step byte other than kMachineStep calls entry points: the step is the
// byte modulo kEntrySteps (ten or eleven byte values per step). kMachineStep
// and a selector byte change the machine the driver runs on (the display the
// stand-ins give the next start, the SGL library's version and texture
// memory) or make a batch of calls that reaches a deep state in one step.
// They are rare on purpose: most change what a start gets, and a restart
// costs more than most inputs. For the same reason only the step byte
// kShutdownByte shuts the driver down (small numbers such as 1 are common in
// inputs); the other bytes of that step wait for the accelerator instead.
#pragma once

#include <cstdint>

namespace fuzzlayout {

// Entry-point steps (step byte % kEntrySteps).
enum EntryStep : uint8_t {
    kInit = 0,
    kShutdown = 1,
    kChangeResolution = 2, // integer(8)
    kAlphaBlend = 3,       // integer(3)
    kChromaKey = 4,        // integer(3), word colour
    kDraw = 5,             // also 6: count byte, vertices
    kDraw2 = 6,
    kLoadTexture = 7,
    kUnloadTexture = 8, // handle
    kResetTextures = 9,
    kSelectTexture = 10, // also 11: handle
    kSelectTexture2 = 11,
    kModifyTexture = 12, // handle
    kLoadPalette = 13,   // byte: odd = a palette, even = null
    kBlt = 14,
    kStretchBlt = 15,
    kReadBack = 16,
    kPageFlip = 17,
    kWaitForIdle = 18,
    kLoseSurfaces = 19,
    kInjectFailure = 20,
    kIdentify = 21, // Restore, Pause, Detect, GetID, GetGuid
    kUnserved = 22, // BltFromCardToCard, PushState, PopState, ssTexture, ssZBuffer
    kZCompare = 23, // integer(3)
    kEntrySteps = 24,
};

// The byte a step's source images and palettes hold, by the step byte's
// variant (step byte / kEntrySteps).
constexpr uint8_t kFills[11] = {0x5A, 0xFF, 0x00, 0x80, 0x5A, 0x7F, 0x5A, 0x01, 0xA5, 0x5A, 0xFE};

constexpr uint8_t kShutdownByte = kShutdown + 8 * kEntrySteps; // 0xC1

// Machine steps (the selector byte after kMachineStep, modulo kMachineStepCount).
constexpr uint8_t kMachineStep = 245;
enum MachineStep : uint8_t {
    kPixelFormat = 0,   // byte: odd = 555, even = 565; restarts a started driver
    kPitch = 1,         // byte: kPitches index; restarts a started driver
    kOffset = 2,        // byte: surface offset % 16; restarts a started driver
    kCaps = 3,          // word: driver caps bits; restarts a started driver
    kModeSupported = 4, // byte: odd = 640x480x16 refused; restarts a started driver
    kWindow = 5,        // byte % 3: the default window, none, a destroyed one; restarts
    kVersion = 6,       // byte: kVersions index
    kBudget = 7,        // byte: kBudgets index; drops the textures first
    kFrames = 8,        // byte: kFrameCounts index; that many PageFlips
    kTextures = 9,      // count byte, side byte, format byte: LoadTexture count times
    kSelectEach = 10,   // byte: bit 0 draws a fan after each, bit 1 flips after each
    kFailWith = 11,     // name byte, result word, from byte, times byte
    kMachineStepCount = 12,
};

// Pitches of 64 KiB and more (which reach the renderer cut to 16 bits) are
// left out: a chain of them costs about a second per start under ASan; so
// are other large ones, whose chains are new memory for every start.
constexpr int kPitches[8] = {1280, 1282, 1284, 1286, 1288, 1296, 1344, 1536};
constexpr const char* kVersions[8] = {"0046h", "0045h", "0047h", "0100h", "", "0046", "0045z", "1"};
constexpr int kBudgets[8] = {0, 2048, 8192, 32768, 131072, 262144, 393216, 1048576};
constexpr int kFrameCounts[16] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 16, 32, 64, 101, 128};
constexpr int kTextureSides[8] = {32, 64, 128, 256, 17, 100, 300, 1};

// The platform calls a failure can be injected into: the stand-ins'
// DirectDraw and Win32 calls, then the software SGL's.
constexpr const char* kDirectDrawCalls[14] = {"IDirectDraw::SetCooperativeLevel",
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
constexpr const char* kSglCalls[4] = {"sgl_create_texture", "sgl_set_texture",
                                      "sgl_create_screen_device", "sgl_use_address_mode"};

// Numbers as the harness reads them. integer(small): a kind byte below
// kPlainInteger takes a word w and gives w % (2 small + 1) - small; other
// kinds give kExtremes[kind % 12].
constexpr uint8_t kPlainInteger = 200;
constexpr int32_t kExtremes[12] = {0,     -1,     1,   INT32_MIN, INT32_MAX, -2147483583,
                                   65536, -65536, 640, 480,       639,       479};
// coordinate(): a kind byte below kPlainCoordinate takes a word w and gives
// (w % 2000 - 500) / 1.5; other kinds give a special value.
constexpr uint8_t kPlainCoordinate = 220;

// The word that integer(small) turns into `value` (|value| <= small).
constexpr uint32_t integerWord(int32_t small, int32_t value) {
    return uint32_t(value + small);
}
// The word that coordinate() turns into units / 1.5 (-500 <= units < 1500).
constexpr uint32_t coordinateWord(int32_t units) {
    return uint32_t(units + 500);
}

} // namespace fuzzlayout
