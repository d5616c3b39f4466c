// Raw Bayer frame to 24-bit picture: the eight demosaic variants.
//
// Every variant reads the W x H raw frame (red at even row and column, blue at odd row and
// column) and writes the bottom-up blue-green-red picture O of 3 x W bytes per row. Each output
// pixel comes from the 2 x 2 block whose top-left corner is its source position; source rows
// 0 .. H - 3 are computed, the remaining two memory rows are left for RepairEdges. The block of
// the last column takes the first samples of the next two rows (the frame is addressed linearly).
//
// Constraints: W a multiple of 8, H even and at least 4. Each variant picks its scalar or
// vectorised body from the stage table (imaging/stage_bodies.h); all bodies give identical
// bytes.
#pragma once

#include "platform/types.h"

// Colour: blue = B, green = (Gy + Gy1) >> 1, red = R of the pixel's 2 x 2 block.
VOID ColourUpright(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame);
VOID ColourMirrored(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame);
VOID ColourFlipped(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame);
VOID ColourRotated(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame);

// Grey: Y = (306 R + 301 Gy + 300 Gy1 + 117 B) >> 10 in all three bytes.
VOID GreyUpright(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame);
VOID GreyMirrored(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame);
VOID GreyFlipped(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame);
VOID GreyRotated(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame);

// Runs the variant that BWPreview (grey when non-zero) and VideoModel select:
// 1 upright, 2 mirrored, 3 flipped, any other value rotated by 180 degrees.
VOID Demosaic(ULONG Width, ULONG Height, PUCHAR Output, const UCHAR* Frame, ULONG BWPreview,
              UCHAR VideoModel);
