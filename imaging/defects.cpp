// Defect-pixel repair.
#include "imaging/defects.h"

namespace {

// Frame coordinate of a stored coordinate, or 0 when it lies outside the window. The origin is
// made even so that the mapped pixel keeps its Bayer colour.
ULONG MapIntoWindow(ULONG Stored, ULONG Origin, ULONG Extent) {
    if (Stored <= Origin || static_cast<ULONGLONG>(Stored) >= static_cast<ULONGLONG>(Origin) + Extent) {
        return 0;
    }
    return Stored - (Origin & ~1u);
}

// The four same-colour neighbours lie two pixels away; all of them must be inside the frame
// (a column neighbour past the row end would be a pixel of the next row).
bool NeighboursInside(ULONG Column, ULONG Row, ULONG Width, ULONG Height) {
    return Column >= 2 && Column + 2 < Width && Row >= 2 && Row + 2 < Height;
}

}  // namespace

VOID CorrectDefects(PUCHAR Frame, const DefectEntry* DefectTable, ULONG Count, ULONG Width,
                    ULONG Height, ULONG HOff, ULONG VOff) {
    for (ULONG Index = 0; Index < Count; ++Index) {
        const ULONG Column = MapIntoWindow(DefectTable[Index].X, HOff, Width);
        const ULONG Row = MapIntoWindow(DefectTable[Index].Y, VOff, Height);
        if (Column == 0 || Row == 0 || !NeighboursInside(Column, Row, Width, Height)) continue;
        const PUCHAR Pixel = Frame + static_cast<SIZE_T>(Row) * Width + Column;
        const SIZE_T Stride = static_cast<SIZE_T>(Width) * 2;
        const ULONG Sum = Pixel[-2] + Pixel[2] + *(Pixel - Stride) + Pixel[Stride];
        *Pixel = static_cast<UCHAR>(Sum / 4);
    }
}
