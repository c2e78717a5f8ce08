// libFuzzer harness for the settings reader: any bytes as kxpwrvr.ini, read
// for the driver's part and for the recorder's ([kxtrace]), then as the
// variables' values. Whatever the file holds, every setting stays in its
// range, a relative path lands in the file's folder, and the messages stay
// few and name what they are about.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/settings.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "settings fuzz check failed: %s\n", what);
    std::abort();
}

void check(const KxSettings& s) {
    if (s.threads < 0 || s.threads > 8) fail("threads out of range");
    if (s.antialias < 1 || s.antialias > 4) fail("antialias out of range");
    if (s.fpsLimit < 0 || s.fpsLimit > 1000) fail("fps_limit out of range");
    if (!s.kernels.empty() && s.kernels != "scalar" && s.kernels != "sse2" && s.kernels != "avx2" &&
        s.kernels != "avx512")
        fail("an unknown kernel level");
    if (s.traceCompress != "lz4" && s.traceCompress != "zstd" && s.traceCompress != "none")
        fail("an unknown compression");
    if (s.problems.size() > 11) fail("more than ten messages and the line that says so");
    for (const std::string& p : s.problems)
        if (p.size() > 200) fail("a message longer than a line");
}

// Absolute: from the root ("/", "\\" on the current drive) or a drive ("C:").
bool absolute(const std::string& path) {
    return !path.empty() &&
           (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

void checkInFolder(const std::string& path, const char* what) {
    if (!path.empty() && !absolute(path) && path.compare(0, 6, "/game/") != 0) fail(what);
}

std::string variableValue;
// Every variable set to the input's first line.
const char* variables(const char*) {
    return variableValue.c_str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    KxSettings s;
    readSettingsText(s, text, "kxpwrvr.ini", "/game/");
    check(s);
    if (s.log != "debug") checkInFolder(s.log, "a relative log path outside the file's folder");
    // The recorder's part of the same bytes: its paths in the folder too,
    // and nothing of the driver's taken.
    KxSettings trace;
    readSettingsText(trace, text, "kxpwrvr.ini", "/game/", kSectionTrace);
    check(trace);
    checkInFolder(trace.traceFile, "a relative trace path outside the file's folder");
    checkInFolder(trace.traceDriver, "a relative driver path outside the file's folder");
    for (int k = 0; k < kDriverSettingCount; ++k)
        if (trace.source[k] != kFromDefault) fail("the recorder took a key of the driver's");
    for (int k = kDriverSettingCount; k < kSettingCount; ++k)
        if (s.source[k] != kFromDefault) fail("the driver took a key of the recorder's");
    // The same bytes as a variable's value (up to the first line's end).
    variableValue = text.substr(0, text.find('\n'));
    readSettingVariables(s, variables);
    check(s);
    readSettingVariables(trace, variables, kSectionTrace);
    check(trace);
    return 0;
}
