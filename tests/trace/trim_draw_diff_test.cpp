// kxtrace trim, kxreplay --draw-at and kxtrace diff, checked against what
// they claim: a trimmed trace's frames against the original's, the frame
// drawn at a call against a replay of every call up to it, and diff against
// traces made the same or one vertex apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "tests/trace/tool_run.h"
#include "tests/trace/trace_builder.h"
#include "trace/image_compare.h"
#include "trace/trace_frames.h"
#include "trace/trace_trim.h"

namespace fs = std::filesystem;

namespace {

const std::string kDemo = KX_TRACE_DATA_DIR "/demo_4_frames.kxtrace";

Image readImage(const fs::path& path) {
    Image image;
    std::string error;
    EXPECT_TRUE(readPng(path.string(), image, error)) << error;
    return image;
}

// Replays `trace` and writes the frames of `list` into `dir`.
void replayFrames(const std::string& trace, const std::string& list, const fs::path& dir) {
    ToolResult r = runTool("kxreplay " + trace + " --quiet --frames " + list + " --dump-frames " +
                           dir.string());
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

void expectSameImages(const fs::path& a, const fs::path& b) {
    Image x = readImage(a), y = readImage(b);
    ASSERT_EQ(x.width, y.width);
    ASSERT_EQ(x.height, y.height);
    EXPECT_EQ(compareImages(x, y).pixels, 0u) << a << " against " << b;
}

Trace readTrace(const std::string& path) {
    Trace trace;
    std::string error;
    EXPECT_TRUE(readTraceFile(path, trace, error)) << error;
    return trace;
}

TEST(KxtraceTrim, TrimmedFramesAreTheOriginalsBitForBit) {
    const WorkDir dir("trim_demo");
    const std::string cut = (dir / "cut.kxtrace").string();
    ToolResult r = runTool("kxtrace trim " + kDemo + " " + cut + " --frames 2-3");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "frames 2 to 3")) << r.output;
    replayFrames(kDemo, "2-3", dir / "original");
    replayFrames(cut, "2-3", dir / "trimmed");
    for (const char* frame : {"frame_0002.png", "frame_0003.png"})
        expectSameImages(dir / "original" / frame, dir / "trimmed" / frame);
    // Nothing of the first two frames is drawn: fewer calls, and their
    // images are gone.
    const Trace original = readTrace(kDemo), trimmed = readTrace(cut);
    const FrameIndex frames = indexFrames(original);
    EXPECT_LT(trimmed.calls.size(),
              original.calls.size() - (frames.firstCall[2] - frames.firstCall[0]) / 2);
    EXPECT_LT(trimmed.blobBytes, original.blobBytes);
    size_t draws = 0;
    for (const TraceCall& c : trimmed.calls)
        draws += c.entry == kEntry_BltToCard || c.entry == kEntry_StretchBltToCard;
    size_t kept = 0;
    for (size_t i = frames.firstCall[2]; i < original.calls.size(); ++i)
        kept += original.calls[i].entry == kEntry_BltToCard ||
                original.calls[i].entry == kEntry_StretchBltToCard;
    EXPECT_EQ(draws, kept);

    expectTool("kxtrace trim " + kDemo + " " + cut + " --frames 3-9", 2, "frame 9 is past the end");
    EXPECT_EQ(runTool("kxtrace trim " + kDemo + " " + cut + " --frames 1,3").exitCode, 2);
}

