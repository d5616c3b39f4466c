// Colour separation for N blocks at a time, written once with GCC vector extensions and
// instantiated in the files compiled for SSE2, SSSE3 and SSE4.1 (N = 4), AVX2 (N = 8) and
// AVX-512 (N = 16).
//
// Blocks are independent, so any grouping gives the reference's bytes. The six orderings are
// resolved with masks in the reference's order of precedence; the pull's division is done in
// single precision, which is exact here: numerators stay below 2^16 and denominators below 341,
// so a quotient just under an integer is at least 1/341 under it, far beyond float rounding.
#pragma once

#include "imaging/contrast.h"

// Internal linkage: the files of two levels instantiate the same N, each for its own instruction
// set, and the linker must not keep one for both.
namespace {

template <int N>
struct SeparateLanes {
    typedef int Ints __attribute__((vector_size(4 * N)));
    typedef float Floats __attribute__((vector_size(4 * N)));
    typedef unsigned short Pairs __attribute__((vector_size(2 * N)));
};

template <int N>
typename SeparateLanes<N>::Ints CapLanesAt255(typename SeparateLanes<N>::Ints Value) {
    return Value > 255 ? 255 : Value;
}

template <int N>
VOID SeparateBlocksBody(PUCHAR Upper, PUCHAR Lower) {
    using Ints = typename SeparateLanes<N>::Ints;
    using Floats = typename SeparateLanes<N>::Floats;
    using Pairs = typename SeparateLanes<N>::Pairs;
    Pairs UpperPairs, LowerPairs;  // each 16-bit pair: even-column byte low, odd-column byte high
    __builtin_memcpy(&UpperPairs, Upper, sizeof(Pairs));
    __builtin_memcpy(&LowerPairs, Lower, sizeof(Pairs));
    const Ints UpperInts = __builtin_convertvector(UpperPairs, Ints);
    const Ints LowerInts = __builtin_convertvector(LowerPairs, Ints);
    const Ints R = UpperInts & 0xFF;
    const Ints G = ((UpperInts >> 8) + (LowerInts & 0xFF)) / 2;
    const Ints B = LowerInts >> 8;

    // Strongest colour: red before green before blue on ties; then the middle one.
    const Ints RedStrong = (R >= G) & (R >= B);
    const Ints GreenStrong = ~RedStrong & (G >= R) & (G >= B);
    const Ints BlueStrong = ~RedStrong & ~GreenStrong;
    const Ints GreenMiddle = (RedStrong & (G >= B)) | (BlueStrong & (G >= R));
    const Ints RedMiddle = (GreenStrong & (R >= B)) | (BlueStrong & ~(G >= R));
    const Ints BlueMiddle = ~GreenMiddle & ~RedMiddle;
    const Ints PullByGap = BlueStrong & GreenMiddle;

    const Ints Strong = RedStrong ? R : (GreenStrong ? G : B);
    const Ints Middle = RedMiddle ? R : (GreenMiddle ? G : B);
    const Ints Weak = R + G + B - Strong - Middle;

    const Ints Boosted = CapLanesAt255<N>(Strong + (((Strong - Middle) * Strong * 5) >> 10));
    const Ints Push = PullByGap ? Strong - Middle : Boosted - Strong;
    const Floats Quotient = __builtin_convertvector(Push * (Middle - Weak), Floats) /
                            __builtin_convertvector(85 + Middle - Weak, Floats);
    const Ints Pulled = CapLanesAt255<N>(Middle + __builtin_convertvector(Quotient, Ints));

    const Ints NewR = RedStrong ? Boosted : (RedMiddle ? Pulled : R);
    const Ints NewG = GreenStrong ? Boosted : (GreenMiddle ? Pulled : G);
    const Ints NewB = BlueStrong ? Boosted : (BlueMiddle ? Pulled : B);
    const Pairs NewUpper = __builtin_convertvector(NewR | (NewG << 8), Pairs);
    const Pairs NewLower = __builtin_convertvector(NewG | (NewB << 8), Pairs);
    __builtin_memcpy(Upper, &NewUpper, sizeof(Pairs));
    __builtin_memcpy(Lower, &NewLower, sizeof(Pairs));
}

// Blocks from column 2 while a whole vector of them ends at least two columns before the row
// end; returns the first column left for the scalar loop.
template <int N>
ULONG SeparateRowPairBody(PUCHAR Upper, ULONG Width) {
    ULONG Column = 2;
    for (; Column + 2 * N + 2 <= Width; Column += 2 * N) {
        SeparateBlocksBody<N>(Upper + Column, Upper + Width + Column);
    }
    return Column;
}

}  // namespace
