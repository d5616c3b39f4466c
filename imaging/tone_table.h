// Gamma tone table: built from a gamma value through the logarithm table, applied per sample.
#pragma once

#include "platform/types.h"

// The level 1..255 whose log10 (LogTable entry) is nearest to L, ties to the larger level;
// above log10(253) the answer is 254 or 255.
UCHAR NearestLogIndex(double L, const double* LogTable);

// Rebuilds ToneTable (entries 1..255; entry 0 stays) for gamma G unless *GammaValue is already
// exactly G, then records G in *GammaValue. Runs in the property handler and the settings load
// (PASSIVE_LEVEL), never per frame.
VOID BuildToneTable(double* GammaValue, double G, PUCHAR ToneTable, const double* LogTable);

// Maps every sample of the frame through ToneTable; nothing while GammaValue is exactly 1.0.
// Called by the frame work item, PASSIVE_LEVEL.
VOID ApplyToneTable(double GammaValue, ULONG Width, ULONG Height, PUCHAR Frame,
                    const UCHAR* ToneTable);

// Bodies per vector level (Count samples); SSE2, SSSE3 and AVX2 use the scalar body.
VOID MapBytesScalar(PUCHAR Bytes, SIZE_T Count, const UCHAR* Table);
VOID MapBytesSse41(PUCHAR Bytes, SIZE_T Count, const UCHAR* Table);
VOID MapBytesAvx512(PUCHAR Bytes, SIZE_T Count, const UCHAR* Table);
