// The layout of a driver fuzz input: every byte the harness reads, what it
// compares it with and what it makes of it. The harness (driver_fuzzer.cpp)
// decodes by these names and the seed writer (seeds.cpp) encodes by them, so
// that the two cannot disagree about what an input means; the committed
// corpus keeps its meaning only while these values stay (the test
// fuzz.SeedSteps decodes the named seeds and checks each step).
//
// An input is a sequence of steps; each step is one step byte followed by
// its arguments. Multi-byte numbers are little-endian words. A step byte
// other than kMachineStep calls entry points: the step is the byte modulo
// kEntrySteps (ten or eleven byte values per step), and the byte divided by
// kEntrySteps, its variant, picks the fill of the step's images and
// palettes. kMachineStep and a selector byte change the machine the driver
// runs on (the display the stand-ins give the next start, the SGL library's
// version and texture memory) or make a batch of calls that reaches a deep
// state in one step; they keep the fill of the step before them. They are
// rare on purpose: most change what a start gets, and a restart costs more
// than most inputs. For the same reason only the step byte kShutdownByte
// shuts the driver down (small numbers such as 1 are common in inputs); the
// other bytes of that step wait for the accelerator instead.
//
// A choice byte is compared with a threshold ("below": the value is less
// than it). Next to each threshold stand the bytes the seed writer writes
// for either side, checked at compile time to fall on that side.
#pragma once

#include <cstdint>
#include <limits>

