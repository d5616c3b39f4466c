// Stream state changes: what each transition sends to the camera and starts or stops.
#include "host/kernel/host_reset.h"
#include "stream/live_stream_fixture.h"
#include "stream/scripted_camera.h"

namespace vexacam_test {
namespace {

class StreamStates : public LiveStreamTest<ScriptedCamera> {
protected:
    std::vector<UCHAR> RunCodesSent() {
        std::vector<UCHAR> codes;
        for (const CommandBlock& block : camera_->Commands()) codes.push_back(block.RunCode);
        return codes;
    }
};

// Only pause from stop or acquire starts the camera and only stop stops it; a second pause
// after acquire finds the engine running and starts no second reader thread.
TEST_F(StreamStates, StartsOnTheWayToPauseAndStopsAtStop) {
    OpenAdvertised(k640x480);
    struct Step {
        KSSTATE State;
        size_t ReaderThreads;
    };
    const Step steps[] = {{KSSTATE_ACQUIRE, 0}, {KSSTATE_PAUSE, 1},   {KSSTATE_RUN, 1},
                          {KSSTATE_PAUSE, 1},   {KSSTATE_ACQUIRE, 1}, {KSSTATE_PAUSE, 1},
                          {KSSTATE_RUN, 1}};
    for (const Step& step : steps) {
        ASSERT_EQ(stream_->SetState(step.State), STATUS_SUCCESS);
        EXPECT_EQ(host::LiveSystemThreadCount(), step.ReaderThreads) << "state " << step.State;
    }
    ASSERT_EQ(stream_->SetState(KSSTATE_STOP), STATUS_SUCCESS);
    EXPECT_EQ(host::LiveSystemThreadCount(), 0u);
    EXPECT_EQ(RunCodesSent(), (std::vector<UCHAR>{kRunCodeRun, kRunCodeRun, kRunCodeStop}));
}

// Pause from stop starts afresh: counters reset, a new start time.
TEST_F(StreamStates, RestartsCountersAfterStop) {
    OpenAdvertised(k640x480);
    StartRunning();
    AdvanceHalfPeriods(7);
    ASSERT_EQ(Stream().DropCount, 3);
    ASSERT_EQ(stream_->SetState(KSSTATE_STOP), STATUS_SUCCESS);
    ASSERT_EQ(stream_->SetState(KSSTATE_PAUSE), STATUS_SUCCESS);
    EXPECT_EQ(Stream().PictureNumber, 0);
    EXPECT_EQ(Stream().DropCount, 0);
    EXPECT_EQ(Stream().NextDueTime, 0);
    EXPECT_EQ(Stream().StartTime, static_cast<LONGLONG>(KeQueryInterruptTime()))
        << "presentation times count from this pause, on the interrupt time";
}

struct UndeliveredStartCase {
    const char* Why;
    KSSTATE Target;
};

class UndeliveredStart : public StreamStates,
                         public ::testing::WithParamInterface<UndeliveredStartCase> {};

// The camera never got the run code: the request fails with the send's status, and the stream
// is as it was: stopped, no reader thread, the old run code in the block.
TEST_P(UndeliveredStart, FailsTheStateChangeAndLeavesTheStreamStopped) {
    const UndeliveredStartCase& c = GetParam();
    OpenAdvertised(k640x480);
    const UCHAR runCodeBefore = Device().Command.RunCode;
    camera_->StallCommands(true);
    EXPECT_EQ(stream_->SetState(c.Target), STATUS_UNSUCCESSFUL) << c.Why;
    KSSTATE state = KSSTATE_RUN;
    ASSERT_EQ(stream_->GetState(&state), STATUS_SUCCESS);
    EXPECT_EQ(state, KSSTATE_STOP) << c.Why;
    EXPECT_EQ(Device().ReaderThread, nullptr) << c.Why;
    EXPECT_EQ(host::LiveSystemThreadCount(), 0u) << c.Why;
    EXPECT_EQ(Device().Command.RunCode, runCodeBefore) << c.Why;
    camera_->StallCommands(false);
    EXPECT_EQ(stream_->SetState(c.Target), STATUS_SUCCESS) << "once the camera answers again";
}

INSTANTIATE_TEST_SUITE_P(
    Targets, UndeliveredStart,
    ::testing::Values(UndeliveredStartCase{"pause from stop starts the camera", KSSTATE_PAUSE},
                      UndeliveredStartCase{"run straight from stop starts it too", KSSTATE_RUN}));

// The camera did not get the stop code: the driver's side stops all the same (no reader
// thread, reads cancelled), and the request says the camera was not told.
TEST_F(StreamStates, StopThatCannotReachTheCameraStillStopsTheDriverAndSaysSo) {
    OpenAdvertised(k640x480);
    StartRunning();
    QueueReads(2);
    camera_->StallCommands(true);
    EXPECT_EQ(stream_->SetState(KSSTATE_STOP), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(host::LiveSystemThreadCount(), 0u);
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 2u);
    for (const host::CompletedRead& read : reads) EXPECT_EQ(read.Status, STATUS_CANCELLED);
    camera_->StallCommands(false);
}

// Without a reference the stop could never wait for the reader thread: the start ends it at
// once and fails, rather than leave a thread nobody can join.
TEST_F(StreamStates, StartFailsWhenTheReaderThreadCannotBeHeld) {
    OpenAdvertised(k640x480);
    host::FailNextObjectReference();
    EXPECT_EQ(stream_->SetState(KSSTATE_PAUSE), STATUS_INVALID_HANDLE);
    host::RunUntilIdle();
    EXPECT_EQ(host::LiveSystemThreadCount(), 0u);
    EXPECT_EQ(Device().ReaderThread, nullptr);
    KSSTATE state = KSSTATE_RUN;
    ASSERT_EQ(stream_->GetState(&state), STATUS_SUCCESS);
    EXPECT_EQ(state, KSSTATE_STOP);
    EXPECT_EQ(RunCodesSent().back(), kRunCodeStop) << "the camera was started, so it is stopped";
    EXPECT_EQ(stream_->SetState(KSSTATE_PAUSE), STATUS_SUCCESS) << "a later start works";
}

}  // namespace
}  // namespace vexacam_test
