// Saturation row body for Ssse3.
#include "imaging/saturation.h"

#if defined(__SSSE3__)
#include "imaging/saturation_shuffle.h"
#endif

VOID AdjustRowSsse3(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction) {
#if defined(__SSSE3__)
    SaturationShuffleBody(Row, RowBytes, Factor, Direction);
#else
    AdjustRowScalar(Row, RowBytes, Factor, Direction);
#endif
}
