// The small judgements a capture and a calibration make, which the browser interface will make
// the same way: when automatic exposure has settled, and whether a frame is fit to calibrate.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/calibration_checks.h"
#include "tools/exposure_settle.h"

namespace vexacam::tools {
namespace {

// Frames observed until Observe says keep, for a sequence of exposures (the last repeats).
uint32_t FramesUntilKept(std::vector<uint32_t> exposures, uint32_t limit = ExposureSettle::kFrameLimit) {
    ExposureSettle settle(limit);
    for (uint32_t frame = 0;; ++frame) {
        const uint32_t exposal = exposures[frame < exposures.size() ? frame : exposures.size() - 1];
        if (settle.Observe(exposal)) return settle.Frames();
    }
}

TEST(ExposureSettle, KeepsPicturesOnlyOnceTheExposureHasHeldForTwelveFrames) {
    const uint32_t steady = ExposureSettle::kSteadyFrames;
    EXPECT_EQ(FramesUntilKept({100}), steady + 1) << "the first frame is no evidence of steadiness";
    EXPECT_EQ(FramesUntilKept({100, 100, 100, 400, 900}), 5 + steady) << "a change starts the count again";
    EXPECT_EQ(FramesUntilKept({100, 200, 300, 400, 500, 600}), 6 + steady);
    std::vector<uint32_t> hunting;
    for (uint32_t i = 0; i < 400; ++i) hunting.push_back(100 + i % 2);
    EXPECT_EQ(FramesUntilKept(hunting), ExposureSettle::kFrameLimit) << "an exposure that never settles is bounded";
    EXPECT_EQ(FramesUntilKept(hunting, 20), 20u);
}

std::vector<uint8_t> Frame(uint32_t width, uint32_t height, uint8_t (*pixel)(uint32_t x, uint32_t y)) {
    std::vector<uint8_t> raw(size_t{width} * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) raw[size_t{y} * width + x] = pixel(x, y);
    }
    return raw;
}

TEST(CalibrationChecks, AGainMapNeedsAFlatUnclippedWellExposedFrame) {
    const struct {
        uint8_t (*Pixel)(uint32_t, uint32_t);
        const char* Refusal;  // a word of the reason, or "" when fit
        const char* Why;
    } cases[] = {
        {[](uint32_t, uint32_t) -> uint8_t { return 140; }, "", "a grey card"},
        {[](uint32_t x, uint32_t) -> uint8_t { return static_cast<uint8_t>(120 + x / 32); }, "", "a smooth fall-off"},
        {[](uint32_t, uint32_t) -> uint8_t { return 20; }, "too dark", "a dark scene gives gains from noise"},
        {[](uint32_t, uint32_t) -> uint8_t { return 255; }, "overexposed", "clipped: no gain restores the lost light"},
        {[](uint32_t x, uint32_t y) -> uint8_t { return ((x / 40 + y / 40) % 2) ? 200 : 60; }, "not flat",
         "a chart's patches taken for vignetting"},
    };
    for (const auto& c : cases) {
        const std::string reason = CheckGainMapScene(MeasureRawFrame(Frame(640, 480, c.Pixel), 640, 480));
        if (c.Refusal[0] == '\0') {
            EXPECT_EQ(reason, "") << c.Why;
        } else {
            EXPECT_NE(reason.find(c.Refusal), std::string::npos) << c.Why << ": " << reason;
            EXPECT_NE(reason.find("grey card"), std::string::npos) << "names the scene needed: " << reason;
        }
    }
}

TEST(CalibrationChecks, ADefectTableNeedsADarkFrameWithFewDefects) {
    const RawFrameStats dark{2, 0, 0.01};
    const RawFrameStats lit{140, 0, 0.004};
    const struct {
        RawFrameStats Stats;
        uint32_t Defects;
        const char* Refusal;
        const char* Why;
    } cases[] = {
        {dark, 3, "", "a capped lens and a few hot pixels"},
        {dark, 64, "", "a small sensor may have up to 64 whatever its size"},
        {dark, 307, "", "a thousandth of 640x480"},
        {dark, 308, "stood out", "one more"},
        {dark, 11033, "stood out", "the chart's edges are not defects"},
        {lit, 3, "not dark", "a lit scene hides the hot pixels"},
    };
    for (const auto& c : cases) {
        const std::string reason = CheckDefectScene(c.Stats, c.Defects, 640, 480);
        if (c.Refusal[0] == '\0') {
            EXPECT_EQ(reason, "") << c.Why;
        } else {
            EXPECT_NE(reason.find(c.Refusal), std::string::npos) << c.Why << ": " << reason;
            EXPECT_NE(reason.find("capped"), std::string::npos) << "names the scene needed: " << reason;
        }
    }
}

}  // namespace
}  // namespace vexacam::tools
