// The trace file: what the writer stores reads back the same, packed or not,
// and every kind of damage is refused with the offset and what is wrong.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "trace/replay.h"
#include "trace/trace_reader.h"
#include "trace/trace_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<uint32_t> testPalette() {
    std::vector<uint32_t> p(256);
    for (uint32_t i = 0; i < 256; ++i)
        p[i] = 0xFF000000u | i * 0x010203u;
    return p;
}

// A short session: a palette (a blob), a fan (inline), a selection reading
// the same palette again (stored once), a device name, a read-back, a flip.
Bytes writeSample(uint32_t compression, bool close = true) {
    // Of this process alone: tests run side by side, and other builds' too.
    std::string path = ::testing::TempDir() + "/sample_" + std::to_string(getpid()) + ".kxtrace";
    TraceWriter w;
    std::string error;
    EXPECT_TRUE(openTrace(w, path, compression, "program=test\n", error)) << error;
    std::vector<uint32_t> palette = testPalette();
    HostVertex fan[3] = {{1, 2, 0.5f, 1, 0, 0, 0xFFFFFFFF},
                         {9, 2, 0.5f, 1, 1, 0, 0xFF00FF00},
                         {9, 8, 0.5f, 1, 1, 1, 0x80FF0000}};
    uint8_t readBack[2 * 9] = {1, 2, 3, 4, 5, 6, 0, 0, 0, 7, 8, 9, 10, 11, 12};
    CallBuilder call;
    startCall(call, kEntry_LoadPalette);
    addArg(call, 0x1000);
    addContents(w, call, 0x1000, reinterpret_cast<uint8_t*>(palette.data()), paletteRead());
    finishCall(w, call);
    startCall(call, kEntry_DrawPrimitive);
    addArg(call, 0x2000);
    addArg(call, 3);
    addContents(w, call, 0x2000, reinterpret_cast<uint8_t*>(fan), verticesRead(3));
    finishCall(w, call);
    startCall(call, kEntry_SelectTexture);
    addArg(call, 0x3000);
    addContents(w, call, 0x1000, reinterpret_cast<uint8_t*>(palette.data()), paletteRead());
    finishCall(w, call);
    startCall(call, kEntry_GetID);
    call.result = 0x4000;
    addResultData(call, "ID", 2);
    finishCall(w, call);
    startCall(call, kEntry_BltFromCard);
    for (uint64_t v : {0x5000u, 0u, 0u, 2u, 2u, 9u, 2u})
        addArg(call, v);
    call.result = 1;
    addReadBack(call, 0x5000, readBack, readBackWritten(2, 2, 9, 2));
    finishCall(w, call);
    startCall(call, kEntry_PageFlip);
    call.result = 1;
    finishCall(w, call);
    if (close)
        closeTrace(w);
    else
        abandonTrace(w);
    std::ifstream in(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return bytes;
}

// Offsets of the records of an uncompressed trace.
std::vector<size_t> recordOffsets(const Bytes& b) {
    std::vector<size_t> offsets;
    for (size_t at = kTraceHeaderSize; at + kRecordHeaderSize <= b.size();
         at += kRecordHeaderSize + getU32(&b[at + 4]))
        offsets.push_back(at);
    return offsets;
}

void fixCheck(Bytes& b, size_t record) {
    uint32_t size = getU32(&b[record + 4]);
    uint32_t checked = getU32(&b[record]) == kRecordBlob ? 16 : size;
    putU32(&b[record + 8], recordCheck(&b[record + kRecordHeaderSize], checked));
}

std::string readError(const Bytes& b) {
    Trace trace;
    std::string error;
    return readTraceBytes(b.data(), b.size(), trace, error) ? "" : error;
}

// Traces written by every recorder so far number the calls so, with these
// argument counts: the interface's table must keep them (written out here,
// not read from the table, so that a renumbered or reshaped row shows).
TEST(TraceFile, EntryCodesAreTheOnesTracesCarry) {
    struct Expected {
        uint32_t code;
        const char* name;
        int args;
    };
    const Expected expected[] = {
        {0, "GetGuid", 0},
        {1, "GetID", 0},
        {2, "Detect", 0},
        {3, "Init", 0},
        {4, "Shutdown", 0},
        {5, "Pause", 0},
        {6, "Restore", 0},
        {7, "ChangeResolution", 1},
        {8, "ssAlphaBlend", 1},
        {9, "ssChromaKey", 2},
        {10, "ssTexture", 1},
        {11, "ssZBuffer", 1},
        {12, "ssZBufferCompareMode", 1},
        {13, "PushState", 0},
        {14, "PopState", 0},
        {15, "WaitForIdle", 0},
        {16, "PageFlip", 0},
        {17, "DrawPrimitive", 2},
        {18, "LoadTexture", 7},
        {19, "UnloadTexture", 1},
        {20, "ResetTextures", 0},
        {21, "SelectTexture", 1},
        {22, "ModifyTexture", 2},
        {23, "LoadPalette", 1},
        {24, "BltToCard", 8},
        {25, "StretchBltToCard", 10},
        {26, "BltFromCard", 7},
        {27, "BltFromCardToCard", 0},
    };
    ASSERT_EQ(sizeof expected / sizeof expected[0], size_t(kEntryCount));
    for (const Expected& e : expected) {
        const EntryInfo& info = entryInfo(e.code);
        EXPECT_EQ(info.code, e.code) << e.name;
        EXPECT_STREQ(info.name, e.name) << "code " << e.code;
        EXPECT_EQ(info.argCount, e.args) << e.name;
    }
    EXPECT_EQ(uint32_t(kEntry_LoadTexture), 18u);
    EXPECT_EQ(uint32_t(kEntry_BltFromCardToCard), 27u);
}

// What is written reads back, packed or not; a host that crashed leaves a
// trace that ends between records, without its end record: everything
// before is read, with a note.
TEST(TraceFile, WhatIsWrittenReadsBackPackedOrNotClosedOrNot) {
    for (uint32_t compression : {kCompressionNone, kCompressionZstd, kCompressionLz4})
        for (bool closed : {true, false}) {
            SCOPED_TRACE(std::to_string(compression) + (closed ? "" : ", not closed"));
            Bytes bytes = writeSample(compression, closed);
            Trace t;
            std::string error;
            ASSERT_TRUE(readTraceBytes(bytes.data(), bytes.size(), t, error)) << error;
            EXPECT_EQ(t.ended, closed);
            EXPECT_EQ(t.notes.empty(), closed);
            EXPECT_EQ(traceInfoValue(t, "program"), "test");
            ASSERT_EQ(t.calls.size(), 6u);
            // The palette read twice is one blob.
            EXPECT_EQ(t.blobCount, 1u);
            EXPECT_EQ(t.blobBytes, 1024u);
            std::vector<uint32_t> palette = testPalette();
            const TraceItem& first = t.items[t.calls[0].firstItem];
            const TraceItem& again = t.items[t.calls[2].firstItem];
            EXPECT_EQ(first.kind, uint32_t(kItemBlobContents));
            EXPECT_EQ(first.data, again.data);
            EXPECT_EQ(std::memcmp(first.data, palette.data(), 1024), 0);
            const TraceCall& draw = t.calls[1];
            EXPECT_EQ(draw.entry, uint32_t(kEntry_DrawPrimitive));
            EXPECT_EQ(draw.args[0], 0x2000u);
            EXPECT_EQ(argInt(draw.args[1]), 3);
            const TraceItem& vertices = t.items[draw.firstItem];
            EXPECT_EQ(vertices.kind, uint32_t(kItemInlineContents));
            EXPECT_EQ(vertices.dataSize, 84u);
            const TraceItem& id = t.items[t.calls[3].firstItem];
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(id.data), id.dataSize), "ID");
            const TraceItem& readBack = t.items[t.calls[4].firstItem];
            EXPECT_EQ(readBack.kind, uint32_t(kItemReadBack));
            EXPECT_EQ(readBack.rows.rows, 2u);
            EXPECT_EQ(readBack.rows.rowBytes, 6u);
            EXPECT_EQ(readBack.rows.pitch, 9);
            EXPECT_EQ(argInt(t.calls[5].result), 1);
        }
}

