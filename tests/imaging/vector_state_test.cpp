// The vector level is decided at load by what the system saves: the 128-bit bodies where only
// the floating-point save exists, wider ones where the extended save does; the frame work saves
// the registers with the save that covers the bodies in use, and pairs it with its restore.
#include "process_frame_fixture.h"

#include "host/kernel/processor_state.h"
#include "imaging/stage_bodies.h"
#include "imaging/vector_state.h"

namespace vexacam::test {
namespace {

constexpr VECTOR_LEVEL kBest128BitLevel = VectorLevelSse41;

// The processor's own best level: with the extended save the host keeps every register.
VECTOR_LEVEL ProcessorLevel() {
    host::OfferExtendedStateSave(true);
    return DetectVectorLevel();
}

struct SaveCase {
    const char* Why;
    bool Offered;
};

class VectorStateChoice : public FrameStagesTest, public ::testing::WithParamInterface<SaveCase> {
protected:
    void TearDown() override {
        host::OfferExtendedStateSave(true);
        SelectStageBodies(DetectVectorLevel());
        FrameStagesTest::TearDown();
    }
};

TEST_P(VectorStateChoice, LevelFollowsTheSaveAndTheFrameWorkPairsThatSave) {
    const SaveCase& c = GetParam();
    const VECTOR_LEVEL processor = ProcessorLevel();
    host::OfferExtendedStateSave(c.Offered);
    const VECTOR_LEVEL cap = c.Offered ? VectorLevelAvx512 : kBest128BitLevel;
    const VECTOR_LEVEL expected = processor < cap ? processor : cap;
    SelectStageBodies(DetectVectorLevel());
    ASSERT_EQ(ActiveStageBodies().Level, expected) << c.Why;
    EXPECT_EQ(SavedVectorBits(), c.Offered ? 512u : 128u) << c.Why;

    host::ClearProcessorStateSaves();
    FillRaw(90);
    RunFrame();
    const host::ProcessorStateSaves saves = host::ProcessorStateSaveCounts();
    EXPECT_EQ(saves.FloatingPointSaves, saves.FloatingPointRestores) << c.Why;
    EXPECT_EQ(saves.ExtendedSaves, saves.ExtendedRestores) << c.Why;
    if (NeedsExtendedStateSave(expected)) {
        EXPECT_EQ(saves.ExtendedSaves, 1u) << c.Why;
        const uint64_t needed = XSTATE_MASK_LEGACY | XSTATE_MASK_AVX |
                                (expected >= VectorLevelAvx512 ? XSTATE_MASK_AVX512 : 0);
        EXPECT_EQ(saves.LastExtendedMask, needed) << c.Why;
    } else {
        EXPECT_EQ(saves.ExtendedSaves, 0u) << c.Why << ": 128-bit bodies need no extended save";
        EXPECT_GE(saves.FloatingPointSaves, 1u) << c.Why;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BothSystems, VectorStateChoice,
    ::testing::Values(SaveCase{"a newer system: the wide bodies, their registers saved", true},
                      SaveCase{"an older system: the 128-bit bodies, never a wider one", false}),
    [](const ::testing::TestParamInfo<SaveCase>& tested) {
        return tested.param.Offered ? std::string("ExtendedSaveOffered")
                                  : std::string("FloatingPointSaveOnly");
    });

TEST(VectorLevelSelection, AskingForMoreThanTheSaveCoversLandsOnThe128BitBodies) {
    host::OfferExtendedStateSave(false);
    DetectVectorLevel();
    SelectStageBodies(VectorLevelAvx512);
    const VECTOR_LEVEL landed = ActiveStageBodies().Level;
    host::OfferExtendedStateSave(true);
    SelectStageBodies(DetectVectorLevel());
    EXPECT_LE(landed, kBest128BitLevel);
}

}  // namespace
}  // namespace vexacam::test
