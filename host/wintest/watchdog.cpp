#include "host/wintest/watchdog.h"

#include <windows.h>

#include <cstdio>

#include "host/wintest/report.h"

namespace {
DWORD WINAPI watch(void* parameter) {
    const unsigned seconds = static_cast<unsigned>(reinterpret_cast<uintptr_t>(parameter));
    Sleep(seconds * 1000);
    std::printf("FAIL: watchdog: still running after %u s, aborting\n", seconds);
    std::printf("DONE: %d failure(s)\n", failureCount() + 1);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return 0;
}
} // namespace

void startWatchdog(unsigned seconds) {
    HANDLE thread = CreateThread(
        nullptr, 0, watch, reinterpret_cast<void*>(static_cast<uintptr_t>(seconds)), 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        fail("could not start the watchdog thread (error %lu)", GetLastError());
}