// A fan drawn with blending on leaves the per-vertex translucency flag as
// its alphas say, and a point in the next frame is drawn with it: a trim
// that dropped the fan would draw the point translucent.
TEST(KxtraceTrim, KeepsTheStateADrawLeaves) {
    const WorkDir dir("trim_flags");
    const std::string trace = (dir / "flags.kxtrace").string();
    const HostVertex opaqueFan[3] = {{10, 10, 0.5f, 1, 0, 0, 0xFF0000FF},
                                     {30, 10, 0.5f, 1, 0, 0, 0xFF0000FF},
                                     {30, 30, 0.5f, 1, 0, 0, 0xFF0000FF}};
    const HostVertex point = {100.5f, 100.5f, 0.5f, 1, 0, 0, 0x80FF0000};
    {
        TraceBuilder b(trace);
        b.call(kEntry_Init, {}, 1);
        b.call(kEntry_ssAlphaBlend, {1}); // sets the flag
        b.call(kEntry_DrawPrimitive, {0x4000, 3}).reads(0x4000, opaqueFan, verticesRead(3));
        b.call(kEntry_PageFlip); // the fan cleared the flag: every alpha was 0xFF
        b.call(kEntry_DrawPrimitive, {0x4000, 1}).reads(0x4000, &point, verticesRead(1));
        b.call(kEntry_PageFlip);
        b.call(kEntry_Shutdown);
    }
    const std::string cut = (dir / "cut.kxtrace").string();
    ASSERT_EQ(runTool("kxtrace trim " + trace + " " + cut + " --frames 1-1").exitCode, 0);
    replayFrames(trace, "1", dir / "original");
    replayFrames(cut, "1", dir / "trimmed");
    const Image image = readImage(dir / "original" / "frame_0001.png");
    const uint8_t* p = &image.rgb[3 * (100 * 640 + 100)];
    EXPECT_EQ(p[0], 0xF8) << "the point is drawn opaque"; // 565 red read back
    expectSameImages(dir / "original" / "frame_0001.png", dir / "trimmed" / "frame_0001.png");
}

// The frame as it stands at a call, against the same frame drawn by a
// replay of every call up to it followed by the frame's flip.
TEST(KxreplayDrawAt, MatchesAReplayOfEveryCallBeforeIt) {
    const WorkDir dir("draw_at");
    const Trace demo = readTrace(kDemo);
    const FrameIndex frames = indexFrames(demo);
    ASSERT_EQ(frames.flipped, 4u);
    // Mid-frame 2 before its first blit, after it, and the frame's flip.
    size_t firstBlit = frames.firstCall[2];
    while (demo.calls[firstBlit].entry != kEntry_BltToCard)
        ++firstBlit;
    for (size_t call : {frames.firstCall[2] + 40, firstBlit, frames.flipCall[2]}) {
        SCOPED_TRACE(call);
        const fs::path out = dir / ("at_" + std::to_string(call) + ".png");
        ToolResult r = runTool("kxreplay " + kDemo + " --draw-at " + std::to_string(call) +
                               " --out " + out.string());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_TRUE(contains(r.output, "of frame 2 ")) << r.output;
        std::vector<size_t> calls;
        for (size_t i = 0; i <= call; ++i)
            calls.push_back(i);
        if (call != frames.flipCall[2]) calls.push_back(frames.flipCall[2]);
        const std::string whole = (dir / ("upto_" + std::to_string(call) + ".kxtrace")).string();
        std::string error;
        ASSERT_TRUE(writeTraceOfCalls(demo, calls, whole, kCompressionNone, "", error)) << error;
        replayFrames(whole, "2", dir / ("upto_" + std::to_string(call)));
        expectSameImages(out, dir / ("upto_" + std::to_string(call)) / "frame_0002.png");
    }
    // The three differ: the frame grows call by call.
    Image early = readImage(dir / ("at_" + std::to_string(frames.firstCall[2] + 40) + ".png"));
    Image flipped = readImage(dir / ("at_" + std::to_string(frames.flipCall[2]) + ".png"));
    EXPECT_GT(compareImages(early, flipped).pixels, 1000u);

    expectTool("kxreplay " + kDemo + " --draw-at 1774 --out x.png", 2,
               "call 1774 is past the end: the trace has 1774 (0 to 1773)");
    expectTool("kxreplay " + kDemo + " --draw-at 0 --out x.png", 2, "not started");
}

