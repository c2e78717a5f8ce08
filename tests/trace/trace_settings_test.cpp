// The settings a trace keeps in its information record: what the recorder
// writes reads back the same, a line break cannot break the record, and a key
// a newer recorder might write is a note that leaves the rest in force, in
// kxtrace info and in kxreplay.
#include <gtest/gtest.h>

#include <string>

#include "tests/trace/tool_run.h"
#include "trace/trace_settings.h"
#include "trace/trace_writer.h"

namespace {

TEST(TraceSettings, WhatTheRecorderWritesReadsBack) {
    KxSettings in;
    in.bilinear = true;
    in.antialias = 3;
    in.fpsLimit = 60;
    in.kernels = "sse2";
    in.log = "C:\\games\\kx.log\nsetting.dither=on"; // a variable may hold a line break
    Trace trace;
    trace.info = "program=game\n" + settingsInfoLines(in);
    KxSettings out;
    ASSERT_TRUE(recordedSettings(trace, out));
    EXPECT_TRUE(out.problems.empty()) << out.problems[0];
    EXPECT_TRUE(out.bilinear);
    EXPECT_EQ(out.antialias, 3);
    EXPECT_EQ(out.fpsLimit, 60);
    EXPECT_EQ(out.kernels, "sse2");
    EXPECT_FALSE(out.dither) << "the log's line break made a line of its own";
    EXPECT_EQ(out.log, "C:\\games\\kx.log?setting.dither=on");
    // Recorded or not, the defaults read the same: no difference.
    Trace old;
    old.info = "program=game\n";
    KxSettings defaults;
    EXPECT_FALSE(recordedSettings(old, defaults));
    trace.info = "program=game\n" + settingsInfoLines(KxSettings{});
    ASSERT_TRUE(recordedSettings(trace, out));
    EXPECT_TRUE(settingDifferences(out, defaults).empty());
    in.log.clear();
    const std::vector<SettingKey> differ = settingDifferences(in, defaults);
    EXPECT_EQ(differ, (std::vector<SettingKey>{kSettingKernels, kSettingFilter, kSettingAntialias,
                                               kSettingFpsLimit}));
}

TEST(TraceSettings, AKeyOfANewerRecorderIsANote) {
    WorkDir dir("trace_settings");
    const std::string path = (dir / "newer.kxtrace").string();
    TraceWriter w;
    std::string error;
    ASSERT_TRUE(openTrace(w, path, kCompressionNone,
                          "program=game\nsystem=linux\nsetting.filter=bilinear\n"
                          "setting.sharpen=on\nsetting.dither=on\n",
                          error))
        << error;
    closeTrace(w);
    ToolResult info = runTool("kxtrace info " + path);
    EXPECT_EQ(info.exitCode, 0) << info.output;
    expectContains(
        info.output,
        {"settings       filter = bilinear, antialias = 1, dither = on, fps_limit = 0",
         "kxtrace: note: the trace's settings line 2: unknown key \"sharpen\"; ignored"});
    ToolResult replay = runTool("kxreplay " + path);
    EXPECT_EQ(replay.exitCode, 0) << replay.output;
    expectContains(replay.output,
                   {"kxreplay: settings filter = bilinear, antialias = 1, dither = on, "
                    "fps_limit = 0 (recorded in the trace)",
                    "kxreplay: settings: not used: the trace's settings line 2: unknown key "
                    "\"sharpen\"; ignored"});
}

} // namespace
