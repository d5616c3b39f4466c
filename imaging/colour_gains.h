// Colour gains: every raw sample mapped through the lookup table of its Bayer colour.
#pragma once

#include "platform/types.h"

// Red table on (even row, even column), blue on (odd, odd), green elsewhere; in place, every
// frame. Called by the frame work item, PASSIVE_LEVEL.
VOID ApplyColourGains(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                      const UCHAR* GreenGain, const UCHAR* BlueGain);

// Bodies per vector level. A byte-table lookup needs byte shuffles and blends: SSE2, SSSE3 and
// AVX2 use the scalar body.
VOID ApplyColourGainsScalar(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                            const UCHAR* GreenGain, const UCHAR* BlueGain);
VOID ApplyColourGainsSse41(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                           const UCHAR* GreenGain, const UCHAR* BlueGain);
VOID ApplyColourGainsAvx512(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                            const UCHAR* GreenGain, const UCHAR* BlueGain);
