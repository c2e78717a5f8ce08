#include "diag/diag.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "cpu/kernel_level.h"
#include "platform/win32.h"
#include "settings/settings.h"

#ifndef KX_VERSION
#define KX_VERSION "unknown"
#endif

namespace {

KxDiagnosticSink diagnosticSink = nullptr;

enum LogTarget { kLogUnread, kLogNone, kLogFile, kLogDebugger };
LogTarget logTarget = kLogUnread;
const char* logPath = nullptr;
int logged = 0;

// Read once, at the first message: the player's settings.
LogTarget readLogTarget() {
    const std::string& value = kxSettings().log;
    if (value.empty()) return kLogNone;
    if (value == "debug") return kLogDebugger;
    logPath = value.c_str();
    return kLogFile;
}

// "2025-07-03 18:40:01.123 ", local time.
void timeStamp(char* out, size_t size) {
    using namespace std::chrono;
    const system_clock::time_point now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const int millis = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    const std::tm* local = std::localtime(&seconds);
    size_t n = local ? std::strftime(out, size, "%Y-%m-%d %H:%M:%S", local) : 0;
    std::snprintf(out + n, size - n, ".%03d ", millis);
}

void writeLine(const char* message) {
    if (logTarget == kLogNone) return; // the file could not be opened
    if (logTarget == kLogDebugger) {
        // Named as the driver's among the other lines of the debugger output.
        if (std::strncmp(message, "kxpwrvr", 7) == 0) {
            OutputDebugStringA(message);
            return;
        }
        char line[560];
        std::snprintf(line, sizeof line, "kxpwrvr: %s", message);
        OutputDebugStringA(line);
        return;
    }
    // Opened for each message and closed again: the file is complete at
    // every moment, also when the host crashes, and stays free for others.
    FILE* file = std::fopen(logPath, "a");
    if (!file) {
        char line[600];
        std::snprintf(line, sizeof line, "kxpwrvr: cannot open the log file %s\n", logPath);
        OutputDebugStringA(line);
        logTarget = kLogNone;
        return;
    }
    char stamp[40];
    timeStamp(stamp, sizeof stamp);
    std::fputs(stamp, file);
    std::fputs(message, file);
    std::fclose(file);
}

void logMessage(const char* message) {
    if (logged == 0) {
        // The heading names what a report needs besides the messages.
        char heading[160];
        std::snprintf(heading, sizeof heading,
                      "kxpwrvr " KX_VERSION ", pixel kernels %s (the processor's best: %s): "
                      "messages of this run follow\n",
                      kernelLevelName(kernelLevel()), kernelLevelName(processorKernelLevel()));
        writeLine(heading);
    }
    if (++logged <= kMaxLogMessages) {
        writeLine(message);
        if (logged == kMaxLogMessages)
            writeLine("kxpwrvr: that was the last message this run logs\n");
    }
}

} // namespace

void kxReportSettingProblems() {
    static bool reported = false;
    if (reported) return;
    reported = true;
    if (!diagnosticSink && logTarget == kLogUnread) logTarget = readLogTarget();
    for (const std::string& problem : kxSettings().problems) {
        if (diagnosticSink || logTarget != kLogNone) {
            kxPrint("settings: %s\n", problem.c_str());
        } else {
            const std::string line = "kxpwrvr: settings: " + problem + "\n";
            OutputDebugStringA(line.c_str());
        }
    }
}

void kxSetDiagnosticSink(KxDiagnosticSink sink) {
    diagnosticSink = sink;
}

int kxPrint(const char* format, ...) {
    if (!diagnosticSink) {
        if (logTarget == kLogUnread) logTarget = readLogTarget();
        // Nothing listens: formatting would be wasted work.
        if (logTarget == kLogNone) return 0;
    }
    char message[512];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (diagnosticSink)
        diagnosticSink(message);
    else
        logMessage(message);
    return 0;
}
