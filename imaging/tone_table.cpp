// Gamma tone table: construction by logarithm search, and the per-frame mapping.
#include "imaging/tone_table.h"

#include "imaging/scalar_reference.h"
#include "imaging/stage_bodies.h"
#include "imaging/table_access.h"

UCHAR NearestLogIndex(double L, const double* LogTable) {
    ULONG Low = 1;
    ULONG High = 255;
    ULONG Middle = 128;
    for (;;) {
        if (L <= LogTable[Middle]) {
            if (L >= LogTable[Middle - 1]) {
                const bool LowerIsNearer = (L - LogTable[Middle - 1]) < (LogTable[Middle] - L);
                return static_cast<UCHAR>(LowerIsNearer ? Middle - 1 : Middle);
            }
            High = Middle;
            Middle = (Low + High) / 2;
        } else {
            Low = Middle;
            Middle = (Low + High) / 2;
            if (Middle == 254) {
                return static_cast<UCHAR>((L - LogTable[254]) < (LogTable[255] - L) ? 254 : 255);
            }
        }
    }
}

VOID BuildToneTable(double* GammaValue, double G, PUCHAR ToneTable, const double* LogTable) {
    if (ReadGammaValue(GammaValue) == G) return;
    const double Top = LogTable[255];
    for (ULONG Index = 1; Index < 256; ++Index) {
        // log10 of 255 x (Index / 255)^(1/G)
        double L = LogTable[Index] / G + (G - 1.0) * Top / G;
        if (L < 0.0) L = 0.0;
        if (L > Top) L = Top;
        StoreTableEntry(ToneTable, Index, NearestLogIndex(L, LogTable));
    }
    WriteGammaValue(GammaValue, G);
}

SCALAR_REFERENCE VOID MapBytesScalar(PUCHAR Bytes, SIZE_T Count, const UCHAR* Table) {
    for (SIZE_T Index = 0; Index < Count; ++Index) Bytes[Index] = Table[Bytes[Index]];
}

VOID ApplyToneTable(double GammaValue, ULONG Width, ULONG Height, PUCHAR Frame,
                    const UCHAR* ToneTable) {
    if (GammaValue == 1.0) return;
    UCHAR Table[256];
    SnapshotTable(Table, ToneTable);
    const SIZE_T Count = static_cast<SIZE_T>(Width) * Height;
    ActiveStageBodies().MapBytes(Frame, Count, Table);
}
