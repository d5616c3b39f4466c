// Run-time choice of the vector instruction level for the image stages.
//
// The CPU is asked once (cpuid, and xgetbv for the register state the OS saves); every hot
// stage then picks its scalar, SSE2, AVX2 or AVX-512 body from VectorLevelInUse(). Tests and
// benchmarks may lower the level with LimitVectorLevel() to run each body and compare it with
// the scalar one; the limit can never raise the level above what the CPU has.
#pragma once

#include "platform/types.h"

// Ordered: a higher level implies every lower one.
enum VECTOR_LEVEL : LONG {
    VectorLevelScalar = 0,  // plain C++, the reference every other body must match byte for byte
    VectorLevelSse2 = 1,    // 128-bit integer SIMD (baseline of every x86-64 CPU)
    VectorLevelAvx2 = 2,    // 256-bit integer SIMD with FMA, BMI1 and BMI2
    VectorLevelAvx512 = 3,  // 512-bit: AVX-512 F, BW, DQ, VL and VBMI (byte permutes)
};

// Best level this CPU and OS support. Detected on first use, then cached; callable at any IRQL.
VECTOR_LEVEL DetectedVectorLevel();

// Level the stages use: the detected level, lowered by LimitVectorLevel if a limit is set.
VECTOR_LEVEL VectorLevelInUse();

// Caps VectorLevelInUse at Limit (tests and benchmarks; not for use while frames are processed
// on another thread if bit-identical timing matters). VectorLevelAvx512 removes the cap.
void LimitVectorLevel(VECTOR_LEVEL Limit);

// Short lower-case name of a level ("scalar", "sse2", "avx2", "avx512") for test and bench output.
const char* VectorLevelName(VECTOR_LEVEL Level);
