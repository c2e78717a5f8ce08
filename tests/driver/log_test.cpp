// The log a player asks for with KXPWRVR_LOG: a file that the driver's
// messages are appended to with the time, or the debugger output; nothing
// without the variable. No sink is installed here: each test runs in a
// process of its own, so the variable is read afresh at its first message.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "softsgl/softsgl_control.h"

namespace {

// At most this many messages of a process reach the log.
constexpr int kMaxMessages = 10000;

std::string logFile() {
    return ::testing::TempDir() + "kxpwrvr_log_" + std::to_string(getpid()) + ".txt";
}

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The message part of a log line, after its time; "" for a line without one.
std::string message(const std::string& line) {
    static const std::regex stamped(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*)$)");
    std::smatch m;
    return std::regex_match(line, m, stamped) ? m[1].str() : "";
}

std::vector<std::string> driverDebugLines() {
    std::vector<std::string> lines;
    for (const std::string& line : kxstandDebugLines())
        if (line.rfind("kxpwrvr", 0) == 0) lines.push_back(line);
    return lines;
}

} // namespace

TEST(Log, FileGetsTheFailingStartStepsAfterTheDirectDrawResultWithTheTime) {
    const std::string path = logFile();
    std::ofstream(path) << "a line the player's file held before\n";
    setenv("KXPWRVR_LOG", path.c_str(), 1);

    kxstandSetModeSupported(false);
    EXPECT_EQ(Init(), 0);
    kxstandSetModeSupported(true);
    ASSERT_EQ(Init(), 1);
    Shutdown();

    const std::vector<std::string> lines = readLines(path);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "a line the player's file held before");
    std::vector<std::string> messages;
    for (size_t i = 1; i < lines.size(); ++i) {
        messages.push_back(message(lines[i]));
        EXPECT_FALSE(messages.back().empty()) << "no time on: " << lines[i];
    }
    EXPECT_EQ(messages[0].rfind("kxpwrvr ", 0), 0u) << messages[0];
    EXPECT_NE(messages[0].find(": messages of this run follow"), std::string::npos);
    // The refused mode, the step it stopped, the entry point: in this order.
    const std::vector<std::string> failure = {
        "KX: debugDDrawErrMsg, DDERR_UNSUPPORTED (0x80004001)",
        "ddSetDisplayMode, SetDisplayMode 640 x 480 x 16 failure!", "Init, ddrawInit failure!"};
    ASSERT_GE(messages.size(), 1 + failure.size());
    EXPECT_EQ(std::vector<std::string>(messages.begin() + 1, messages.begin() + 1 + failure.size()),
              failure);
    // The good start that followed logged its own messages after them.
    EXPECT_NE(std::find_if(messages.begin() + 4, messages.end(),
                           [](const std::string& m) { return m.rfind("kxCache::Init", 0) == 0; }),
              messages.end());
    // Nothing of the log went to the debugger.
    EXPECT_TRUE(driverDebugLines().empty());
    std::remove(path.c_str());
}

TEST(Log, DebugSendsTheMessagesToTheDebuggerOutput) {
    setenv("KXPWRVR_LOG", "debug", 1);
    softsglSetVersionText("0045h");
    EXPECT_EQ(Init(), 0);
    const std::vector<std::string> lines = driverDebugLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("kxpwrvr 0.", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "kxpwrvr: Init, Detect failure: the SGL library's version is 0045h, "
                        "0046h or later needed\n");
}

TEST(Log, WithoutTheVariableTheDriverWritesNothing) {
    unsetenv("KXPWRVR_LOG");
    kxstandSetModeSupported(false);
    EXPECT_EQ(Init(), 0);
    ssZBufferCompareMode(0); // a message every call
    for (const std::string& line : kxstandDebugLines())
        EXPECT_EQ(line.find("Init, ddrawInit failure"), std::string::npos) << line;
    EXPECT_TRUE(driverDebugLines().empty());
}

TEST(Log, StopsAfterItsLimitSayingSo) {
    const std::string path = logFile();
    std::remove(path.c_str());
    setenv("KXPWRVR_LOG", path.c_str(), 1);
    for (int i = 0; i < kMaxMessages + 50; ++i)
        ssZBufferCompareMode(0);
    const std::vector<std::string> lines = readLines(path);
    // The heading, the messages up to the limit, the line that says so.
    ASSERT_EQ(lines.size(), size_t(kMaxMessages) + 2);
    EXPECT_EQ(message(lines[1]), "ssZBufferCompareMode called: No effect");
    EXPECT_EQ(message(lines[kMaxMessages]), "ssZBufferCompareMode called: No effect");
    EXPECT_EQ(message(lines.back()), "kxpwrvr: that was the last message this run logs");
    std::remove(path.c_str());
}

TEST(Log, AFileThatCannotBeOpenedIsNamedOnTheDebuggerOnce) {
    setenv("KXPWRVR_LOG", "/nonexistent-folder/kxpwrvr.log", 1);
    ssZBufferCompareMode(0);
    ssZBufferCompareMode(0);
    EXPECT_EQ(driverDebugLines(),
              std::vector<std::string>{
                  "kxpwrvr: cannot open the log file /nonexistent-folder/kxpwrvr.log\n"});
}
