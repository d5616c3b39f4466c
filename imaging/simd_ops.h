// Width-independent 16-bit lane operations for the vectorised stage bodies.
//
// A body is written once as a template over one of these structs and instantiated in the file
// compiled for that instruction set (*_sse2.cpp, *_sse41.cpp, *_avx2.cpp, *_avx512.cpp). Lanes
// are 16-bit words; bytes are loaded zero-extended and stored with unsigned saturation, in
// memory order.
#pragma once

#include <immintrin.h>

// GCC 12 reports its own "undefined register" idiom inside the AVX-512 intrinsics as
// possibly uninitialised; those lanes are never read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "platform/types.h"

#if defined(__SSE2__)
// 128-bit lanes at SSE2, or at SSE4.1 (widening loads and blends). One type per level, so that
// each level's file keeps its own copy of every operation.
template <int Sse4>
struct Sse128Ops {
    using Vector = __m128i;
    static constexpr ULONG Lanes = 8;
    static Vector LoadBytes(const UCHAR* Bytes) {
        const __m128i Eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(Bytes));
        if constexpr (Sse4 != 0) {
            return _mm_cvtepu8_epi16(Eight);
        } else {
            return _mm_unpacklo_epi8(Eight, _mm_setzero_si128());
        }
    }
    static VOID StoreBytes(PUCHAR Bytes, Vector Words) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(Bytes), _mm_packus_epi16(Words, Words));
    }
    static Vector LoadWords(const SHORT* Words) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(Words));
    }
    static Vector LoadMask(const SHORT* Words) { return LoadWords(Words); }
    static Vector Splat(SHORT Value) { return _mm_set1_epi16(Value); }
    static Vector Add(Vector A, Vector B) { return _mm_add_epi16(A, B); }
    static Vector AddSaturate(Vector A, Vector B) { return _mm_adds_epi16(A, B); }
    static Vector SubSaturate(Vector A, Vector B) { return _mm_subs_epi16(A, B); }
    static Vector Sub(Vector A, Vector B) { return _mm_sub_epi16(A, B); }
    static Vector MulLow(Vector A, Vector B) { return _mm_mullo_epi16(A, B); }
    static Vector MulHigh(Vector A, Vector B) { return _mm_mulhi_epi16(A, B); }
    static Vector ShiftRightArith(Vector A, int Bits) { return _mm_srai_epi16(A, Bits); }
    static Vector ShiftRightLogical(Vector A, int Bits) { return _mm_srli_epi16(A, Bits); }
    static Vector ClampToByte(Vector A) {
        return _mm_unpacklo_epi8(_mm_packus_epi16(A, A), _mm_setzero_si128());
    }
    // Mask lanes are all ones or all zeros: Mask ? A : B.
    static Vector Select(Vector Mask, Vector A, Vector B) {
        if constexpr (Sse4 != 0) {
            return _mm_blendv_epi8(B, A, Mask);
        } else {
            return _mm_or_si128(_mm_and_si128(Mask, A), _mm_andnot_si128(Mask, B));
        }
    }
    // Full 32-bit products of signed words, shifted right arithmetically and saturated back to
    // words, lanes in their original order.
    static Vector MulShiftSaturate(Vector A, Vector B, int Bits) {
        const Vector Low = _mm_mullo_epi16(A, B);
        const Vector High = _mm_mulhi_epi16(A, B);
        const Vector First = _mm_srai_epi32(_mm_unpacklo_epi16(Low, High), Bits);
        const Vector Second = _mm_srai_epi32(_mm_unpackhi_epi16(Low, High), Bits);
        return _mm_packs_epi32(First, Second);
    }
};
using Sse2Ops = Sse128Ops<0>;
#endif

#if defined(__SSE4_1__)
using Sse41Ops = Sse128Ops<1>;
#endif

