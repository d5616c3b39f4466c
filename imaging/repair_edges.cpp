// Edge repair: copies inner rows and columns over the outermost ones.
#include "imaging/repair_edges.h"

#include "platform/kernel.h"

namespace {

VOID CopyPixel(PUCHAR Row, ULONG To, ULONG From) {
    Row[3 * To + 0] = Row[3 * From + 0];
    Row[3 * To + 1] = Row[3 * From + 1];
    Row[3 * To + 2] = Row[3 * From + 2];
}

VOID CopyRow(PUCHAR Output, SIZE_T Stride, ULONG To, ULONG From) {
    RtlCopyMemory(Output + To * Stride, Output + From * Stride, Stride);
}

// Upright and flipped pictures (modes 1, 3): column W - E - 1 + j takes W - E - 1 - j, then
// column E - j takes E - 1 + j; for E = 3: W - 3 .. W - 1 take W - 5 .. W - 7, 2 .. 0 take 3 .. 5.
VOID RepairColumnsUpright(PUCHAR Row, ULONG Width, ULONG Edge) {
    for (ULONG J = 1; J <= Edge; ++J) {
        CopyPixel(Row, Width - 1 - Edge + J, Width - 1 - Edge - J);
        CopyPixel(Row, Edge - J, Edge - 1 + J);
    }
}

// Mirrored and rotated pictures (modes 2, 4): column E - j takes E + j, then column
// W - E - 1 + j takes W - E - j; for E = 3: 2 .. 0 take 4 .. 6, W - 3 .. W - 1 take W - 4 .. W - 6.
VOID RepairColumnsMirrored(PUCHAR Row, ULONG Width, ULONG Edge) {
    for (ULONG J = 1; J <= Edge; ++J) {
        CopyPixel(Row, Edge - J, Edge + J);
        CopyPixel(Row, Width - 1 - Edge + J, Width - Edge - J);
    }
}

}  // namespace

VOID RepairEdges(ULONG Width, ULONG Height, PUCHAR Output, UCHAR VideoModel, ULONG EdgeWidth) {
    if (Height < 4 || EdgeWidth == 0 || Width < 2 * EdgeWidth + 1) return;
    const SIZE_T Stride = 3 * static_cast<SIZE_T>(Width);
    CopyRow(Output, Stride, 0, 3);
    CopyRow(Output, Stride, 1, 2);
    CopyRow(Output, Stride, Height - 1, Height - 4);
    CopyRow(Output, Stride, Height - 2, Height - 3);

    VOID (*RepairColumns)(PUCHAR, ULONG, ULONG);
    switch (VideoModel) {
        case 1:
        case 3: RepairColumns = RepairColumnsUpright; break;
        case 2:
        case 4: RepairColumns = RepairColumnsMirrored; break;
        default: return;
    }
    for (ULONG Row = 0; Row < Height; ++Row) RepairColumns(Output + Row * Stride, Width, EdgeWidth);
}
