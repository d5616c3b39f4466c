// How frames reach the host: transfer framing per frame size, pacing on the host clock, the
// camera's own buffering, and the faults that bend the framing.
#include <sys/resource.h>

#include "camera/video_stream.h"
#include "usbstack/usb_test_support.h"

namespace usbtest {
namespace {

using camera::CameraOptions;
using camera::FaultKind;
using camera::FaultSpec;

class VideoFramingTest : public CameraFixture {
protected:
    // Streams with ten 512 KiB transfers kept in flight, as a driver's reader does.
    void StartStreaming(ULONG width, ULONG height, const CameraOptions& options = CameraOptions()) {
        configured_ = PlugAndConfigure(options);
        transfers_ = std::make_unique<TransferSet>(pdo_, 10);
        transfers_->KeepSubmitting(Video());
        transfers_->SubmitAll(Video());
        SendBlock(pdo_, configured_.Pipes[0].PipeHandle, DefaultBlock(width, height));
    }
    USBD_PIPE_HANDLE Video() { return configured_.Pipes[1].PipeHandle; }
    void TearDown() override {
        transfers_.reset();
        CameraFixture::TearDown();
    }

    Configured configured_;
    std::unique_ptr<TransferSet> transfers_;
};

TEST_F(VideoFramingTest, FrameArrivesAsWholeTransfersAndOneShortOne) {
    struct Case {
        ULONG Width, Height;
        std::vector<ULONG> Lengths;
    };
    const Case cases[] = {
        {2048, 1536, {0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0}},
        {1600, 1200, {0x80000, 0x80000, 0x80000, 347136}},
        {1280, 1024, {0x80000, 0x80000, 262144}},
        {1024, 1024, {0x80000, 0x80000, 0}},
        {1024, 768, {0x80000, 262144}},
        {800, 600, {480000}},
        {640, 480, {307200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Width);
        StartStreaming(c.Width, c.Height);
        host::AdvanceClock(Period());
        EXPECT_EQ(transfers_->Lengths(), c.Lengths);
        transfers_.reset();
        camera_.reset();
    }
}

TEST_F(VideoFramingTest, FramesAppearOncePerPeriodOfTheManualClock) {
    CameraOptions options;
    options.FramesPerSecond = 40;
    StartStreaming(640, 480, options);
    host::AdvanceClock(Period(40) - 1);
    EXPECT_TRUE(transfers_->Log().empty());
    host::AdvanceClock(1);
    EXPECT_EQ(transfers_->Log().size(), 1u);
    host::AdvanceClock(9 * Period(40));
    EXPECT_EQ(transfers_->Log().size(), 10u);
    EXPECT_EQ(camera_->Counters().FramesSent, 10u);
}

TEST_F(VideoFramingTest, CameraDropsNewFramesWhenNobodyReads) {
    CameraOptions options;
    options.BufferedFrames = 2;
    Configured configured = PlugAndConfigure(options);
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, DefaultBlock(640, 480));
    host::AdvanceClock(5 * Period());
    camera::CameraCounters counters = camera_->Counters();
    EXPECT_EQ(counters.FramesProduced, 5u);
    EXPECT_EQ(counters.FramesDropped, 3u);
    // The two oldest wait for the host, whole.
    TransferSet transfers(pdo_, 3);
    transfers.SubmitAll(configured.Pipes[1].PipeHandle);
    EXPECT_EQ(transfers.Lengths(), (std::vector<ULONG>{307200, 307200}));
}

TEST_F(VideoFramingTest, StopDiscardsWhatWasNotSentAndStartBeginsAFreshFrame) {
    Configured configured = PlugAndConfigure();
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, DefaultBlock(2048, 1536));
    host::AdvanceClock(Period());
    TransferSet first(pdo_, 2);
    first.SubmitAll(configured.Pipes[1].PipeHandle);  // two transfers of a seven-transfer frame
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, DefaultBlock(2048, 1536, kRunCodeStop));
    EXPECT_FALSE(camera_->Counters().Running);
    host::AdvanceClock(3 * Period());
    EXPECT_EQ(camera_->Counters().FramesProduced, 1u);

    SendBlock(pdo_, configured.Pipes[0].PipeHandle, DefaultBlock(2048, 1536));
    TransferSet second(pdo_, 7);
    second.SubmitAll(configured.Pipes[1].PipeHandle);
    host::AdvanceClock(Period());
    EXPECT_EQ(second.Lengths(),
              (std::vector<ULONG>{0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0}));
}

