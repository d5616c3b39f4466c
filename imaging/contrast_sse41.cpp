// Contrast body for SSE4.1 (widening loads, blends).
#include "imaging/contrast_body.h"
#include "imaging/simd_ops.h"

VOID ContrastRowsSse41(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast, BOOLEAN Emphasis) {
#if defined(__SSE4_1__)
    ContrastBody<Sse41Ops>(Width, Height, Frame, Contrast, Emphasis);
#else
    ContrastRowsScalar(Width, Height, Frame, Contrast, Emphasis);
#endif
}
