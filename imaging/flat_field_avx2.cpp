// Flat-field body for Avx2.
#include "imaging/flat_field_body.h"
#include "imaging/simd_ops.h"

VOID ApplyFlatFieldAvx2(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count) {
#if defined(__AVX2__)
    FlatFieldBody<Avx2Ops>(Frame, GainMap, Count);
#else
    ApplyFlatFieldScalar(Frame, GainMap, Count);
#endif
}
