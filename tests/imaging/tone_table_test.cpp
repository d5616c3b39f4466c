// Tone tables built from gamma values, and their application.
#include <gtest/gtest.h>

#include <array>

#include "colour_stage_support.h"
#include "imaging/gamma_table.h"
#include "imaging/tone_table.h"

namespace vexacam::test {
namespace {

struct ToneFixture : ::testing::Test {
    ToneFixture() {
        FillLogTable(logs);
        for (int i = 0; i < 256; ++i) tone[i] = static_cast<UCHAR>(i);
    }
    std::array<UCHAR, 256> Build(double gamma) {
        double current = 1.0;
        BuildToneTable(&current, gamma, tone, logs);
        EXPECT_EQ(current, gamma);
        std::array<UCHAR, 256> result;
        std::copy(tone, tone + 256, result.begin());
        return result;
    }
    double logs[LogTableEntries];
    UCHAR tone[256];
};

TEST_F(ToneFixture, WorkedExamplesOfTheToneCurve) {
    struct Case {
        double gamma;
        int level;
        int mapped;
        const char* reason;
    };
    const Case cases[] = {
        {2.0, 1, 16, "gamma 2 lifts the darkest level"}, {2.0, 64, 128, ""},
        {2.0, 128, 181, ""}, {2.0, 200, 226, ""}, {2.0, 255, 255, "top stays"},
        {2.0, 0, 0, "entry 0 is never changed"},
        {3.0, 1, 40, ""}, {3.0, 64, 161, ""}, {3.0, 128, 203, ""}, {3.0, 200, 235, ""},
        {0.375, 1, 1, "never 0"}, {0.375, 5, 1, ""}, {0.375, 64, 6, ""}, {0.375, 128, 41, ""},
        {0.375, 200, 133, ""},
        {1.125, 253, 254, "253.2 becomes 254: the search never answers 253 near the top"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Build(c.gamma)[c.level], c.mapped) << "gamma " << c.gamma << " level " << c.level
                                                      << ": " << c.reason;
    }
}

TEST_F(ToneFixture, UnityGammaGivesTheIdentity) {
    for (int i = 0; i < 256; ++i) tone[i] = 0;
    double current = 2.0;  // force a rebuild
    BuildToneTable(&current, 1.0, tone, logs);
    for (int i = 1; i < 256; ++i) EXPECT_EQ(tone[i], i);
}

TEST_F(ToneFixture, RebuildForTheCurrentValueReturnsAtOnce) {
    tone[100] = 7;
    double current = 2.0;
    BuildToneTable(&current, 2.0, tone, logs);
    EXPECT_EQ(tone[100], 7) << "table untouched when the gamma value is unchanged";
}

TEST_F(ToneFixture, NearestLogIndexAnswersALevelFrom1To255) {
    EXPECT_EQ(NearestLogIndex(0.0, logs), 1);
    EXPECT_EQ(NearestLogIndex(logs[253], logs), 253);
    EXPECT_EQ(NearestLogIndex(logs[253] + 1e-9, logs), 254) << "above log10(253): 254 or 255";
    EXPECT_EQ(NearestLogIndex(logs[255], logs), 255);
    EXPECT_EQ(NearestLogIndex(logs[77], logs), 77);
}

TEST_F(ToneFixture, ApplyMapsEverySampleUnlessGammaIsOne) {
    std::mt19937 random(5);
    const auto original = colour::RandomBytes(64 * 8, random);
    Build(2.0);
    auto frame = original;
    ApplyToneTable(1.0, 64, 8, frame.data(), tone);
    EXPECT_EQ(frame, original) << "gamma 1.0 skips the frame even with a non-identity table";
    ApplyToneTable(2.0, 64, 8, frame.data(), tone);
    for (size_t i = 0; i < frame.size(); ++i) ASSERT_EQ(frame[i], tone[original[i]]) << i;
}

}  // namespace
}  // namespace vexacam::test
