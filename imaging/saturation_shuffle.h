// The saturation row loop for 128-bit vectors with byte shuffles (SSSE3 and later).
//
// A vector of 16 bytes holds five whole pixels and one spare byte. The pixel sums are gathered
// into five 16-bit lanes by three shuffles, the greys made there once per pixel, and spread
// back to every byte's lane by one shuffle per half: a grey is worked out once, not thrice.
// The spare byte gets factor 0 and so keeps its value; the next step starts on it. A step is
// stored only after the next one has been loaded: that load starts on the spare byte, and a
// load overlapping a just-stored vector would stall.
#pragma once

#include <immintrin.h>

#include "imaging/saturation.h"
#include "imaging/saturation_kernel.h"

// Internal linkage: two files compile this, each for its own instruction set, and the linker must
// not keep one copy for both.
namespace {

constexpr ULONG kStepBytes = 15;  // five pixels
constexpr char Z = -128;          // shuffle index giving 0

struct Constants {
    __m128i Blues, Greens, Reds;  // channel of pixel k into word k (k < 5), zero-extended
    __m128i LowGreys, HighGreys;  // grey of word k to the words of bytes 0..7, respectively 8..15
    __m128i LowFactor, HighFactor;
};

Constants MakeConstants(SHORT SignedFactor) {
    Constants C;
    C.Blues = _mm_setr_epi8(0, Z, 3, Z, 6, Z, 9, Z, 12, Z, Z, Z, Z, Z, Z, Z);
    C.Greens = _mm_setr_epi8(1, Z, 4, Z, 7, Z, 10, Z, 13, Z, Z, Z, Z, Z, Z, Z);
    C.Reds = _mm_setr_epi8(2, Z, 5, Z, 8, Z, 11, Z, 14, Z, Z, Z, Z, Z, Z, Z);
    // Byte i belongs to pixel i / 3, whose grey is in word i / 3 (bytes 2k and 2k+1).
    C.LowGreys = _mm_setr_epi8(0, 1, 0, 1, 0, 1, 2, 3, 2, 3, 2, 3, 4, 5, 4, 5);
    C.HighGreys = _mm_setr_epi8(4, 5, 6, 7, 6, 7, 6, 7, 8, 9, 8, 9, 8, 9, Z, Z);
    C.LowFactor = _mm_set1_epi16(SignedFactor);
    C.HighFactor = _mm_setr_epi16(SignedFactor, SignedFactor, SignedFactor, SignedFactor,
                                  SignedFactor, SignedFactor, SignedFactor, 0);
    return C;
}

__m128i WidenLow(__m128i Bytes) {
#if defined(__SSE4_1__)
    return _mm_cvtepu8_epi16(Bytes);
#else
    return _mm_unpacklo_epi8(Bytes, _mm_setzero_si128());
#endif
}

// v + ((v - grey) x factor >> 3) with a saturating add; the factor carries the direction.
__m128i AdjustWords(__m128i Levels, __m128i Greys, __m128i Factor) {
    const __m128i Product = _mm_mullo_epi16(_mm_sub_epi16(Levels, Greys), Factor);
    return _mm_adds_epi16(Levels, _mm_srai_epi16(Product, 3));
}

__m128i AdjustStep(__m128i Bytes, const Constants& C) {
    const __m128i Sums = _mm_add_epi16(_mm_add_epi16(_mm_shuffle_epi8(Bytes, C.Blues),
                                                     _mm_shuffle_epi8(Bytes, C.Greens)),
                                       _mm_shuffle_epi8(Bytes, C.Reds));
    const __m128i Greys = _mm_add_epi16(_mm_srli_epi16(Sums, 3), _mm_srli_epi16(Sums, 2));
    const __m128i Low = AdjustWords(WidenLow(Bytes), _mm_shuffle_epi8(Greys, C.LowGreys), C.LowFactor);
    const __m128i High = AdjustWords(_mm_unpackhi_epi8(Bytes, _mm_setzero_si128()),
                                     _mm_shuffle_epi8(Greys, C.HighGreys), C.HighFactor);
    return _mm_packus_epi16(Low, High);
}

VOID SaturationShuffleBody(PUCHAR Row, ULONG RowBytes, LONG Factor, LONG Direction) {
    const Constants C = MakeConstants(static_cast<SHORT>(Factor * Direction));
    ULONG Offset = 0;
    __m128i Pending = _mm_setzero_si128();
    for (; Offset + 16 <= RowBytes; Offset += kStepBytes) {
        const __m128i Result =
            AdjustStep(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + Offset)), C);
        if (Offset != 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(Row + Offset - kStepBytes), Pending);
        }
        Pending = Result;
    }
    if (Offset != 0) _mm_storeu_si128(reinterpret_cast<__m128i*>(Row + Offset - kStepBytes), Pending);
    for (; Offset + 3 <= RowBytes; Offset += 3) AdjustPixel(Row + Offset, Factor, Direction);
}

}  // namespace
