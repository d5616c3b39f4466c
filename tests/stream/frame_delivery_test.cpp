// Frame pacing and time stamps: the frame timer, the drop counts, the discontinuity flag and
// the presentation times of delivered frames, driven by the manual clock.
#include "controls/camera_control_ids.h"
#include "driver/device_context.h"
#include "host/kernel/clock.h"
#include "stream/live_stream_fixture.h"
#include "stream/scripted_camera.h"

namespace vexacam_test {
namespace {

constexpr ULONG kOptionsTimed = KSSTREAM_HEADER_OPTIONSF_TIMEVALID | KSSTREAM_HEADER_OPTIONSF_DURATIONVALID;
constexpr ULONG kOptionsAfterDrop = kOptionsTimed | KSSTREAM_HEADER_OPTIONSF_DATADISCONTINUITY;
constexpr LONGLONG kVgaInterval = 160000;

class FrameDelivery : public LiveStreamTest<ScriptedCamera> {
protected:
    // A frame through frame building and the work item into the FrameRing.
    void ProcessOneFrame() {
        camera_->SendFrame(640, 480, 0x40);
        host::RunUntilIdle();
    }
    LONGLONG TimerDueIn() { return static_cast<LONGLONG>(Device().FrameTimer.DueTime) - host::Now(); }
};

TEST_F(FrameDelivery, ArmsTimerAtHalfIntervalAndRearmsAtTheSameValue) {
    OpenAdvertised(k640x480);
    ASSERT_EQ(stream_->SetState(KSSTATE_PAUSE), STATUS_SUCCESS);
    EXPECT_TRUE(Device().FrameTimer.Header.Inserted);
    EXPECT_EQ(TimerDueIn(), 80000);
    for (int expiry = 0; expiry < 5; ++expiry) {
        host::AdvanceClock(80000);
        EXPECT_EQ(TimerDueIn(), 80000) << "expiry " << expiry;
    }
}

TEST_F(FrameDelivery, CancelsAReadThatArrivesInPause) {
    OpenAdvertised(k640x480);
    ASSERT_EQ(stream_->SetState(KSSTATE_PAUSE), STATUS_SUCCESS);
    QueueReads(1);
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Status, STATUS_CANCELLED);
}

TEST_F(FrameDelivery, ReportsNoDataWhilePaused) {
    OpenAdvertised(k640x480);
    ASSERT_EQ(stream_->SetState(KSSTATE_PAUSE), STATUS_SUCCESS);
    KSSTATE state = KSSTATE_STOP;
    EXPECT_EQ(stream_->GetState(&state), STATUS_NO_DATA_DETECTED);
    EXPECT_EQ(state, KSSTATE_PAUSE);
    ASSERT_EQ(stream_->SetState(KSSTATE_RUN), STATUS_SUCCESS);
    EXPECT_EQ(stream_->GetState(&state), STATUS_SUCCESS);
    EXPECT_EQ(state, KSSTATE_RUN);
}

// Pause at t0: the first expiry (t0 + 80,000) fixes the first due time at t0 + 240,000.
TEST_F(FrameDelivery, FirstFrameIsPictureOneTimedFromThePauseTransition) {
    OpenAdvertised(k640x480);
    ASSERT_EQ(stream_->SetState(KSSTATE_PAUSE), STATUS_SUCCESS);
    host::AdvanceClock(100000);
    ASSERT_EQ(stream_->SetState(KSSTATE_RUN), STATUS_SUCCESS);
    QueueReads(1);
    ProcessOneFrame();
    host::AdvanceClock(140000);
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Status, STATUS_SUCCESS);
    EXPECT_EQ(reads[0].PictureNumber, 1);
    EXPECT_EQ(reads[0].DropCount, 0);
    EXPECT_EQ(reads[0].PresentationTime, 240000);
    EXPECT_EQ(reads[0].PresentationNumerator, 1u);
    EXPECT_EQ(reads[0].PresentationDenominator, 1u);
    EXPECT_EQ(reads[0].Duration, kVgaInterval);
    EXPECT_EQ(reads[0].DataUsed, 921600u);
    EXPECT_EQ(reads[0].OptionsFlags, kOptionsTimed);
}

TEST_F(FrameDelivery, EmptyRingCountsADropAndFlagsTheNextFrame) {
    OpenAdvertised(k640x480);
    StartRunning();
    QueueReads(2);
    AdvanceHalfPeriods(3);  // first due period: nothing finished yet
    EXPECT_EQ(Stream().PictureNumber, 1);
    EXPECT_EQ(Stream().DropCount, 1);
    EXPECT_TRUE(Completed().empty());

    ProcessOneFrame();
    AdvanceHalfPeriods(2);
    ProcessOneFrame();
    AdvanceHalfPeriods(2);
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].OptionsFlags, kOptionsAfterDrop);
    EXPECT_EQ(reads[0].PictureNumber, 2);
    EXPECT_EQ(reads[0].DropCount, 1);
    EXPECT_EQ(reads[1].OptionsFlags, kOptionsTimed);
    EXPECT_EQ(reads[1].PictureNumber, 3);
    EXPECT_EQ(reads[1].DropCount, 1);
}

