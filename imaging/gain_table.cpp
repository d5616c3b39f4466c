// Gain value <-> gain lookup table.
#include "imaging/gain_table.h"

#include "imaging/table_access.h"

VOID FillGainTable(PUCHAR Table, double Factor) {
    for (ULONG Index = 0; Index < GainTableEntries; ++Index) {
        double Level = Index * Factor + 0.5;
        if (!(Level >= 0.0)) Level = 0.0;  // also catches a NaN factor
        if (Level > 255.0) Level = 255.0;
        StoreTableEntry(Table, Index, static_cast<UCHAR>(Level));
    }
}

VOID SetGain(PUCHAR Table, LONG Value) {
    FillGainTable(Table, static_cast<double>(Value) / UnityGainValue);
}

namespace {

// Where the slope is read: entry 128, or lower while the table is saturated there, or the
// first entry that is still dark.
ULONG FindSlopeStart(const UCHAR* Table) {
    ULONG Index = 128;
    for (;;) {
        if (LoadTableEntry(Table, Index) < 250) return Index;
        Index = (Index > 10) ? Index / 2 : Index - 1;
        if (Index == 0) return 0;
    }
}

}  // namespace

BOOLEAN GetGain(const UCHAR* Table, PULONG Value) {
    // Entry 0 carries no slope (and would divide by zero), so the scan starts at 1 at the least.
    ULONG Start = FindSlopeStart(Table);
    if (Start == 0) Start = 1;
    for (ULONG Index = Start; Index < GainTableEntries; ++Index) {
        const UCHAR Entry = LoadTableEntry(Table, Index);
        if (Entry != 0 && Entry != 255) {
            const double Gain = static_cast<double>(Entry) / Index;
            *Value = static_cast<ULONG>(static_cast<LONGLONG>(Gain * UnityGainValue + 0.5));
            return TRUE;
        }
    }
    return FALSE;
}
