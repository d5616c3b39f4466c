#include "imaging/stage_bodies.h"

#include "imaging/colour_gains.h"
#include "imaging/contrast.h"
#include "imaging/flat_field.h"
#include "imaging/saturation.h"
#include "imaging/tone_table.h"
#include "platform/kernel.h"

namespace {

// Without vectors every block of the colour separation is the scalar loop's.
ULONG SeparateNoRowPair(PUCHAR, ULONG) { return 2; }

constexpr StageBodies kScalarBodies = {
    VectorLevelScalar,     &DemosaicKernelsScalar, ApplyColourGainsScalar, MapBytesScalar,
    ApplyFlatFieldScalar,  SeparateNoRowPair,     ContrastRowsScalar,     AdjustRowScalar,
};

#if defined(__x86_64__) || defined(__i386__)
// A byte-table lookup gains little without byte permutes: the colour gains and the tone table
// are scalar except at SSE4.1 (shuffles and blends) and AVX-512 VBMI.
constexpr StageBodies kSse2Bodies = {
    VectorLevelSse2,     &DemosaicKernelsSse2, ApplyColourGainsScalar, MapBytesScalar,
    ApplyFlatFieldSse2,  SeparateRowPairSse2, ContrastRowsSse2,       AdjustRowSse2,
};

// Where the SSSE3 or SSE4.1 level has no body of its own, it runs the SSE2 one.
constexpr StageBodies kSsse3Bodies = {
    VectorLevelSsse3,    &DemosaicKernelsSsse3, ApplyColourGainsScalar, MapBytesScalar,
    ApplyFlatFieldSse2,  SeparateRowPairSsse3, ContrastRowsSse2,      AdjustRowSsse3,
};

constexpr StageBodies kSse41Bodies = {
    VectorLevelSse41,    &DemosaicKernelsSse41, ApplyColourGainsSse41, MapBytesSse41,
    ApplyFlatFieldSse41, SeparateRowPairSse41, ContrastRowsSse41,     AdjustRowSse41,
};

constexpr StageBodies kAvx2Bodies = {
    VectorLevelAvx2,     &DemosaicKernelsAvx2, ApplyColourGainsScalar, MapBytesScalar,
    ApplyFlatFieldAvx2,  SeparateRowPairAvx2,  ContrastRowsAvx2,       AdjustRowAvx2,
};

constexpr StageBodies kAvx512Bodies = {
    VectorLevelAvx512,     &DemosaicKernelsAvx512, ApplyColourGainsAvx512, MapBytesAvx512,
    ApplyFlatFieldAvx512,  SeparateRowPairAvx512, ContrastRowsAvx512,     AdjustRowAvx512,
};
#endif

// Null until a level is chosen.
const StageBodies* g_ActiveBodies = nullptr;

}  // namespace

const StageBodies& StageBodiesFor(VECTOR_LEVEL Level) {
#if defined(__x86_64__) || defined(__i386__)
    switch (Level) {
        case VectorLevelAvx512: return kAvx512Bodies;
        case VectorLevelAvx2: return kAvx2Bodies;
        case VectorLevelSse41: return kSse41Bodies;
        case VectorLevelSsse3: return kSsse3Bodies;
        case VectorLevelSse2: return kSse2Bodies;
        case VectorLevelScalar: break;
    }
#endif
    return kScalarBodies;
}

VOID SelectStageBodies(VECTOR_LEVEL Level) {
    const VECTOR_LEVEL Detected = DetectedVectorLevel();
    WriteOnce(g_ActiveBodies, &StageBodiesFor(Level < Detected ? Level : Detected));
}

const StageBodies& ActiveStageBodies() {
    const StageBodies* Bodies = ReadOnce(g_ActiveBodies);
    if (Bodies != nullptr) return *Bodies;
    SelectStageBodies(VectorLevelAvx512);
    return *ReadOnce(g_ActiveBodies);
}
