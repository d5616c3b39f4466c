// What the frame sequence writes into the request's buffer, and in which order the stages run.
#include "process_frame_fixture.h"

#include "demosaic_support.h"
#include "imaging/colour_gains.h"
#include "imaging/contrast.h"
#include "imaging/defects.h"
#include "imaging/demosaic.h"
#include "imaging/flat_field.h"
#include "imaging/overlays.h"
#include "imaging/repair_edges.h"
#include "imaging/saturation.h"
#include "imaging/tone_table.h"

namespace vexacam::test {
namespace {

TEST_F(FrameStagesTest, EightBitFormatGetsTheRawFrameAndNoOverlay) {
    UseFormat(64, 32, 8);
    const auto frame = RandomBytes(64 * 32, 4);
    std::copy(frame.begin(), frame.end(), raw_.begin());
    device_->Image.CrossLine = 1;
    device_->Image.OnePushExposure = 1;
    RunFrame();
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), output_.begin()));
    EXPECT_EQ(output_[64 * 32], 0xCC) << "nothing written past ImageSize";
}

TEST_F(FrameStagesTest, RawCopyNeverReadsPastTheRawFrameAndZeroesTheRest) {
    UseFormat(64, 32, 8);
    device_->ImageSize = 64 * 32 + 100;  // a client format claiming more than the raw frame
    FillRaw(7);
    raw_[64 * 32] = 99;  // beyond the frame: must not be copied
    RunFrame();
    EXPECT_EQ(output_[64 * 32 - 1], 7);
    for (size_t i = 64 * 32; i < 64 * 32 + 100; ++i) ASSERT_EQ(output_[i], 0) << i;
    EXPECT_EQ(output_[64 * 32 + 100], 0xCC);
}

TEST_F(FrameStagesTest, RawCopyStopsAtTheOutputBuffer) {
    UseFormat(64, 32, 16);
    device_->ImageSize = 64 * 32 * 2;
    std::vector<uint8_t> small(100, 0xCC);
    FillRaw(5);
    RunFrameInto(small.data(), 90);
    EXPECT_EQ(small[89], 5);
    EXPECT_EQ(small[90], 0xCC);
}

TEST_F(FrameStagesTest, UnwalkableGeometryLeavesRawAloneAndZeroesThePicture) {
    const FrameSize shapes[] = {{66, 32}, {64, 31}, {64, 2}, {4096, 1024}};
    for (FrameSize shape : shapes) {
        UseFormat(shape.width, shape.height, 24);
        device_->Image.Contrast = 32;
        FillRaw(50);
        RunFrame();
        EXPECT_EQ(raw_[0], 50) << shape.width << "x" << shape.height;
        const size_t picture = size_t{shape.width} * shape.height * 3;
        for (size_t i = 0; i < picture; ++i) ASSERT_EQ(output_[i], 0) << shape.width << "x" << shape.height;
    }
}

TEST_F(FrameStagesTest, PictureLargerThanTheOutputBufferIsNotDrawn) {
    std::vector<uint8_t> small(64 * 32 * 3 - 1, 0xCC);
    device_->ImageSize = static_cast<ULONG>(small.size());
    RunFrameInto(small.data(), static_cast<ULONG>(small.size()));
    EXPECT_EQ(small, std::vector<uint8_t>(small.size(), 0));
}

TEST_F(FrameStagesTest, BusyMarkerShowsWhileOnePushExposureIsPending) {
    UseFormat(128, 128, 24);
    FillRaw(181);  // inside the one-push band for LightModel 2: the first step clears the request
    device_->Image.OnePushExposure = 1;
    RunFrame();
    const size_t inside = PixelOffset(128, 128 - 80, 128 - 80);
    EXPECT_EQ(output_[inside], 181) << "cleared on this frame: no marker";
    FillRaw(101);  // too dark: the request stays
    device_->Image.OnePushExposure = 1;
    ExposureFrameDivider = 1;
    RunFrame();
    EXPECT_EQ(output_[inside], 101 + 100);
}

// Every stage on: the picture must equal the stages applied one after another in their order.
TEST_F(FrameStagesTest, EveryStageOnMatchesTheStagesAppliedInOrder) {
    const uint32_t w = 128, h = 112;
    UseFormat(w, h, 24);
    const auto frame = RandomBytes(w * h, 31);
    std::copy(frame.begin(), frame.end(), raw_.begin());
    for (int i = 0; i < 40; ++i) {
        device_->Pipeline.DefectTable[i] = {static_cast<USHORT>(3 + (i * 7) % (w - 6)),
                                   static_cast<USHORT>(3 + (i * 5) % (h - 6))};
    }
    device_->Pipeline.DefectCount = 40;
    device_->Image.LightAVG = 1;
    for (ULONG i = 0; i < w * h; ++i) device_->Pipeline.GainMap[i] = static_cast<SHORT>(40 + i % 60);
    for (int i = 0; i < 256; ++i) device_->Pipeline.RedGain[i] = static_cast<UCHAR>(i * 3 / 4);
    BuildToneTable(&device_->Pipeline.GammaValue, device_->Pipeline.GammaTable[20], device_->Pipeline.ToneTable, device_->Pipeline.LogTable);
    device_->Image.Contrast = 20;
    device_->Image.ColorAdjustType = 2;
    device_->Image.Saturntion = 12;
    device_->Image.CrossLine = 1;
    device_->Image.CrossMid = 0;
    device_->Image.CrossX = 30;
    device_->Image.CrossY = 20;
    device_->Image.OnePushExposure = 1;
    device_->Command.Exposal = 0;  // the one-push step clears the request at exposure 0...
    device_->Image.VideoModel = 2;

    std::vector<uint8_t> f(frame.begin(), frame.end());
    f.resize(kGainMapEntries);
    std::vector<uint8_t> expected(output_.size(), 0xCC);
    CorrectDefects(f.data(), device_->Pipeline.DefectTable, 40, w, h, 0, 0);
    ApplyColourGains(w, h, f.data(), device_->Pipeline.RedGain, device_->Pipeline.GreenGain, device_->Pipeline.BlueGain);
    ApplyToneTable(device_->Pipeline.GammaValue, w, h, f.data(), device_->Pipeline.ToneTable);
    ApplyFlatField(w, h, f.data(), device_->Pipeline.GainMap, kGainMapEntries);
    AdjustContrast(w, h, f.data(), f.data(), 20, 2);
    ColourMirrored(w, h, expected.data(), f.data());
    AdjustSaturation(expected.data(), w, h, 12);
    RepairEdges(w, h, expected.data(), 2, 3);
    // ... so no busy marker is drawn.
    DrawCrosshair(w, h, expected.data(), 30, 20, 0);

    RunFrame();
    EXPECT_EQ(device_->Image.OnePushExposure, 0u);
    EXPECT_TRUE(output_ == expected);
    EXPECT_TRUE(std::equal(f.begin(), f.begin() + w * h, raw_.begin())) << "raw corrected in place";
}

TEST_F(FrameStagesTest, CrosshairIsDrawnOverTheBusyMarker) {
    UseFormat(128, 128, 24);
    FillRaw(101);
    device_->Image.OnePushExposure = 1;
    device_->Image.CrossLine = 1;
    device_->Image.CrossMid = 0;
    device_->Image.CrossX = 70;  // memory row 58, inside the marker rows 28 .. 67
    device_->Image.CrossY = 50;
    RunFrame();
    const size_t onLine = PixelOffset(128, 58, 40);
    EXPECT_EQ(output_[onLine + 0], 0);
    EXPECT_EQ(output_[onLine + 2], 255);
}

}  // namespace
}  // namespace vexacam::test
