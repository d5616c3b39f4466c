// Saturation row body for Sse2.
#include "imaging/saturation_body.h"
#include "imaging/simd_ops.h"

VOID AdjustRowSse2(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction) {
#if defined(__SSE2__)
    SaturationBody<Sse2Ops>(Row, RowBytes, Factor, Direction);
#else
    AdjustRowScalar(Row, RowBytes, Factor, Direction);
#endif
}
