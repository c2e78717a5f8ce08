// The driver's 28 exported entry points, one row each: everything that lists
// them (the declarations in kxapi.h, the export list the build writes, the
// hosts' loader, the recorder's forwarders, the trace's entry records,
// replay's calls) expands this table instead of naming them again.
//
// A row is X(code, name, result type, result kind, (parameters), (arguments)):
// - code: the entry's number in trace files. Recorded traces carry it, so a
//   row keeps its code for good and a new entry point takes the next one.
// - result kind: None, Int (1 success, 0 failure or a value), Handle (a
//   texture record), Guid (16 bytes), Text (a name).
// - parameters: the C parameter list, as the host calls it.
// - arguments: A(index, kind, name) for each parameter in order, the kind
//   saying what the word holds: Int (signed 32-bit), Uint (unsigned 32-bit),
//   Colour (0xAARRGGBB), Format (a host image format code), Pointer (host
//   memory), Handle (a texture record).
// Expand it as KX_ENTRY_POINTS(X, A) with macros of those shapes; the rows
// come in code order.
//
// The build reads the names for the export list from the rows' first line
// ("X(code, name,"), so a row starts on a line of its own.
#pragma once

// clang-format off
#define KX_ENTRY_POINTS(X, A) \
    X(0, GetGuid, const GUID*, Guid, (void), ()) \
    X(1, GetID, const char*, Text, (void), ()) \
    X(2, Detect, int, Int, (void), ()) \
    X(3, Init, int, Int, (void), ()) \
    X(4, Shutdown, void, None, (void), ()) \
    X(5, Pause, int, Int, (void), ()) \
    X(6, Restore, int, Int, (void), ()) \
    X(7, ChangeResolution, int, Int, (int32_t mode), \
      (A(0, Int, mode))) \
    X(8, ssAlphaBlend, void, None, (int32_t mode), \
      (A(0, Int, mode))) \
    X(9, ssChromaKey, void, None, (int32_t mode, uint32_t colour), \
      (A(0, Int, mode), A(1, Colour, colour))) \
    X(10, ssTexture, void, None, (int32_t unused), \
      (A(0, Int, unused))) \
    X(11, ssZBuffer, void, None, (int32_t unused), \
      (A(0, Int, unused))) \
    X(12, ssZBufferCompareMode, int, Int, (int32_t unused), \
      (A(0, Int, unused))) \
    X(13, PushState, void, None, (void), ()) \
    X(14, PopState, void, None, (void), ()) \
    X(15, WaitForIdle, int, Int, (void), ()) \
    X(16, PageFlip, int, Int, (void), ()) \
    X(17, DrawPrimitive, void, None, (const HostVertex* vertices, int32_t count), \
      (A(0, Pointer, vertices), A(1, Int, count))) \
    X(18, LoadTexture, TextureRecord*, Handle, \
      (const void* pixels, int32_t width, int32_t height, uint32_t hostValue4, uint32_t format, \
       uint32_t hostValue6, const uint32_t* palette), \
      (A(0, Pointer, pixels), A(1, Int, width), A(2, Int, height), A(3, Uint, hostValue4), \
       A(4, Format, format), A(5, Uint, hostValue6), A(6, Pointer, palette))) \
    X(19, UnloadTexture, void, None, (TextureRecord* record), \
      (A(0, Handle, record))) \
    X(20, ResetTextures, void, None, (void), ()) \
    X(21, SelectTexture, void, None, (TextureRecord* record), \
      (A(0, Handle, record))) \
    X(22, ModifyTexture, void, None, (TextureRecord* record, const void* pixels), \
      (A(0, Handle, record), A(1, Pointer, pixels))) \
    X(23, LoadPalette, void, None, (const uint32_t* palette), \
      (A(0, Pointer, palette))) \
    X(24, BltToCard, int, Int, \
      (const uint8_t* source, int32_t x, int32_t y, int32_t width, int32_t height, \
       int32_t sourcePitch, uint32_t format, const uint32_t* palette), \
      (A(0, Pointer, source), A(1, Int, x), A(2, Int, y), A(3, Int, width), A(4, Int, height), \
       A(5, Int, sourcePitch), A(6, Format, format), A(7, Pointer, palette))) \
    X(25, StretchBltToCard, int, Int, \
      (const uint8_t* source, int32_t x, int32_t y, int32_t width, int32_t height, \
       int32_t sourceWidth, int32_t sourceHeight, int32_t sourcePitch, uint32_t format, \
       const uint32_t* palette), \
      (A(0, Pointer, source), A(1, Int, x), A(2, Int, y), A(3, Int, width), A(4, Int, height), \
       A(5, Int, sourceWidth), A(6, Int, sourceHeight), A(7, Int, sourcePitch), \
       A(8, Format, format), A(9, Pointer, palette))) \
    X(26, BltFromCard, int, Int, \
      (uint8_t* destination, int32_t unused2, int32_t unused3, int32_t width, int32_t height, \
       int32_t destinationPitch, uint32_t format), \
      (A(0, Pointer, destination), A(1, Int, unused2), A(2, Int, unused3), A(3, Int, width), \
       A(4, Int, height), A(5, Int, destinationPitch), A(6, Format, format))) \
    X(27, BltFromCardToCard, int, Int, (void), ())
// clang-format on

// A row's parameters or arguments without their parentheses, for a braced
// list: {KX_ENTRY_LIST args}.
#define KX_ENTRY_LIST(...) __VA_ARGS__

// The number of entry points.
#define KX_ENTRY_COUNT_ONE(code, name, Result, result, parameters, arguments) +1
constexpr int kxEntryPointCount = 0 KX_ENTRY_POINTS(KX_ENTRY_COUNT_ONE, KX_ENTRY_LIST);
#undef KX_ENTRY_COUNT_ONE
