// The bodies of the vectorised stages at one vector level, gathered in one table. The level is
// chosen once, at start-up (the driver's entry; a program's first frame otherwise), and every
// stage calls through the table: no stage asks which level is in use while it runs.
//
// Issue-free for later bodies: a new level's body is one more entry in its level's table.
#pragma once

#include "imaging/cpu_features.h"
#include "imaging/demosaic_kernels.h"
#include "platform/types.h"

struct StageBodies {
    VECTOR_LEVEL Level;
    const DEMOSAIC_KERNELS* Demosaic;
    // Colour gains: every raw sample through the table of its Bayer colour.
    VOID (*ApplyColourGains)(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                             const UCHAR* GreenGain, const UCHAR* BlueGain);
    // Tone table: Count samples through Table.
    VOID (*MapBytes)(PUCHAR Bytes, SIZE_T Count, const UCHAR* Table);
    VOID (*ApplyFlatField)(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count);
    // Colour separation of one row pair from column 2; returns the column where the blocks
    // left for the scalar loop start.
    ULONG (*SeparateRowPair)(PUCHAR Upper, ULONG Width);
    VOID (*ContrastRows)(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast,
                         BOOLEAN Emphasis);
    // Saturation of one picture row; Direction -1 desaturates, +1 saturates.
    VOID (*AdjustSaturationRow)(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction);
};

// The table the stages use. Until a level is chosen, the first call chooses the best this
// processor and system offer. Any IRQL.
const StageBodies& ActiveStageBodies();

// Chooses the table of Level, lowered to what the processor and system offer: the driver's
// entry at load, tests and benchmarks to run each body. Not while a frame is processed.
VOID SelectStageBodies(VECTOR_LEVEL Level);

// The table of one level, whatever is chosen (the scalar bodies for a level the build has no
// bodies for).
const StageBodies& StageBodiesFor(VECTOR_LEVEL Level);
