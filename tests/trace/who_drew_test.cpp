// kxtrace who-drew against the frame drawn without a call: the call it says
// the pixel shows changes the pixel when left out, and leaving out every
// drawing call it does not list changes nothing. On a made frame, the fill
// rule at a shared edge, the depth test and a keyed blit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "tests/trace/tool_run.h"
#include "tests/trace/trace_builder.h"
#include "trace/image_compare.h"
#include "trace/trace_frames.h"
#include "trace/trace_trim.h"

namespace fs = std::filesystem;

namespace {

const std::string kDemo = KX_TRACE_DATA_DIR "/demo_4_frames.kxtrace";

struct WhoDrewAnswer {
    std::set<size_t> listed;
    long shows = -1;
    std::string output;
};

WhoDrewAnswer whoDrew(const std::string& trace, size_t frame, int x, int y,
                      const std::string& options = "") {
    WhoDrewAnswer a;
    ToolResult r = runTool("kxtrace who-drew " + trace + " " + std::to_string(frame) + " " +
                           std::to_string(x) + " " + std::to_string(y) + options);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    a.output = r.output;
    std::smatch m;
    const std::regex call("\n  call ([0-9]+) "), shows("the pixel shows call ([0-9]+)");
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), call);
         it != std::sregex_iterator(); ++it)
        a.listed.insert(std::stoul((*it)[1]));
    if (std::regex_search(r.output, m, shows)) a.shows = std::stol(m[1]);
    return a;
}

bool drawing(uint32_t entry) {
    return entry == kEntry_DrawPrimitive || entry == kEntry_BltToCard ||
           entry == kEntry_StretchBltToCard;
}

// Pixel (x, y) of `frame` replayed from `trace` without the calls `left`.
std::vector<uint8_t> pixelWithout(const Trace& trace, const std::string& name,
                                  const std::set<size_t>& left, size_t frame, int x, int y,
                                  const fs::path& dir) {
    std::vector<size_t> calls;
    for (size_t i = 0; i < trace.calls.size(); ++i)
        if (!left.count(i)) calls.push_back(i);
    const std::string path = (dir / (name + ".kxtrace")).string();
    std::string error;
    EXPECT_TRUE(writeTraceOfCalls(trace, calls, path, kCompressionNone, "", error)) << error;
    const fs::path frames = dir / name;
    ToolResult r = runTool("kxreplay " + path + " --quiet --frames " + std::to_string(frame) +
                           " --dump-frames " + frames.string());
    EXPECT_NE(r.exitCode, 3) << r.output;
    char file[32];
    std::snprintf(file, sizeof file, "frame_%04zu.png", frame);
    Image image;
    EXPECT_TRUE(readPng((frames / file).string(), image, error)) << error;
    if (image.rgb.empty()) return {};
    const uint8_t* p = &image.rgb[(size_t(y) * size_t(image.width) + size_t(x)) * 3];
    return std::vector<uint8_t>(p, p + 3);
}

// Pixels of the demo's frame 2: the road, the sky under the HUD's keyed
// score, the stretched title, the radar and a sign.
TEST(KxtraceWhoDrew, DemoPixelsAgainstTheFrameWithoutTheCall) {
    const WorkDir dir("who_drew_demo");
    Trace demo;
    std::string error;
    ASSERT_TRUE(readTraceFile(kDemo, demo, error)) << error;
    const FrameIndex frames = indexFrames(demo);
    const size_t frame = 2;
    const std::vector<uint8_t> original =
        pixelWithout(demo, "original", {}, frame, 0, 0, dir); // the replay works at all
    ASSERT_EQ(original.size(), 3u);
    const int pixels[][2] = {{320, 300}, {560, 28}, {40, 30}, {575, 415}, {530, 180}};
    for (const auto& xy : pixels) {
        const int x = xy[0], y = xy[1];
        SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
        const WhoDrewAnswer a = whoDrew(kDemo, frame, x, y);
        ASSERT_GE(a.shows, 0) << a.output;
        ASSERT_TRUE(a.listed.count(size_t(a.shows))) << a.output;
        const std::string tag = std::to_string(x) + "_" + std::to_string(y);
        const std::vector<uint8_t> base = pixelWithout(demo, "base_" + tag, {}, frame, x, y, dir);
        EXPECT_NE(pixelWithout(demo, "shown_" + tag, {size_t(a.shows)}, frame, x, y, dir), base)
            << "leaving out the call the pixel shows changes nothing\n"
            << a.output;
        std::set<size_t> others;
        for (size_t i = frames.firstCall[frame]; i < frames.endCall(frame); ++i)
            if (drawing(demo.calls[i].entry) && !a.listed.count(i)) others.insert(i);
        EXPECT_EQ(pixelWithout(demo, "others_" + tag, others, frame, x, y, dir), base)
            << "a call who-drew does not list changes the pixel\n"
            << a.output;
    }
}

