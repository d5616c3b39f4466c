// Row-pair kernels behind the demosaic variants (internal to imaging/).
//
// A kernel turns source rows 2k and 2k + 1 of the raw frame into two output rows. Row points at
// source row 2k; the kernel reads rows 2k .. 2k + 2 and the first sample of row 2k + 3.
// Forward kernels put source column x at output column x, reversed kernels at W - 1 - x.
// Scalar kernels work on source columns [FirstX, EndX) so the vector kernels can hand them
// the columns left over after their last full vector.
#pragma once

#include "imaging/cpu_features.h"
#include "platform/types.h"

typedef VOID DEMOSAIC_ROW_PAIR(const UCHAR* Row, ULONG Width, PUCHAR OutputEven,
                               PUCHAR OutputOdd);

typedef VOID DEMOSAIC_SCALAR_SPAN(const UCHAR* Row, ULONG Width, ULONG FirstX, ULONG EndX,
                                  PUCHAR OutputEven, PUCHAR OutputOdd);

struct DEMOSAIC_KERNELS {
    DEMOSAIC_ROW_PAIR* ColourForward;
    DEMOSAIC_ROW_PAIR* ColourReversed;
    DEMOSAIC_ROW_PAIR* GreyForward;
    DEMOSAIC_ROW_PAIR* GreyReversed;
};

DEMOSAIC_SCALAR_SPAN ColourSpanForward;
DEMOSAIC_SCALAR_SPAN ColourSpanReversed;
DEMOSAIC_SCALAR_SPAN GreySpanForward;
DEMOSAIC_SCALAR_SPAN GreySpanReversed;

// Kernel sets per vector level; a set is null when the build has no body for that level.
extern const DEMOSAIC_KERNELS DemosaicKernelsScalar;
extern const DEMOSAIC_KERNELS DemosaicKernelsSse2;
extern const DEMOSAIC_KERNELS DemosaicKernelsSsse3;
extern const DEMOSAIC_KERNELS DemosaicKernelsSse41;
extern const DEMOSAIC_KERNELS DemosaicKernelsAvx2;
extern const DEMOSAIC_KERNELS DemosaicKernelsAvx512;
