// Tone-table mapping for AVX-512 VBMI.
#include "imaging/byte_lookup_avx512.h"
#include "imaging/tone_table.h"

VOID MapBytesAvx512(PUCHAR Bytes, SIZE_T Count, const UCHAR* Table) {
    const ByteTable512 Lookup = LoadByteTable512(Table);
    for (SIZE_T Index = 0; Index < Count; Index += 64) {
        const __mmask64 Valid = LeadingBytes(Count - Index);
        const __m512i Levels = _mm512_maskz_loadu_epi8(Valid, Bytes + Index);
        _mm512_mask_storeu_epi8(Bytes + Index, Valid, LookUpBytes512(Lookup, Levels));
    }
}
