// Marks drawn into the finished 24-bit bottom-up picture (blue, green, red; 3 x W bytes a row).
#pragma once

#include "platform/types.h"

// Red crosshair, called by the frame sequence when CrossLine is on. At the picture centre when
// CrossMid is set; otherwise the horizontal line lies at memory row H - CrossX and the vertical
// line at column CrossY, clamped to rows 1 .. H - 2 and columns 1 .. W - 2. The vertical line
// covers memory rows 0 .. H - 2, the horizontal one columns 0 .. W - 3; they are two pixels wide
// on pictures wider than 1024 (vertical) or taller than 800 (horizontal). Pictures with fewer
// than 3 rows or columns get no crosshair.
VOID DrawCrosshair(ULONG Width, ULONG Height, PUCHAR Output, ULONG CrossX, ULONG CrossY,
                   ULONG CrossMid);

// Busy marker, called while a one-push exposure or white balance is pending: adds 100 (modulo
// 256) to every byte of the 40 x 40 square at memory rows H - 100 .. H - 61 and columns
// W - 100 .. W - 61. Pictures narrower or lower than 100 pixels get no marker.
VOID DrawBusyMarker(ULONG Width, ULONG Height, PUCHAR Output);
