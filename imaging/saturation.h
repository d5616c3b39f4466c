// Saturation of the 24-bit output picture: each pixel pushed towards or away from its grey.
#pragma once

#include "platform/types.h"

constexpr ULONG NeutralSaturation = 8;

// Largest factor whose 16-bit products cannot overflow (|grey - v| <= 286): settings further
// from 8 act as 8 +/- this.
constexpr LONG MaxSaturationFactor = 114;

// Desaturates (Saturntion below 8) or saturates (above 8) memory rows 1..Height-2 of the
// bottom-up BGR picture in place; 8 leaves it. Saturntion is read as a signed value. Called by
// the frame work item, PASSIVE_LEVEL.
VOID AdjustSaturation(PUCHAR Image, ULONG Width, ULONG Height, ULONG Saturntion);

// Per row of RowBytes bytes (3 per pixel): v' = v + ((grey - v) x Factor >> 3), respectively
// v + ((v - grey) x Factor >> 3), in 16-bit arithmetic, clamped to 0..255. Factor 0..114.
VOID DesaturateRow(PUCHAR Row, ULONG RowBytes, LONG Factor);
VOID SaturateRow(PUCHAR Row, ULONG RowBytes, LONG Factor);

// Bodies per vector level. Direction is -1 to desaturate, +1 to saturate.
VOID AdjustRowScalar(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction);
VOID AdjustRowSse2(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction);
VOID AdjustRowSsse3(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction);
VOID AdjustRowSse41(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction);
VOID AdjustRowAvx2(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction);
VOID AdjustRowAvx512(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction);