// A frame made for the purpose: two triangles sharing an edge that runs
// through a pixel's centre, a third behind them, a keyed blit over them.
std::string madeTrace(const fs::path& dir) {
    const std::string trace = (dir / "made.kxtrace").string();
    auto vertex = [](float x, float y, float invW, uint32_t colour) {
        return HostVertex{x, y, 0.5f, invW, 0, 0, colour};
    };
    const HostVertex a[3] = {vertex(0, 0, 1, 0xFFFF0000), vertex(10, 0, 1, 0xFFFF0000),
                             vertex(10, 10, 1, 0xFFFF0000)};
    const HostVertex b[3] = {vertex(0, 0, 1, 0xFF00FF00), vertex(10, 10, 1, 0xFF00FF00),
                             vertex(0, 10, 1, 0xFF00FF00)};
    const HostVertex behind[3] = {vertex(0, 0, 0.5f, 0xFFFFFFFF), vertex(20, 0, 0.5f, 0xFFFFFFFF),
                                  vertex(0, 20, 0.5f, 0xFFFFFFFF)};
    std::vector<uint32_t> palette(256, 0xFF000000);
    palette[1] = 0xFFFF00FF; // the key colour
    palette[2] = 0xFF0000FF;
    const uint8_t image[4 * 4] = {2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
    TraceBuilder t(trace);
    t.call(kEntry_Init, {}, 1);
    t.call(kEntry_LoadPalette, {0x1000}).reads(0x1000, palette.data(), paletteRead());
    t.call(kEntry_ssChromaKey, {1, 0xFFFF00FF});
    t.call(kEntry_DrawPrimitive, {0x4000, 3}).reads(0x4000, a, verticesRead(3));      // 3
    t.call(kEntry_DrawPrimitive, {0x4000, 3}).reads(0x4000, b, verticesRead(3));      // 4
    t.call(kEntry_DrawPrimitive, {0x4000, 3}).reads(0x4000, behind, verticesRead(3)); // 5
    t.call(kEntry_BltToCard, {0x5000, 2, 2, 4, 4, 4, 0, 0}, 1)                        // 6
        .reads(0x5000, image, bltSourceRead(2, 2, 4, 4, 4, 0));
    t.call(kEntry_PageFlip);
    t.call(kEntry_Shutdown);
    return trace;
}

TEST(KxtraceWhoDrew, FillRuleDepthAndKeyOnAMadeFrame) {
    const WorkDir dir("who_drew_made");
    const std::string trace = madeTrace(dir);
    Trace made;
    std::string error;
    ASSERT_TRUE(readTraceFile(trace, made, error)) << error;

    // (3, 3): its centre lies on the shared edge; one triangle has it, the
    // other and the one behind do not show, and the blit keys it out.
    const WhoDrewAnswer edge = whoDrew(trace, 0, 3, 3);
    const bool first = edge.listed.count(3) != 0;
    EXPECT_NE(first, edge.listed.count(4) != 0) << "the shared edge's pixel belongs to one "
                                                << "triangle\n"
                                                << edge.output;
    EXPECT_EQ(edge.shows, first ? 3 : 4) << edge.output;
    EXPECT_TRUE(edge.listed.count(5) && edge.listed.count(6)) << edge.output;
    EXPECT_TRUE(contains(edge.output, "call 5 DrawPrimitive, triangle 1 of 1: hidden"))
        << edge.output;
    EXPECT_TRUE(contains(edge.output, "source pixel (1, 1) index 1: keyed out")) << edge.output;
    EXPECT_FALSE(contains(edge.output, "samples:")) << edge.output; // not supersampled
    const std::vector<uint8_t> drawn = pixelWithout(made, "all", {}, 0, 3, 3, dir);
    EXPECT_EQ(drawn, (std::vector<uint8_t>(first ? std::vector<uint8_t>{0xF8, 0, 0}
                                                 : std::vector<uint8_t>{0, 0xFC, 0})));
    EXPECT_EQ(pixelWithout(made, "other", {first ? 4u : 3u, 5u, 6u}, 0, 3, 3, dir), drawn);
    EXPECT_NE(pixelWithout(made, "named", {first ? 3u : 4u}, 0, 3, 3, dir), drawn);

    // (4, 4): the blit draws it, over the triangles.
    const WhoDrewAnswer blit = whoDrew(trace, 0, 4, 4);
    EXPECT_EQ(blit.shows, 6) << blit.output;
    EXPECT_TRUE(contains(blit.output, "source pixel (2, 2) index 2: drawn")) << blit.output;
    // (30, 30): nothing covers it.
    const WhoDrewAnswer none = whoDrew(trace, 0, 30, 30);
    EXPECT_TRUE(none.listed.empty() && none.shows < 0) << none.output;
    EXPECT_TRUE(contains(none.output, "the frame's clear")) << none.output;

    expectTool("kxtrace who-drew " + trace + " 0 640 0", 2, "outside the 640 x 480 screen");
    expectTool("kxtrace who-drew " + trace + " 1 0 0", 2, "frame 1 is past the end");
}

// The made frame replayed supersampled 2 x 2 (--settings): the shared edge
// runs through two of the four samples of (3, 3), which go to one triangle
// with a third, the other triangle has the fourth; the one behind covers
// all four and passes on none. The pixel is their resolve.
TEST(KxtraceWhoDrew, SamplesOfASupersampledPixel) {
    const WorkDir dir("who_drew_samples");
    const std::string trace = madeTrace(dir);
    const std::string settings = (dir / "antialias.ini").string();
    std::ofstream(settings) << "antialias = 2\n";
    const WhoDrewAnswer edge = whoDrew(trace, 0, 3, 3, " --settings " + settings);
    std::smatch red, green;
    ASSERT_TRUE(std::regex_search(
        edge.output, red,
        std::regex("call 3 DrawPrimitive, triangle 1 of 1: drawn, pixel 0x0000 -> 0x([0-9A-F]{4}); "
                   "samples: ([13]) of 4 covered, ([13]) passed the depth test;")))
        << edge.output;
    ASSERT_TRUE(std::regex_search(
        edge.output, green,
        std::regex("call 4 DrawPrimitive, triangle 1 of 1: drawn, pixel 0x" + red[1].str() +
                   " -> 0x([0-9A-F]{4}); samples: ([13]) of 4 covered, ([13]) passed the depth "
                   "test;")))
        << edge.output;
    const int reds = std::stoi(red[2]), greens = std::stoi(green[2]);
    EXPECT_EQ(reds + greens, 4) << edge.output;
    EXPECT_EQ(red[3], red[2]);
    EXPECT_EQ(green[3], green[2]);
    // Each channel the samples' mean, (sum + 2) / 4, packed 565.
    const uint32_t r = (255u * uint32_t(reds) + 2) / 4, g = (255u * uint32_t(greens) + 2) / 4;
    EXPECT_EQ(std::stoul(green[1].str(), nullptr, 16), (r >> 3) << 11 | (g >> 2) << 5)
        << edge.output;
    EXPECT_EQ(std::stoul(red[1].str(), nullptr, 16), ((255u * uint32_t(reds) + 2) / 4 >> 3) << 11)
        << edge.output;
    expectContains(edge.output,
                   {"call 5 DrawPrimitive, triangle 1 of 1: hidden (behind what was drawn there: "
                    "depth test failed); samples: 4 of 4 covered, 0 passed the depth test",
                    "source pixel (1, 1) index 1: keyed out",
                    "the pixel shows call 4 (DrawPrimitive), mixed with what its other samples "
                    "hold",
                    "antialias = 2, dither = off, fps_limit = 0 (from " + settings + ")"});
}

} // namespace
