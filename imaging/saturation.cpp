// Saturation stage: factor limits, scalar body and choice of body.
#include "imaging/saturation.h"

#include "imaging/saturation_kernel.h"
#include "imaging/scalar_reference.h"
#include "imaging/stage_bodies.h"

namespace {

LONG LimitFactor(LONGLONG Factor) {
    if (Factor < 0) return 0;
    return Factor > MaxSaturationFactor ? MaxSaturationFactor : static_cast<LONG>(Factor);
}

VOID AdjustRow(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction) {
    ActiveStageBodies().AdjustSaturationRow(Row, RowBytes, Factor, Direction);
}

}  // namespace

SCALAR_REFERENCE VOID AdjustRowScalar(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction) {
    for (ULONG Offset = 0; Offset + 3 <= RowBytes; Offset += 3) {
        AdjustPixel(Row + Offset, Factor, Direction);
    }
}

VOID DesaturateRow(PUCHAR Row, ULONG RowBytes, LONG Factor) {
    AdjustRow(Row, RowBytes, LimitFactor(Factor), -1);
}

VOID SaturateRow(PUCHAR Row, ULONG RowBytes, LONG Factor) {
    AdjustRow(Row, RowBytes, LimitFactor(Factor), 1);
}

VOID AdjustSaturation(PUCHAR Image, ULONG Width, ULONG Height, ULONG Saturntion) {
    const LONGLONG Setting = static_cast<LONG>(Saturntion);
    const LONGLONG Neutral = NeutralSaturation;
    if (Setting == Neutral || Height < 3) return;
    const ULONG RowBytes = 3 * Width;
    for (ULONG Row = 1; Row + 1 < Height; ++Row) {
        const PUCHAR Line = Image + static_cast<SIZE_T>(Row) * RowBytes;
        if (Setting < Neutral) {
            DesaturateRow(Line, RowBytes, LimitFactor(Neutral - Setting));
        } else {
            SaturateRow(Line, RowBytes, LimitFactor(Setting - Neutral));
        }
    }
}
