// The eight demosaic variants: where each source row pair lands, and which body computes it.
#include "imaging/demosaic.h"

#include "imaging/demosaic_kernels.h"
#include "imaging/stage_bodies.h"

namespace {

enum DEMOSAIC_KIND { ColourForward, ColourReversed, GreyForward, GreyReversed };

DEMOSAIC_ROW_PAIR* PickKernel(DEMOSAIC_KIND Kind) {
    const DEMOSAIC_KERNELS& Kernels = *ActiveStageBodies().Demosaic;
    switch (Kind) {
        case ColourForward: return Kernels.ColourForward;
        case ColourReversed: return Kernels.ColourReversed;
        case GreyForward: return Kernels.GreyForward;
        case GreyReversed: return Kernels.GreyReversed;
    }
    return Kernels.ColourForward;
}

// Source row y lands in memory row FirstRow + y (Downward false) or FirstRow - y (Downward
// true); each variant is one kernel kind and one such row placement.
VOID RunVariant(DEMOSAIC_KIND Kind, ULONG FirstRow, bool Downward, ULONG Width, ULONG Height,
                PUCHAR Output, const UCHAR* Frame) {
    if (Height < 4 || (Height & 1) || Width < 8 || (Width & 7)) return;
    DEMOSAIC_ROW_PAIR* Kernel = PickKernel(Kind);
    const SIZE_T Stride = 3 * static_cast<SIZE_T>(Width);
    for (ULONG Y = 0; Y + 2 < Height; Y += 2) {
        const ULONG EvenRow = Downward ? FirstRow - Y : FirstRow + Y;
        const ULONG OddRow = Downward ? EvenRow - 1 : EvenRow + 1;
        Kernel(Frame + static_cast<SIZE_T>(Y) * Width, Width, Output + EvenRow * Stride,
               Output + OddRow * Stride);
    }
}

}  // namespace

VOID ColourUpright(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame) {
    RunVariant(ColourForward, Height - 2, true, Width, Height, Output, Frame);
}

VOID ColourMirrored(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame) {
    RunVariant(ColourReversed, Height - 1, true, Width, Height, Output, Frame);
}

VOID ColourFlipped(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame) {
    RunVariant(ColourForward, 1, false, Width, Height, Output, Frame);
}

VOID ColourRotated(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame) {
    RunVariant(ColourReversed, 0, false, Width, Height, Output, Frame);
}

VOID GreyUpright(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame) {
    RunVariant(GreyForward, Height - 1, true, Width, Height, Output, Frame);
}

VOID GreyMirrored(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame) {
    RunVariant(GreyReversed, Height - 1, true, Width, Height, Output, Frame);
}

VOID GreyFlipped(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame) {
    RunVariant(GreyForward, 0, false, Width, Height, Output, Frame);
}

VOID GreyRotated(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame) {
    RunVariant(GreyReversed, 1, false, Width, Height, Output, Frame);
}

VOID Demosaic(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame, ULONG BWPreview,
              UCHAR VideoModel) {
    typedef VOID VARIANT(ULONG, ULONG, PUCHAR, const UCHAR*);
    VARIANT* Variant;
    switch (VideoModel) {
        case 1: Variant = BWPreview ? GreyUpright : ColourUpright; break;
        case 2: Variant = BWPreview ? GreyMirrored : ColourMirrored; break;
        case 3: Variant = BWPreview ? GreyFlipped : ColourFlipped; break;
        default: Variant = BWPreview ? GreyRotated : ColourRotated; break;
    }
    Variant(Width, Height, Output, Frame);
}
