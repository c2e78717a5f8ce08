// What the cap KXPWRVR_KERNELS gives: the level the pixel kernels run at and
// the line the driver writes to the debugger output. The level is chosen
// once a process, so each cap is tried in a child process of its own.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "cpu/kernel_level.h"
#include "platform/posix/standin_control.h"

namespace {

// The level run under `cap` (null: none), then the debugger lines, one a line.
std::string underCap(const char* cap) {
    int out[2];
    if (pipe(out) != 0) return "(no pipe)";
    pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        if (cap)
            setenv("KXPWRVR_KERNELS", cap, 1);
        else
            unsetenv("KXPWRVR_KERNELS");
        kxstandClearDebugLines();
        std::string text = std::string(kernelLevelName(kernelLevel())) + "\n";
        for (const std::string& line : kxstandDebugLines())
            text += line;
        ssize_t written = write(out[1], text.data(), text.size());
        _exit(written == ssize_t(text.size()) ? 0 : 1);
    }
    close(out[1]);
    std::string text;
    char chunk[256];
    for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "(the child failed)";
}

std::string named(const std::string& level) {
    return level + "\nkxpwrvr: kernels " + level + "\n";
}

} // namespace

// A cap below the processor's level is run and named (a level's name in
// any case, spaces around it aside); one at or above it leaves the
// processor's level, and the driver names that. Without a cap, with an
// empty one and with one that names no level (the settings' reader says
// so), nothing is named.
TEST(KernelLevel, CapsChooseTheLevelRunAndNamed) {
    const int level = processorKernelLevel();
    const std::string processor = kernelLevelName(level);
    EXPECT_EQ(underCap("scalar"), named("scalar"));
#if defined(KX_X86_KERNELS) && defined(__x86_64__)
    EXPECT_EQ(underCap("sse2"), named("sse2")); // every x86-64 processor has SSE2
    EXPECT_EQ(underCap("SSE2 "), named("sse2"));
    EXPECT_EQ(underCap("AVX2"), named(level > kLevelAvx2 ? "avx2" : processor));
#endif
    EXPECT_EQ(underCap("avx512"), named(processor));
    for (const char* cap : {"", "fastest"})
        EXPECT_EQ(underCap(cap), processor + "\n") << '"' << cap << '"';
    EXPECT_EQ(underCap(nullptr), processor + "\n");
}

// A family of kernel sets runs the highest level it has a set for, at or
// below both the level wanted and the processor's; scalar when it has none
// (its plain code). A level it lacks, or the processor lacks, gives no set.
TEST(KernelLevel, AFamilyRunsItsHighestSetWithinTheWantedLevel) {
    static const int sse2 = 1, avx512 = 3;
    KernelSets<int> gaps = {nullptr, &sse2, nullptr, &avx512};
    const int processor = processorKernelLevel();
    const int belowAvx512 = processor >= kLevelSse2 ? kLevelSse2 : kLevelScalar;
    EXPECT_EQ(familyKernelLevel(gaps, kLevelScalar), kLevelScalar);
    EXPECT_EQ(familyKernelLevel(gaps, kLevelSse2), belowAvx512);
    EXPECT_EQ(familyKernelLevel(gaps, kLevelAvx2), belowAvx512);
    EXPECT_EQ(familyKernelLevel(gaps, kLevelAvx512),
              processor == kLevelAvx512 ? kLevelAvx512 : belowAvx512);

    EXPECT_EQ(familyKernelSet(gaps, kLevelScalar), nullptr);
    EXPECT_EQ(familyKernelSet(gaps, kLevelSse2), processor >= kLevelSse2 ? &sse2 : nullptr);
    EXPECT_EQ(familyKernelSet(gaps, kLevelAvx2), nullptr);
    EXPECT_EQ(familyKernelSet(gaps, kLevelAvx512), processor == kLevelAvx512 ? &avx512 : nullptr);
    EXPECT_EQ(familyKernelSet(gaps, -1), nullptr);
    EXPECT_EQ(familyKernelSet(gaps, kLevelCount), nullptr);
}
