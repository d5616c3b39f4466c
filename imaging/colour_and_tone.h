// Colour gains followed by the tone table: two per-byte table stages in a row, done as one.
#pragma once

#include "platform/types.h"

// The same bytes as ApplyColourGains and then ApplyToneTable, in one pass over the frame: each
// colour's gain table is composed with the tone table (while GammaValue is not exactly 1.0) and
// the composed tables applied as colour gains; not at all when all three map every level onto
// itself. Called by the frame work item, PASSIVE_LEVEL.
VOID ApplyColourGainsAndTone(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                             const UCHAR* GreenGain, const UCHAR* BlueGain, double GammaValue,
                             const UCHAR* ToneTable);
