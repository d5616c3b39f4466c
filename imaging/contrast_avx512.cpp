// Contrast body for Avx512.
#include "imaging/contrast_body.h"
#include "imaging/simd_ops.h"

VOID ContrastRowsAvx512(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast, BOOLEAN Emphasis) {
#if defined(__AVX512BW__)
    ContrastBody<Avx512Ops>(Width, Height, Frame, Contrast, Emphasis);
#else
    ContrastRowsScalar(Width, Height, Frame, Contrast, Emphasis);
#endif
}
