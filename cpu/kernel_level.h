// The instruction-set levels that the pixel kernels (blits, read-back, texel
// conversion and scaling) come in, and the one the driver runs. Every level
// gives exactly the pixels of the plain loops; a higher level is only faster.
#pragma once

enum KernelLevel { kLevelScalar, kLevelSse2, kLevelAvx2, kLevelAvx512, kLevelCount };

// The levels this build has kernels for: SSE2 and AVX2 on every x86 build
// (behind run-time checks, the baseline stays i686), AVX-512 on x86-64 Linux.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KX_X86_KERNELS 1
#if defined(__x86_64__) && !defined(_WIN32)
#define KX_AVX512_KERNELS 1
#endif
#endif

// A set of a level that only some builds have, in a family's list.
#if defined(KX_X86_KERNELS)
#define KX_X86_SET(set) &(set)
#else
#define KX_X86_SET(set) nullptr
#endif
#if defined(KX_AVX512_KERNELS)
#define KX_AVX512_SET(set) &(set)
#else
#define KX_AVX512_SET(set) nullptr
#endif

// "scalar", "sse2", "avx2", "avx512"; null outside the range.
const char* kernelLevelName(int level);

// The highest level that this build has kernels for and this processor (and
// its operating system) runs. Scalar code assumes nothing beyond the i686.
int processorKernelLevel();

// Whether the processor's gather instruction fetches scattered elements
// faster than separate loads: on Intel processors that the gather-data-
// sampling mitigation does not slow (the kernel says "Not affected"; x86-64
// Linux, the builds with AVX-512 kernels). Not on AMD's: on Zen 4 it
// measured slower. Chosen once per process.
bool gatherInstructionFast();

// The processor's level lowered to the cap that KXPWRVR_KERNELS names, with
// nothing written: for softsgl, which links this file and names its own.
int cappedKernelLevel();

// A family of kernel sets (blits, texels, spans) lists its sets by level, null
// where this build has none (KX_X86_SET and KX_AVX512_SET write that); the
// scalar level always runs, by the family's plain code where it lists no set.
template <class Set> using KernelSets = const Set* const[kLevelCount];

// The level such a family runs at: the highest it has a set for, at or below
// `wanted` (kernelLevel() or cappedKernelLevel()) and the processor's level.
template <class Set> int familyKernelLevel(KernelSets<Set>& sets, int wanted) {
    int level = wanted < processorKernelLevel() ? wanted : processorKernelLevel();
    while (level > kLevelScalar && !sets[level])
        --level;
    return level;
}

// The family's set of one level, or null where this build or this processor
// has none.
template <class Set> const Set* familyKernelSet(KernelSets<Set>& sets, int level) {
    return level >= 0 && level < kLevelCount && level <= processorKernelLevel() ? sets[level]
                                                                                : nullptr;
}

// While KXPWRVR_KERNELS is set, writes "<who> <level>\n" to the debugger
// output, where a test of a Windows build sees the level chosen.
void nameKernelLevel(const char* who, int level);

// The level the driver's kernels run at: the processor's, lowered to the cap
// named by the environment variable KXPWRVR_KERNELS ("scalar", "sse2",
// "avx2" or "avx512") when that is set; any other value leaves it. Chosen
// once per process and named in the driver's log (diag/); while the variable
// is set, the choice is also written to the debugger output as
// "kxpwrvr: kernels <level>\n". The variable exists so that every level can
// be tested and compared on one machine.
int kernelLevel();
