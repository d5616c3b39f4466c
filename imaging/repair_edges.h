// Edge repair of the demosaiced picture: the outer rows and columns that the 2 x 2
// neighbourhood cannot fill properly are overwritten with copies of nearby inner ones.
#pragma once

#include "platform/types.h"

// Called by the frame sequence after the saturation stage, with EdgeWidth 3.
// Rows: memory row 0 := row 3, 1 := 2, H - 1 := H - 4, H - 2 := H - 3. Then, in every row,
// the EdgeWidth outer columns on each side are copied from inner ones: VideoModel 1 or 3
// (upright, flipped) columns 2, 1, 0 := 3, 4, 5 and W - 3 .. W - 1 := W - 5 .. W - 7;
// VideoModel 2 or 4 (mirrored, rotated) 2, 1, 0 := 4, 5, 6 and W - 3 .. W - 1 := W - 4 .. W - 6;
// any other mode keeps the columns. A picture lower than 4 rows or narrower than
// 2 x EdgeWidth + 1 columns is left unchanged.
VOID RepairEdges(ULONG Width, ULONG Height, PUCHAR Output, UCHAR VideoModel, ULONG EdgeWidth);
