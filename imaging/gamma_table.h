// The gamma choices offered to users and the logarithm table the tone-table search runs on.
#pragma once

#include "platform/types.h"

constexpr ULONG GammaTableEntries = 33;
constexpr LONG NeutralGammaIndex = 16;  // GammaTable[16] is exactly 1.0
constexpr ULONG LogTableEntries = 256;

// 0.375 (entries 0 and 1) rising in steps of 1/24 to 1.0 at entry 16, then in steps of 1/8 to
// 3.0 at entry 32. Called once at device initialization, PASSIVE_LEVEL.
VOID FillGammaTable(double* GammaTable);

// Entry 0 = 0, entry i = log10(i). Called once at device initialization, PASSIVE_LEVEL.
VOID FillLogTable(double* LogTable);

// The stored index is a user setting (property or registry) with no range of its own; an index
// outside the table is clamped to 0..32 so a lookup can never leave it.
LONG ClampGammaIndex(LONG Gamma);

// GammaTable[Gamma] with Gamma clamped as above.
double GammaForIndex(const double* GammaTable, LONG Gamma);
