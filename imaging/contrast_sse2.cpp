// Contrast body for Sse2.
#include "imaging/contrast_body.h"
#include "imaging/simd_ops.h"

VOID ContrastRowsSse2(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast, BOOLEAN Emphasis) {
#if defined(__SSE2__)
    ContrastBody<Sse2Ops>(Width, Height, Frame, Contrast, Emphasis);
#else
    ContrastRowsScalar(Width, Height, Frame, Contrast, Emphasis);
#endif
}
