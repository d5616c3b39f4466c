// Scalar demosaic: the reference every vectorised body must match byte for byte.
#include "imaging/demosaic_kernels.h"

namespace {

// The four samples of the 2 x 2 block whose top-left corner is (y, x), sorted by colour site.
struct BAYER_BLOCK {
    ULONG Red;
    ULONG GreenOwnRow;    // Gy: the green of row y
    ULONG GreenBelowRow;  // Gy1: the green of row y + 1
    ULONG Blue;
};

// Block at Sample = &S(y, x). Linear addressing: Sample[1] of the last column is the first
// sample of the next row, Sample[Width] the sample below.
BAYER_BLOCK ReadBlock(const UCHAR* Sample, ULONG Width, ULONG OddRow, ULONG OddColumn) {
    const ULONG TopLeft = Sample[0];
    const ULONG TopRight = Sample[1];
    const ULONG BottomLeft = Sample[Width];
    const ULONG BottomRight = Sample[Width + 1];
    if (!OddRow && !OddColumn) return {TopLeft, TopRight, BottomLeft, BottomRight};
    if (!OddRow && OddColumn) return {TopRight, TopLeft, BottomRight, BottomLeft};
    if (OddRow && !OddColumn) return {BottomLeft, TopLeft, BottomRight, TopRight};
    return {BottomRight, TopRight, BottomLeft, TopLeft};
}

VOID WriteColour(PUCHAR Pixel, const BAYER_BLOCK& Block) {
    Pixel[0] = static_cast<UCHAR>(Block.Blue);
    Pixel[1] = static_cast<UCHAR>((Block.GreenOwnRow + Block.GreenBelowRow) >> 1);
    Pixel[2] = static_cast<UCHAR>(Block.Red);
}

VOID WriteGrey(PUCHAR Pixel, const BAYER_BLOCK& Block) {
    const ULONG Luma = (306 * Block.Red + 301 * Block.GreenOwnRow + 300 * Block.GreenBelowRow +
                        117 * Block.Blue) >> 10;
    Pixel[0] = Pixel[1] = Pixel[2] = static_cast<UCHAR>(Luma);
}

typedef VOID WRITE_PIXEL(PUCHAR Pixel, const BAYER_BLOCK& Block);

// One 2-pixel pair of both rows per step, as the pixel rule is written: source column x of
// rows 2k and 2k + 1 goes to output column x, or W - 1 - x when Reversed.
template <WRITE_PIXEL Write, bool Reversed>
VOID Span(const UCHAR* Row, ULONG Width, ULONG FirstX, ULONG EndX, PUCHAR OutputEven,
          PUCHAR OutputOdd) {
    const UCHAR* NextRow = Row + Width;
    for (ULONG X = FirstX; X < EndX; X += 2) {
        for (ULONG Column = X; Column < X + 2; ++Column) {
            const ULONG U = Reversed ? Width - 1 - Column : Column;
            const ULONG OddColumn = Column & 1;
            Write(OutputEven + 3 * U, ReadBlock(Row + Column, Width, 0, OddColumn));
            Write(OutputOdd + 3 * U, ReadBlock(NextRow + Column, Width, 1, OddColumn));
        }
    }
}

template <DEMOSAIC_SCALAR_SPAN SpanFn>
VOID WholeRowPair(const UCHAR* Row, ULONG Width, PUCHAR OutputEven, PUCHAR OutputOdd) {
    SpanFn(Row, Width, 0, Width, OutputEven, OutputOdd);
}

}  // namespace

VOID ColourSpanForward(const UCHAR* Row, ULONG Width, ULONG FirstX, ULONG EndX,
                       PUCHAR OutputEven, PUCHAR OutputOdd) {
    Span<WriteColour, false>(Row, Width, FirstX, EndX, OutputEven, OutputOdd);
}

VOID ColourSpanReversed(const UCHAR* Row, ULONG Width, ULONG FirstX, ULONG EndX,
                        PUCHAR OutputEven, PUCHAR OutputOdd) {
    Span<WriteColour, true>(Row, Width, FirstX, EndX, OutputEven, OutputOdd);
}

VOID GreySpanForward(const UCHAR* Row, ULONG Width, ULONG FirstX, ULONG EndX,
                     PUCHAR OutputEven, PUCHAR OutputOdd) {
    Span<WriteGrey, false>(Row, Width, FirstX, EndX, OutputEven, OutputOdd);
}

VOID GreySpanReversed(const UCHAR* Row, ULONG Width, ULONG FirstX, ULONG EndX,
                      PUCHAR OutputEven, PUCHAR OutputOdd) {
    Span<WriteGrey, true>(Row, Width, FirstX, EndX, OutputEven, OutputOdd);
}

const DEMOSAIC_KERNELS DemosaicKernelsScalar = {
    WholeRowPair<ColourSpanForward>,
    WholeRowPair<ColourSpanReversed>,
    WholeRowPair<GreySpanForward>,
    WholeRowPair<GreySpanReversed>,
};
