// The defect-capture countdown and the one-shot requests of the frame sequence.
#include "process_frame_fixture.h"

namespace vexacam::test {
namespace {

TEST_F(FrameStagesTest, DefectCaptureRaisesExposureScansSixthFrameRestoresOnEighth) {
    device_->Image.DefectCapture = 1;
    device_->Command.Exposal = 333;
    device_->Image.OnePushWhiteBalance = 0;
    struct Expectation {
        uint32_t exposal;
        uint8_t countdown;
        int defectCapture;
        int sends;
        int scans;
    };
    const Expectation afterFrame[] = {
        {4000, 8, 1, 1, 0}, {4000, 7, 1, 1, 0}, {4000, 6, 1, 1, 0}, {4000, 5, 1, 1, 0},
        {4000, 4, 1, 1, 0}, {4000, 3, 1, 1, 1}, {4000, 2, 1, 1, 1}, {333, 9, 0, 2, 1},
        {333, 9, 0, 2, 1},  // at rest again: nothing more happens
    };
    for (size_t frame = 0; frame < std::size(afterFrame); ++frame) {
        RunFrame();
        const auto& e = afterFrame[frame];
        EXPECT_EQ(device_->Command.Exposal, e.exposal) << "frame " << frame + 1;
        EXPECT_EQ(device_->Pipeline.CaptureCountdown, e.countdown) << "frame " << frame + 1;
        EXPECT_EQ(device_->Image.DefectCapture, e.defectCapture) << "frame " << frame + 1;
        EXPECT_EQ(recorded_.Count("send"), e.sends) << "frame " << frame + 1;
        EXPECT_EQ(recorded_.Count("defects"), e.scans) << "frame " << frame + 1;
    }
    EXPECT_EQ(recorded_.exposalAtSend, (std::vector<uint32_t>{4000, 333}));
}

TEST_F(FrameStagesTest, DefectCaptureClearedMidwayKeepsCountdownAndCaptureExposure) {
    device_->Image.DefectCapture = 1;
    for (int frame = 0; frame < 3; ++frame) RunFrame();
    device_->Image.DefectCapture = 0;
    RunFrame();
    EXPECT_EQ(device_->Pipeline.CaptureCountdown, 6);
    EXPECT_EQ(device_->Command.Exposal, 4000u);
    // A later request continues from 6: the scan comes on its third frame, the restore on its fifth.
    device_->Image.DefectCapture = 1;
    for (int frame = 0; frame < 3; ++frame) RunFrame();
    EXPECT_EQ(recorded_.Count("defects"), 1);
    RunFrame();
    RunFrame();
    EXPECT_EQ(device_->Image.DefectCapture, 0);
    EXPECT_EQ(device_->Command.Exposal, 100u);
}

TEST_F(FrameStagesTest, DefectScanSeesUncorrectedFrameAndNewTableIsAppliedAtOnce) {
    FillRaw(40);
    raw_[10 * 64 + 20] = 250;  // a hot pixel at (20, 10)
    device_->Image.DefectCapture = 1;
    device_->Pipeline.CaptureCountdown = 4;  // the next frame is the scan
    uint8_t seenAtScan = 0;
    recorded_.onDefectCapture = [&](PUCHAR frame, FrameRig* device) {
        seenAtScan = frame[10 * 64 + 20];
        device->Pipeline.DefectTable[0] = {20, 10};
        device->Pipeline.DefectCount = 1;
    };
    RunFrame();
    EXPECT_EQ(seenAtScan, 250);
    EXPECT_EQ(raw_[10 * 64 + 20], 40) << "corrected with the table the scan just made";
}

TEST_F(FrameStagesTest, DefectScanCancelsPendingWhiteBalance) {
    device_->Image.DefectCapture = 1;
    device_->Pipeline.CaptureCountdown = 4;
    device_->Image.OnePushWhiteBalance = 1;
    FillRaw(90);
    device_->Pipeline.RedGain[90] = 17;  // would be rewritten by a white balance
    RunFrame();
    EXPECT_EQ(device_->Image.OnePushWhiteBalance, 0u);
    EXPECT_EQ(device_->Pipeline.RedGain[90], 17);
}

TEST_F(FrameStagesTest, GainMapCaptureSeesFrameAfterGainsAndToneBeforeFlatField) {
    FillRaw(100);
    device_->Image.GainMapCapture = 1;
    device_->Image.LightAVG = 1;
    for (int i = 0; i < 256; ++i) device_->Pipeline.RedGain[i] = device_->Pipeline.GreenGain[i] = device_->Pipeline.BlueGain[i] = 0;
    device_->Pipeline.RedGain[100] = device_->Pipeline.GreenGain[100] = device_->Pipeline.BlueGain[100] = 120;
    for (int i = 1; i < 256; ++i) device_->Pipeline.ToneTable[i] = static_cast<UCHAR>(255 - i);
    device_->Pipeline.GammaValue = 2.0;
    uint8_t seen = 0;
    recorded_.onGainMapCapture = [&](PUCHAR frame, FrameRig* device) {
        seen = frame[5 * 64 + 5];
        for (ULONG i = 0; i < 64 * 32; ++i) device->Pipeline.GainMap[i] = 32;  // halves every pixel
    };
    RunFrame();
    EXPECT_EQ(seen, 255 - 120);
    EXPECT_EQ(device_->Image.GainMapCapture, 0u);
    EXPECT_EQ(raw_[5 * 64 + 5], (255 - 120) / 2) << "flat field used the new map on this frame";
}

TEST_F(FrameStagesTest, WhiteBalanceRequestIsConsumedBeforeTheFlatFieldTest) {
    FillRaw(100);
    device_->Image.OnePushWhiteBalance = 1;
    device_->Image.LightAVG = 1;
    for (ULONG i = 0; i < kGainMapEntries; ++i) device_->Pipeline.GainMap[i] = 0;
    device_->Pipeline.RedGain[100] = 3;
    RunFrame();
    EXPECT_EQ(device_->Image.OnePushWhiteBalance, 0u);
    EXPECT_EQ(device_->Pipeline.RedGain[100], 100) << "grey frame: tables rebuilt as identities";
    EXPECT_EQ(raw_[64 * 10 + 10], 0) << "flat field of gain 0 applied on the same frame";
}

}  // namespace
}  // namespace vexacam::test
