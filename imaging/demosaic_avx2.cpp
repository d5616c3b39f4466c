// AVX2 demosaic: 32 pixels of both rows per step. The BGR interleave shuffles within each
// 128-bit half (16 pixels -> 48 bytes), then stitches the halves into place.
#include "platform/types.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

constexpr ULONG kDemosaicVectorBytes = 32;
#include "imaging/demosaic_vector.h"

namespace {

// Both halves of a 32-byte row use the same shuffle.
using HALF_SHUFFLES = PIECE_SHUFFLES<32>;
alignas(32) constexpr HALF_SHUFFLES ForwardShuffles = MakePieceShuffles<32>(false);
alignas(32) constexpr HALF_SHUFFLES ReversedShuffles = MakePieceShuffles<32>(true);

__m256i Shuffle(__m256i Value, const UCHAR* Pattern) {
    return _mm256_shuffle_epi8(Value, _mm256_load_si256(reinterpret_cast<const __m256i*>(Pattern)));
}

// Pieces[k] holds bytes 16k .. 16k + 15 of the low half's 48 bytes in its low half and of the
// high half's 48 bytes in its high half. Forward: low half's pixels first in memory.
template <bool Reversed>
void StorePieces(PUCHAR Dest, const __m256i (&Pieces)[3]) {
    __m256i* Out = reinterpret_cast<__m256i*>(Dest);
    if (!Reversed) {
        _mm256_storeu_si256(Out + 0, _mm256_permute2x128_si256(Pieces[0], Pieces[1], 0x20));
        _mm256_storeu_si256(Out + 1, _mm256_permute2x128_si256(Pieces[2], Pieces[0], 0x30));
        _mm256_storeu_si256(Out + 2, _mm256_permute2x128_si256(Pieces[1], Pieces[2], 0x31));
    } else {
        _mm256_storeu_si256(Out + 0, _mm256_permute2x128_si256(Pieces[0], Pieces[1], 0x31));
        _mm256_storeu_si256(Out + 1, _mm256_permute2x128_si256(Pieces[2], Pieces[0], 0x21));
        _mm256_storeu_si256(Out + 2, _mm256_permute2x128_si256(Pieces[1], Pieces[2], 0x20));
    }
}

template <bool Reversed>
void StoreColour(PUCHAR Dest, BYTES Blue, BYTES Green, BYTES Red) {
    const HALF_SHUFFLES& Table = Reversed ? ReversedShuffles : ForwardShuffles;
    __m256i Pieces[3];
    for (int Piece = 0; Piece < 3; ++Piece) {
        Pieces[Piece] = _mm256_or_si256(
            _mm256_or_si256(Shuffle((__m256i)Blue, Table.Blue[Piece]),
                            Shuffle((__m256i)Green, Table.Green[Piece])),
            Shuffle((__m256i)Red, Table.Red[Piece]));
    }
    StorePieces<Reversed>(Dest, Pieces);
}

template <bool Reversed>
void StoreGrey(PUCHAR Dest, BYTES Luma) {
    const HALF_SHUFFLES& Table = Reversed ? ReversedShuffles : ForwardShuffles;
    __m256i Pieces[3];
    for (int Piece = 0; Piece < 3; ++Piece) Pieces[Piece] = Shuffle((__m256i)Luma, Table.Grey[Piece]);
    StorePieces<Reversed>(Dest, Pieces);
}

}  // namespace

const DEMOSAIC_KERNELS DemosaicKernelsAvx2 = VectorKernels;

#endif  // x86
