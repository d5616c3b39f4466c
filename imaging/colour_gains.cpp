// Colour gains on the raw Bayer frame.
#include "imaging/colour_gains.h"

#include "imaging/scalar_reference.h"
#include "imaging/stage_bodies.h"
#include "imaging/table_access.h"

namespace {

// One row whose even columns use EvenTable and odd columns OddTable.
SCALAR_REFERENCE VOID MapRowScalar(PUCHAR Row, ULONG Width, const UCHAR* EvenTable,
                                   const UCHAR* OddTable) {
    ULONG Column = 0;
    for (; Column + 1 < Width; Column += 2) {
        Row[Column] = EvenTable[Row[Column]];
        Row[Column + 1] = OddTable[Row[Column + 1]];
    }
    if (Column < Width) Row[Column] = EvenTable[Row[Column]];
}

}  // namespace

VOID ApplyColourGainsScalar(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                            const UCHAR* GreenGain, const UCHAR* BlueGain) {
    for (ULONG Row = 0; Row < Height; ++Row) {
        const bool RedRow = (Row & 1) == 0;
        MapRowScalar(Frame + static_cast<SIZE_T>(Row) * Width, Width,
                     RedRow ? RedGain : GreenGain, RedRow ? GreenGain : BlueGain);
    }
}

VOID ApplyColourGains(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                      const UCHAR* GreenGain, const UCHAR* BlueGain) {
    UCHAR Red[256], Green[256], Blue[256];
    SnapshotTable(Red, RedGain);
    SnapshotTable(Green, GreenGain);
    SnapshotTable(Blue, BlueGain);
    ActiveStageBodies().ApplyColourGains(Width, Height, Frame, Red, Green, Blue);
}
