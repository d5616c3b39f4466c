// Contrast about mid-grey on the raw Bayer frame, with an optional colour adjustment first.
#pragma once

#include "platform/types.h"

constexpr UCHAR NeutralContrast = 16;  // contrast is in sixteenths

// ColorAdjustType values; any other value acts as contrast only.
constexpr ULONG ColourAdjustNone = 0;
constexpr ULONG ColourAdjustGreenEmphasis = 1;
constexpr ULONG ColourAdjustSeparate = 2;

// Steepest contrasts the 16-bit arithmetic carries without overflow: larger settings act as
// these (a green sample after emphasis reaches 510, any other sample 255).
constexpr UCHAR MaxContrastWithEmphasis = 64;
constexpr UCHAR MaxContrast = 128;

// Output about (v - 128) x Contrast / 16 + 128 on rows 2..Height-3, processed as row pairs in
// groups of 8 columns; rows 0, 1, Height-2 and Height-1 are kept. Source and Destination may be
// the same frame (the usual call); otherwise Source is copied to Destination first and the work
// is done there. Called by the frame work item, PASSIVE_LEVEL.
VOID AdjustContrast(ULONG Width, ULONG Height, const UCHAR* Source, PUCHAR Destination,
                    UCHAR Contrast, ULONG ColorAdjustType);

// Pushes each 2 x 2 Bayer block (away from the two outer rows and columns) towards its
// strongest colour; called by AdjustContrast for ColourAdjustSeparate.
VOID SeparateColours(ULONG Width, ULONG Height, PUCHAR Frame);

// Colour separation of one row pair with vectors, from column 2; returns the column where the
// blocks left for the scalar loop start.
ULONG SeparateRowPairSse2(PUCHAR Upper, ULONG Width);
ULONG SeparateRowPairSsse3(PUCHAR Upper, ULONG Width);
ULONG SeparateRowPairSse41(PUCHAR Upper, ULONG Width);
ULONG SeparateRowPairAvx2(PUCHAR Upper, ULONG Width);
ULONG SeparateRowPairAvx512(PUCHAR Upper, ULONG Width);

// Bodies per vector level, in place on the frame, after the colour separation. Contrast has
// already been limited as above.
VOID ContrastRowsScalar(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast, BOOLEAN Emphasis);
VOID ContrastRowsSse2(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast, BOOLEAN Emphasis);
VOID ContrastRowsSse41(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast, BOOLEAN Emphasis);
VOID ContrastRowsAvx2(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast, BOOLEAN Emphasis);
VOID ContrastRowsAvx512(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast,
                        BOOLEAN Emphasis);
