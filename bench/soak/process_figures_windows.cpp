#include "bench/soak/process_figures.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <windows.h>

#include <psapi.h>

namespace {

// Handle values are multiples of 4 handed out from the lowest free one, so
// the count stops after a long run of values that are no handle.
long countHandles() {
    long count = 0;
    int misses = 0;
    for (uintptr_t value = 4; misses < 4096; value += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            misses = 0;
        } else {
            ++misses;
        }
    }
    return count;
}

uint64_t committedPrivateBytes() {
    uint64_t total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize <= at) break;
    }
    return total;
}

} // namespace

ProcessFigures processFigures() {
    ProcessFigures f;
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles)) f.handles = long(handles);
    f.countedHandles = countHandles();
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        // Wine 8 leaves PrivateUsage 0 and gives the same figure as
        // PagefileUsage, as Windows does for both.
        f.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    f.committedBytes = committedPrivateBytes();
    return f;
}

void leakOneHandle() {
    CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

void leakOneMebibyte() {
    // Touched, so that it is not only reserved, and kept where the compiler
    // cannot drop it.
    static std::vector<void*> leaked;
    leaked.push_back(std::memset(std::malloc(1 << 20), 0x5A, 1 << 20));
}
