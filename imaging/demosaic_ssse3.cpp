// Ssse3 demosaic: the 128-bit byte-shuffle body (imaging/demosaic_shuffle.h).
#include "platform/types.h"

#if defined(__SSSE3__)
#include "imaging/demosaic_shuffle.h"

const DEMOSAIC_KERNELS DemosaicKernelsSsse3 = VectorKernels;
#endif
