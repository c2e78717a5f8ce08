// The blit kernel sets by level, and the choice of the one the blits use.
#include "blit/blit_kernels.h"

namespace {

KernelSets<BlitKernelSet> kSets = {&scalarBlitKernels, KX_X86_SET(sse2BlitKernels),
                                   KX_X86_SET(avx2BlitKernels), KX_AVX512_SET(avx512BlitKernels)};

} // namespace

const BlitKernelSet* blitKernelSet(int level) {
    return familyKernelSet(kSets, level);
}

const BlitKernelSet& blitKernels() {
    return *kSets[familyKernelLevel(kSets, kernelLevel())];
}
