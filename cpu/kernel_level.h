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

// "scalar", "sse2", "avx2", "avx512"; null outside the range.
const char* kernelLevelName(int level);

// The highest level that this build has kernels for and this processor (and
// its operating system) runs. Scalar code assumes nothing beyond the i686.
int processorKernelLevel();

// The processor's level lowered to the cap that KXPWRVR_KERNELS names, with
// nothing written: for softsgl, which links this file and names its own.
int cappedKernelLevel();

// The level the driver's kernels run at: the processor's, lowered to the cap
// named by the environment variable KXPWRVR_KERNELS ("scalar", "sse2",
// "avx2" or "avx512") when that is set; any other value leaves it. Chosen
// once per process and named in the driver's log (diag/); while the variable
// is set, the choice is also written to the debugger output as
// "kxpwrvr: kernels <level>\n". The variable exists so that every level can
// be tested and compared on one machine.
int kernelLevel();
