// The 128-bit demosaic with byte shuffles (SSSE3 and later), internal: 16 pixels of both rows
// per step, and the planar-to-BGR interleave done by shuffling blue, green and red (or grey)
// straight into the three 16-byte pieces of the 48 output bytes.
//
// Included by demosaic_ssse3.cpp and demosaic_sse41.cpp only, each compiled for its own level.
#pragma once

#include <immintrin.h>

constexpr ULONG kDemosaicVectorBytes = 16;
#include "imaging/demosaic_vector.h"

namespace {

alignas(16) constexpr PIECE_SHUFFLES<16> ForwardPieceShuffles = MakePieceShuffles<16>(false);
alignas(16) constexpr PIECE_SHUFFLES<16> ReversedPieceShuffles = MakePieceShuffles<16>(true);

__m128i ShufflePiece(__m128i Value, const UCHAR* Pattern) {
    return _mm_shuffle_epi8(Value, _mm_load_si128(reinterpret_cast<const __m128i*>(Pattern)));
}

template <bool Reversed>
void StoreColour(PUCHAR Dest, BYTES Blue, BYTES Green, BYTES Red) {
    const PIECE_SHUFFLES<16>& Table = Reversed ? ReversedPieceShuffles : ForwardPieceShuffles;
    __m128i* Out = reinterpret_cast<__m128i*>(Dest);
    for (int Piece = 0; Piece < 3; ++Piece) {
        _mm_storeu_si128(Out + Piece,
                         _mm_or_si128(_mm_or_si128(ShufflePiece((__m128i)Blue, Table.Blue[Piece]),
                                                   ShufflePiece((__m128i)Green, Table.Green[Piece])),
                                      ShufflePiece((__m128i)Red, Table.Red[Piece])));
    }
}

template <bool Reversed>
void StoreGrey(PUCHAR Dest, BYTES Luma) {
    const PIECE_SHUFFLES<16>& Table = Reversed ? ReversedPieceShuffles : ForwardPieceShuffles;
    __m128i* Out = reinterpret_cast<__m128i*>(Dest);
    for (int Piece = 0; Piece < 3; ++Piece) {
        _mm_storeu_si128(Out + Piece, ShufflePiece((__m128i)Luma, Table.Grey[Piece]));
    }
}

}  // namespace