// Frames finished during a long pause wait in the ring; at run each expiry settles one overdue
// period until the due time has caught up, then every other expiry (two per period).
TEST_F(FrameDelivery, CatchesUpOnePeriodPerExpiryAfterALongPause) {
    OpenAdvertised(k640x480);
    StartRunning();
    QueueReads(3);
    ASSERT_EQ(stream_->SetState(KSSTATE_PAUSE), STATUS_SUCCESS);
    ProcessOneFrame();
    ProcessOneFrame();
    ProcessOneFrame();
    AdvanceHalfPeriods(1);  // first expiry: due at t0 + 240,000
    host::AdvanceClock(1000000 - 80000);  // one second after the start
    ASSERT_EQ(stream_->SetState(KSSTATE_RUN), STATUS_SUCCESS);

    // Due times t0 + 240,000 + k * 160,000, expiries from t0 + 1,080,000 every 80,000: the
    // lag shrinks by half a period per expiry and is gone after the eleventh.
    std::vector<LONGLONG> pictures;
    for (int expiry = 0; expiry < 13; ++expiry) {
        AdvanceHalfPeriods(1);
        pictures.push_back(Stream().PictureNumber);
    }
    EXPECT_EQ(pictures, (std::vector<LONGLONG>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 11, 12}));
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(reads[i].PictureNumber, i + 1);
    EXPECT_EQ(Stream().DropCount, 9);
}

struct ClockStepCase {
    const char* Why;
    LONGLONG Step;
};

class SystemTimeStep : public FrameDelivery, public ::testing::WithParamInterface<ClockStepCase> {};

// Someone sets the system clock while frames flow: delivery keeps its pace (no stall, no burst
// of dropped periods) and presentation times keep counting from the pause.
TEST_P(SystemTimeStep, LeavesPacingAndTimeStampsAsTheyWere) {
    const ClockStepCase& c = GetParam();
    OpenAdvertised(k640x480);
    StartRunning();
    QueueReads(12);
    ProcessOneFrame();  // two frames ahead: a period is never without a finished frame
    ProcessOneFrame();
    std::vector<host::CompletedRead> reads;
    for (int period = 0; period < 8; ++period) {
        if (period == 3) host::StepSystemTime(c.Step);
        ProcessOneFrame();
        AdvanceHalfPeriods(2);
        for (const host::CompletedRead& read : Completed()) reads.push_back(read);
    }
    ASSERT_GE(reads.size(), 7u) << c.Why << ": one frame a period, the step or not";
    for (size_t i = 1; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].DropCount, 0) << c.Why;
        EXPECT_EQ(reads[i].PictureNumber, reads[i - 1].PictureNumber + 1) << c.Why;
        EXPECT_EQ(reads[i].PresentationTime - reads[i - 1].PresentationTime, kVgaInterval)
            << c.Why;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SystemTimeStep,
    ::testing::Values(ClockStepCase{"an hour back", -36000000000LL},
                      ClockStepCase{"an hour forward", 36000000000LL},
                      ClockStepCase{"a second back, a few periods", -10000000LL}));

// A property change that needs the camera goes out once, after the next processed frame and
// after that frame's own sends (here the defect capture raising the exposure).
TEST_F(FrameDelivery, PropertyChangeReachesTheCameraOnceAfterTheNextFrame) {
    OpenAdvertised(k640x480);
    StartRunning();
    Device().Image.AEing = 0;
    QueueReads(2);
    ULONG exposal = 250;
    ASSERT_EQ(adapter_->SetProperty({CameraControlSet, kControlExposal, &exposal, sizeof(exposal)}),
              STATUS_SUCCESS);
    ULONG capture = 1;
    ASSERT_EQ(adapter_->SetProperty({CameraControlSet, kControlDefectCapture, &capture, sizeof(capture)}),
              STATUS_SUCCESS);
    camera_->ForgetCommands();
    ProcessOneFrame();
    std::vector<ULONG> sent;
    for (const CommandBlock& block : camera_->Commands()) sent.push_back(block.Exposal);
    EXPECT_EQ(sent, (std::vector<ULONG>{4000, 4000})) << "the capture's send, then the change's";
    EXPECT_EQ(Device().SettingsChanged, 0);
    ProcessOneFrame();
    EXPECT_EQ(camera_->Commands().size(), 2u) << "sent once";
}

TEST_F(FrameDelivery, ClosesWithQueuedAndParkedReadsCancelledQueueFirst) {
    OpenAdvertised(k640x480);
    StartRunning();
    std::vector<uint64_t> ids = QueueReads(5);
    ProcessOneFrame();
    ProcessOneFrame();
    ASSERT_EQ(Device().RingWriteIndex, 2);
    ASSERT_EQ(stream_->Close(), STATUS_SUCCESS);
    std::vector<host::CompletedRead> reads = stream_->TakeCompletedReads();
    ASSERT_EQ(reads.size(), 5u);
    std::vector<uint64_t> order;
    for (const host::CompletedRead& read : reads) {
        EXPECT_EQ(read.Status, STATUS_CANCELLED);
        EXPECT_EQ(read.DataUsed, 0u);
        order.push_back(read.Id);
    }
    EXPECT_EQ(order, (std::vector<uint64_t>{ids[2], ids[3], ids[4], ids[0], ids[1]}));
    stream_.reset();
}

TEST_F(FrameDelivery, CloseEndsTheTimerChain) {
    OpenAdvertised(k640x480);
    StartRunning();
    AdvanceHalfPeriods(3);
    ASSERT_EQ(stream_->Close(), STATUS_SUCCESS);
    stream_.reset();
    EXPECT_FALSE(Device().FrameTimer.Header.Inserted);
    EXPECT_EQ(Device().Stream, nullptr);
}

TEST_F(FrameDelivery, StopEndsTheTimerChainAtItsNextExpiry) {
    OpenAdvertised(k640x480);
    StartRunning();
    AdvanceHalfPeriods(3);
    ASSERT_EQ(stream_->SetState(KSSTATE_STOP), STATUS_SUCCESS);
    AdvanceHalfPeriods(1);
    EXPECT_FALSE(Device().FrameTimer.Header.Inserted);
}

}  // namespace
}  // namespace vexacam_test
