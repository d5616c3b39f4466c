// Formats the capture pipeline cannot serve are refused at open and at SRB_SET_DATA_FORMAT.
#include "controls/camera_control_ids.h"
#include "driver/capture_stream_format.h"
#include "host/kernel/pool.h"
#include "stream/live_stream_fixture.h"
#include "stream/scripted_camera.h"
#include "usb/pool_tags.h"

namespace vexacam_test {
namespace {

struct FormatCase {
    const char* Why;
    LONG Width;
    LONG Height;
    ULONG ImageSizeDelta;  // subtracted from 3 x width x |height|
    LONGLONG Interval;
    bool Servable;
};

KS_DATAFORMAT_VIDEOINFOHEADER MakeFormat(const FormatCase& c) {
    KS_DATAFORMAT_VIDEOINFOHEADER format = AdvertisedFormat(k640x480);
    KS_BITMAPINFOHEADER& bitmap = format.VideoInfoHeader.bmiHeader;
    bitmap.biWidth = c.Width;
    bitmap.biHeight = c.Height;
    LONGLONG pixels = static_cast<LONGLONG>(c.Width) * (c.Height < 0 ? -c.Height : c.Height);
    bitmap.biSizeImage = static_cast<ULONG>(3 * pixels - c.ImageSizeDelta);
    format.DataFormat.SampleSize = bitmap.biSizeImage;
    format.VideoInfoHeader.AvgTimePerFrame = c.Interval;
    return format;
}

const FormatCase kFormatCases[] = {
    {"an advertised size", 640, 480, 0, 160000, true},
    {"an unlisted size that suits the pipeline", 320, 240, 0, 333333, true},
    {"the shortest advertised interval", 640, 480, 0, 50000, true},
    {"the whole sensor", 2048, 1536, 0, 250000, true},
    {"two rows taller than the sensor, though a raw buffer would hold it", 2048, 1538, 0, 250000,
     false},
    {"twice the sensor's width at half its height", 4096, 768, 0, 250000, false},
    {"eight columns wider than the sensor", 2056, 480, 0, 250000, false},
    {"a raw frame larger than a raw buffer", 2048, 1544, 0, 250000, false},
    {"a width that is not a multiple of 8", 644, 480, 0, 160000, false},
    {"a zero width", 0, 480, 0, 160000, false},
    {"a negative width", -640, 480, 0, 160000, false},
    {"an odd height", 640, 479, 0, 160000, false},
    {"a height below 4", 640, 2, 0, 160000, false},
    {"a top-down (negative) height", 640, -480, 0, 160000, false},
    {"an image size one byte short of the picture", 640, 480, 1, 160000, false},
    {"a zero interval on a fresh stream", 640, 480, 0, 0, false},
    {"a negative interval", 640, 480, 0, -160000, false},
    {"an interval below the shortest advertised", 640, 480, 0, 49999, false},
};

class FormatChecks : public LiveStreamTest<ScriptedCamera>,
                     public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatChecks, OpenRefusesWhatThePipelineCannotServe) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(Open(MakeFormat(c)), c.Servable ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER)
        << c.Why;
    EXPECT_EQ(Device().Stream != nullptr, c.Servable);
}

