// Saturation row body for Avx512.
#include "imaging/saturation_body.h"
#include "imaging/simd_ops.h"

VOID AdjustRowAvx512(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction) {
#if defined(__AVX512BW__)
    SaturationBody<Avx512Ops>(Row, RowBytes, Factor, Direction);
#else
    AdjustRowScalar(Row, RowBytes, Factor, Direction);
#endif
}
