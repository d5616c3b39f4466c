// Saturation row body for Avx2.
#include "imaging/saturation_body.h"
#include "imaging/simd_ops.h"

VOID AdjustRowAvx2(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction) {
#if defined(__AVX2__)
    SaturationBody<Avx2Ops>(Row, RowBytes, Factor, Direction);
#else
    AdjustRowScalar(Row, RowBytes, Factor, Direction);
#endif
}