// A blob larger than the compressors' blocks and the flush threshold (a
// large image) reads back byte for byte.
TEST(TraceFile, LargeBlobReadsBackWhole) {
    Bytes image(10u << 20);
    uint32_t seed = 1;
    for (size_t i = 0; i < image.size(); i += 4) {
        seed = seed * 1664525u + 1013904223u;
        image[i] = uint8_t(seed >> 24); // three quarters compressible
    }
    for (uint32_t compression : {kCompressionNone, kCompressionZstd, kCompressionLz4}) {
        SCOPED_TRACE(compression);
        std::string path = ::testing::TempDir() + "/large_" + std::to_string(getpid()) + ".kxtrace";
        TraceWriter w;
        std::string error;
        ASSERT_TRUE(openTrace(w, path, compression, "program=test\n", error)) << error;
        CallBuilder call;
        startCall(call, kEntry_LoadPalette);
        addArg(call, 0x1000);
        addContents(w, call, 0x1000, image.data(), packedRows(image.size()));
        finishCall(w, call);
        closeTrace(w);
        Trace t;
        ASSERT_TRUE(readTraceFile(path, t, error)) << error;
        std::remove(path.c_str());
        ASSERT_EQ(t.calls.size(), 1u);
        const TraceItem& item = t.items[t.calls[0].firstItem];
        ASSERT_EQ(item.dataSize, image.size());
        EXPECT_EQ(std::memcmp(item.data, image.data(), image.size()), 0);
    }
}

