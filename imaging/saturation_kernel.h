// Per-pixel saturation arithmetic shared by every body of the saturation stage.
#pragma once

#include "imaging/contrast_kernel.h"

// One BGR pixel in place. Direction -1 pulls each channel towards the pixel's grey, +1 pushes
// it away; the product keeps its low 16 bits, the shift is arithmetic, the add saturates.
// static for the same reason as SaturateToShort: one copy per instruction set.
static inline VOID AdjustPixel(PUCHAR Pixel, LONG Factor, LONG Direction) {
    const LONG Sum = Pixel[0] + Pixel[1] + Pixel[2];
    const LONG Grey = (Sum >> 3) + (Sum >> 2);
    for (ULONG Channel = 0; Channel < 3; ++Channel) {
        const LONG Value = Pixel[Channel];
        const LONG Product =
            static_cast<SHORT>(static_cast<USHORT>((Value - Grey) * Direction * Factor));
        const LONG Level = SaturateToShort(Value + (Product >> 3));
        Pixel[Channel] = static_cast<UCHAR>(Level < 0 ? 0 : (Level > 255 ? 255 : Level));
    }
}
