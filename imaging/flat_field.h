// Flat-field correction: every raw sample times its own 6-bit fixed-point gain.
#pragma once

#include "platform/types.h"

// Frame[i] = clamp((Frame[i] x GainMap[i]) >> 6, 0, 255) for every pixel, GainMap read as signed
// 16-bit gains (64 = x1). A frame of more than GainMapEntries pixels is left unchanged: its gains
// were never calibrated and reading them would run past the map. Called by the frame work item,
// PASSIVE_LEVEL.
VOID ApplyFlatField(ULONG Width, ULONG Height, PUCHAR Frame, const SHORT* GainMap,
                    ULONG GainMapEntries);

// One body per vector level, gathered in the stage table (imaging/stage_bodies.h). Count
// pixels, no size checks.
VOID ApplyFlatFieldScalar(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count);
VOID ApplyFlatFieldSse2(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count);
VOID ApplyFlatFieldSse41(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count);
VOID ApplyFlatFieldAvx2(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count);
VOID ApplyFlatFieldAvx512(PUCHAR Frame, const SHORT* GainMap, SIZE_T Count);
