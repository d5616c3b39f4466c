// Live video end to end: the driver in the host, the simulated camera producing frames at the
// format's rate on the manual clock, an application keeping reads queued through the client
// API, as a capture program would.
#include <algorithm>
#include <cstring>

#include "camera/simulated_camera.h"
#include "host/kernel/clock.h"
#include "stream/live_stream_fixture.h"
#include "stream/vga_rate_camera.h"

namespace vexacam_test {
namespace {

constexpr LONGLONG kVgaInterval = 160000;
constexpr int kReadsKeptQueued = 4;

class LiveVideo : public LiveStreamTest<VgaRateCamera> {
protected:
    // Opens 640 x 480 with the format the data intersection answers for the advertised range.
    void OpenByIntersection() {
        std::vector<const KSDATARANGE*> formats = adapter_->Formats(0);
        ASSERT_EQ(formats.size(), 6u);
        std::vector<UCHAR> answer(sizeof(KS_DATAFORMAT_VIDEOINFOHEADER));
        ULONG bytes = 0;
        ASSERT_EQ(adapter_->Intersect(0, formats[k640x480], answer.data(),
                                      static_cast<ULONG>(answer.size()), &bytes),
                  STATUS_SUCCESS);
        KS_DATAFORMAT_VIDEOINFOHEADER format;
        std::memcpy(&format, answer.data(), sizeof(format));
        ASSERT_EQ(Open(format), STATUS_SUCCESS);
    }

    // Runs for `periods` frame periods, re-queuing a read for each one completed.
    void Capture(int periods) {
        for (int i = 0; i < periods; ++i) {
            host::AdvanceClock(kVgaInterval);
            size_t done = Completed().size();
            QueueReads(static_cast<int>(done));
        }
    }

    std::vector<host::CompletedRead> Delivered() const {
        std::vector<host::CompletedRead> delivered;
        for (const host::CompletedRead& read : completed_) {
            if (read.Status == STATUS_SUCCESS) delivered.push_back(read);
        }
        return delivered;
    }
};

TEST_F(LiveVideo, DeliversTimedPicturesAtTheFrameRate) {
    OpenByIntersection();
    StartRunning();
    QueueReads(kReadsKeptQueued);
    Capture(60);
    std::vector<host::CompletedRead> delivered = Delivered();
    ASSERT_GE(delivered.size(), 50u);
    LONGLONG previous = 0;
    for (const host::CompletedRead& read : delivered) {
        EXPECT_EQ(read.DataUsed, 921600u);
        EXPECT_EQ(read.Duration, kVgaInterval);
        EXPECT_EQ(read.OptionsFlags & KSSTREAM_HEADER_OPTIONSF_TIMEVALID,
                  static_cast<ULONG>(KSSTREAM_HEADER_OPTIONSF_TIMEVALID));
        // Due times are start plus whole periods: no drift.
        EXPECT_EQ(read.PresentationTime, 240000 + (read.PictureNumber - 1) * kVgaInterval);
        EXPECT_GT(read.PictureNumber, previous);
        previous = read.PictureNumber;
    }
    // Once the pipeline is primed every period carries a frame.
    EXPECT_EQ(delivered.back().DropCount, delivered[delivered.size() / 2].DropCount);
    const UCHAR* picture = static_cast<const UCHAR*>(delivered.back().Buffer);
    EXPECT_NE(std::count(picture, picture + 921600, 0xEE), 921600);
}

TEST_F(LiveVideo, StartsAndStopsTheCameraWithTheStream) {
    OpenByIntersection();
    StartRunning();
    Capture(3);
    ASSERT_EQ(stream_->SetState(KSSTATE_STOP), STATUS_SUCCESS);
    std::vector<camera::CommandBlock> blocks = camera_->ReceivedCommandBlocks();
    ASSERT_GE(blocks.size(), 2u);
    EXPECT_EQ(blocks.front().RunCode, kRunCodeRun);
    EXPECT_EQ(blocks.front().FrameWidth, 640u);
    EXPECT_EQ(blocks.back().RunCode, kRunCodeStop);
    EXPECT_FALSE(camera_->Counters().Running);
}

struct FaultCase {
    const char* Name;
    camera::FaultKind Kind;
    USBD_STATUS Status;
};

const FaultCase kRecoverableFaults[] = {
    {"invalid parameter", camera::FaultKind::TransferError, USBD_STATUS_INVALID_PARAMETER},
    {"babble", camera::FaultKind::TransferError, USBD_STATUS_BABBLE_DETECTED},
    {"transaction error", camera::FaultKind::TransferError, USBD_STATUS_XACT_ERROR},
    {"other transfer error", camera::FaultKind::TransferError, USBD_STATUS_CRC},
    {"stall", camera::FaultKind::Stall, USBD_STATUS_STALL_PID},
    {"short frame", camera::FaultKind::ShortFrame, USBD_STATUS_SUCCESS},
    {"long frame", camera::FaultKind::LongFrame, USBD_STATUS_SUCCESS},
    {"extra transfer", camera::FaultKind::ExtraTransfer, USBD_STATUS_SUCCESS},
};

class LiveVideoFaults : public LiveVideo, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(LiveVideoFaults, StreamingResumesAfterTheFault) {
    const FaultCase& c = GetParam();
    OpenByIntersection();
    StartRunning();
    QueueReads(kReadsKeptQueued);
    Capture(10);
    size_t before = Delivered().size();
    camera::FaultSpec fault;
    fault.Kind = c.Kind;
    fault.Status = c.Status;
    camera_->InjectFault(fault);
    Capture(30);
    EXPECT_GE(Delivered().size(), before + 20) << c.Name;
    EXPECT_EQ(Device().ResetRequest, 0) << c.Name;
}

INSTANTIATE_TEST_SUITE_P(Faults, LiveVideoFaults, ::testing::ValuesIn(kRecoverableFaults));

TEST_F(LiveVideo, DisconnectEndsStreamingAndCancelsEveryPendingRead) {
    OpenByIntersection();
    StartRunning();
    QueueReads(kReadsKeptQueued);
    Capture(5);
    camera_->Unplug();
    host::AdvanceClock(kVgaInterval);
    Completed();
    EXPECT_EQ(stream_->PendingReads(), 0u);
    EXPECT_EQ(Stream().State, KSSTATE_STOP);
    size_t cancelled = std::count_if(completed_.begin(), completed_.end(), [](const auto& r) {
        return r.Status == STATUS_CANCELLED && r.DataUsed == 0;
    });
    EXPECT_GE(cancelled, static_cast<size_t>(kReadsKeptQueued) - 1);
}

// Uninitialize with the stream still running: the adapter closes it, waits for the reader
// thread, the work item and the frame timer, and frees everything (the unload checks).
TEST_F(LiveVideo, UninitializeWhileRunningLeavesNothingBehind) {
    OpenByIntersection();
    StartRunning();
    QueueReads(kReadsKeptQueued);
    host::AdvanceClock(kVgaInterval * 3 + 7);
    ASSERT_EQ(adapter_->Uninitialize(), STATUS_SUCCESS);
    Completed();
    EXPECT_EQ(stream_->PendingReads(), 0u);
    adapter_.reset();
}

}  // namespace
}  // namespace vexacam_test
