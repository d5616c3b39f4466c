// Brightness, automatic and one-push exposure, and the one-push white balance.
#include <gtest/gtest.h>

#include <array>

#include "colour_stage_support.h"
#include "imaging/exposure.h"
#include "imaging/gain_table.h"
#include "imaging/white_balance.h"

namespace vexacam::test {
namespace {

using colour::FrameSize;
using colour::UniformFrame;

constexpr FrameSize kVga = {640, 480};

// A uniform frame of level v measures 10 x (v - 1): the sample count starts at 1.
std::vector<UCHAR> FrameOfBrightness(ULONG brightness) {
    return UniformFrame(kVga, static_cast<UCHAR>(brightness / 10 + 1));
}

TEST(MeasureBrightness, UniformFramesMeasureOneLevelLow) {
    for (UCHAR level : {1, 101, 201, 255}) {
        const auto frame = UniformFrame(kVga, level);
        EXPECT_EQ(MeasureBrightness(kVga.Width, kVga.Height, frame.data()), 10u * (level - 1u));
    }
    const auto black = UniformFrame(kVga, 0);
    EXPECT_EQ(MeasureBrightness(kVga.Width, kVga.Height, black.data()), 0u);
}

TEST(MeasureBrightness, LargeFramesMeasureOnlyTheCentral640x480) {
    const FrameSize size = {2048, 1536};
    auto frame = UniformFrame(size, 250);
    for (ULONG y = 768 - 240; y < 768 + 240; ++y) {
        for (ULONG x = 1024 - 320; x < 1024 + 320; ++x) frame[size_t{y} * size.Width + x] = 101;
    }
    EXPECT_EQ(MeasureBrightness(size.Width, size.Height, frame.data()), 1000u);
}

TEST(MeasureBrightness, WeighsTheThreeSitesSixThreeOne) {
    // Sample sites: (x, y) weight 6, (x, y + 1) weight 3, (x + 1, y) weight 1; (x+1, y+1) unused.
    auto frame = UniformFrame(kVga, 0);
    for (ULONG y = 0; y < kVga.Height; y += 2) {
        for (ULONG x = 0; x < kVga.Width; x += 2) {
            frame[size_t{y} * 640 + x] = 101;
            frame[size_t{y + 1} * 640 + x + 1] = 255;
        }
    }
    EXPECT_EQ(MeasureBrightness(kVga.Width, kVga.Height, frame.data()), 600u);
}

TEST(ProposeExposure, WorkedExamples) {
    struct Case {
        ULONG exposal;
        ULONG brightness;
        UCHAR lightModel;
        LONG result;
        const char* reason;
    };
    const Case cases[] = {
        {1000, 2000, 3, 646, "too bright: 1300 x 1000 / 2010"},
        {1000, 2500, 3, 500, "overexposed: halve"},
        {5000, 900, 1, 5000, "too dark at the cap: keep"},
        {200, 100, 3, 2363, "dark with a short exposure: 1300 x 200 / 110"},
        {400, 100, 3, ExposureUnchanged, "dark with a long exposure: leave alone"},
        {1, 2450, 3, ExposureDouble, "E / 2 = 0, which the caller reads as doubling"},
        {100, 150, 3, ExposureUnchanged, "exactly 150 is left alone"},
        {1000, 1300, 3, 1000, "inside the band"},
        {1000, 1600, 2, 1000, "inside band 2"},
        {1000, 1000, 2, 1584, "band 2 middle 1600: 1600 x 1000 / 1010"},
        {4000000000u, 1000, 2, 2147483647, "huge stored exposure: no wrap into -1"},
    };
    for (const auto& c : cases) {
        const auto frame = FrameOfBrightness(c.brightness);
        EXPECT_EQ(ProposeExposure(kVga.Width, kVga.Height, frame.data(), AutoExposureCap, c.exposal,
                                  c.lightModel),
                  c.result)
            << c.reason;
    }
}

TEST(OnePushExposureStep, StepsTowardsTheBand) {
    struct Case {
        ULONG exposal;
        ULONG brightness;
        UCHAR lightModel;
        ULONG next;
        bool finished;
        const char* reason;
    };
    const Case cases[] = {
        {100, 1000, 2, 105, false, "too dark: x1.05"},
        {100, 2000, 2, 96, false, "too bright: x0.96"},
        {100, 1800, 2, 100, true, "inside 1700..1900: done"},
        {20, 1000, 2, 21, false, "20 steps up to 21"},
        {20, 2000, 2, 19, false, "and down to 19"},
        {19, 1000, 2, 20, false, "short exposures step by one"},
        {1, 2000, 2, 0, false, "down to 0"},
        {5, 1500, 3, 5, true, "inside 1400..1600"},
        {5000, 100, 3, 5250, false, "too dark at 5000 overshoots to 5250"},
        {5250, 100, 3, 5000, false, "above 5000 returns to 5000, request kept"},
        {0, 100, 3, 0, true, "exposure 0 ends the search"},
        {2000, 2100, 1, 2000, true, "band 1 is 1950..2200"},
    };
    for (const auto& c : cases) {
        const auto frame = FrameOfBrightness(c.brightness);
        const OnePushExposureResult result =
            OnePushExposureStep(kVga.Width, kVga.Height, frame.data(), c.lightModel, c.exposal);
        EXPECT_EQ(result.Exposal, c.next) << c.reason;
        EXPECT_EQ(result.Finished != 0, c.finished) << c.reason;
    }
}

// A frame whose red, green and blue sites hold the given levels.
std::vector<UCHAR> BayerFrame(UCHAR red, UCHAR green, UCHAR blue) {
    std::vector<UCHAR> frame(size_t{kVga.Width} * kVga.Height);
    for (ULONG y = 0; y < kVga.Height; ++y) {
        for (ULONG x = 0; x < kVga.Width; ++x) {
            const bool evenRow = y % 2 == 0, evenColumn = x % 2 == 0;
            frame[size_t{y} * kVga.Width + x] =
                evenRow && evenColumn ? red : (!evenRow && !evenColumn ? blue : green);
        }
    }
    return frame;
}

struct GainTables {
    std::array<UCHAR, 256> red, green, blue;
};

GainTables Balance(const std::vector<UCHAR>& frame, UCHAR initial) {
    GainTables tables;
    tables.red.fill(initial);
    tables.green.fill(initial);
    tables.blue.fill(initial);
    ComputeWhiteBalance(kVga.Width, kVga.Height, frame.data(), tables.red.data(),
                        tables.green.data(), tables.blue.data());
    return tables;
}

TEST(ComputeWhiteBalance, ScalesEachColourUpToTheBrightestMean) {
    const GainTables tables = Balance(BayerFrame(100, 50, 25), 0);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(tables.red[i], i) << "brightest colour keeps the identity";
        EXPECT_EQ(tables.green[i], std::min(255, 2 * i)) << i;
        EXPECT_EQ(tables.blue[i], std::min(255, 4 * i)) << i;
    }
    EXPECT_EQ(tables.green[128], 255);
    EXPECT_EQ(tables.blue[64], 255);
    ULONG value = 0;
    ASSERT_TRUE(GetGain(tables.green.data(), &value));
    EXPECT_EQ(value, 1000u) << "saved as the equivalent gain value";
}

TEST(ComputeWhiteBalance, GreyFrameGivesIdentityTables) {
    const GainTables tables = Balance(BayerFrame(90, 90, 90), 0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(tables.red[i], i);
        ASSERT_EQ(tables.green[i], i);
        ASSERT_EQ(tables.blue[i], i);
    }
}

TEST(ComputeWhiteBalance, BlackColourLeavesAllTablesUnchanged) {
    for (const auto& frame : {BayerFrame(0, 0, 0), BayerFrame(100, 50, 0), BayerFrame(0, 80, 80)}) {
        const GainTables tables = Balance(frame, 17);
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(tables.red[i], 17);
            ASSERT_EQ(tables.green[i], 17);
            ASSERT_EQ(tables.blue[i], 17);
        }
    }
}

}  // namespace
}  // namespace vexacam::test
