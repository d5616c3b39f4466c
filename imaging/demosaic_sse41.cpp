// Sse41 demosaic: the 128-bit byte-shuffle body (imaging/demosaic_shuffle.h).
#include "platform/types.h"

#if defined(__SSE4_1__)
#include "imaging/demosaic_shuffle.h"

const DEMOSAIC_KERNELS DemosaicKernelsSse41 = VectorKernels;
#endif
