// 256-entry byte table lookups with AVX-512 VBMI: the table lives in four registers and two
// two-source byte permutes plus a blend on the index's top bit look up 64 bytes at once.
#pragma once

#include <immintrin.h>

#include "platform/types.h"

struct ByteTable512 {
    __m512i Quarter[4];
};

inline ByteTable512 LoadByteTable512(const UCHAR* Table) {
    return {{_mm512_loadu_si512(Table), _mm512_loadu_si512(Table + 64),
             _mm512_loadu_si512(Table + 128), _mm512_loadu_si512(Table + 192)}};
}

inline __m512i LookUpBytes512(const ByteTable512& Table, __m512i Indexes) {
    const __m512i LowHalf = _mm512_permutex2var_epi8(Table.Quarter[0], Indexes, Table.Quarter[1]);
    const __m512i HighHalf = _mm512_permutex2var_epi8(Table.Quarter[2], Indexes, Table.Quarter[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(Indexes), LowHalf, HighHalf);
}

// Mask of the first Count (< 64 or more) bytes of a 64-byte step.
inline __mmask64 LeadingBytes(SIZE_T Count) {
    return Count >= 64 ? ~0ull : (1ull << Count) - 1;
}
