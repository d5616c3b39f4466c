// Width-generic demosaic arithmetic for the vectorised row-pair kernels (internal).
//
// Included only by demosaic_sse2.cpp, demosaic_shuffle.h (SSSE3, SSE4.1), demosaic_avx2.cpp and
// demosaic_avx512.cpp, each compiled
// for its own instruction set; everything here has internal linkage so that the linker never
// merges one file's instantiation into another's. Each including file supplies the part that
// differs most between instruction sets, the planar-to-BGR interleave:
//   template <bool Reversed> void StoreColour(PUCHAR Dest, BYTES Blue, BYTES Green, BYTES Red);
//   template <bool Reversed> void StoreGrey(PUCHAR Dest, BYTES Luma);
// which write Lanes pixels (3 x Lanes bytes) at Dest, in reverse pixel order when Reversed.
#pragma once

#include "imaging/demosaic_kernels.h"

namespace {

constexpr ULONG Lanes = kDemosaicVectorBytes;

typedef UCHAR BYTES __attribute__((vector_size(Lanes)));
typedef USHORT WORDS __attribute__((vector_size(2 * Lanes)));

template <bool Reversed>
void StoreColour(PUCHAR Dest, BYTES Blue, BYTES Green, BYTES Red);
template <bool Reversed>
void StoreGrey(PUCHAR Dest, BYTES Luma);

// Byte Index of Pixels interleaved blue-green-red pixels: the pixel it belongs to (counted from
// the last when Reversed) and its channel (0 blue, 1 green, 2 red). The interleave tables of
// the wide bodies are built from it.
struct INTERLEAVED_BYTE {
    int Pixel;
    int Channel;
};

constexpr INTERLEAVED_BYTE InterleavedByte(int Index, int Pixels, bool Reversed) {
    return {Reversed ? Pixels - 1 - Index / 3 : Index / 3, Index % 3};
}

// Byte shuffles of the shuffle-based bodies: they place blue, green and red (or grey) of 16
// pixels into the three 16-byte pieces of their 48 interleaved bytes, the same in each 16-byte
// half of a Bytes-wide register; 0x80 leaves a byte zero for the other channels to fill.
template <int Bytes>
struct PIECE_SHUFFLES {
    UCHAR Blue[3][Bytes];
    UCHAR Green[3][Bytes];
    UCHAR Red[3][Bytes];
    UCHAR Grey[3][Bytes];
};

template <int Bytes>
constexpr PIECE_SHUFFLES<Bytes> MakePieceShuffles(bool Reversed) {
    PIECE_SHUFFLES<Bytes> Table{};
    for (int Piece = 0; Piece < 3; ++Piece) {
        for (int Byte = 0; Byte < Bytes; ++Byte) {
            const auto [Pixel, Channel] = InterleavedByte(16 * Piece + Byte % 16, 16, Reversed);
            Table.Blue[Piece][Byte] = static_cast<UCHAR>(Channel == 0 ? Pixel : 0x80);
            Table.Green[Piece][Byte] = static_cast<UCHAR>(Channel == 1 ? Pixel : 0x80);
            Table.Red[Piece][Byte] = static_cast<UCHAR>(Channel == 2 ? Pixel : 0x80);
            Table.Grey[Piece][Byte] = static_cast<UCHAR>(Pixel);
        }
    }
    return Table;
}

inline BYTES Load(const UCHAR* Source) {
    BYTES Value;
    __builtin_memcpy(&Value, Source, sizeof(Value));
    return Value;
}

// All-ones in the lanes of odd source columns (the vector always starts at an even column).
inline BYTES OddColumns() {
    BYTES Mask;
    for (ULONG I = 0; I < Lanes; ++I) Mask[I] = (I & 1) ? 0xFF : 0;
    return Mask;
}

inline BYTES Pick(BYTES OddMask, BYTES AtEven, BYTES AtOdd) {
    return (AtEven & ~OddMask) | (AtOdd & OddMask);
}

// (a + b) >> 1 without leaving 8 bits.
inline BYTES HalfSum(BYTES A, BYTES B) { return (A & B) + ((A ^ B) >> 1); }

// (306 R + 301 Gy + 300 Gy1 + 117 B) >> 10, computed in 16 bits: the weights are
// 256 + 50, 256 + 45, 256 + 44 and 117, so the sum is 256 (R + Gy + Gy1) + Rest with Rest at
// most 65,280, and the shift by 10 equals (R + Gy + Gy1 + (Rest >> 8)) >> 2.
inline BYTES Luma(BYTES Red, BYTES GreenOwnRow, BYTES GreenBelowRow, BYTES Blue) {
    const WORDS R = __builtin_convertvector(Red, WORDS);
    const WORDS Gy = __builtin_convertvector(GreenOwnRow, WORDS);
    const WORDS Gy1 = __builtin_convertvector(GreenBelowRow, WORDS);
    const WORDS B = __builtin_convertvector(Blue, WORDS);
    const WORDS Rest = R * 50 + Gy * 45 + Gy1 * 44 + B * 117;
    return __builtin_convertvector((R + Gy + Gy1 + (Rest >> 8)) >> 2, BYTES);
}

// The six loads of one step: rows 2k, 2k + 1, 2k + 2 at columns x and x + 1.
struct ROW_PAIR_SAMPLES {
    BYTES Top, TopNext, Middle, MiddleNext, Bottom, BottomNext;
};

inline ROW_PAIR_SAMPLES LoadSamples(const UCHAR* Row, ULONG Width, ULONG X) {
    const UCHAR* Middle = Row + Width;
    const UCHAR* Bottom = Middle + Width;
    return {Load(Row + X), Load(Row + X + 1), Load(Middle + X),
            Load(Middle + X + 1), Load(Bottom + X), Load(Bottom + X + 1)};
}

inline PUCHAR Destination(PUCHAR OutputRow, ULONG Width, ULONG X, bool Reversed) {
    return OutputRow + 3 * (Reversed ? Width - X - Lanes : X);
}

template <bool Reversed>
VOID ColourRowPair(const UCHAR* Row, ULONG Width, PUCHAR OutputEven, PUCHAR OutputOdd) {
    const BYTES Odd = OddColumns();
    ULONG X = 0;
    for (; X + Lanes <= Width; X += Lanes) {
        const ROW_PAIR_SAMPLES S = LoadSamples(Row, Width, X);
        // Red row 2k over blue row 2k + 1, then blue row 2k + 1 over red row 2k + 2.
        const BYTES Blue = Pick(Odd, S.MiddleNext, S.Middle);
        StoreColour<Reversed>(Destination(OutputEven, Width, X, Reversed), Blue,
                              Pick(Odd, HalfSum(S.TopNext, S.Middle), HalfSum(S.Top, S.MiddleNext)),
                              Pick(Odd, S.Top, S.TopNext));
        StoreColour<Reversed>(Destination(OutputOdd, Width, X, Reversed), Blue,
                              Pick(Odd, HalfSum(S.Middle, S.BottomNext), HalfSum(S.MiddleNext, S.Bottom)),
                              Pick(Odd, S.Bottom, S.BottomNext));
    }
    (Reversed ? ColourSpanReversed : ColourSpanForward)(Row, Width, X, Width, OutputEven, OutputOdd);
}

template <bool Reversed>
VOID GreyRowPair(const UCHAR* Row, ULONG Width, PUCHAR OutputEven, PUCHAR OutputOdd) {
    const BYTES Odd = OddColumns();
    ULONG X = 0;
    for (; X + Lanes <= Width; X += Lanes) {
        const ROW_PAIR_SAMPLES S = LoadSamples(Row, Width, X);
        const BYTES Blue = Pick(Odd, S.MiddleNext, S.Middle);
        StoreGrey<Reversed>(Destination(OutputEven, Width, X, Reversed),
                            Luma(Pick(Odd, S.Top, S.TopNext), Pick(Odd, S.TopNext, S.Top),
                                 Pick(Odd, S.Middle, S.MiddleNext), Blue));
        StoreGrey<Reversed>(Destination(OutputOdd, Width, X, Reversed),
                            Luma(Pick(Odd, S.Bottom, S.BottomNext), Pick(Odd, S.Middle, S.MiddleNext),
                                 Pick(Odd, S.BottomNext, S.Bottom), Blue));
    }
    (Reversed ? GreySpanReversed : GreySpanForward)(Row, Width, X, Width, OutputEven, OutputOdd);
}

constexpr DEMOSAIC_KERNELS VectorKernels = {
    ColourRowPair<false>,
    ColourRowPair<true>,
    GreyRowPair<false>,
    GreyRowPair<true>,
};

}  // namespace