TEST_P(FormatChecks, ProposeAndSetFormatRefuseWhatThePipelineCannotServe) {
    const FormatCase& c = GetParam();
    OpenAdvertised(k800x600);
    KS_DATAFORMAT_VIDEOINFOHEADER format = MakeFormat(c);
    // A zero interval keeps the stream's current one, which is servable here.
    bool servable = c.Servable || c.Interval == 0;
    NTSTATUS expected = servable ? STATUS_SUCCESS : STATUS_NO_MATCH;
    EXPECT_EQ(stream_->ProposeFormat(&format.DataFormat), expected) << c.Why;
    EXPECT_EQ(stream_->SetFormat(&format.DataFormat), expected) << c.Why;
    if (!servable) {
        EXPECT_EQ(Device().Command.FrameWidth, 800u) << c.Why;
        EXPECT_EQ(Stream().AvgTimePerFrame, 250000) << c.Why;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FormatChecks, ::testing::ValuesIn(kFormatCases));

class StreamOpen : public LiveStreamTest<ScriptedCamera> {};

TEST_F(StreamOpen, FailsWithoutMemoryForTheStreamAndCanOpenLater) {
    host::FailAllocationsMatching(sizeof(StreamContext), MakePoolTag("VxSc"));
    EXPECT_EQ(Open(AdvertisedFormat(k640x480)), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(Device().Stream, nullptr);
    host::ClearAllocationFailures();
    OpenAdvertised(k640x480);
}

TEST_F(StreamOpen, RefusesASecondOpen) {
    OpenAdvertised(k640x480);
    std::unique_ptr<host::StreamClient> second;
    KS_DATAFORMAT_VIDEOINFOHEADER format = AdvertisedFormat(k640x480);
    EXPECT_EQ(adapter_->OpenStream(0, &format.DataFormat, &second), STATUS_INVALID_PARAMETER);
}

class FormatChange : public LiveStreamTest<ScriptedCamera> {};

struct StreamingStateCase {
    const char* Why;
    KSSTATE State;
};

class FormatChangeWhileStreaming : public FormatChange,
                                   public ::testing::WithParamInterface<StreamingStateCase> {};

// The change arrives while a frame is on its way through the pipeline: it is refused and
// rewrites nothing the frame path reads; after a stop it is taken.
TEST_P(FormatChangeWhileStreaming, WaitsForAStop) {
    OpenAdvertised(k640x480);
    StartRunning();
    ASSERT_EQ(stream_->SetState(GetParam().State), STATUS_SUCCESS);
    QueueReads(2);
    camera_->SendFrame(640, 480, 0x40);
    const KS_DATAFORMAT_VIDEOINFOHEADER vga800 = AdvertisedFormat(k800x600);
    EXPECT_EQ(stream_->SetFormat(&vga800.DataFormat), STATUS_INVALID_DEVICE_STATE)
        << GetParam().Why;
    host::RunUntilIdle();
    EXPECT_EQ(Device().Command.FrameWidth, 640u) << GetParam().Why;
    EXPECT_EQ(Device().ImageSize, 640u * 480 * 3) << GetParam().Why;
    ASSERT_EQ(stream_->SetState(KSSTATE_STOP), STATUS_SUCCESS);
    EXPECT_EQ(stream_->SetFormat(&vga800.DataFormat), STATUS_SUCCESS) << GetParam().Why;
    EXPECT_EQ(Device().Command.FrameWidth, 800u) << GetParam().Why;
}

INSTANTIATE_TEST_SUITE_P(
    States, FormatChangeWhileStreaming,
    ::testing::Values(StreamingStateCase{"running", KSSTATE_RUN},
                      StreamingStateCase{"paused: the camera still sends", KSSTATE_PAUSE},
                      StreamingStateCase{"acquire after run: the engine still runs",
                                         KSSTATE_ACQUIRE}));

// A property set after the last stop is not saved yet; a format change must not put the stored
// value back over it.
TEST_F(FormatChange, KeepsPropertyChangesNotYetSaved) {
    OpenAdvertised(k640x480);
    ASSERT_EQ(stream_->SetState(KSSTATE_PAUSE), STATUS_SUCCESS);
    ASSERT_EQ(stream_->SetState(KSSTATE_STOP), STATUS_SUCCESS);  // stores the contrast in force
    ULONG contrast = Device().Image.Contrast + 13u;
    ASSERT_EQ(adapter_->SetProperty({CameraControlSet, kControlContrast, &contrast, sizeof(contrast)}),
              STATUS_SUCCESS);
    const KS_DATAFORMAT_VIDEOINFOHEADER vga800 = AdvertisedFormat(k800x600);
    ASSERT_EQ(stream_->SetFormat(&vga800.DataFormat), STATUS_SUCCESS);
    EXPECT_EQ(Device().Image.Contrast, contrast);
}

}  // namespace
}  // namespace vexacam_test
