// Defect repair from the table and the flat-field gains.
#include <gtest/gtest.h>

#include <vector>

#include "colour_stage_support.h"
#include "imaging/defects.h"
#include "imaging/flat_field.h"

namespace vexacam::test {
namespace {

constexpr ULONG kWidth = 640, kHeight = 480;

UCHAR& At(std::vector<UCHAR>& frame, ULONG x, ULONG y) { return frame[size_t{y} * kWidth + x]; }

TEST(CorrectDefects, RepairsOrSkipsEachEntryByWindowAndNeighbours) {
    struct Case {
        USHORT x, y;
        ULONG hOff, vOff;
        ULONG expectX, expectY;  // repaired pixel, or 0 when the entry is skipped
        const char* reason;
    };
    const Case cases[] = {
        {100, 50, 0, 0, 100, 50, "identity mapping with both offsets 0"},
        {0, 50, 0, 0, 0, 0, "column 0 is never repaired"},
        {100, 0, 0, 0, 0, 0, "row 0 is never repaired"},
        {6, 50, 5, 0, 2, 50, "H_Off 5: 5 < 6 passes, 6 - 4 = 2"},
        {5, 50, 5, 0, 0, 0, "H_Off 5: X = 5 fails the strict test"},
        {150, 50, 100, 0, 50, 50, "offsets in force now, not at capture time"},
        {100, 70, 0, 20, 100, 50, "V_Off maps rows the same way"},
        {1, 50, 0, 0, 0, 0, "column 1: left neighbour would be in the previous row"},
        {100, 1, 0, 0, 0, 0, "row 1: upper neighbour would be before the frame"},
        {kWidth - 2, 50, 0, 0, 0, 0, "right neighbour past the row end"},
        {100, kHeight - 2, 0, 0, 0, 0, "lower neighbour past the frame"},
        {kWidth - 3, kHeight - 3, 0, 0, kWidth - 3, kHeight - 3, "last repairable position"},
        {kWidth + 4, 50, 5, 0, 0, 0, "odd H_Off: mapped column would be W, outside"},
    };
    for (const auto& c : cases) {
        auto frame = colour::UniformFrame({kWidth, kHeight}, 40);
        if (c.expectX != 0) At(frame, c.expectX, c.expectY) = 250;
        const auto before = frame;
        const DefectEntry entry = {c.x, c.y};
        CorrectDefects(frame.data(), &entry, 1, kWidth, kHeight, c.hOff, c.vOff);
        auto expected = before;
        if (c.expectX != 0) At(expected, c.expectX, c.expectY) = 40;
        EXPECT_EQ(frame, expected) << c.reason;
    }
}

TEST(CorrectDefects, LaterEntriesAverageOverEarlierRepairs) {
    auto frame = colour::UniformFrame({kWidth, kHeight}, 40);
    At(frame, 100, 50) = 200;
    At(frame, 102, 50) = 200;
    const DefectEntry table[] = {{100, 50}, {102, 50}};
    CorrectDefects(frame.data(), table, 2, kWidth, kHeight, 0, 0);
    EXPECT_EQ(At(frame, 100, 50), (40 + 200 + 40 + 40) / 4);
    EXPECT_EQ(At(frame, 102, 50), (80 + 40 + 40 + 40) / 4) << "reads the repaired 80";
}

TEST(CorrectDefects, CountZeroChangesNothing) {
    std::mt19937 random(1);
    auto frame = colour::RandomBytes(size_t{kWidth} * kHeight, random);
    const auto before = frame;
    const DefectEntry entry = {100, 50};
    CorrectDefects(frame.data(), &entry, 0, kWidth, kHeight, 0, 0);
    EXPECT_EQ(frame, before);
}

TEST(ApplyFlatField, GainsScaleAndSaturate) {
    struct Case {
        SHORT gain;
        UCHAR level;
        UCHAR result;
        const char* reason;
    };
    const Case cases[] = {
        {64, 200, 200, "64 is x1"},         {128, 200, 255, "saturates"},
        {96, 100, 150, "x1.5"},             {32, 101, 50, "x0.5 truncates"},
        {16000, 255, 255, "23-bit product saturates"},
        {0, 200, 0, "zero gain"},           {-64, 200, 0, "negative gains give 0"},
        {32767, 255, 255, "largest gain"},  {-32768, 255, 0, "most negative gain"},
        {127, 129, 255, "16383 / 64 = 255.98"}, {64, 0, 0, "black stays black"},
    };
    // Sixty-four pixels so that every body's vector loop and its tail both see each case.
    for (VECTOR_LEVEL level : {VectorLevelScalar, VectorLevelSse2, VectorLevelSsse3, VectorLevelSse41,
                               VectorLevelAvx2, VectorLevelAvx512}) {
        colour::VectorLevelScope scope(level);
        for (const auto& c : cases) {
            std::vector<UCHAR> frame(72, c.level);
            std::vector<SHORT> gains(72, c.gain);
            ApplyFlatField(8, 9, frame.data(), gains.data(), 72);
            for (UCHAR value : frame) ASSERT_EQ(value, c.result) << c.reason << " at " << VectorLevelName(level);
        }
    }
}

TEST(ApplyFlatField, FrameLargerThanTheMapIsLeftAlone) {
    std::vector<UCHAR> frame(64 * 10, 100);
    std::vector<SHORT> gains(64 * 9, 128);  // one row short
    ApplyFlatField(64, 10, frame.data(), gains.data(), static_cast<ULONG>(gains.size()));
    EXPECT_EQ(frame, std::vector<UCHAR>(64 * 10, 100));
    ApplyFlatField(64, 9, frame.data(), gains.data(), static_cast<ULONG>(gains.size()));
    EXPECT_EQ(frame[0], 200) << "a frame that fits is corrected";
}

}  // namespace
}  // namespace vexacam::test
