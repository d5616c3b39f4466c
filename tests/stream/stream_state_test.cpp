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
    EXPECT_EQ(Stream().StartTime, host::Now());
}

}  // namespace
}  // namespace vexacam_test
