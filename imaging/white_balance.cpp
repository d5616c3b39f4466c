// One-push white balance from the colour means of the raw Bayer frame.
#include "imaging/white_balance.h"

#include "imaging/gain_table.h"

namespace {

struct ColourSums {
    ULONGLONG Red;
    ULONGLONG Green;
    ULONGLONG Blue;
};

// Whole 2 x 2 blocks only, so odd sizes never read outside the frame.
ColourSums SumColours(ULONG Width, ULONG Height, const UCHAR* Frame) {
    ColourSums Sums = {0, 0, 0};
    for (ULONG Row = 0; Row + 1 < Height; Row += 2) {
        const UCHAR* Upper = Frame + static_cast<SIZE_T>(Row) * Width;
        const UCHAR* Lower = Upper + Width;
        for (ULONG Column = 0; Column + 1 < Width; Column += 2) {
            Sums.Red += Upper[Column];
            Sums.Green += Upper[Column + 1] + Lower[Column];
            Sums.Blue += Lower[Column + 1];
        }
    }
    return Sums;
}

ULONGLONG MeanOf(ULONGLONG Sum, ULONGLONG Samples) { return Samples == 0 ? 0 : Sum / Samples; }

}  // namespace

VOID ComputeWhiteBalance(ULONG Width, ULONG Height, const UCHAR* Frame, PUCHAR RedGain,
                         PUCHAR GreenGain, PUCHAR BlueGain) {
    const ColourSums Sums = SumColours(Width, Height, Frame);
    const ULONGLONG Pixels = static_cast<ULONGLONG>(Width) * Height;
    const ULONGLONG MeanRed = MeanOf(Sums.Red, Pixels / 4);
    const ULONGLONG MeanGreen = MeanOf(Sums.Green, Pixels / 2);
    const ULONGLONG MeanBlue = MeanOf(Sums.Blue, Pixels / 4);
    if (MeanRed == 0 || MeanGreen == 0 || MeanBlue == 0) return;
    ULONGLONG Brightest = MeanRed;
    if (MeanGreen > Brightest) Brightest = MeanGreen;
    if (MeanBlue > Brightest) Brightest = MeanBlue;
    FillGainTable(RedGain, static_cast<double>(Brightest) / static_cast<double>(MeanRed));
    FillGainTable(GreenGain, static_cast<double>(Brightest) / static_cast<double>(MeanGreen));
    FillGainTable(BlueGain, static_cast<double>(Brightest) / static_cast<double>(MeanBlue));
}