namespace fuzzlayout {

// ---- steps

constexpr int kMaxSteps = 200; // steps read from one input; the rest is ignored

// Entry-point steps (step byte % kEntrySteps).
enum EntryStep : uint8_t {
    kInit = 0,
    kShutdown = 1,
    kChangeResolution = 2, // integer(kModeRange)
    kAlphaBlend = 3,       // integer(kStateRange)
    kChromaKey = 4,        // integer(kStateRange), word colour
    kDraw = 5,             // also 6: count byte, vertices
    kDraw2 = 6,
    kLoadTexture = 7,
    kUnloadTexture = 8, // handle
    kResetTextures = 9,
    kSelectTexture = 10, // also 11: handle
    kSelectTexture2 = 11,
    kModifyTexture = 12, // handle
    kLoadPalette = 13,   // palette choice
    kBlt = 14,
    kStretchBlt = 15,
    kReadBack = 16,
    kPageFlip = 17,
    kWaitForIdle = 18,
    kLoseSurfaces = 19,
    kInjectFailure = 20,
    kIdentify = 21, // Restore, Pause, Detect, GetID, GetGuid
    kUnserved = 22, // BltFromCardToCard, PushState, PopState, ssTexture, ssZBuffer
    kZCompare = 23, // integer(kStateRange)
    kEntrySteps = 24,
};

// The byte a step's source images and palettes hold, by its variant.
constexpr uint8_t kFills[11] = {0x5A, 0xFF, 0x00, 0x80, 0x5A, 0x7F, 0x5A, 0x01, 0xA5, 0x5A, 0xFE};
constexpr int kVariants = sizeof kFills;
static_assert(255 / kEntrySteps < kVariants, "every step byte has a fill");

constexpr uint8_t kShutdownByte = kShutdown + 8 * kEntrySteps; // 0xC1

// Machine steps (the selector byte after kMachineStep, modulo kMachineStepCount).
constexpr uint8_t kMachineStep = 245;
enum MachineStep : uint8_t {
    kPixelFormat = 0,   // choice: odd = 555, even = 565; restarts a started driver
    kPitch = 1,         // byte: kPitches index; restarts a started driver
    kOffset = 2,        // byte: surface offset % kSurfaceOffsets; restarts a started driver
    kCaps = 3,          // word: driver caps bits; restarts a started driver
    kModeSupported = 4, // choice: odd = 640x480x16 refused; restarts a started driver
    kWindow = 5,        // byte % kWindowChoices (WindowChoice); restarts a started driver
    kVersion = 6,       // byte: kVersions index
    kBudget = 7,        // byte: kBudgets index; drops the textures first
    kFrames = 8,        // byte: kFrameCounts index; that many PageFlips
    kTextures = 9,      // count byte, side byte (kTextureSides index), format byte % 6
    kSelectEach = 10,   // byte: kSelectEachDraws, kSelectEachFlips
    kFailWith = 11,     // call byte (PlatformCall), result word, from byte, times byte
    kMachineStepCount = 12,
};

// Batch steps stop making calls beyond these, for the whole input: beyond a
// few thousand calls an input only gets slower, not deeper, and a frame
// costs far more than any other call (the driver after a few hundred frames
// is in the state it is in after a few thousand).
constexpr int kBatchCalls = 4000;
constexpr int kBatchFrames = 256;

// ---- numbers

// integer(small): a kind byte below kPlainInteger takes a word w and gives
// w % (2 small + 1) - small; other kinds give kExtremes[kind % 12].
constexpr uint8_t kPlainInteger = 200;
constexpr int32_t kExtremes[12] = {0,     -1,     1,   INT32_MIN, INT32_MAX, -2147483583,
                                   65536, -65536, 640, 480,       639,       479};
constexpr uint8_t kPlainIntegerByte = 0;
static_assert(kPlainIntegerByte < kPlainInteger, "a plain integer");
// The word that integer(small) turns into `value` (|value| <= small).
constexpr uint32_t integerWord(int32_t small, int32_t value) {
    return uint32_t(value + small);
}

// The `small` of each integer the steps read.
constexpr int32_t kModeRange = 8;         // ChangeResolution's mode
constexpr int32_t kStateRange = 3;        // ssAlphaBlend, ssChromaKey, ssZBufferCompareMode
constexpr int32_t kColumnRange = 700;     // blit x and width, read-back width
constexpr int32_t kRowRange = 500;        // blit y and height, read-back height
constexpr int32_t kSourceSideRange = 300; // a stretch's source sides
constexpr int32_t kUnusedRange = 10;      // BltFromCard's unused arguments

// coordinate(): a kind byte below kPlainCoordinate takes a word w and gives
// (w % kCoordinateSpan - kCoordinateOffset) / kCoordinateScale; other kinds
// give kSpecialCoordinates[kind % 7].
constexpr uint8_t kPlainCoordinate = 220;
constexpr uint32_t kCoordinateSpan = 2000;
constexpr int32_t kCoordinateOffset = 500;
constexpr float kCoordinateScale = 1.5f;
constexpr float kSpecialCoordinates[7] = {std::numeric_limits<float>::quiet_NaN(),
                                          std::numeric_limits<float>::infinity(),
                                          -std::numeric_limits<float>::infinity(),
                                          1e30f,
                                          -1e30f,
                                          0.0f,
                                          1e-30f};
constexpr uint8_t kPlainCoordinateByte = 0;
static_assert(kPlainCoordinateByte < kPlainCoordinate, "a plain coordinate");
// The word that coordinate() turns into units / kCoordinateScale
// (-kCoordinateOffset <= units < kCoordinateSpan - kCoordinateOffset).
constexpr uint32_t coordinateWord(int32_t units) {
    return uint32_t(units + kCoordinateOffset);
}

// A yes-or-no byte: its lowest bit.
constexpr bool chosen(uint8_t b) {
    return b & 1;
}
constexpr uint8_t kNo = 0, kYes = 1;

// ---- arguments

// A palette argument: a choice, yes = a palette of the step's fill, no = null.

// A texture handle: a pick byte below kInventedHandleBelow (or any, before
// the input loaded one) takes a word, which with its low 3 bits cleared is
// an invented handle; below kNullHandleBelow null; else handle number
// pick % count of those the input loaded, live, unloaded or reset.
constexpr uint8_t kInventedHandleBelow = 16;
constexpr uint8_t kNullHandleBelow = 32;
constexpr uintptr_t kInventedHandleMask = ~uintptr_t(7);
// The pick byte that gives handle k of count.
constexpr uint8_t handleByte(int k, int count) {
    int pick = kNullHandleBelow;
    while (pick % count != k)
        ++pick;
    return uint8_t(pick);
}

// A format: a kind byte below kAnyFormatFrom takes a byte b and gives
// b % kFormatCodes; other kinds take a word, any code at all.
constexpr uint8_t kAnyFormatFrom = 230;
constexpr uint32_t kFormatCodes = 6;
constexpr uint8_t kOneOfTheFormatsByte = 0;
static_assert(kOneOfTheFormatsByte < kAnyFormatFrom, "one of the six formats");

// DrawPrimitive: a count byte gives byte % kCountSpan - kCountOffset
// vertices (-5 to 100), then per vertex (at least one is read): coordinates
// x, y, z; 1/w: a kind byte below kPlainInvW takes a byte b and gives
// (1 + b) / 256, other kinds a coordinate; u and v, coordinates over
// kTexelScale; a word colour.
constexpr int32_t kCountSpan = 106;
constexpr int32_t kCountOffset = 5;
constexpr uint8_t countByte(int32_t count) {
    return uint8_t(count + kCountOffset);
}
constexpr uint8_t kPlainInvW = 240;
constexpr uint8_t kPlainInvWByte = 0;
static_assert(kPlainInvWByte < kPlainInvW, "1/w from the next byte");
constexpr float kTexelScale = 64.0f;

// LoadTexture: a size byte (below kSmallTextureBelow sides up to 64, below
// kMediumTextureBelow up to 299, else up to 2048: word % kTextureSideLimits),
// width word, height word (cut so that the image has at most
// kMaxTexturePixels), a sign byte (below kNegativeWidthBelow the width is
// negated), a format, a pixels byte (below kNoPixelsBelow the pixels are
// null), a palette choice, hostValue4 word, hostValue6 word.
constexpr uint8_t kSmallTextureBelow = 160;
constexpr uint8_t kMediumTextureBelow = 240;
constexpr uint32_t kTextureSideLimits[3] = {65, 300, 2049};
constexpr int64_t kMaxTexturePixels = int64_t(1) << 20;
constexpr uint8_t kNegativeWidthBelow = 8;
constexpr uint8_t kNoPixelsBelow = 8;
constexpr uint8_t kSmallTextureByte = 0, kMediumTextureByte = 200;
constexpr uint8_t kWidthAsGivenByte = 255, kPixelsGivenByte = 255;
static_assert(kSmallTextureByte < kSmallTextureBelow, "sides up to 64");
static_assert(kMediumTextureByte >= kSmallTextureBelow && kMediumTextureByte < kMediumTextureBelow,
              "sides up to 299");
static_assert(kWidthAsGivenByte >= kNegativeWidthBelow, "the width as given");
static_assert(kPixelsGivenByte >= kNoPixelsBelow, "pixels");

// BltToCard: x = integer(kColumnRange), y = integer(kRowRange), width and
// height likewise, a format, a palette choice, then the image: |width| %
// kColumnRange by |height| % kRowRange pixels (one row when that makes more
// than kMaxBlitPixels); a positive width or height is that of the image. A
// pitch byte: yes = bottom-up rows (pitch = -image width), no = top-down
// with the next byte's bytes more than a row.
constexpr int64_t kMaxBlitPixels = int64_t(1) << 20;
// StretchBltToCard: x, y, width, height as BltToCard, a format, a palette
// choice, the source sides integer(kSourceSideRange) % kMaxSourceSide (the
// image at least 1 x 1), a pitch byte as BltToCard's.
constexpr int32_t kMaxSourceSide = 1024;

// BltFromCard: width = integer(kColumnRange), height = integer(kRowRange),
// the buffer cut to kMaxReadBackWidth x kMaxReadBackHeight pixels; a byte
// whose value % kPitchSlack is added to the pitch of 3 width; a byte below
// kBottomUpReadBackBelow makes the pitch negative; unused2 and unused3 =
// integer(kUnusedRange); a kind byte below kOtherReadBackFormatFrom gives
// format 2, other kinds take a word.
constexpr int32_t kMaxReadBackWidth = 800;
constexpr int32_t kMaxReadBackHeight = 600;
constexpr int kPitchSlack = 16;
constexpr uint8_t kBottomUpReadBackBelow = 16;
constexpr uint8_t kOtherReadBackFormatFrom = 200;
constexpr uint8_t kTopDownReadBackByte = 255, kFormat888Byte = 0;
static_assert(kTopDownReadBackByte >= kBottomUpReadBackBelow, "top-down");
static_assert(kFormat888Byte < kOtherReadBackFormatFrom, "format 2");

// ---- the machine

// Pitches of 64 KiB and more (which reach the renderer cut to 16 bits) are
// left out: a chain of them costs about a second per start under ASan; so
// are other large ones, whose chains are new memory for every start.
constexpr int kPitches[8] = {1280, 1282, 1284, 1286, 1288, 1296, 1344, 1536};
constexpr int kSurfaceOffsets = 16;
enum WindowChoice : uint8_t { kDefaultWindow = 0, kNoWindow = 1, kDestroyedWindow = 2 };
constexpr int kWindowChoices = 3;
constexpr const char* kVersions[8] = {"0046h", "0045h", "0047h", "0100h", "", "0046", "0045z", "1"};
constexpr int kBudgets[8] = {0, 2048, 8192, 32768, 131072, 262144, 393216, 1048576};
constexpr int kFrameCounts[16] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 16, 32, 64, 101, 128};
// kTextures: 1 + count byte % kMaxBatchTextures textures of one image.
constexpr int kMaxBatchTextures = 16;
constexpr int kTextureSides[8] = {32, 64, 128, 256, 17, 100, 300, 1};
// kSelectEach: bits of its byte.
constexpr uint8_t kSelectEachDraws = 1, kSelectEachFlips = 2;

