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

bool SameTable(const UCHAR* Table, const UCHAR* Other) {
    for (ULONG Index = 0; Index < GainTableEntries; ++Index) {
        if (LoadTableEntry(Table, Index) != Other[Index]) return false;
    }
    return true;
}

// The slope read from one entry is coarse (entry 128 of the table for 700 reads back 699), so
// the values nearest the estimate are tried: one whose table is this table is the value it was
// built from (of several that build the same table, the nearest). A table no value builds (a
// white balance's) keeps the estimate.
ULONG ValueBuildingTable(const UCHAR* Table, ULONG Estimate) {
    UCHAR Candidate[GainTableEntries];
    const LONGLONG Reach = Estimate / 64 + 2;
    for (LONGLONG Step = 0; Step <= 2 * Reach; ++Step) {
        // Estimate, +1, -1, +2, -2 ...
        const LONGLONG Offset = (Step % 2 == 1) ? (Step + 1) / 2 : -(Step / 2);
        const LONGLONG Value = static_cast<LONGLONG>(Estimate) + Offset;
        if (Value < 1 || Value > 0x7FFFFFFF) continue;
        FillGainTable(Candidate, static_cast<double>(Value) / UnityGainValue);
        if (SameTable(Table, Candidate)) return static_cast<ULONG>(Value);
    }
    return Estimate;
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
            *Value = ValueBuildingTable(Table, static_cast<ULONG>(static_cast<LONGLONG>(Gain * UnityGainValue + 0.5)));
            return TRUE;
        }
    }
    return FALSE;
}
