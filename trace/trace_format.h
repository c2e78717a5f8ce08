// The trace file's layout: header, record types, the calls' memory items and
// the limits every reader enforces. trace_format.md describes it in words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "api/kxapi_entry_points.h"

// File header: 32 bytes, little-endian.
constexpr char kTraceMagic[8] = {'K', 'X', 'T', 'R', 'A', 'C', 'E', '\0'};
constexpr uint32_t kTraceVersion = 1;
constexpr uint32_t kTraceHeaderSize = 32;
// zstd packs smaller ("kxtrace pack"); lz4 costs the recording host less.
enum TraceCompression : uint32_t {
    kCompressionNone = 0,
    kCompressionZstd = 1,
    kCompressionLz4 = 2
};
// The compression's name: "none", "zstd", "lz4" (null for an unknown code).
const char* compressionName(uint32_t compression);

// Record types. Every record starts with type, payload size and a check.
enum RecordType : uint32_t {
    kRecordInfo = 1, // text: "key=value" lines about the recording
    kRecordBlob = 2, // 16-byte hash, then the bytes it is the hash of
    kRecordCall = 3, // one entry point call
    kRecordEnd = 4,  // the recording was closed: u64 number of calls
};
constexpr uint32_t kRecordHeaderSize = 12;

// Items that follow a call's arguments and result.
enum ItemKind : uint32_t {
    kItemBlobContents = 1,   // host memory held a stored blob when the call was made
    kItemInlineContents = 2, // host memory held these bytes when the call was made
    kItemReadBack = 3,       // host memory held bytes with this hash after the call
    kItemResultData = 4,     // the bytes the returned pointer pointed to
};

// Memory contents are rows: `rows` runs of `rowBytes` bytes, `pitch` bytes
// apart (negative: upwards), the first one `offset` bytes from `base`.
// `base` is the pointer the driver was given or keeps, as the host had it.
constexpr uint32_t kMemoryItemFixedSize = 4 + 8 + 8 + 4 + 4 + 8; // kind .. pitch

// Contents up to this size are stored inside the call (vertices); larger
// ones as blobs, once per distinct contents.
constexpr uint32_t kInlineLimit = 512;

// Limits: anything larger is refused as corrupt rather than allocated.
constexpr uint64_t kMaxBlobBytes = 512ull << 20; // one blob (a 8192 x 8192 x 4 texture is 256 MiB)
constexpr uint64_t kMaxCallBytes = 1ull << 20;   // one call record without blobs
constexpr uint64_t kMaxInfoBytes = 64ull << 10;  // the information text
constexpr uint32_t kMaxItemsPerCall = 4096;      // LoadPalette names every texture it re-reads
constexpr uint64_t kMaxRegionBytes = 512ull << 20; // memory one pointer may reach
constexpr uint64_t kMaxResultDataBytes = 256;      // a GUID or the device name

// The 28 entry points by the codes traces carry (api/kxapi_entry_points.h).
enum EntryId : uint32_t {
#define KX_ENTRY_ID(code, name, Result, result, parameters, arguments) kEntry_##name = code,
    KX_ENTRY_POINTS(KX_ENTRY_ID, KX_ENTRY_LIST)
#undef KX_ENTRY_ID
};
constexpr uint32_t kEntryCount = kxEntryPointCount;

// What an argument holds, for printing and for replay.
enum ArgKind : uint8_t {
    kArgInt,     // signed 32-bit
    kArgUint,    // unsigned 32-bit
    kArgColour,  // 0xAARRGGBB
    kArgFormat,  // host image format code
    kArgPointer, // host memory
    kArgHandle,  // texture handle
};
enum ResultKind : uint8_t { kResultNone, kResultInt, kResultHandle, kResultGuid, kResultText };

constexpr int kMaxArgs = 10;
struct EntryArg {
    int index; // its place among the arguments
    ArgKind kind;
    const char* name;
};
struct EntryInfo {
    uint32_t code; // as traces carry it
    const char* name;
    ResultKind result;
    int argCount;
    EntryArg args[kMaxArgs];
};

// Table of the entry points, indexed by EntryId.
const EntryInfo& entryInfo(uint32_t entry);

// Signed 32-bit reading of an argument.
inline int32_t argInt(uint64_t v) {
    return int32_t(uint32_t(v));
}

// The little-endian encoding used throughout.
inline void putU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline void putU64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t getU64(const uint8_t* p) {
    return uint64_t(getU32(p)) | uint64_t(getU32(p + 4)) << 32;
}