// Two recordings of one session at other addresses, reading a palette's
// textures in another order, or one frame's vertices at another address
// (another build reuses its stack differently): the same. One vertex apart:
// one call differs.
void writeSession(const std::string& path, uint64_t shift, bool swapImages, float x, bool extraCall,
                  bool otherStack = false) {
    std::vector<uint32_t> palette(256, 0xFF102030);
    const uint8_t imageA[16] = {1}, imageB[16] = {2};
    const HostVertex fan[3] = {{1, 2, 0.5f, 1, 0, 0, 0xFFFFFFFF},
                               {x, 2, 0.5f, 1, 1, 0, 0xFF00FF00},
                               {9, 8, 0.5f, 1, 1, 1, 0xFF0000FF}};
    TraceBuilder b(path);
    b.call(kEntry_Init, {}, 1);
    b.call(kEntry_LoadTexture, {0x2000 + shift, 4, 4, 0, 0, 0, 0}, 0x9000 + shift);
    b.call(kEntry_LoadTexture, {0x3000 + shift, 4, 4, 0, 0, 0, 0}, 0xA000 + shift);
    b.call(kEntry_SelectTexture, {0x9000 + shift})
        .reads(0x2000 + shift, imageA, textureRead(4, 4, 0));
    b.call(kEntry_SelectTexture, {0xA000 + shift})
        .reads(0x3000 + shift, imageB, textureRead(4, 4, 0));
    if (extraCall) b.call(kEntry_ssZBuffer, {1});
    b.call(kEntry_LoadPalette, {0x1000 + shift})
        .reads(0x1000 + shift, palette.data(), paletteRead());
    if (swapImages)
        b.reads(0x3000 + shift, imageB, textureRead(4, 4, 0))
            .reads(0x2000 + shift, imageA, textureRead(4, 4, 0));
    else
        b.reads(0x2000 + shift, imageA, textureRead(4, 4, 0))
            .reads(0x3000 + shift, imageB, textureRead(4, 4, 0));
    for (int frame = 0; frame < 3; ++frame) {
        const uint64_t vertices = (otherStack && frame == 1 ? 0x4800 : 0x4000) + shift;
        b.call(kEntry_DrawPrimitive, {vertices, 3}).reads(vertices, fan, verticesRead(3));
        b.call(kEntry_PageFlip);
    }
    b.call(kEntry_Shutdown);
}

TEST(KxtraceDiff, AddressesMappedContentsCompared) {
    const WorkDir dir("diff");
    const std::string a = (dir / "a.kxtrace").string(), same = (dir / "same.kxtrace").string(),
                      moved = (dir / "moved.kxtrace").string(),
                      vertex = (dir / "vertex.kxtrace").string(),
                      extra = (dir / "extra.kxtrace").string(),
                      stack = (dir / "stack.kxtrace").string();
    writeSession(a, 0, false, 9, false);
    writeSession(stack, 0x10000, false, 9, false, true);
    writeSession(same, 0x10000, true, 9, false);
    writeSession(vertex, 0x10000, true, 9.5f, false);
    writeSession(extra, 0x10000, false, 9, true);

    ToolResult itself = runTool("kxtrace diff " + a + " " + a);
    EXPECT_EQ(itself.exitCode, 0) << itself.output;
    expectTool("kxtrace diff " + a + " " + same, 0, "the same: 13 calls alike");
    ToolResult s = runTool("kxtrace diff " + a + " " + stack);
    EXPECT_EQ(s.exitCode, 0) << s.output;

    const std::string v = expectTool("kxtrace diff " + a + " " + vertex, 1,
                                     "3 calls of 13 compared differ; 3 frames of A: 0 1 2");
    expectContains(
        v, {"-     v1  x 9  y 2", "+     v1  x 9.5  y 2", "@@ call 6 of A, 6 of B, frame 0 @@"});

    const std::string e = expectTool("kxtrace diff " + a + " " + extra, 1,
                                     "0 calls of 13 compared differ, 1 call only in B");
    EXPECT_TRUE(contains(e, "+ [0] 5 ssZBuffer(unused=1)")) << e;

    expectTool("kxtrace diff " + a + " " + (dir / "none.kxtrace").string(), 3, "cannot open");
}

} // namespace
