// SSE2 demosaic: 16 pixels of both rows per step. Without byte shuffles the interleave builds
// 32-bit pixels (blue, green, red, 0) by unpacking and squeezes out every fourth byte with
// shifts and masks.
#include "platform/types.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>

constexpr ULONG kDemosaicVectorBytes = 16;
#include "imaging/demosaic_vector.h"

namespace {

// Four pixels (b, g, r, 0) -> their 12 bytes at the bottom of the result, top 4 bytes zero.
__m128i SqueezeFourPixels(__m128i Pixels) {
    const __m128i LowPixel = _mm_set1_epi64x(0x0000000000FFFFFFll);
    const __m128i HighPixel = _mm_set1_epi64x(0x0000FFFFFF000000ll);
    const __m128i PairsOf6 = _mm_or_si128(_mm_and_si128(Pixels, LowPixel),
                                          _mm_and_si128(_mm_srli_epi64(Pixels, 8), HighPixel));
    return _mm_or_si128(_mm_move_epi64(PairsOf6), _mm_slli_si128(_mm_srli_si128(PairsOf6, 8), 6));
}

template <bool Reversed>
void StoreColour(PUCHAR Dest, BYTES Blue, BYTES Green, BYTES Red) {
    const __m128i Zero = _mm_setzero_si128();
    const __m128i BlueGreenLow = _mm_unpacklo_epi8((__m128i)Blue, (__m128i)Green);
    const __m128i BlueGreenHigh = _mm_unpackhi_epi8((__m128i)Blue, (__m128i)Green);
    const __m128i RedLow = _mm_unpacklo_epi8((__m128i)Red, Zero);
    const __m128i RedHigh = _mm_unpackhi_epi8((__m128i)Red, Zero);
    __m128i Quads[4] = {
        _mm_unpacklo_epi16(BlueGreenLow, RedLow), _mm_unpackhi_epi16(BlueGreenLow, RedLow),
        _mm_unpacklo_epi16(BlueGreenHigh, RedHigh), _mm_unpackhi_epi16(BlueGreenHigh, RedHigh)};
    if (Reversed) {
        const __m128i First = Quads[0], Second = Quads[1];
        Quads[0] = _mm_shuffle_epi32(Quads[3], 0x1B);
        Quads[1] = _mm_shuffle_epi32(Quads[2], 0x1B);
        Quads[2] = _mm_shuffle_epi32(Second, 0x1B);
        Quads[3] = _mm_shuffle_epi32(First, 0x1B);
    }
    const __m128i P0 = SqueezeFourPixels(Quads[0]);
    const __m128i P1 = SqueezeFourPixels(Quads[1]);
    const __m128i P2 = SqueezeFourPixels(Quads[2]);
    const __m128i P3 = SqueezeFourPixels(Quads[3]);
    __m128i* Out = reinterpret_cast<__m128i*>(Dest);
    _mm_storeu_si128(Out + 0, _mm_or_si128(P0, _mm_slli_si128(P1, 12)));
    _mm_storeu_si128(Out + 1, _mm_or_si128(_mm_srli_si128(P1, 4), _mm_slli_si128(P2, 8)));
    _mm_storeu_si128(Out + 2, _mm_or_si128(_mm_srli_si128(P2, 8), _mm_slli_si128(P3, 4)));
}

template <bool Reversed>
void StoreGrey(PUCHAR Dest, BYTES Luma) {
    StoreColour<Reversed>(Dest, Luma, Luma, Luma);
}

}  // namespace

const DEMOSAIC_KERNELS DemosaicKernelsSse2 = VectorKernels;

#endif  // x86
