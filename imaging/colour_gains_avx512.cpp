// Colour gains for AVX-512 VBMI: both tables of a row looked up, then merged by column parity.
#include "imaging/byte_lookup_avx512.h"
#include "imaging/colour_gains.h"

namespace {

constexpr __mmask64 OddColumns = 0xAAAAAAAAAAAAAAAAull;

VOID MapRow(PUCHAR Row, ULONG Width, const ByteTable512& EvenTable, const ByteTable512& OddTable) {
    for (ULONG Column = 0; Column < Width; Column += 64) {
        const __mmask64 Valid = LeadingBytes(Width - Column);
        const __m512i Levels = _mm512_maskz_loadu_epi8(Valid, Row + Column);
        const __m512i Mapped = _mm512_mask_blend_epi8(OddColumns, LookUpBytes512(EvenTable, Levels),
                                                      LookUpBytes512(OddTable, Levels));
        _mm512_mask_storeu_epi8(Row + Column, Valid, Mapped);
    }
}

}  // namespace

VOID ApplyColourGainsAvx512(ULONG Width, ULONG Height, PUCHAR Frame, const UCHAR* RedGain,
                            const UCHAR* GreenGain, const UCHAR* BlueGain) {
    const ByteTable512 Red = LoadByteTable512(RedGain);
    const ByteTable512 Green = LoadByteTable512(GreenGain);
    const ByteTable512 Blue = LoadByteTable512(BlueGain);
    for (ULONG Row = 0; Row < Height; ++Row) {
        const bool RedRow = (Row & 1) == 0;
        MapRow(Frame + static_cast<SIZE_T>(Row) * Width, Width, RedRow ? Red : Green,
               RedRow ? Green : Blue);
    }
}
