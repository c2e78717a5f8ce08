// Which kernel level the processor runs, and the cap on it.
#include "cpu/kernel_level.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32.h"
#include "settings/settings.h"

namespace {

const char* const kNames[kLevelCount] = {"scalar", "sse2", "avx2", "avx512"};

int detectLevel() {
#if defined(KX_X86_KERNELS)
    // libgcc's checks include the operating system's saving of the wider
    // registers (XGETBV) for AVX2 and AVX-512.
    __builtin_cpu_init();
#if defined(KX_AVX512_KERNELS)
    if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512vbmi"))
        return kLevelAvx512;
#endif
    if (__builtin_cpu_supports("avx2")) return kLevelAvx2;
    if (__builtin_cpu_supports("sse2")) return kLevelSse2;
#endif
    return kLevelScalar;
}

} // namespace

const char* kernelLevelName(int level) {
    return level >= 0 && level < kLevelCount ? kNames[level] : nullptr;
}

int processorKernelLevel() {
    static const int level = detectLevel();
    return level;
}

bool gatherInstructionFast() {
#if defined(KX_AVX512_KERNELS)
    static const bool fast = [] {
        __builtin_cpu_init();
        if (!__builtin_cpu_is("intel")) return false;
        FILE* f = std::fopen("/sys/devices/system/cpu/vulnerabilities/gather_data_sampling", "r");
        if (!f) return false; // a kernel too old to say
        char state[32] = {};
        const bool read = std::fgets(state, sizeof state, f) != nullptr;
        std::fclose(f);
        return read && std::strncmp(state, "Not affected", 12) == 0;
    }();
    return fast;
#else
    return false;
#endif
}

int cappedKernelLevel() {
    static const int level = [] {
        int found = processorKernelLevel();
        const std::string& cap = kxSettings().kernels;
        if (cap.empty()) return found;
        int capped = found;
        for (int k = 0; k < found; ++k)
            if (cap == kNames[k]) capped = k;
        return capped;
    }();
    return level;
}

void nameKernelLevel(const char* who, int level) {
    if (kxSettings().source[kSettingKernels] == kFromDefault) return;
    char line[48];
    std::snprintf(line, sizeof line, "%s %s\n", who, kNames[level]);
    OutputDebugStringA(line);
}

int kernelLevel() {
    static const int level = [] {
        const int capped = cappedKernelLevel();
        nameKernelLevel("kxpwrvr: kernels", capped);
        return capped;
    }();
    return level;
}
