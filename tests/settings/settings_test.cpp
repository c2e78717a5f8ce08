// The player's settings: the file's rules line by line, the variables over
// it, and the driver started with a file beside it (its log where the file
// says, what it could not use reported once, nothing written without one).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "api/kxapi.h"
#include "settings/settings.h"

namespace {

KxSettings fromText(const std::string& text) {
    KxSettings s;
    readSettingsText(s, text, "kxpwrvr.ini", "/games/old/");
    return s;
}

TEST(Settings, EveryKeyInAnyCaseWithCommentsAndTheSection) {
    const KxSettings s = fromText("; the player's settings\n"
                                  "[KxPwrVr]\n"
                                  "Log = kx.log ; beside the file\n"
                                  "kernels=SSE2\n"
                                  "  threads =  3\n"
                                  "# a comment\n"
                                  "FILTER = Bilinear\n"
                                  "antialias = 4\r\n"
                                  "dither = ON\n"
                                  "fps_limit = 60"); // no newline at the end
    EXPECT_EQ(s.log, "/games/old/kx.log");
    EXPECT_EQ(s.kernels, "sse2");
    EXPECT_EQ(s.threads, 3);
    EXPECT_TRUE(s.bilinear);
    EXPECT_EQ(s.antialias, 4);
    EXPECT_TRUE(s.dither);
    EXPECT_EQ(s.fpsLimit, 60);
    for (int k = 0; k < kDriverSettingCount; ++k)
        EXPECT_EQ(s.source[k], kFromFile) << settingKeyName(SettingKey(k));
    EXPECT_TRUE(s.problems.empty()) << s.problems[0];
    // An absolute log path stays as it is; "debug" and "off" are words.
    EXPECT_EQ(fromText("log = /tmp/x.log").log, "/tmp/x.log");
    EXPECT_EQ(fromText("log = C:\\games\\x.log").log, "C:\\games\\x.log");
    EXPECT_EQ(fromText("log = Debug").log, "debug");
    EXPECT_EQ(fromText("log = kx.log\nlog = off").log, "");
}

TEST(Settings, BadLinesGiveOneMessageEachAndChangeNothing) {
    const KxSettings s = fromText("fliter = bilinear\n"
                                  "filter = blinear\n"
                                  "antialias = 5\n"
                                  "threads = -1\n"
                                  "fps_limit = 1001\n"
                                  "dither\n"
                                  "[graphics]\n"
                                  "dither = on\n"
                                  "[kxtrace]\n"
                                  "compress = zstd\n"
                                  "[kxpwrvr]\n"
                                  "kernels = " +
                                  std::string(1200, 'x') + "\n" + "dither = on\n");
    const std::vector<std::string> expected = {
        "kxpwrvr.ini line 1: unknown key \"fliter\"; ignored",
        "kxpwrvr.ini line 2: filter = \"blinear\" is not nearest or bilinear; using nearest",
        "kxpwrvr.ini line 3: antialias = \"5\" is not 1, 2, 3 or 4; using 1",
        "kxpwrvr.ini line 4: threads = \"-1\" is not 0 (the processor's cores) to 8; using 0",
        "kxpwrvr.ini line 5: fps_limit = \"1001\" is not 0 (no limit) to 1000; using 0",
        "kxpwrvr.ini line 6: \"dither\" is not key = value; ignored",
        "kxpwrvr.ini line 7: unknown section \"[graphics]\"; its keys are ignored",
        "kxpwrvr.ini line 12: longer than 1,000 characters; ignored"};
    EXPECT_EQ(s.problems, expected);
    // What the bad lines named stays at its default; the good line after counts.
    EXPECT_FALSE(s.bilinear);
    EXPECT_EQ(s.antialias, 1);
    EXPECT_EQ(s.threads, 0);
    EXPECT_EQ(s.fpsLimit, 0);
    EXPECT_EQ(s.kernels, "");
    EXPECT_TRUE(s.dither);
    EXPECT_EQ(s.source[kSettingFilter], kFromDefault);
}

TEST(Settings, FilesThatAreNotTextAreReadUpToTheirFirstBadLine) {
    // Binary bytes: the lines before them count, one message, nothing after.
    KxSettings s = fromText("dither = on\nfilter = bi\x01linear\nantialias = 2\n");
    EXPECT_TRUE(s.dither);
    EXPECT_EQ(s.antialias, 1);
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_EQ(s.problems[0],
              "kxpwrvr.ini line 2: not text (byte 0x01); the rest of the file is ignored");
    // UTF-16, as Notepad may save it: not read at all.
    s = fromText(std::string("\xFF\xFE"
                             "d\0i\0t\0h\0e\0r\0=\0o\0n\0",
                             20));
    EXPECT_FALSE(s.dither);
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_NE(s.problems[0].find("UTF-16"), std::string::npos);
    // Ten megabytes of settings: not a settings file.
    s = fromText(std::string(10 << 20, '\n') + "dither = on\n");
    EXPECT_FALSE(s.dither);
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_NE(s.problems[0].find("larger than 64 KiB"), std::string::npos);
    // A UTF-8 byte order mark and UTF-8 text in a comment are text.
    s = fromText("\xEF\xBB\xBF; r\xC3\xA9glages\ndither = on\n");
    EXPECT_TRUE(s.dither);
    EXPECT_TRUE(s.problems.empty());
    // A page of mistakes lists ten and says there were more.
    std::string junk;
    for (int i = 0; i < 50; ++i)
        junk += "nonsense\n";
    s = fromText(junk);
    ASSERT_EQ(s.problems.size(), 11u);
    EXPECT_EQ(s.problems.back(), "and more lines like these");
}

// The recorder's part, [kxtrace], beside the driver's: each reader reads its
// own and passes the other's by without a word.
const char* const kBothParts = "dither = on\n"
                               "[kxtrace]\n"
                               "file = traces/game\n"
                               "compress = fast\n"
                               "driver = C:\\old\\kxpwrvr.dll\n"
                               "filter = bilinear\n"
                               "[KXPWRVR]\n"
                               "compress = zstd\n"
                               "threads = 2\n"
                               "[kxtrace]\n"
                               "compress = ZSTD\n";

TEST(Settings, TheDriverPassesTheRecordersPartBy) {
    const KxSettings s = fromText(kBothParts);
    EXPECT_TRUE(s.dither);
    EXPECT_FALSE(s.bilinear); // under [kxtrace]
    EXPECT_EQ(s.threads, 2);
    // Nothing of the recorder's part taken or judged; its key in the
    // driver's part is a mistake.
    EXPECT_EQ(s.traceFile, "");
    EXPECT_EQ(s.traceCompress, "lz4");
    EXPECT_EQ(s.source[kSettingTraceCompress], kFromDefault);
    const std::vector<std::string> expected = {
        "kxpwrvr.ini line 8: \"compress\" is the recorder's key, read under [kxtrace]; ignored"};
    EXPECT_EQ(s.problems, expected);
}

TEST(Settings, TheRecorderReadsItsOwnPartAlone) {
    KxSettings s;
    readSettingsText(s, kBothParts, "kxpwrvr.ini", "/games/old/", kSectionTrace);
    // A relative file from the file's folder, an absolute driver as it is;
    // the bad line keeps the default and the later good one counts.
    EXPECT_EQ(s.traceFile, "/games/old/traces/game");
    EXPECT_EQ(s.traceDriver, "C:\\old\\kxpwrvr.dll");
    EXPECT_EQ(s.traceCompress, "zstd");
    EXPECT_EQ(s.source[kSettingTraceCompress], kFromFile);
    EXPECT_FALSE(s.dither);
    EXPECT_EQ(s.threads, 0);
    const std::vector<std::string> expected = {
        "kxpwrvr.ini line 4: compress = \"fast\" is not lz4, zstd or none; using lz4",
        "kxpwrvr.ini line 6: \"filter\" is the driver's key, read before any section or under "
        "[kxpwrvr]; ignored"};
    EXPECT_EQ(s.problems, expected);
    // Section headers, and the lines under an unknown one, are the driver's
    // reader's to judge; a line past text stops both.
    const std::string unknown = "[graphics]\n" + std::string(1200, 'x') + "\n";
    KxSettings driver = fromText(unknown), recorder;
    readSettingsText(recorder, unknown, "kxpwrvr.ini", "", kSectionTrace);
    EXPECT_EQ(driver.problems.size(), 2u);
    EXPECT_TRUE(recorder.problems.empty()) << recorder.problems[0];
    KxSettings other;
    readSettingsText(other, "[graphics\n[sound]\n[kxtrace]\nfile = a\x01\nfile = b\n", "x.ini", "",
                     kSectionTrace);
    ASSERT_EQ(other.problems.size(), 1u);
    EXPECT_EQ(other.problems[0],
              "x.ini line 4: not text (byte 0x01); the rest of the file is ignored");
    EXPECT_EQ(other.traceFile, "");
}

const char* traceVariable(const char* name) {
    const std::string n = name;
    if (n == "KXTRACE_FILE") return "run";
    if (n == "KXTRACE_COMPRESS") return "0"; // as it was read before there was a file
    if (n == "KXPWRVR_DITHER") return "on";
    return nullptr;
}

TEST(Settings, TheRecordersVariablesOverItsPart) {
    KxSettings s;
    readSettingsText(s, "[kxtrace]\nfile = traces/game\ncompress = zstd\n", "kxpwrvr.ini", "/g/",
                     kSectionTrace);
    readSettingVariables(s, traceVariable, kSectionTrace);
    EXPECT_EQ(s.traceFile, "run"); // where the program runs, as ever
    EXPECT_EQ(s.traceCompress, "none");
    EXPECT_EQ(s.source[kSettingTraceFile], kFromVariable);
    EXPECT_FALSE(s.dither); // the driver's variable is the driver's
    EXPECT_EQ(settingVariableName(kSettingTraceCompress), "KXTRACE_COMPRESS");
    EXPECT_EQ(settingVariableName(kSettingFpsLimit), "KXPWRVR_FPS_LIMIT");
}

const char* variable(const char* name) {
    const std::string n = name;
    if (n == "KXPWRVR_FILTER") return "bilinear";
    if (n == "KXPWRVR_ANTIALIAS") return "9";
    if (n == "KXPWRVR_LOG") return "run.log";
    if (n == "KXPWRVR_DITHER") return ""; // empty: as if not set
    return nullptr;
}

TEST(Settings, VariablesOverTheFile) {
    KxSettings s = fromText("filter = nearest\nantialias = 3\ndither = on\n");
    readSettingVariables(s, variable);
    EXPECT_TRUE(s.bilinear);
    EXPECT_EQ(s.source[kSettingFilter], kFromVariable);
    // A bad variable keeps the file's value, and says so.
    EXPECT_EQ(s.antialias, 3);
    EXPECT_EQ(s.source[kSettingAntialias], kFromFile);
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_EQ(s.problems[0], "KXPWRVR_ANTIALIAS=\"9\" is not 1, 2, 3 or 4; using 3");
    // A variable's relative log is where the program runs, as it always was.
    EXPECT_EQ(s.log, "run.log");
    EXPECT_TRUE(s.dither);
    EXPECT_EQ(settingValueText(s, kSettingFilter), "bilinear");
    EXPECT_EQ(settingValueText(s, kSettingKernels), "best");
}

// A folder of its own for a test that writes files.
std::string freshFolder() {
    char pattern[] = "/tmp/kxsettingsXXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? std::string(made) + "/" : std::string();
}

std::string contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Settings, TheDriverLogsWhereTheFileSaysAndReportsItsBadLinesOnce) {
    const std::string folder = freshFolder();
    ASSERT_FALSE(folder.empty());
    std::ofstream(folder + "kxpwrvr.ini") << "[kxpwrvr]\nlog = driver.log\nfilter = blinear\n";
    setenv("KXPWRVR_INI", (folder + "kxpwrvr.ini").c_str(), 1);
    unsetenv("KXPWRVR_LOG");
    ASSERT_EQ(Init(), 1);
    Shutdown();
    ASSERT_EQ(Init(), 1);
    Shutdown();
    const std::string log = contents(folder + "driver.log");
    const std::string line = "settings: kxpwrvr.ini line 3: filter = \"blinear\" is not nearest or "
                             "bilinear; using nearest";
    const size_t first = log.find(line);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << "reported twice:\n" << log;
    EXPECT_EQ(kxSettings().file, folder + "kxpwrvr.ini");
    EXPECT_EQ(kxSettings().source[kSettingLog], kFromFile);
}

TEST(Settings, WithoutAFileTheDriverWritesNothing) {
    const std::string folder = freshFolder();
    ASSERT_FALSE(folder.empty());
    setenv("KXPWRVR_INI", (folder + "kxpwrvr.ini").c_str(), 1); // not there
    unsetenv("KXPWRVR_LOG");
    ASSERT_EQ(Init(), 1);
    Shutdown();
    EXPECT_EQ(kxSettings().file, "");
    for (int k = 0; k < kDriverSettingCount; ++k)
        EXPECT_EQ(kxSettings().source[k], kFromDefault);
    // The named file is missing: said, and nothing made in its folder.
    ASSERT_EQ(kxSettings().problems.size(), 1u);
    EXPECT_NE(kxSettings().problems[0].find("cannot be read"), std::string::npos);
    EXPECT_EQ(rmdir(folder.c_str()), 0) << "the folder is no longer empty";
}

} // namespace
