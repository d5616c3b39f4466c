// The vector instruction levels of the image stages, and what this processor offers.
//
// The CPU is asked once (cpuid, and xgetbv for the register state the OS saves); the stages'
// bodies for the level chosen are gathered in one table (imaging/stage_bodies.h).
#pragma once

#include "platform/types.h"

// Ordered: a higher level implies every lower one.
enum VECTOR_LEVEL : LONG {
    VectorLevelScalar = 0,  // plain C++, the reference every other body must match byte for byte
    VectorLevelSse2 = 1,    // 128-bit integer SIMD (baseline of every x86-64 CPU)
    VectorLevelSsse3 = 2,   // 128-bit with byte shuffles and 16-bit multiply-adds
    VectorLevelSse41 = 3,   // 128-bit with blends, 32-bit multiplies and widening loads
    VectorLevelAvx2 = 4,    // 256-bit integer SIMD with FMA, BMI1 and BMI2
    VectorLevelAvx512 = 5,  // 512-bit: AVX-512 F, BW, DQ, VL and VBMI (byte permutes)
};

// Best level this CPU supports whose registers the system saves for the driver: the 128-bit
// levels with the floating-point save, wider ones only where the system has the extended save
// (imaging/vector_state.h). Decided at load, PASSIVE_LEVEL: the driver's entry calls it; a
// program that uses the stages without loading the driver gets it from its first
// DetectedVectorLevel, which must then be at PASSIVE_LEVEL.
VECTOR_LEVEL DetectVectorLevel();

// What the last DetectVectorLevel decided (deciding now if none has). Any IRQL once decided.
VECTOR_LEVEL DetectedVectorLevel();

// Short lower-case name of a level ("scalar", "sse2", "ssse3", "sse41", "avx2", "avx512") for test and bench output.
const char* VectorLevelName(VECTOR_LEVEL Level);
