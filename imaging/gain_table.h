// Colour gain lookup tables: a gain value in units of 1/500 (500 = x1) turned into a 256-entry
// byte table, and the value read back from a table.
#pragma once

#include "platform/types.h"

constexpr ULONG GainTableEntries = 256;
constexpr LONG UnityGainValue = 500;

// Fills Table with entry i = i x Factor + 0.5, clamped to 0..255 and truncated. SetGain and the
// one-push white balance both build their tables this way. Any IRQL (no floating-point state
// is saved here; kernel callers at DISPATCH_LEVEL must save it themselves).
VOID FillGainTable(PUCHAR Table, double Factor);

// Builds Table for the gain Value / 500. The division is done first, in double precision, so
// Value 145 gives entry 50 = 15, not 14.
VOID SetGain(PUCHAR Table, LONG Value);

// Derives the gain value (units of 1/500) back from Table: the slope at entry 128 (or lower
// while the table is saturated there), refined to the value SetGain built the table from when
// one near it builds exactly this table. Returns FALSE and leaves *Value unchanged when every
// entry it scans is 0 or 255, so there is no slope to read.
BOOLEAN GetGain(const UCHAR* Table, PULONG Value);
