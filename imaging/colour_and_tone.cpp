// Colour gains and tone table composed into one table per colour.
#include "imaging/colour_and_tone.h"

#include "imaging/stage_bodies.h"
#include "imaging/table_access.h"

namespace {

VOID ComposeTables(UCHAR (&First)[256], const UCHAR (&Then)[256]) {
    for (ULONG Index = 0; Index < 256; ++Index) First[Index] = Then[First[Index]];
}

bool IsIdentity(const UCHAR (&Table)[256]) {
    for (ULONG Index = 0; Index < 256; ++Index) {
        if (Table[Index] != Index) return false;
    }
    return true;
}

}  // namespace

VOID ApplyColourGainsAndTone(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                             const UCHAR* GreenGain, const UCHAR* BlueGain, double GammaValue,
                             const UCHAR* ToneTable) {
    UCHAR Red[256], Green[256], Blue[256];
    SnapshotTable(Red, RedGain);
    SnapshotTable(Green, GreenGain);
    SnapshotTable(Blue, BlueGain);
    // A gamma of exactly 1.0 leaves the samples as the gains made them.
    if (GammaValue != 1.0) {
        UCHAR Tone[256];
        SnapshotTable(Tone, ToneTable);
        ComposeTables(Red, Tone);
        ComposeTables(Green, Tone);
        ComposeTables(Blue, Tone);
    }
    // The defaults (unit gains, gamma 1.0) change no sample: the pass is skipped.
    if (IsIdentity(Red) && IsIdentity(Green) && IsIdentity(Blue)) return;
    ActiveStageBodies().ApplyColourGains(Width, Height, Frame, Red, Green, Blue);
}
