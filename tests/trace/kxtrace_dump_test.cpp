// kxtrace dump and state on a small trace whose every call is known: frame
// numbers, what each call read, the render state at a call, bad input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/trace/tool_run.h"
#include "tests/trace/trace_builder.h"

namespace fs = std::filesystem;

namespace {

// Two flipped frames, the first read back, then a shut-down never flipped.
std::string writeSession(const WorkDir& dir) {
    const std::string path = (dir / "session.kxtrace").string();
    std::vector<uint32_t> palette(256);
    for (uint32_t i = 0; i < 256; ++i)
        palette[i] = 0xFF000000u | i;
    const uint8_t image[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    const HostVertex fan[3] = {{1, 2, 0.5f, 1, 0, 0, 0xFFFFFFFF},
                               {9, 2, 0.5f, 1, 1, 0, 0xFF00FF00},
                               {9, 8.25f, 0.5f, 1, 1, 1, 0x80FF0000}};
    const HostVertex point = {3.5f, 4, 0, 2, 0, 0, 0xFF123456};
    const uint8_t shown[2 * 6] = {};
    TraceBuilder b(path);
    b.call(kEntry_Init, {}, 1);                                                        // 0
    b.call(kEntry_ssChromaKey, {1, 0xFFFF00FF});                                       // 1
    b.call(kEntry_LoadPalette, {0x1000}).reads(0x1000, palette.data(), paletteRead()); // 2
    b.call(kEntry_LoadTexture, {0x2000, 4, 2, 0, 0, 0, 0x3000}, 0x9000);               // 3
    b.call(kEntry_SelectTexture, {0x9000})                                             // 4
        .reads(0x2000, image, textureRead(4, 2, 0))
        .reads(0x3000, palette.data(), paletteRead());
    b.call(kEntry_ssAlphaBlend, {1});                                              // 5
    b.call(kEntry_DrawPrimitive, {0x4000, 3}).reads(0x4000, fan, verticesRead(3)); // 6
    b.call(kEntry_PageFlip, {}, 0);                                                // 7
    b.call(kEntry_BltFromCard, {0x5000, 0, 0, 2, 2, 6, 2}, 1)                      // 8
        .wrote(0x5000, shown, readBackWritten(2, 2, 6, 2));
    b.call(kEntry_DrawPrimitive, {0x4000, 1}).reads(0x4000, &point, verticesRead(1)); // 9
    b.call(kEntry_PageFlip, {}, 0);                                                   // 10
    b.call(kEntry_Shutdown);                                                          // 11
    b.close();
    return path;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

TEST(KxtraceDump, FramesAndWhatEachCallRead) {
    const WorkDir dir("dump");
    const std::string trace = writeSession(dir);
    ToolResult r = runTool("kxtrace dump " + trace);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    expectContains(
        r.output,
        {"== frame 0: calls 0 to 8\n", "== frame 1: calls 9 to 10\n",
         "== frame 2: calls 11 to 11, not flipped\n",
         // The read-back after the first flip belongs to the frame it reads.
         "[0] 8 BltFromCard(", "    reads back frame 0\n",
         "[0] 6 DrawPrimitive(vertices=0x4000, count=3)",
         "    fan of 1 triangles; texture #0 0x9000 (4 x 2, 8-bit indexed, own palette 0x3000); "
         "alpha blend 1, colour key 1 0xFFFF00FF\n",
         "    v1  x 9  y 2  z 0.5  1/w 1  u/w 1  v/w 0  colour 0xFF00FF00\n",
         "    v2  x 9  y 8.25  z 0.5  1/w 1  u/w 1  v/w 1  colour 0x80FF0000\n",
         "[1] 9 DrawPrimitive(vertices=0x4000, count=1)",
         "    v0  x 3.5  y 4  z 0  1/w 2  u/w 0  v/w 0  colour 0xFF123456\n",
         "    texture #0 0x9000 (4 x 2, 8-bit indexed, own palette 0x3000), loaded at call 3\n",
         "    global palette: 0xFF000000 0xFF000001"});
}

TEST(KxtraceDump, FramesAndCallsChooseLines) {
    const WorkDir dir("dump");
    const std::string trace = writeSession(dir);
    ToolResult one = runTool("kxtrace dump " + trace + " --frames 1");
    ASSERT_EQ(one.exitCode, 0) << one.output;
    std::vector<std::string> calls;
    for (const std::string& line : lines(one.output))
        if (!line.empty() && line[0] == '[') calls.push_back(line.substr(0, line.find('(')));
    EXPECT_EQ(calls, (std::vector<std::string>{"[1] 9 DrawPrimitive", "[1] 10 PageFlip"}));

    ToolResult range = runTool("kxtrace dump " + trace + " --calls 3-4");
    ASSERT_EQ(range.exitCode, 0);
    EXPECT_TRUE(contains(range.output, "[0] 3 LoadTexture") &&
                contains(range.output, "[0] 4 SelectTexture") && !contains(range.output, "[0] 5 "))
        << range.output;

    expectTool("kxtrace dump " + trace + " --frames 0,3", 2,
               "frame 3 is past the end: the trace has 3 (0 to 2)");
    expectTool("kxtrace dump " + trace + " --calls 5-12", 2, "call 12 is past the end");
    EXPECT_EQ(runTool("kxtrace dump " + trace + " --frames x").exitCode, 2);
}

TEST(KxtraceDump, JsonOneObjectALine) {
    const WorkDir dir("dump");
    const std::string trace = writeSession(dir);
    ToolResult r = runTool("kxtrace dump " + trace + " --json");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> objects = lines(r.output);
    ASSERT_EQ(objects.size(), 12u);
    for (const std::string& o : objects)
        EXPECT_TRUE(o.front() == '{' && o.back() == '}') << o;
    expectContains(objects[6], {"{\"call\":6,\"frame\":0,\"entry\":\"DrawPrimitive\","
                                "\"args\":{\"vertices\":\"0x4000\",\"count\":3}",
                                "\"vertices\":[{\"x\":1,\"y\":2,\"z\":0.5,\"invW\":1,\"u\":0,"
                                "\"v\":0,\"colour\":\"0xFFFFFFFF\"}",
                                "\"texture\":{\"number\":0,\"handle\":\"0x9000\",\"width\":4"});
    expectContains(objects[8], {"\"readsFrame\":0"});
    expectContains(objects[11], {"\"frame\":2"});
}

TEST(KxtraceState, RenderStateAtACall) {
    const WorkDir dir("dump");
    const std::string trace = writeSession(dir);
    ToolResult r = runTool("kxtrace state " + trace + " 9");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    expectContains(r.output,
                   {"state when call 9 is made (frame 1, its call 0)", "driver         started\n",
                    "alpha blend    mode 1\n", "colour key     mode 1, key colour 0xFFFF00FF\n",
                    "texture        texture #0 0x9000 (4 x 2, 8-bit indexed, own palette 0x3000), "
                    "selected at call 4\n",
                    "global palette loaded at call 2\n", "textures       1 loaded (1 ever)\n"});
    expectContains(runTool("kxtrace state " + trace + " 0").output,
                   {"not started", "never set", "none selected"});
    expectTool("kxtrace state " + trace + " 12", 2,
               "call 12 is past the end: the trace has 12 calls (0 to 11)");
}

// A damaged trace gives the reader's message with its offset, for every
// command, and nothing is printed as if it were read.
TEST(KxtraceDump, DamagedTraceIsRefused) {
    const WorkDir dir("dump");
    const std::string cut = truncatedCopy(writeSession(dir));
    for (const char* command : {"dump", "dump --json", "state", "info", "report"}) {
        std::string line = std::string("kxtrace ") + command + " " + cut;
        if (std::string(command) == "state") line += " 1";
        if (std::string(command) == "report") line += " " + (dir / "report.html").string();
        EXPECT_TRUE(contains(expectTool(line, 3, ": offset "), "truncated")) << line;
    }
    EXPECT_FALSE(fs::exists(dir / "report.html"));
}

} // namespace
