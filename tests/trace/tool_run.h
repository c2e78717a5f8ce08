// Running the trace programs as a developer does, from the build's bin/
// folder, with their output and exit code.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

struct ToolResult {
    int exitCode = -1;
    std::string output; // stdout and stderr together
};

// `command` starts with the program's name in bin/, e.g. "kximgdiff a.png b.png".
inline ToolResult runTool(const std::string& command) {
    ToolResult r;
    FILE* pipe = popen((std::string(KX_TRACE_BIN_DIR) + "/" + command + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.output.append(buffer, n);
    int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every one of `parts` is in `text`.
inline void expectContains(const std::string& text, std::initializer_list<std::string> parts) {
    for (const std::string& part : parts)
        EXPECT_TRUE(contains(text, part)) << "no \"" << part << "\" in:\n" << text;
}

// Runs `command`, which must end with `exitCode` and print `text`; returns
// what it printed.
inline std::string expectTool(const std::string& command, int exitCode, const std::string& text) {
    ToolResult r = runTool(command);
    EXPECT_EQ(r.exitCode, exitCode) << command << ": " << r.output;
    EXPECT_TRUE(contains(r.output, text)) << command << ": " << r.output;
    return r.output;
}

// A copy of the file at `path` without its last 30 bytes (a trace cut short
// inside its last record), beside it as `path`.cut; returns its path.
inline std::string truncatedCopy(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string cut = path + ".cut";
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() - 30);
    return cut;
}

// A folder of this process alone (other builds may run the same tests at
// once), removed when the test ends unless it failed.
struct WorkDir : std::filesystem::path {
    explicit WorkDir(const std::string& name)
        : std::filesystem::path(std::filesystem::path(::testing::TempDir()) /
                                ("kx_" + name + "_" + std::to_string(getpid()))) {
        std::filesystem::remove_all(*this);
        std::filesystem::create_directories(*this);
    }
    ~WorkDir() {
        if (!::testing::Test::HasFailure()) std::filesystem::remove_all(*this);
    }
};
