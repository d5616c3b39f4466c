// The gamma table and the logarithm table.
#include "imaging/gamma_table.h"

#include <math.h>

VOID FillGammaTable(double* GammaTable) {
    // Written in this order so that entry 16 comes out as exactly 1.0, which the tone stage
    // recognises as "no tone mapping".
    for (LONG Index = 0; Index <= NeutralGammaIndex; ++Index) {
        GammaTable[Index] = Index * (2.0 / 3.0) / 16.0 + 1.0 / 3.0;
    }
    for (LONG Index = NeutralGammaIndex + 1; Index < static_cast<LONG>(GammaTableEntries); ++Index) {
        GammaTable[Index] = (Index - NeutralGammaIndex) * 2.0 / 16.0 + 1.0;
    }
    // 1/3 would darken to near black; the lowest choice is offered twice instead.
    GammaTable[0] = GammaTable[1];
}

VOID FillLogTable(double* LogTable) {
    LogTable[0] = 0.0;
    for (ULONG Index = 1; Index < LogTableEntries; ++Index) {
        LogTable[Index] = log10(static_cast<double>(Index));
    }
}

LONG ClampGammaIndex(LONG Gamma) {
    if (Gamma < 0) return 0;
    if (Gamma >= static_cast<LONG>(GammaTableEntries)) return GammaTableEntries - 1;
    return Gamma;
}

double GammaForIndex(const double* GammaTable, LONG Gamma) {
    return GammaTable[ClampGammaIndex(Gamma)];
}
