// Faults the campaign found, each pinned by the smallest test that shows it.
#include <algorithm>
#include <string>

#include "camera/simulated_camera.h"
#include "host/kernel/clock.h"
#include "stream/live_stream_fixture.h"
#include "stream/vga_rate_camera.h"

namespace vexacam_test {
namespace {

class CampaignFinding : public LiveStreamTest<VgaRateCamera> {
protected:
    size_t DeliveredIn(int periods) {
        for (int i = 0; i < periods; ++i) {
            AdvanceHalfPeriods(2);
            QueueReads(static_cast<int>(Completed().size()));
        }
        return static_cast<size_t>(std::count_if(completed_.begin(), completed_.end(),
                                                 [](const host::CompletedRead& read) {
                                                     return read.Status == STATUS_SUCCESS;
                                                 }));
    }
};

struct EndpointFaultCase {
    const char* Name;
    const char* Why;
    camera::Endpoint Where;
    camera::FaultKind Kind;
};

class ControlChannelFault : public CampaignFinding,
                            public ::testing::WithParamInterface<EndpointFaultCase> {};

// A failed run block used to be lost for good (and a stall left the command pipe halted for
// every later block): the camera never started and the stream waited forever.
TEST_P(ControlChannelFault, CameraStartsAfterTheFirstBlockFails) {
    const EndpointFaultCase& c = GetParam();
    OpenAdvertised(k640x480);
    camera::FaultSpec fault;
    fault.Where = c.Where;
    fault.Kind = c.Kind;
    camera_->InjectFault(fault);
    StartRunning();
    QueueReads(4);
    EXPECT_GE(DeliveredIn(20), 10u) << c.Why;
    EXPECT_TRUE(camera_->Counters().Running) << c.Why;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ControlChannelFault,
    ::testing::Values(
        EndpointFaultCase{"Stall", "stall on the run block", camera::Endpoint::Command,
                          camera::FaultKind::Stall},
        EndpointFaultCase{"TransferError", "transfer error on the run block",
                          camera::Endpoint::Command, camera::FaultKind::TransferError}),
    [](const ::testing::TestParamInfo<EndpointFaultCase>& param) {
        return std::string(param.param.Name);
    });

// Run straight from stop used to leave the stream running with the camera stopped and no
// reader thread: no frame ever came, and an unplug went unnoticed with every read pending.
TEST_F(CampaignFinding, RunStraightFromStopStartsTheCamera) {
    OpenAdvertised(k640x480);
    ASSERT_EQ(stream_->SetState(KSSTATE_RUN), STATUS_SUCCESS);
    QueueReads(4);
    EXPECT_GE(DeliveredIn(20), 10u);
    camera_->Unplug();
    AdvanceHalfPeriods(2);
    Completed();
    EXPECT_EQ(stream_->PendingReads(), 0u) << "reads still waiting after the camera left";
}

// A picture finished before a format change used to be delivered with the new format's size
// as DataUsed: more bytes than its buffer holds.
TEST_F(CampaignFinding, PictureFinishedBeforeAFormatChangeKeepsItsOwnSize) {
    OpenAdvertised(k640x480);
    StartRunning();
    QueueReads(4);
    // Step until a finished picture waits in the ring for its due time.
    for (int step = 0; step < 200 && Device().RingWriteIndex == Device().RingReadIndex; ++step) {
        host::AdvanceClock(host::kMillisecond);
    }
    ASSERT_NE(Device().RingWriteIndex, Device().RingReadIndex) << "no picture was parked";
    KS_DATAFORMAT_VIDEOINFOHEADER larger = AdvertisedFormat(k1024x768);
    stream_->SetFormat(&larger.DataFormat);
    host::AdvanceClock(Stream().AvgTimePerFrame * 2);
    Completed();
    ASSERT_FALSE(completed_.empty());
    for (const host::CompletedRead& read : completed_) {
        EXPECT_LE(read.DataUsed, read.BufferSize) << "picture " << read.PictureNumber;
    }
}

}  // namespace
}  // namespace vexacam_test
