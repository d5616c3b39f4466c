// The contrast loop, written once for every vector width (see simd_ops.h).
//
// A vector covers several 8-column groups of a row pair at once, and its results are stored
// only after the next vector has been loaded (a load overlapping a just-stored vector would
// stall). The results still equal the group-by-group order of the reference: the only
// neighbour the reference reads already processed within a row pair is the left one of a
// lower-row green at the start of a group (a blue sample of the previous group), and that one
// gets the contrast step here. Earlier row pairs are stored before the next pair starts.
#pragma once

#include "imaging/contrast.h"
#include "imaging/contrast_kernel.h"

template <class Ops>
struct ContrastLaneMasks {
    typename Ops::Vector UpperGreen;   // odd lanes
    typename Ops::Vector LowerGreen;   // even lanes
    typename Ops::Vector GroupStarts;       // lanes 0, 8, 16, ...: left neighbour processed
    typename Ops::Vector LaterGroupStarts;  // lanes 8, 16, ...: the row's first vector
};

template <class Ops>
ContrastLaneMasks<Ops> MakeContrastLaneMasks() {
    SHORT Odd[Ops::Lanes], Even[Ops::Lanes], Starts[Ops::Lanes], LaterStarts[Ops::Lanes];
    for (ULONG Lane = 0; Lane < Ops::Lanes; ++Lane) {
        Odd[Lane] = (Lane & 1) ? -1 : 0;
        Even[Lane] = (Lane & 1) ? 0 : -1;
        Starts[Lane] = (Lane % 8 == 0) ? -1 : 0;
        LaterStarts[Lane] = (Lane != 0 && Lane % 8 == 0) ? -1 : 0;
    }
    return {Ops::LoadMask(Odd), Ops::LoadMask(Even), Ops::LoadMask(Starts),
            Ops::LoadMask(LaterStarts)};
}

template <class Ops>
typename Ops::Vector ContrastLanes(typename Ops::Vector Levels, typename Ops::Vector Factor,
                                   typename Ops::Vector Offset) {
    return Ops::AddSaturate(Ops::ShiftRightArith(Ops::MulLow(Levels, Factor), 4), Offset);
}

// v + (v - mean of the four neighbours) on the lanes of GreenMask.
template <class Ops>
typename Ops::Vector EmphasiseLanes(typename Ops::Vector Levels, typename Ops::Vector Up,
                                    typename Ops::Vector Down, typename Ops::Vector Left,
                                    typename Ops::Vector Right, typename Ops::Vector GreenMask) {
    const typename Ops::Vector Mean =
        Ops::ShiftRightLogical(Ops::Add(Ops::Add(Up, Down), Ops::Add(Left, Right)), 2);
    const typename Ops::Vector Emphasised =
        Ops::AddSaturate(Levels, Ops::SubSaturate(Levels, Mean));
    return Ops::Select(GreenMask, Emphasised, Levels);
}

template <class Ops>
VOID ContrastRowPair(PUCHAR Upper, ULONG Width, ULONG Columns, const ContrastLaneMasks<Ops>& Masks,
                     typename Ops::Vector Factor, typename Ops::Vector Offset, bool Emphasis) {
    const PUCHAR Lower = Upper + Width;
    typename Ops::Vector PendingHigh = Ops::Splat(0), PendingLow = Ops::Splat(0);
    for (ULONG Column = 0; Column < Columns; Column += Ops::Lanes) {
        typename Ops::Vector High = Ops::LoadBytes(Upper + Column);
        typename Ops::Vector Low = Ops::LoadBytes(Lower + Column);
        if (Emphasis) {
            // At column 0 the left neighbour is the end of the upper row: not processed yet.
            const typename Ops::Vector LowLeftRaw = Ops::LoadBytes(Lower + Column - 1);
            const typename Ops::Vector LowLeft = Ops::Select(
                Column == 0 ? Masks.LaterGroupStarts : Masks.GroupStarts,
                Ops::ClampToByte(ContrastLanes<Ops>(LowLeftRaw, Factor, Offset)), LowLeftRaw);
            const typename Ops::Vector NewHigh = EmphasiseLanes<Ops>(
                High, Ops::LoadBytes(Upper + Column - Width), Low, Ops::LoadBytes(Upper + Column - 1),
                Ops::LoadBytes(Upper + Column + 1), Masks.UpperGreen);
            Low = EmphasiseLanes<Ops>(Low, High, Ops::LoadBytes(Lower + Column + Width), LowLeft,
                                      Ops::LoadBytes(Lower + Column + 1), Masks.LowerGreen);
            High = NewHigh;
        }
        if (Column != 0) {
            Ops::StoreBytes(Upper + Column - Ops::Lanes, PendingHigh);
            Ops::StoreBytes(Lower + Column - Ops::Lanes, PendingLow);
        }
        PendingHigh = ContrastLanes<Ops>(High, Factor, Offset);
        PendingLow = ContrastLanes<Ops>(Low, Factor, Offset);
    }
    if (Columns != 0) {
        Ops::StoreBytes(Upper + Columns - Ops::Lanes, PendingHigh);
        Ops::StoreBytes(Lower + Columns - Ops::Lanes, PendingLow);
    }
}

template <class Ops>
VOID ContrastBody(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast, BOOLEAN Emphasis) {
    const ContrastParameters Parameters = {Contrast, 128 - 8 * static_cast<LONG>(Contrast),
                                           Emphasis};
    const ContrastLaneMasks<Ops> Masks = MakeContrastLaneMasks<Ops>();
    const typename Ops::Vector Factor = Ops::Splat(static_cast<SHORT>(Parameters.Factor));
    const typename Ops::Vector Offset = Ops::Splat(static_cast<SHORT>(Parameters.Offset));
    // The last group of an upper row reads the lower row's first sample processed; that sample
    // is stored only once the third vector of the row has been loaded, so narrower rows stay
    // scalar.
    const ULONG VectorColumns = Width < 3 * Ops::Lanes ? 0 : Width - Width % Ops::Lanes;
    for (ULONG Row = 2; Row + 4 <= Height; Row += 2) {
        const PUCHAR Upper = Frame + static_cast<SIZE_T>(Row) * Width;
        ContrastRowPair<Ops>(Upper, Width, VectorColumns, Masks, Factor, Offset, Emphasis != 0);
        for (ULONG Column = VectorColumns; Column + 8 <= Width; Column += 8) {
            ContrastGroup(Frame, Width, Row, Column, Parameters);
        }
    }
}
