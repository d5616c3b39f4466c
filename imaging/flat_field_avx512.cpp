// Flat-field body for Avx512.
#include "imaging/flat_field_body.h"
#include "imaging/simd_ops.h"

VOID ApplyFlatFieldAvx512(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count) {
#if defined(__AVX512BW__)
    FlatFieldBody<Avx512Ops>(Frame, GainMap, Count);
#else
    ApplyFlatFieldScalar(Frame, GainMap, Count);
#endif
}