#if defined(__AVX2__)
struct Avx2Ops {
    using Vector = __m256i;
    static constexpr ULONG Lanes = 16;
    static Vector LoadBytes(const UCHAR* Bytes) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes)));
    }
    static VOID StoreBytes(PUCHAR Bytes, Vector Words) {
        const __m256i Packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(Words, Words), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Bytes), _mm256_castsi256_si128(Packed));
    }
    static Vector LoadWords(const SHORT* Words) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Words));
    }
    static Vector LoadMask(const SHORT* Words) { return LoadWords(Words); }
    static Vector Splat(SHORT Value) { return _mm256_set1_epi16(Value); }
    static Vector Add(Vector A, Vector B) { return _mm256_add_epi16(A, B); }
    static Vector AddSaturate(Vector A, Vector B) { return _mm256_adds_epi16(A, B); }
    static Vector SubSaturate(Vector A, Vector B) { return _mm256_subs_epi16(A, B); }
    static Vector Sub(Vector A, Vector B) { return _mm256_sub_epi16(A, B); }
    static Vector MulLow(Vector A, Vector B) { return _mm256_mullo_epi16(A, B); }
    static Vector MulHigh(Vector A, Vector B) { return _mm256_mulhi_epi16(A, B); }
    static Vector ShiftRightArith(Vector A, int Bits) { return _mm256_srai_epi16(A, Bits); }
    static Vector ShiftRightLogical(Vector A, int Bits) { return _mm256_srli_epi16(A, Bits); }
    static Vector ClampToByte(Vector A) {  // pack and unpack are both per 128-bit half
        return _mm256_unpacklo_epi8(_mm256_packus_epi16(A, A), _mm256_setzero_si256());
    }
    static Vector Select(Vector Mask, Vector A, Vector B) { return _mm256_blendv_epi8(B, A, Mask); }
    static Vector MulShiftSaturate(Vector A, Vector B, int Bits) {
        const Vector Low = _mm256_mullo_epi16(A, B);
        const Vector High = _mm256_mulhi_epi16(A, B);
        const Vector First = _mm256_srai_epi32(_mm256_unpacklo_epi16(Low, High), Bits);
        const Vector Second = _mm256_srai_epi32(_mm256_unpackhi_epi16(Low, High), Bits);
        return _mm256_packs_epi32(First, Second);  // unpack and pack are both per 128-bit half
    }
};
#endif

#if defined(__AVX512BW__)
struct Avx512Ops {
    using Vector = __m512i;
    static constexpr ULONG Lanes = 32;
    static Vector LoadBytes(const UCHAR* Bytes) {
        return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(Bytes)));
    }
    static VOID StoreBytes(PUCHAR Bytes, Vector Words) {
        const __m256i Packed = _mm512_cvtusepi16_epi8(_mm512_max_epi16(Words, _mm512_setzero_si512()));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Bytes), Packed);
    }
    static Vector LoadWords(const SHORT* Words) { return _mm512_loadu_si512(Words); }
    static Vector LoadMask(const SHORT* Words) { return LoadWords(Words); }
    static Vector Splat(SHORT Value) { return _mm512_set1_epi16(Value); }
    static Vector Add(Vector A, Vector B) { return _mm512_add_epi16(A, B); }
    static Vector AddSaturate(Vector A, Vector B) { return _mm512_adds_epi16(A, B); }
    static Vector SubSaturate(Vector A, Vector B) { return _mm512_subs_epi16(A, B); }
    static Vector Sub(Vector A, Vector B) { return _mm512_sub_epi16(A, B); }
    static Vector MulLow(Vector A, Vector B) { return _mm512_mullo_epi16(A, B); }
    static Vector MulHigh(Vector A, Vector B) { return _mm512_mulhi_epi16(A, B); }
    static Vector ShiftRightArith(Vector A, int Bits) { return _mm512_srai_epi16(A, Bits); }
    static Vector ShiftRightLogical(Vector A, int Bits) { return _mm512_srli_epi16(A, Bits); }
    static Vector ClampToByte(Vector A) {
        return _mm512_min_epi16(_mm512_max_epi16(A, _mm512_setzero_si512()), _mm512_set1_epi16(255));
    }
    static Vector Select(Vector Mask, Vector A, Vector B) {
        return _mm512_mask_blend_epi16(_mm512_movepi16_mask(Mask), B, A);
    }
    static Vector MulShiftSaturate(Vector A, Vector B, int Bits) {
        const Vector Low = _mm512_mullo_epi16(A, B);
        const Vector High = _mm512_mulhi_epi16(A, B);
        const Vector First = _mm512_srai_epi32(_mm512_unpacklo_epi16(Low, High), Bits);
        const Vector Second = _mm512_srai_epi32(_mm512_unpackhi_epi16(Low, High), Bits);
        return _mm512_packs_epi32(First, Second);
    }
};
#endif