TEST(TraceFile, DamageIsRefusedWithItsOffset) {
    const Bytes good = writeSample(kCompressionNone);
    const std::vector<size_t> at = recordOffsets(good);
    ASSERT_EQ(at.size(), 9u); // information, blob, six calls, end
    const size_t blob = at[1], draw = at[3], end = at[8];
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"not a trace", [](Bytes& b) { b[0] = 'X'; }, "offset 0: not a trace"},
        {"wrong version", [](Bytes& b) { putU32(&b[8], 2); }, "offset 8: wrong version"},
        {"unknown compression", [](Bytes& b) { putU32(&b[16], 3); },
         "offset 16: corrupted header: unknown compression 3"},
        {"truncated record", [&](Bytes& b) { b.resize(draw + 20); },
         "offset " + std::to_string(draw) + ": truncated: the call record claims"},
        {"truncated header", [&](Bytes& b) { b.resize(draw + 5); },
         "offset " + std::to_string(draw) + ": truncated"},
        {"corrupted record", [&](Bytes& b) { b[draw + 30] ^= 0x40; },
         "offset " + std::to_string(draw) + ": corrupted call record"},
        {"corrupted blob", [&](Bytes& b) { b[blob + 100] ^= 1; },
         "offset " + std::to_string(blob) + ": corrupted blob record"},
        {"missing blob",
         [&](Bytes& b) { b.erase(b.begin() + long(blob), b.begin() + long(at[2])); },
         "(call 0): LoadPalette: blob "},
        {"unknown record type", [&](Bytes& b) { putU32(&b[draw], 9); }, "unknown record type 9"},
        {"absurd record size", [&](Bytes& b) { putU32(&b[draw + 4], 0xFFFFFFF0u); },
         "call record of absurd size"},
        {"unknown entry point",
         [&](Bytes& b) {
             putU32(&b[draw + 12], 99);
             fixCheck(b, draw);
         },
         "unknown entry point 99"},
        {"wrong argument count",
         [&](Bytes& b) {
             putU32(&b[draw + 16], 5);
             fixCheck(b, draw);
         },
         "DrawPrimitive takes 2 arguments, the record gives 5"},
        {"absurd item count",
         [&](Bytes& b) {
             putU32(&b[draw + 12 + 8 + 16 + 8], 0x7FFFFFFF);
             fixCheck(b, draw);
         },
         "absurd item count"},
        {"absurd rows",
         [&](Bytes& b) {
             putU32(&b[draw + 12 + 8 + 16 + 12 + 24], 0xFFFFFFFFu);
             fixCheck(b, draw);
         },
         "absurd memory rows"},
        {"records after the end",
         [&](Bytes& b) {
             b.insert(b.end(), good.begin() + long(draw), good.begin() + long(at[4]));
         },
         "offset " + std::to_string(end + kRecordHeaderSize + 8) + ": records after the end"},
    };
    ASSERT_EQ(readError(good), "");
    for (const Case& c : cases) {
        Bytes bad = good;
        c.damage(bad);
        std::string error = readError(bad);
        EXPECT_NE(error.find(c.expected), std::string::npos)
            << c.what << ": got \"" << error << "\", expected \"" << c.expected << "\"";
    }
    // Packed data damaged in the middle: the decoder or a record check sees it.
    for (uint32_t compression : {kCompressionZstd, kCompressionLz4}) {
        Bytes packed = writeSample(compression);
        packed[packed.size() / 2] ^= 0x55;
        EXPECT_NE(readError(packed).find("corrupted"), std::string::npos) << readError(packed);
    }
}

// The reader's limit on the unpacked size holds to the byte: a trace that
// unpacks to exactly the limit reads, one byte less refuses it.
TEST(TraceFile, UnpackedSizeLimitHoldsToTheByte) {
    for (uint32_t compression : {kCompressionZstd, kCompressionLz4}) {
        SCOPED_TRACE(compression);
        const Bytes packed = writeSample(compression);
        Trace whole;
        std::string error;
        ASSERT_TRUE(readTraceBytes(packed.data(), packed.size(), whole, error)) << error;
        TraceLimits limits;
        limits.maxBodyBytes = whole.body.size();
        Trace t;
        EXPECT_TRUE(readTraceBytes(packed.data(), packed.size(), t, error, limits)) << error;
        EXPECT_EQ(t.body, whole.body);
        limits.maxBodyBytes = whole.body.size() - 1;
        Trace cut;
        EXPECT_FALSE(readTraceBytes(packed.data(), packed.size(), cut, error, limits));
        EXPECT_NE(error.find("more than this reader holds"), std::string::npos) << error;
    }
}

// Replay gives the driver only memory of a sane size: a fan of a billion
// vertices is refused before any entry point is called.
TEST(TraceFile, ReplayRefusesAbsurdMemory) {
    Bytes bytes = writeSample(kCompressionNone);
    Trace t;
    std::string error;
    ASSERT_TRUE(readTraceBytes(bytes.data(), bytes.size(), t, error)) << error;
    t.calls[1].args[1] = 1000000000;
    KxEntryPoints none; // every entry point null: reaching one would crash
    Replay replay;
    replay.trace = &t;
    replay.api = &none;
    EXPECT_FALSE(playCall(replay, 1, error));
    EXPECT_NE(error.find("call 1 DrawPrimitive: absurd size"), std::string::npos) << error;
}

} // namespace
