// How the frame sequence applies the exposure controls and paces them.
#include "process_frame_fixture.h"

namespace vexacam::test {
namespace {

// Uniform frames of value v measure L = 10 (v - 1) on this small frame (the sample count
// starts at 1), so the value picks the brightness.
TEST_F(FrameStagesTest, AutomaticExposureAppliesTheProposal) {
    struct Case {
        const char* reason;
        uint32_t exposal;
        uint8_t value;
        uint32_t expected;
        int sends;
    };
    const Case cases[] = {
        {"L 2,490 at E 1: halving gives 0, which doubles", 1, 250, 2, 1},
        {"L 2,000 at E 1,000: 1,300 x 1,000 / 2,010", 1000, 201, 646, 1},
        {"L 300 at E 4,000: 16,774 is capped at 5,000", 4000, 31, 5000, 1},
        {"L 1,300 inside the band: the current value, nothing sent", 1000, 131, 1000, 0},
        {"L 100 at E 400: dark but exposed enough, no change", 400, 11, 400, 0},
        {"L 100 at E 200: 1,300 x 200 / 110", 200, 11, 2363, 1},
    };
    for (const auto& c : cases) {
        recorded_.events.clear();
        ExposureFrameDivider = 1;
        device_->Image.AEing = 1;
        device_->Image.LightModel = 3;
        device_->Command.Exposal = c.exposal;
        FillRaw(c.value);
        RunFrame();
        EXPECT_EQ(device_->Command.Exposal, c.expected) << c.reason;
        EXPECT_EQ(recorded_.Count("send"), c.sends) << c.reason;
    }
}

TEST_F(FrameStagesTest, AutomaticExposureRunsOnEveryFourthFrame) {
    device_->Image.AEing = 1;
    device_->Command.Exposal = 4096;
    FillRaw(250);  // always too bright: every run halves the exposure and sends
    std::vector<int> runs;
    for (int frame = 1; frame <= 10; ++frame) {
        const int before = recorded_.Count("send");
        RunFrame();
        if (recorded_.Count("send") > before) runs.push_back(frame);
    }
    EXPECT_EQ(runs, (std::vector<int>{1, 5, 9}));
    EXPECT_EQ(device_->Command.Exposal, 512u);
}

TEST_F(FrameStagesTest, OnePushExposureRunsOnEverySecondFrameAndSendsEachTime) {
    device_->Image.OnePushExposure = 1;
    device_->Image.LightModel = 2;
    device_->Command.Exposal = 100;
    FillRaw(101);  // L 1,000: below the band, so each step raises by 5 %
    std::vector<int> runs;
    for (int frame = 1; frame <= 6; ++frame) {
        const int before = recorded_.Count("send");
        RunFrame();
        if (recorded_.Count("send") > before) runs.push_back(frame);
    }
    EXPECT_EQ(runs, (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(recorded_.exposalAtSend, (std::vector<uint32_t>{105, 110, 115}));
    EXPECT_EQ(device_->Image.OnePushExposure, 1u);
}

TEST_F(FrameStagesTest, OnePushExposureClearsItselfInsideTheBandStillSending) {
    device_->Image.OnePushExposure = 1;
    device_->Image.LightModel = 2;
    FillRaw(181);  // L 1,800 inside 1,700 .. 1,900
    RunFrame();
    EXPECT_EQ(device_->Image.OnePushExposure, 0u);
    EXPECT_EQ(recorded_.Count("send"), 1);
}

TEST_F(FrameStagesTest, OnePushExposureWaitsForPendingWhiteBalance) {
    device_->Image.OnePushExposure = 1;
    device_->Image.OnePushWhiteBalance = 1;
    FillRaw(101);
    RunFrame();
    EXPECT_EQ(recorded_.Count("send"), 0);
    EXPECT_EQ(ExposureFrameDivider, 1) << "a frame without the branch does not count";
}

TEST_F(FrameStagesTest, AutomaticExposureWinsOverOnePush) {
    device_->Image.AEing = 1;
    device_->Image.OnePushExposure = 1;
    device_->Command.Exposal = 1000;
    device_->Image.LightModel = 3;
    FillRaw(131);  // in the automatic band: nothing sent; one-push would have sent
    RunFrame();
    EXPECT_EQ(recorded_.Count("send"), 0);
    EXPECT_EQ(ExposureFrameDivider, 4);
}

TEST_F(FrameStagesTest, DividerLeftByAutomaticExposureCarriesIntoOnePush) {
    device_->Image.AEing = 1;
    device_->Image.LightModel = 3;
    device_->Command.Exposal = 1000;
    FillRaw(131);
    RunFrame();  // runs: divider 4
    RunFrame();  // divider 3
    device_->Image.AEing = 0;
    device_->Image.OnePushExposure = 1;
    FillRaw(11);  // dark: one-push raises each run
    std::vector<int> runs;
    for (int frame = 1; frame <= 5; ++frame) {
        const int before = recorded_.Count("send");
        RunFrame();
        if (recorded_.Count("send") > before) runs.push_back(frame);
    }
    EXPECT_EQ(runs, (std::vector<int>{3, 5}));
}

}  // namespace
}  // namespace vexacam::test
