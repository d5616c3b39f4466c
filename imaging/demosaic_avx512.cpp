// AVX-512 demosaic: 64 pixels of both rows per step, BGR interleave by VBMI byte permutes.
#include "platform/types.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

constexpr ULONG kDemosaicVectorBytes = 64;
#include "imaging/demosaic_vector.h"

namespace {

// Permute indexes that turn 64 planar pixels into 192 interleaved bytes (three vectors).
// ColourFirst picks blue and green from (Blue, Green), ColourSecond adds red from (step 1, Red);
// Grey repeats each luma byte three times.
struct INTERLEAVE_INDEXES {
    UCHAR ColourFirst[3][64];
    UCHAR ColourSecond[3][64];
    UCHAR Grey[3][64];
};

constexpr INTERLEAVE_INDEXES MakeIndexes(bool Reversed) {
    INTERLEAVE_INDEXES Table{};
    for (int Vector = 0; Vector < 3; ++Vector) {
        for (int Byte = 0; Byte < 64; ++Byte) {
            const auto [Pixel, Channel] = InterleavedByte(64 * Vector + Byte, 64, Reversed);
            Table.ColourFirst[Vector][Byte] =
                static_cast<UCHAR>(Channel == 0 ? Pixel : Channel == 1 ? 64 + Pixel : 0);
            Table.ColourSecond[Vector][Byte] =
                static_cast<UCHAR>(Channel == 2 ? 64 + Pixel : Byte);
            Table.Grey[Vector][Byte] = static_cast<UCHAR>(Pixel);
        }
    }
    return Table;
}

alignas(64) constexpr INTERLEAVE_INDEXES ForwardIndexes = MakeIndexes(false);
alignas(64) constexpr INTERLEAVE_INDEXES ReversedIndexes = MakeIndexes(true);

__m512i LoadIndexes(const UCHAR* Row) { return _mm512_load_si512(Row); }

template <bool Reversed>
void StoreColour(PUCHAR Dest, BYTES Blue, BYTES Green, BYTES Red) {
    const INTERLEAVE_INDEXES& Indexes = Reversed ? ReversedIndexes : ForwardIndexes;
    for (int Vector = 0; Vector < 3; ++Vector) {
        const __m512i BlueGreen = _mm512_permutex2var_epi8(
            (__m512i)Blue, LoadIndexes(Indexes.ColourFirst[Vector]), (__m512i)Green);
        const __m512i Pixels = _mm512_permutex2var_epi8(
            BlueGreen, LoadIndexes(Indexes.ColourSecond[Vector]), (__m512i)Red);
        _mm512_storeu_si512(Dest + 64 * Vector, Pixels);
    }
}

template <bool Reversed>
void StoreGrey(PUCHAR Dest, BYTES Luma) {
    const INTERLEAVE_INDEXES& Indexes = Reversed ? ReversedIndexes : ForwardIndexes;
    for (int Vector = 0; Vector < 3; ++Vector) {
        _mm512_storeu_si512(Dest + 64 * Vector,
                            _mm512_maskz_permutexvar_epi8(~0ull, LoadIndexes(Indexes.Grey[Vector]), (__m512i)Luma));
    }
}

}  // namespace

const DEMOSAIC_KERNELS DemosaicKernelsAvx512 = VectorKernels;

#endif  // x86
