// The flat-field loop, written once for every vector width (see simd_ops.h).
#pragma once

#include "imaging/flat_field.h"

template <class Ops>
VOID FlatFieldBody(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count) {
    SIZE_T Index = 0;
    for (; Index + Ops::Lanes <= Count; Index += Ops::Lanes) {
        const typename Ops::Vector Levels = Ops::LoadBytes(Frame + Index);
        const typename Ops::Vector Gains = Ops::LoadWords(GainMap + Index);
        Ops::StoreBytes(Frame + Index, Ops::MulShiftSaturate(Levels, Gains, 6));
    }
    ApplyFlatFieldScalar(Frame + Index, GainMap + Index, Count - Index);
}
