// Brightness measurement, automatic exposure proposal and the one-push exposure step.
#include "imaging/exposure.h"

namespace {

struct BrightnessBand {
    ULONG Low;
    ULONG High;
};

// Target bands of the automatic exposure and, a little brighter, of the one-push search.
BrightnessBand AutoExposureBand(UCHAR LightModel) {
    if (LightModel == 1) return {1750, 2000};
    if (LightModel == 2) return {1500, 1700};
    return {1200, 1400};
}

BrightnessBand OnePushBand(UCHAR LightModel) {
    if (LightModel == 1) return {1950, 2200};
    if (LightModel == 2) return {1700, 1900};
    return {1400, 1600};
}

constexpr ULONG MeasureWidth = 640;
constexpr ULONG MeasureHeight = 480;
constexpr ULONG DarkLimit = 150;         // at or below: too dark to judge unless exposure is short
constexpr ULONG ShortExposure = 300;
constexpr ULONG OverexposedLimit = 2400;

// Exposures are computed wide and returned as the signed result the caller expects; a stored
// exposure far beyond the cap must not wrap into "unchanged" (-1) or a negative value.
LONG AsProposal(ULONGLONG Exposure) {
    return static_cast<LONG>(Exposure > 0x7FFFFFFFull ? 0x7FFFFFFFull : Exposure);
}

}  // namespace

ULONG MeasureBrightness(ULONG Width, ULONG Height, const UCHAR* Frame) {
    ULONG Left = 0, Top = 0, Right = Width, Bottom = Height;
    if (Width > MeasureWidth && Height > MeasureHeight) {
        Left = Width / 2 - MeasureWidth / 2;
        Right = Width / 2 + MeasureWidth / 2;
        Top = Height / 2 - MeasureHeight / 2;
        Bottom = Height / 2 + MeasureHeight / 2;
    }
    // Each sample point also reads the pixel right of it and the one below it; points whose
    // neighbours would fall outside the frame (odd sizes only) are not taken.
    ULONGLONG Sum0 = 0, Sum1 = 0, Sum2 = 0;
    ULONGLONG Samples = 1;  // starts at 1: a uniform frame of v measures v - 1 per mean
    for (ULONG Row = Top; Row < Bottom && Row + 1 < Height; Row += 2) {
        const UCHAR* Line = Frame + static_cast<SIZE_T>(Row) * Width;
        for (ULONG Column = Left; Column < Right && Column + 1 < Width; Column += 2) {
            Sum0 += Line[Column];
            Sum1 += Line[Column + Width];
            Sum2 += Line[Column + 1];
            ++Samples;
        }
    }
    return static_cast<ULONG>(6 * (Sum0 / Samples) + 3 * (Sum1 / Samples) + Sum2 / Samples);
}

LONG ProposeExposure(ULONG Width, ULONG Height, const UCHAR* Frame, ULONG Cap, ULONG Exposal,
                     UCHAR LightModel) {
    const ULONG L = MeasureBrightness(Width, Height, Frame);
    if (!(L > DarkLimit || (L < DarkLimit && Exposal < ShortExposure))) return ExposureUnchanged;
    const BrightnessBand Band = AutoExposureBand(LightModel);
    if (L < Band.Low && Exposal == Cap) return AsProposal(Exposal);
    if (L > OverexposedLimit) return AsProposal(Exposal / 2);
    if (L >= Band.Low && L <= Band.High) return AsProposal(Exposal);
    // Scale the brightness to the middle of the band.
    const ULONGLONG Middle = (Band.Low + Band.High) / 2;
    return AsProposal(Middle * Exposal / (L + 10));
}

OnePushExposureResult OnePushExposureStep(ULONG Width, ULONG Height, const UCHAR* Frame,
                                          UCHAR LightModel, ULONG Exposal) {
    const ULONG L = MeasureBrightness(Width, Height, Frame);
    const BrightnessBand Band = OnePushBand(LightModel);
    const bool TooDark = L < Band.Low;
    const bool TooBright = L > Band.High;
    if (Exposal >= 20 && Exposal <= AutoExposureCap) {
        if (TooDark) return {static_cast<ULONG>(Exposal * 1.05), FALSE};
        if (TooBright) return {static_cast<ULONG>(Exposal * 0.96), FALSE};
        return {Exposal, TRUE};
    }
    if (Exposal >= 1 && Exposal <= 19) {
        // Five per cent of a short exposure is less than one step.
        if (TooDark) return {Exposal + 1, FALSE};
        if (TooBright) return {Exposal - 1, FALSE};
        return {Exposal, TRUE};
    }
    if (Exposal > AutoExposureCap) return {AutoExposureCap, FALSE};
    return {Exposal, TRUE};
}
