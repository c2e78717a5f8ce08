#include "trace/trace_format.h"

namespace {

// Argument names as the interface header gives them.
const EntryInfo kEntries[kEntryCount] = {
    {"GetGuid", kResultGuid, 0, {}, {}},
    {"GetID", kResultText, 0, {}, {}},
    {"Detect", kResultInt, 0, {}, {}},
    {"Init", kResultInt, 0, {}, {}},
    {"Shutdown", kResultNone, 0, {}, {}},
    {"Pause", kResultInt, 0, {}, {}},
    {"Restore", kResultInt, 0, {}, {}},
    {"ChangeResolution", kResultInt, 1, {kArgInt}, {"mode"}},
    {"ssAlphaBlend", kResultNone, 1, {kArgInt}, {"mode"}},
    {"ssChromaKey", kResultNone, 2, {kArgInt, kArgColour}, {"mode", "colour"}},
    {"ssTexture", kResultNone, 1, {kArgInt}, {"unused"}},
    {"ssZBuffer", kResultNone, 1, {kArgInt}, {"unused"}},
    {"ssZBufferCompareMode", kResultInt, 1, {kArgInt}, {"unused"}},
    {"PushState", kResultNone, 0, {}, {}},
    {"PopState", kResultNone, 0, {}, {}},
    {"WaitForIdle", kResultInt, 0, {}, {}},
    {"PageFlip", kResultInt, 0, {}, {}},
    {"DrawPrimitive", kResultNone, 2, {kArgPointer, kArgInt}, {"vertices", "count"}},
    {"LoadTexture",
     kResultHandle,
     7,
     {kArgPointer, kArgInt, kArgInt, kArgUint, kArgFormat, kArgUint, kArgPointer},
     {"pixels", "width", "height", "hostValue4", "format", "hostValue6", "palette"}},
    {"UnloadTexture", kResultNone, 1, {kArgHandle}, {"record"}},
    {"ResetTextures", kResultNone, 0, {}, {}},
    {"SelectTexture", kResultNone, 1, {kArgHandle}, {"record"}},
    {"ModifyTexture", kResultNone, 2, {kArgHandle, kArgPointer}, {"record", "pixels"}},
    {"LoadPalette", kResultNone, 1, {kArgPointer}, {"palette"}},
    {"BltToCard",
     kResultInt,
     8,
     {kArgPointer, kArgInt, kArgInt, kArgInt, kArgInt, kArgInt, kArgFormat, kArgPointer},
     {"source", "x", "y", "width", "height", "sourcePitch", "format", "palette"}},
    {"StretchBltToCard",
     kResultInt,
     10,
     {kArgPointer, kArgInt, kArgInt, kArgInt, kArgInt, kArgInt, kArgInt, kArgInt, kArgFormat,
      kArgPointer},
     {"source", "x", "y", "width", "height", "sourceWidth", "sourceHeight", "sourcePitch", "format",
      "palette"}},
    {"BltFromCard",
     kResultInt,
     7,
     {kArgPointer, kArgInt, kArgInt, kArgInt, kArgInt, kArgInt, kArgFormat},
     {"destination", "unused2", "unused3", "width", "height", "destinationPitch", "format"}},
    {"BltFromCardToCard", kResultInt, 0, {}, {}},
};

} // namespace

const EntryInfo& entryInfo(uint32_t entry) {
    return kEntries[entry < kEntryCount ? entry : 0];
}

const char* compressionName(uint32_t compression) {
    static const char* const names[] = {"none", "zstd", "lz4"};
    return compression < 3 ? names[compression] : nullptr;
}
