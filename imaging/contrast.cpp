// Contrast stage: limits, colour adjustment choice, scalar body and choice of body.
#include "imaging/contrast.h"

#include "imaging/contrast_kernel.h"
#include "imaging/scalar_reference.h"
#include "imaging/stage_bodies.h"
#include "platform/kernel.h"

namespace {

// Green at odd columns of the upper (even) row and even columns of the lower row of a pair.
bool IsGreenSite(ULONG PairRow, ULONG Column) { return ((PairRow + Column) & 1) != 0; }

// v + (v - A), A the mean of the four direct neighbours, each step saturating to 16 bits.
LONG EmphasiseGreen(const UCHAR* Sample, ULONG Width) {
    const LONG Value = *Sample;
    const LONG Mean = (Sample[-static_cast<LONG_PTR>(Width)] + Sample[Width] + Sample[-1] +
                       Sample[1]) >> 2;
    return SaturateToShort(Value + SaturateToShort(Value - Mean));
}

}  // namespace

SCALAR_REFERENCE VOID ContrastGroup(PUCHAR Frame, ULONG Width, ULONG Row, ULONG Column,
                                    const ContrastParameters& Parameters) {
    UCHAR Results[2][8];
    for (ULONG PairRow = 0; PairRow < 2; ++PairRow) {
        const PUCHAR Line = Frame + static_cast<SIZE_T>(Row + PairRow) * Width;
        for (ULONG Index = 0; Index < 8; ++Index) {
            const PUCHAR Sample = Line + Column + Index;
            const bool Emphasise = Parameters.Emphasis && IsGreenSite(PairRow, Column + Index);
            const LONG Value = Emphasise ? EmphasiseGreen(Sample, Width) : *Sample;
            Results[PairRow][Index] = ContrastSample(Value, Parameters);
        }
    }
    for (ULONG PairRow = 0; PairRow < 2; ++PairRow) {
        const PUCHAR Line = Frame + static_cast<SIZE_T>(Row + PairRow) * Width;
        for (ULONG Index = 0; Index < 8; ++Index) Line[Column + Index] = Results[PairRow][Index];
    }
}

VOID ContrastRowsScalar(ULONG Width, ULONG Height, PUCHAR Frame, UCHAR Contrast,
                        BOOLEAN Emphasis) {
    const ContrastParameters Parameters = {Contrast, 128 - 8 * static_cast<LONG>(Contrast),
                                           Emphasis};
    for (ULONG Row = 2; Row + 4 <= Height; Row += 2) {
        for (ULONG Column = 0; Column + 8 <= Width; Column += 8) {
            ContrastGroup(Frame, Width, Row, Column, Parameters);
        }
    }
}

VOID AdjustContrast(ULONG Width, ULONG Height, const UCHAR* Source, PUCHAR Destination,
                    UCHAR Contrast, ULONG ColorAdjustType) {
    if (Source != Destination) {
        RtlCopyMemory(Destination, Source, static_cast<SIZE_T>(Width) * Height);
    }
    if (ColorAdjustType == ColourAdjustSeparate) SeparateColours(Width, Height, Destination);
    const BOOLEAN Emphasis = ColorAdjustType == ColourAdjustGreenEmphasis;
    // Settings beyond these would overflow the 16-bit products; they act as the steepest
    // contrast that the arithmetic carries.
    const UCHAR Limit = Emphasis ? MaxContrastWithEmphasis : MaxContrast;
    const UCHAR Factor = Contrast > Limit ? Limit : Contrast;
    // Neutral contrast without emphasis maps every sample onto itself.
    if (Factor == NeutralContrast && !Emphasis) return;
    ActiveStageBodies().ContrastRows(Width, Height, Destination, Factor, Emphasis);
}
