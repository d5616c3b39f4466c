// The two captures, run by the frame sequence on the live raw frame.
#include "imaging/calibration_capture.h"

#include "platform/kernel.h"

namespace {

constexpr LONG kDefectThreshold = 20;

// A frame larger than the GainMap can't come from a raw-frame buffer (they hold as many bytes
// as the map holds gains); refuse it rather than read or write past either.
BOOLEAN FitsRawBuffers(ULONG Width, ULONG Height) {
    return static_cast<ULONGLONG>(Width) * Height <= kGainMapEntries;
}

struct CentreMeans {
    ULONG A;  // (even x, even y) of the sampled grid: red
    ULONG B;  // one row down: green
    ULONG D;  // one row down and one right: blue
};

// Means of the central half of the frame. The count starts at 1, so a flat field of v gives
// slightly less than v: 127 for a uniform 128. The extra bounds only matter for frames under
// four pixels a side, whose sampled cell would otherwise reach past the last row or column.
CentreMeans MeasureCentre(ULONG Width, ULONG Height, const UCHAR* Frame) {
    ULONG SumA = 0, SumB = 0, SumD = 0, Count = 1;
    for (ULONG Y = Height / 4; Y < Height - Height / 4 && Y + 1 < Height; Y += 2) {
        const UCHAR* Row = Frame + static_cast<SIZE_T>(Y) * Width;
        const UCHAR* Below = Row + Width;
        for (ULONG X = Width / 4; X < Width - Width / 4 && X + 1 < Width; X += 2) {
            SumA += Row[X];
            SumB += Below[X];
            SumD += Below[X + 1];
            ++Count;
        }
    }
    return {SumA / Count, SumB / Count, SumD / Count};
}

ULONG Distance(LONG A, LONG B) { return static_cast<ULONG>(A > B ? A - B : B - A); }

// Stands out from the same-colour pixels two to each side on both axes.
BOOLEAN IsDefective(const UCHAR* Frame, ULONG Width, ULONG X, ULONG Y) {
    const UCHAR* P = Frame + static_cast<SIZE_T>(Y) * Width + X;
    const LONG Value = *P;
    const LONG Horizontal = (P[-2] + P[2]) / 2;
    const LONG Vertical = (P[-2 * static_cast<LONG>(Width)] + P[2 * Width]) / 2;
    return Distance(Value, Horizontal) >= kDefectThreshold && Distance(Value, Vertical) >= kDefectThreshold;
}

}  // namespace

VOID CaptureGainMap(ULONG Width, ULONG Height, const UCHAR* Frame, ImagePipeline* Pipeline) {
    if (!FitsRawBuffers(Width, Height)) return;
    const CentreMeans Means = MeasureCentre(Width, Height, Frame);
    const ULONG Level = (6 * Means.B + 3 * Means.A + Means.D) / 10;
    const ULONG Target = 64 * Level;
    const ULONG Pixels = Width * Height;
    for (ULONG Index = 0; Index < Pixels; ++Index) {
        const ULONG Sample = Frame[Index] == 0 ? 1 : Frame[Index];
        Pipeline->GainMap[Index] = static_cast<SHORT>(Target / Sample);
    }
}

VOID CaptureDefectTable(const UCHAR* Frame, ULONG Height, ULONG Width, ImagePipeline* Pipeline) {
    if (!FitsRawBuffers(Width, Height)) return;
    ULONG Found = 0;
    WriteOnce(Pipeline->DefectCount, 0u);
    // Written as "Y + 3 < Height" so that frames under four rows or columns scan nothing
    // instead of wrapping around.
    for (ULONG Y = 2; Y + 3 < Height; ++Y) {
        for (ULONG X = 2; X + 3 < Width; ++X) {
            if (Found < kDefectTableEntries && IsDefective(Frame, Width, X, Y)) {
                Pipeline->DefectTable[Found].X = static_cast<USHORT>(X);
                Pipeline->DefectTable[Found].Y = static_cast<USHORT>(Y);
                ++Found;
            }
        }
        WriteOnce(Pipeline->DefectCount, Found);
    }
}
