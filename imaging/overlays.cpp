// Crosshair and busy marker overlays.
#include "imaging/overlays.h"

namespace {

constexpr ULONG kMarkerOffset = 100;  // the square starts this far from the top and right edges
constexpr ULONG kMarkerSize = 40;
constexpr UCHAR kMarkerTint = 100;

VOID PaintRed(PUCHAR Output, ULONG Width, LONG Row, LONG Column) {
    PUCHAR Pixel = Output + (static_cast<SIZE_T>(Row) * Width + Column) * 3;
    Pixel[0] = 0;
    Pixel[1] = 0;
    Pixel[2] = 255;
}

LONG Clamp(LONG Value, LONG Low, LONG High) {
    if (Value < Low) Value = Low;
    if (Value > High) Value = High;
    return Value;
}

}  // namespace

VOID DrawCrosshair(ULONG Width, ULONG Height, PUCHAR Output, ULONG CrossX, ULONG CrossY,
                   ULONG CrossMid) {
    // The clamps below need a row and a column strictly inside the picture.
    if (Width < 3 || Height < 3) return;
    const LONG W = static_cast<LONG>(Width);
    const LONG H = static_cast<LONG>(Height);
    // CrossX counts from the top, memory rows from the bottom; a CrossX beyond H wraps negative
    // and is clamped like any other out-of-range position.
    LONG Row = CrossMid ? H / 2 : static_cast<LONG>(Height - CrossX);
    LONG Column = CrossMid ? W / 2 : static_cast<LONG>(CrossY);
    Row = Clamp(Row, 1, H - 2);
    Column = Clamp(Column, 1, W - 2);

    for (LONG I = 0; I <= H - 2; ++I) {
        PaintRed(Output, Width, I, Column);
        if (Width > 1024) PaintRed(Output, Width, I, Column + 1);
    }
    for (LONG J = 0; J <= W - 3; ++J) {
        PaintRed(Output, Width, Row, J);
        if (Height > 800) PaintRed(Output, Width, Row + 1, J);
    }
}

VOID DrawBusyMarker(ULONG Width, ULONG Height, PUCHAR Output) {
    // Below 100 the square's first row and column would lie before the picture (the unsigned
    // bounds wrap), so smaller pictures are left alone.
    if (Width < kMarkerOffset || Height < kMarkerOffset) return;
    const ULONG FirstRow = Height - kMarkerOffset;
    const ULONG FirstColumn = Width - kMarkerOffset;
    for (ULONG Row = FirstRow; Row < FirstRow + kMarkerSize; ++Row) {
        PUCHAR Pixel = Output + (static_cast<SIZE_T>(Row) * Width + FirstColumn) * 3;
        for (ULONG Byte = 0; Byte < 3 * kMarkerSize; ++Byte) {
            Pixel[Byte] = static_cast<UCHAR>(Pixel[Byte] + kMarkerTint);
        }
    }
}
