// The choice of the blit kernel set.
#include "blit/blit_kernels.h"

const BlitKernelSet* blitKernelSet(int level) {
    if (level < 0 || level > processorKernelLevel()) return nullptr;
    switch (level) {
    case kLevelScalar:
        return &scalarBlitKernels;
#if defined(KX_X86_KERNELS)
    case kLevelSse2:
        return &sse2BlitKernels;
    case kLevelAvx2:
        return &avx2BlitKernels;
#endif
#if defined(KX_AVX512_KERNELS)
    case kLevelAvx512:
        return &avx512BlitKernels;
#endif
    default:
        return nullptr;
    }
}

const BlitKernelSet& blitKernels() {
    static const BlitKernelSet* const chosen = [] {
        int level = kernelLevel();
        while (!blitKernelSet(level))
            --level;
        return blitKernelSet(level);
    }();
    return *chosen;
}
