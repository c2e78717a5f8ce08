#include "host/wintest/report.h"

#include <cstdarg>
#include <cstdio>

namespace {
int failures = 0;

void printLine(const char* prefix, const char* format, va_list args) {
    std::fputs(prefix, stdout);
    std::vprintf(format, args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
} // namespace

int fail(const char* format, ...) {
    ++failures;
    va_list args;
    va_start(args, format);
    printLine("FAIL: ", format, args);
    va_end(args);
    return failures;
}

void note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    printLine("ok: ", format, args);
    va_end(args);
}

void detail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    printLine("    ", format, args);
    va_end(args);
}

bool check(bool condition, const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (condition) {
        printLine("ok: ", format, args);
    } else {
        ++failures;
        printLine("FAIL: ", format, args);
    }
    va_end(args);
    return condition;
}

int failureCount() {
    return failures;
}
