// Shared pieces of the contrast stage: the per-sample arithmetic and the reference group step
// that every body falls back to for the columns its vectors do not cover.
#pragma once

#include "platform/types.h"

struct ContrastParameters {
    LONG Factor;   // the contrast setting, already limited to what 16 bits carry
    LONG Offset;   // 128 - 8 x Factor
    BOOLEAN Emphasis;
};

// static: the per-level files compile these with their own instruction set, and a shared
// (merged) copy could hand an AVX-512 build of it to the scalar body.
static inline LONG SaturateToShort(LONG Value) {
    return Value < -32768 ? -32768 : (Value > 32767 ? 32767 : Value);
}

// (v x k) keeping the low 16 bits as a signed value, arithmetic shift by 4, saturating add of
// the offset, clamped to a byte.
static inline UCHAR ContrastSample(LONG Value, const ContrastParameters& Parameters) {
    const LONG Product = static_cast<SHORT>(static_cast<USHORT>(Value * Parameters.Factor));
    const LONG Level = SaturateToShort((Product >> 4) + Parameters.Offset);
    return static_cast<UCHAR>(Level < 0 ? 0 : (Level > 255 ? 255 : Level));
}

// The 16 samples of columns Column..Column+7 in rows Row and Row+1: all read (with the emphasis
// reading their neighbours from the frame as it is at that moment), then all written.
VOID ContrastGroup(PUCHAR Frame, ULONG Width, ULONG Row, ULONG Column,
                   const ContrastParameters& Parameters);
