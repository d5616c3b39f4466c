// Flat-field correction: scalar body and choice of body.
#include "imaging/flat_field.h"

#include "imaging/scalar_reference.h"
#include "imaging/stage_bodies.h"

SCALAR_REFERENCE VOID ApplyFlatFieldScalar(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count) {
    for (SIZE_T Index = 0; Index < Count; ++Index) {
        // At most 23 bits and a sign: the product never overflows 32 bits.
        const LONG Level = (static_cast<LONG>(Frame[Index]) * GainMap[Index]) >> 6;
        Frame[Index] = static_cast<UCHAR>(Level < 0 ? 0 : (Level > 255 ? 255 : Level));
    }
}

VOID ApplyFlatField(ULONG Width, ULONG Height, PUCHAR Frame, const SHORT* GainMap,
                    ULONG GainMapEntries) {
    const ULONGLONG Pixels = static_cast<ULONGLONG>(Width) * Height;
    if (Pixels > GainMapEntries) return;
    ActiveStageBodies().ApplyFlatField(Frame, GainMap, static_cast<SIZE_T>(Pixels));
}
