// Contrast body for Avx2.
#include "imaging/contrast_body.h"
#include "imaging/simd_ops.h"

VOID ContrastRowsAvx2(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast, BOOLEAN Emphasis) {
#if defined(__AVX2__)
    ContrastBody<Avx2Ops>(Width, Height, Frame, Contrast, Emphasis);
#else
    ContrastRowsScalar(Width, Height, Frame, Contrast, Emphasis);
#endif
}
