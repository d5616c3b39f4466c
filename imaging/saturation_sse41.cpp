// Saturation row body for Sse41.
#include "imaging/saturation.h"

#if defined(__SSE4_1__)
#include "imaging/saturation_shuffle.h"
#endif

VOID AdjustRowSse41(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction) {
#if defined(__SSE4_1__)
    SaturationShuffleBody(Row, RowBytes, Factor, Direction);
#else
    AdjustRowScalar(Row, RowBytes, Factor, Direction);
#endif
}
