// Colour separation of 2 x 2 Bayer blocks ahead of the contrast step.
#include "imaging/contrast.h"

#include "imaging/scalar_reference.h"
#include "imaging/stage_bodies.h"

namespace {

constexpr LONG BoostNumerator = 5;      // boost of the strongest colour: x 5/1024 of its lead
constexpr LONG BoostShift = 10;
constexpr LONG PullSoftening = 85;

enum Colour { Red = 0, Green = 1, Blue = 2 };

// The six orderings strongest >= middle >= weakest, tried in this order (first match wins on
// ties). The blue-over-green-over-red case pulls green by the gap before the boost.
struct Ordering {
    Colour Strongest, Middle, Weakest;
    bool PullByGap;
};
constexpr Ordering Orderings[6] = {
    {Red, Green, Blue, false},  {Red, Blue, Green, false}, {Green, Red, Blue, false},
    {Green, Blue, Red, false},  {Blue, Green, Red, true},  {Blue, Red, Green, false},
};

LONG CapAt255(LONG Value) { return Value > 255 ? 255 : Value; }

// Levels holds R, G, B on entry and R', G', B' on return.
VOID SeparateBlock(LONG (&Levels)[3]) {
    for (const Ordering& Order : Orderings) {
        const LONG Strong = Levels[Order.Strongest];
        const LONG Middle = Levels[Order.Middle];
        const LONG Weak = Levels[Order.Weakest];
        if (!(Strong >= Middle && Middle >= Weak)) continue;
        const LONG Boosted = CapAt255(Strong + (((Strong - Middle) * Strong * BoostNumerator) >> BoostShift));
        const LONG Push = Order.PullByGap ? Strong - Middle : Boosted - Strong;
        Levels[Order.Strongest] = Boosted;
        Levels[Order.Middle] =
            CapAt255(Middle + Push * (Middle - Weak) / (PullSoftening + Middle - Weak));
        return;
    }
}

}  // namespace

SCALAR_REFERENCE VOID SeparateBlocksScalar(PUCHAR Upper, ULONG Width, ULONG FirstColumn) {
    const PUCHAR Lower = Upper + Width;
    for (ULONG Column = FirstColumn; Column + 2 < Width; Column += 2) {
        LONG Levels[3] = {Upper[Column], (Upper[Column + 1] + Lower[Column]) / 2,
                          Lower[Column + 1]};
        SeparateBlock(Levels);
        Upper[Column] = static_cast<UCHAR>(Levels[Red]);
        Upper[Column + 1] = Lower[Column] = static_cast<UCHAR>(Levels[Green]);
        Lower[Column + 1] = static_cast<UCHAR>(Levels[Blue]);
    }
}

VOID SeparateColours(ULONG Width, ULONG Height, PUCHAR Frame) {
    const StageBodies& Bodies = ActiveStageBodies();
    for (ULONG Row = 2; Row + 2 < Height; Row += 2) {
        const PUCHAR Upper = Frame + static_cast<SIZE_T>(Row) * Width;
        SeparateBlocksScalar(Upper, Width, Bodies.SeparateRowPair(Upper, Width));
    }
}