TEST_F(VideoFramingTest, LengthFaultsBendOneFrameAndTheNextIsWhole) {
    struct Case {
        const char* Why;
        FaultKind Kind;
        ULONG Width, Height;
        std::vector<ULONG> Lengths;  // the faulty frame, then the next one
    };
    const Case cases[] = {
        {"one byte short ends a 640x480 frame early", FaultKind::ShortFrame, 640, 480, {307199, 307200}},
        {"one byte long", FaultKind::LongFrame, 640, 480, {307201, 307200}},
        {"a stray byte where the empty transfer was due", FaultKind::LongFrame, 2048, 1536,
         {0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 1,
          0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0}},
        {"a seventh whole transfer", FaultKind::ExtraTransfer, 2048, 1536,
         {0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0,
          0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0x80000, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        CameraOptions options;
        FaultSpec fault;
        fault.Kind = c.Kind;
        options.Faults.push_back(fault);
        StartStreaming(c.Width, c.Height, options);
        host::AdvanceClock(2 * Period());
        EXPECT_EQ(transfers_->Lengths(), c.Lengths);
        transfers_.reset();
        camera_.reset();
    }
}

TEST_F(VideoFramingTest, TransferErrorOfEachKindReachesTheUrbAndLosesThatData) {
    struct Case {
        const char* Name;
        USBD_STATUS Status;
        NTSTATUS IrpStatus;
    };
    const Case cases[] = {
        {"invalid-parameter", USBD_STATUS_INVALID_PARAMETER, STATUS_INVALID_PARAMETER},
        {"babble", USBD_STATUS_BABBLE_DETECTED, STATUS_UNSUCCESSFUL},
        {"xact", USBD_STATUS_XACT_ERROR, STATUS_UNSUCCESSFUL},
        {"not-responding", USBD_STATUS_DEV_NOT_RESPONDING, STATUS_UNSUCCESSFUL},
        {"other", USBD_STATUS_REQUEST_FAILED, STATUS_UNSUCCESSFUL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        CameraOptions options;
        std::string error;
        ASSERT_TRUE(camera::ApplyCameraOption(std::string("fault=") + c.Name + "@1.2", &options, &error));
        Configured configured = PlugAndConfigure(options);
        TransferSet transfers(pdo_, 4);
        transfers.SubmitAll(configured.Pipes[1].PipeHandle);
        SendBlock(pdo_, configured.Pipes[0].PipeHandle, DefaultBlock(1024, 768));
        host::AdvanceClock(Period());
        std::vector<Completion> log = transfers.Log();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[0].Length, 0x80000u);
        EXPECT_EQ(log[1].UrbStatus, c.Status);
        EXPECT_EQ(log[1].Status, c.IrpStatus);
        EXPECT_EQ(log[1].Length, 0u);
        EXPECT_EQ(camera_->Counters().FramesSent, 0u);
        transfers.StopSubmitting();
        PipeRequest(pdo_, configured.Pipes[1].PipeHandle, URB_FUNCTION_ABORT_PIPE);
        camera_.reset();
    }
}

TEST_F(VideoFramingTest, HaltingErrorStallsTheVideoPipeUntilReset) {
    CameraOptions options;
    FaultSpec stall;
    stall.Kind = FaultKind::Stall;
    options.Faults.push_back(stall);
    StartStreaming(640, 480, options);
    host::AdvanceClock(Period());
    std::vector<Completion> log = transfers_->Log();
    ASSERT_EQ(log.size(), 10u);  // the stall, then every waiting transfer finds the pipe halted
    EXPECT_EQ(log[0].UrbStatus, USBD_STATUS_STALL_PID);
    for (size_t i = 1; i < log.size(); ++i) EXPECT_EQ(log[i].UrbStatus, USBD_STATUS_ENDPOINT_HALTED);

    EXPECT_EQ(PipeRequest(pdo_, Video(), URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL),
              USBD_STATUS_SUCCESS);
    transfers_->SubmitAll(Video());
    host::AdvanceClock(Period());
    EXPECT_EQ(transfers_->Log().back().Length, 307200u);
}

TEST_F(VideoFramingTest, DisconnectFaultUnplugsInTheMiddleOfAFrame) {
    CameraOptions options;
    std::string error;
    ASSERT_TRUE(camera::ApplyCameraOption("fault=disconnect@2.3", &options, &error));
    StartStreaming(2048, 1536, options);
    host::AdvanceClock(2 * Period());
    std::vector<Completion> log = transfers_->Log();
    ASSERT_GE(log.size(), 10u);
    EXPECT_EQ(log[9].UrbStatus, USBD_STATUS_DEVICE_GONE);  // frame 1 (7) + two good of frame 2
    for (size_t i = 9; i < log.size(); ++i) EXPECT_EQ(log[i].Status, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(PortStatus(pdo_), 0u);
    EXPECT_EQ(host::usb::PendingTransferCount(pdo_, camera::kVideoEndpoint), 0u);
}

long PageFaultsOfThisThread() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// The camera's frame memory exists before the first read-out: a read-out that had to fault in
// a fresh 3 MB buffer under the camera's lock came a first touch of 768 pages late.
TEST(VideoStreamMemory, ReadOutsWriteIntoMemoryTheCameraAlreadyHas) {
    constexpr size_t kSensorBytes = size_t{camera::kSensorColumns} * camera::kSensorRows;
    camera::VideoStream video(2, kSensorBytes);
    for (uint64_t number = 1; number <= 2; ++number) {
        const long before = PageFaultsOfThisThread();
        std::vector<uint8_t> pixels = video.TakeBuffer(kSensorBytes);
        std::memset(pixels.data(), 0x40, pixels.size());
        EXPECT_LT(PageFaultsOfThisThread() - before, 16) << "read-out " << number;
        video.Push({number, std::move(pixels)});
    }
}

}  // namespace
}  // namespace usbtest
