// Flat-field body for SSE4.1 (widening loads, blends).
#include "imaging/flat_field_body.h"
#include "imaging/simd_ops.h"

VOID ApplyFlatFieldSse41(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count) {
#if defined(__SSE4_1__)
    FlatFieldBody<Sse41Ops>(Frame, GainMap, Count);
#else
    ApplyFlatFieldScalar(Frame, GainMap, Count);
#endif
}
