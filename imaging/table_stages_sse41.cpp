// Colour gains and the tone table with SSE4.1: 256-entry byte lookups by 128-bit byte shuffles.
//
// The table lives in sixteen vectors of sixteen entries; each is looked up by the index's low
// four bits, and the sixteen results are narrowed to one by the index's high four bits, a bit at
// a time, by a tree of fifteen blends (without SSE4.1's blends the tree costs more than the
// scalar lookup saves). Colour gains take 32 samples of a row at a time: the even and the odd
// columns are gathered into a vector each, looked up in their own colour's table and
// interleaved back.
#include "imaging/colour_gains.h"
#include "imaging/tone_table.h"

#if defined(__SSE4_1__)
#include <immintrin.h>

namespace {

struct ByteTable128 {
    __m128i Sixteenth[16];
};

ByteTable128 LoadByteTable128(const UCHAR* Table) {
    ByteTable128 Loaded;
    for (ULONG Part = 0; Part < 16; ++Part) {
        Loaded.Sixteenth[Part] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Table + 16 * Part));
    }
    return Loaded;
}

__m128i LookUpBytes128(const ByteTable128& Table, __m128i Indexes) {
    const __m128i Low = _mm_and_si128(Indexes, _mm_set1_epi8(0x0F));
    __m128i Candidates[16];
    for (ULONG Part = 0; Part < 16; ++Part) Candidates[Part] = _mm_shuffle_epi8(Table.Sixteenth[Part], Low);
    // Bit 4 of the index picks between neighbouring sixteenths, then bit 5, 6 and 7; each bit is
    // moved to the top of its byte by doubling.
    __m128i TopBits[4];
    TopBits[3] = Indexes;
    for (int Bit = 2; Bit >= 0; --Bit) TopBits[Bit] = _mm_add_epi8(TopBits[Bit + 1], TopBits[Bit + 1]);
    ULONG Count = 16;
    for (const __m128i& Mask : TopBits) {
        for (ULONG Pair = 0; Pair < Count / 2; ++Pair) {
            Candidates[Pair] = _mm_blendv_epi8(Candidates[2 * Pair], Candidates[2 * Pair + 1], Mask);
        }
        Count /= 2;
    }
    return Candidates[0];
}

VOID MapBytesShuffleBody(PUCHAR Bytes, SIZE_T Count, const UCHAR* Table) {
    const ByteTable128 Lookup = LoadByteTable128(Table);
    SIZE_T Index = 0;
    for (; Index + 16 <= Count; Index += 16) {
        __m128i* At = reinterpret_cast<__m128i*>(Bytes + Index);
        _mm_storeu_si128(At, LookUpBytes128(Lookup, _mm_loadu_si128(At)));
    }
    for (; Index < Count; ++Index) Bytes[Index] = Table[Bytes[Index]];
}

VOID MapColumnPairsShuffle(PUCHAR Row, ULONG Width, const ByteTable128& EvenLookup,
                           const ByteTable128& OddLookup, const UCHAR* EvenTable,
                           const UCHAR* OddTable) {
    const __m128i LowBytes = _mm_set1_epi16(0x00FF);
    ULONG Column = 0;
    for (; Column + 32 <= Width; Column += 32) {
        __m128i* At = reinterpret_cast<__m128i*>(Row + Column);
        const __m128i First = _mm_loadu_si128(At);
        const __m128i Second = _mm_loadu_si128(At + 1);
        const __m128i Even = _mm_packus_epi16(_mm_and_si128(First, LowBytes), _mm_and_si128(Second, LowBytes));
        const __m128i Odd = _mm_packus_epi16(_mm_srli_epi16(First, 8), _mm_srli_epi16(Second, 8));
        const __m128i EvenMapped = LookUpBytes128(EvenLookup, Even);
        const __m128i OddMapped = LookUpBytes128(OddLookup, Odd);
        _mm_storeu_si128(At, _mm_unpacklo_epi8(EvenMapped, OddMapped));
        _mm_storeu_si128(At + 1, _mm_unpackhi_epi8(EvenMapped, OddMapped));
    }
    for (; Column < Width; ++Column) Row[Column] = ((Column & 1) ? OddTable : EvenTable)[Row[Column]];
}

VOID ColourGainsShuffleBody(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                            const UCHAR* GreenGain, const UCHAR* BlueGain) {
    const ByteTable128 Red = LoadByteTable128(RedGain);
    const ByteTable128 Green = LoadByteTable128(GreenGain);
    const ByteTable128 Blue = LoadByteTable128(BlueGain);
    for (ULONG Row = 0; Row < Height; ++Row) {
        const PUCHAR Line = Frame + static_cast<SIZE_T>(Row) * Width;
        if ((Row & 1) == 0) {
            MapColumnPairsShuffle(Line, Width, Red, Green, RedGain, GreenGain);
        } else {
            MapColumnPairsShuffle(Line, Width, Green, Blue, GreenGain, BlueGain);
        }
    }
}

}  // namespace
#endif

VOID ApplyColourGainsSse41(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                           const UCHAR* GreenGain, const UCHAR* BlueGain) {
#if defined(__SSE4_1__)
    ColourGainsShuffleBody(Width, Height, Frame, RedGain, GreenGain, BlueGain);
#else
    ApplyColourGainsScalar(Width, Height, Frame, RedGain, GreenGain, BlueGain);
#endif
}

VOID MapBytesSse41(PUCHAR Bytes, SIZE_T Count, const UCHAR* Table) {
#if defined(__SSE4_1__)
    MapBytesShuffleBody(Bytes, Count, Table);
#else
    MapBytesScalar(Bytes, Count, Table);
#endif
}
