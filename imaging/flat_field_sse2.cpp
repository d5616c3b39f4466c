// Flat-field body for Sse2.
#include "imaging/flat_field_body.h"
#include "imaging/simd_ops.h"

VOID ApplyFlatFieldSse2(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count) {
#if defined(__SSE2__)
    FlatFieldBody<Sse2Ops>(Frame, GainMap, Count);
#else
    ApplyFlatFieldScalar(Frame, GainMap, Count);
#endif
}