// The platform calls a failure can be injected into: the stand-ins'
// DirectDraw and Win32 calls, then the software SGL's.
enum PlatformCall : uint8_t {
    kCallSetCooperativeLevel,
    kCallSetDisplayMode,
    kCallCreateSurface,
    kCallGetCaps,
    kCallLock,
    kCallUnlock,
    kCallFlip,
    kCallRestore,
    kCallBlt,
    kCallGetAttachedSurface,
    kCallGetPixelFormat,
    kCallLoadLibrary,
    kCallGetProcAddress,
    kCallDirectDrawCreate,
    kCallSglCreateTexture, // the first of kSglCalls
    kCallSglSetTexture,
    kCallSglCreateScreenDevice,
    kCallSglUseAddressMode,
    kPlatformCallCount,
};
constexpr const char* kDirectDrawCalls[kCallSglCreateTexture] = {
    "IDirectDraw::SetCooperativeLevel",
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
constexpr const char* kSglCalls[kPlatformCallCount - kCallSglCreateTexture] = {
    "sgl_create_texture", "sgl_set_texture", "sgl_create_screen_device", "sgl_use_address_mode"};
// The name of a call byte's call (byte % kPlatformCallCount).
constexpr const char* platformCallName(uint8_t pick) {
    return pick % kPlatformCallCount < kCallSglCreateTexture
               ? kDirectDrawCalls[pick % kPlatformCallCount]
               : kSglCalls[pick % kPlatformCallCount - kCallSglCreateTexture];
}

// A failure's first failing call and number of failures: 1 + from byte %
// kFailFromSpan, 1 + times byte % kFailTimesSpan.
constexpr int kFailFromSpan = 4;
constexpr int kFailTimesSpan = 3;
// kInjectFailure's pick byte: odd = the DirectDraw or Win32 call (pick / 2)
// % 14, failing as lost (bit 1) or with DDERR_GENERIC; even = the SGL call
// (pick / 2) % 4, failing with kSglMemoryFull (bit 1) or kSglFailure.
constexpr int32_t kSglMemoryFull = -243;
constexpr int32_t kSglFailure = -1;

} // namespace fuzzlayout
