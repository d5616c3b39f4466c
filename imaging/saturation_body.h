// The saturation row loop, written once for every vector width (see simd_ops.h).
//
// Three vectors cover a whole number of pixels. Each byte's pixel sum is its own byte plus two
// of its neighbours one or two bytes away, chosen per lane by the byte's place in its pixel.
// The first and last pixel of the row are done one at a time, so no load leaves the row. Each
// chunk is stored after the next one has been loaded: its loads reach two bytes back, and a
// load overlapping a just-stored vector would stall.
#pragma once

#include "imaging/saturation.h"
#include "imaging/saturation_kernel.h"

template <class Ops>
struct PixelPlaceMasks {
    typename Ops::Vector NotBlue[3];  // green or red byte: take the byte before it
    typename Ops::Vector Red[3];      // red byte: take the byte two before it, else the one after
};

template <class Ops>
PixelPlaceMasks<Ops> MakePixelPlaceMasks() {
    PixelPlaceMasks<Ops> Masks;
    for (ULONG Part = 0; Part < 3; ++Part) {
        SHORT NotBlue[Ops::Lanes], Red[Ops::Lanes];
        for (ULONG Lane = 0; Lane < Ops::Lanes; ++Lane) {
            const ULONG Place = (Part * Ops::Lanes + Lane) % 3;
            NotBlue[Lane] = Place != 0 ? -1 : 0;
            Red[Lane] = Place == 2 ? -1 : 0;
        }
        Masks.NotBlue[Part] = Ops::LoadMask(NotBlue);
        Masks.Red[Part] = Ops::LoadMask(Red);
    }
    return Masks;
}

template <class Ops>
typename Ops::Vector AdjustLanes(const UCHAR* Bytes, const PixelPlaceMasks<Ops>& Masks, ULONG Part,
                                 typename Ops::Vector SignedFactor) {
    const typename Ops::Vector Levels = Ops::LoadBytes(Bytes);
    const typename Ops::Vector Sum = Ops::Add(
        Levels, Ops::Add(Ops::Select(Masks.NotBlue[Part], Ops::LoadBytes(Bytes - 1), Ops::LoadBytes(Bytes + 2)),
                         Ops::Select(Masks.Red[Part], Ops::LoadBytes(Bytes - 2), Ops::LoadBytes(Bytes + 1))));
    const typename Ops::Vector Grey =
        Ops::Add(Ops::ShiftRightLogical(Sum, 3), Ops::ShiftRightLogical(Sum, 2));
    // (v - grey) x (+/-a) has the same low 16 bits as (grey - v) x a for desaturation.
    const typename Ops::Vector Product = Ops::MulLow(Ops::Sub(Levels, Grey), SignedFactor);
    return Ops::AddSaturate(Levels, Ops::ShiftRightArith(Product, 3));
}

template <class Ops>
VOID StoreChunk(PUCHAR Bytes, const typename Ops::Vector (&Results)[3]) {
    for (ULONG Part = 0; Part < 3; ++Part) Ops::StoreBytes(Bytes + Part * Ops::Lanes, Results[Part]);
}

template <class Ops>
VOID SaturationBody(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction) {
    constexpr ULONG Chunk = 3 * Ops::Lanes;
    if (RowBytes < 3) return;
    AdjustPixel(Row, Factor, Direction);
    const PixelPlaceMasks<Ops> Masks = MakePixelPlaceMasks<Ops>();
    const typename Ops::Vector SignedFactor = Ops::Splat(static_cast<SHORT>(Factor * Direction));
    typename Ops::Vector Pending[3] = {Ops::Splat(0), Ops::Splat(0), Ops::Splat(0)};
    ULONG Offset = 3;
    for (; Offset + Chunk + 3 <= RowBytes; Offset += Chunk) {
        const PUCHAR Bytes = Row + Offset;
        // All three read before any is written: a pixel can straddle two vectors.
        const typename Ops::Vector First = AdjustLanes<Ops>(Bytes, Masks, 0, SignedFactor);
        const typename Ops::Vector Second = AdjustLanes<Ops>(Bytes + Ops::Lanes, Masks, 1, SignedFactor);
        const typename Ops::Vector Third = AdjustLanes<Ops>(Bytes + 2 * Ops::Lanes, Masks, 2, SignedFactor);
        if (Offset != 3) StoreChunk<Ops>(Bytes - Chunk, Pending);
        Pending[0] = First;
        Pending[1] = Second;
        Pending[2] = Third;
    }
    if (Offset != 3) StoreChunk<Ops>(Row + Offset - Chunk, Pending);
    for (; Offset + 3 <= RowBytes; Offset += 3) AdjustPixel(Row + Offset, Factor, Direction);
}
