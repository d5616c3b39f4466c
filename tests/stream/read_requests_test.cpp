// Read requests: the sixteen-slot queue, refused reads, cancelled reads, and the work-item
// gate that must open again whenever a frame found no work item to carry it.
#include "driver/stream_data.h"
#include "host/kernel/clock.h"
#include "host/kernel/pool.h"
#include "stream/live_stream_fixture.h"
#include "stream/scripted_camera.h"
#include "usb/pool_tags.h"
#include "driver/frame_work_item.h"
#include "usb/streaming.h"

namespace vexacam_test {
namespace {

class ReadRequests : public LiveStreamTest<ScriptedCamera> {
protected:
    void SetUp() override {
        LiveStreamTest::SetUp();
        OpenAdvertised(k640x480);
        StartRunning();
    }
    void DeliverFrames(int count) {
        for (int i = 0; i < count; ++i) {
            camera_->SendFrame(640, 480, static_cast<UCHAR>(i));
            host::RunUntilIdle();
            AdvanceHalfPeriods(2);
        }
    }
};

TEST_F(ReadRequests, SixteenQueuedReadsWrapTheWriteIndexAndAreAllServed) {
    std::vector<uint64_t> ids = QueueReads(16);
    EXPECT_EQ(Stream().WriteIndex, 0);
    for (PHW_STREAM_REQUEST_BLOCK slot : Stream().ReadQueue) EXPECT_NE(slot, nullptr);
    std::vector<host::CompletedRead> served;
    for (int round = 0; round < 4; ++round) {
        DeliverFrames(4);
        for (const host::CompletedRead& read : Completed()) served.push_back(read);
    }
    AdvanceHalfPeriods(2);  // the first due period came before the first frame was parked
    for (const host::CompletedRead& read : Completed()) served.push_back(read);
    ASSERT_EQ(served.size(), 16u);
    for (size_t i = 0; i < served.size(); ++i) {
        EXPECT_EQ(served[i].Id, ids[i]);
        EXPECT_EQ(served[i].Status, STATUS_SUCCESS);
    }
}

TEST_F(ReadRequests, RefusesASeventeenthReadWithoutTouchingThePendingOnes) {
    std::vector<uint64_t> ids = QueueReads(16);
    uint64_t extra = QueueReads(1)[0];
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Id, extra);
    EXPECT_EQ(reads[0].Status, kReadQueueFullStatus);
    EXPECT_EQ(stream_->PendingReads(), 16u);
}

TEST_F(ReadRequests, RefusesABufferSmallerThanThePictureWithoutWritingIt) {
    QueueReads(1, Device().ImageSize - 1);
    camera_->SendFrame(640, 480, 0x55);
    AdvanceHalfPeriods(4);
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Status, STATUS_BUFFER_TOO_SMALL);
    const std::vector<UCHAR>& bytes = buffers_[0]->Bytes;
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0xEE), static_cast<long>(bytes.size()));
}

struct CancelInFullQueueCase {
    const char* Why;
    int Cancelled;  // which of the sixteen queued reads is cancelled
};

class CancelInFullQueue : public ReadRequests,
                          public ::testing::WithParamInterface<CancelInFullQueueCase> {};

// The others are served in the order they came, the next read joins behind them, and no frame
// is dropped for an empty oldest slot.
TEST_P(CancelInFullQueue, ServesTheRestInQueueOrderWithoutAStall) {
    std::vector<uint64_t> ids = QueueReads(16);
    ASSERT_TRUE(stream_->CancelRead(ids[GetParam().Cancelled])) << GetParam().Why;
    const uint64_t latecomer = QueueReads(1)[0];
    std::vector<uint64_t> expected = ids;
    expected.erase(expected.begin() + GetParam().Cancelled);
    expected.push_back(latecomer);
    std::vector<uint64_t> served;
    for (int frame = 0; frame < 24 && served.size() < expected.size(); ++frame) {
        DeliverFrames(1);
        for (const host::CompletedRead& read : Completed()) {
            if (read.Status == STATUS_SUCCESS) served.push_back(read.Id);
        }
    }
    EXPECT_EQ(served, expected) << GetParam().Why;
}

INSTANTIATE_TEST_SUITE_P(
    Positions, CancelInFullQueue,
    ::testing::Values(CancelInFullQueueCase{"the oldest, at the read index", 0},
                      CancelInFullQueueCase{"one in the middle", 7},
                      CancelInFullQueueCase{"the newest, just before the write index", 15}));

// The frame meets an emptied queue slot: the gate taken for it must open again.
TEST_F(ReadRequests, DeliversAgainAfterAFrameMetACancelledRead) {
    uint64_t cancelled = QueueReads(1)[0];
    ASSERT_TRUE(stream_->CancelRead(cancelled));
    QueueReads(1);
    DeliverFrames(2);
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].Status, STATUS_CANCELLED);
    EXPECT_EQ(reads[1].Status, STATUS_SUCCESS);
    EXPECT_EQ(Device().WorkItemsInFlight, 0);
}

// No FrameWorkContext or work item: the read is cancelled and the gate opens again.
TEST_F(ReadRequests, DeliversAgainAfterTheWorkItemCouldNotBeAllocated) {
    QueueReads(2);
    host::FailAllocationsMatching(sizeof(FrameWorkContext), MakePoolTag("VxFw"));
    DeliverFrames(1);
    host::ClearAllocationFailures();
    DeliverFrames(1);
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].Status, STATUS_CANCELLED);
    EXPECT_EQ(reads[1].Status, STATUS_SUCCESS);
}

TEST_F(ReadRequests, ReportsAllocatorFramingOfFiveImages) {
    KSALLOCATOR_FRAMING framing{};
    ULONG bytes = 0;
    host::PropertyCall call{KSPROPSETID_Connection, KSPROPERTY_CONNECTION_ALLOCATORFRAMING,
                            &framing, sizeof(framing)};
    ASSERT_EQ(stream_->GetProperty(call, &bytes), STATUS_SUCCESS);
    EXPECT_EQ(bytes, sizeof(KSALLOCATOR_FRAMING));
    EXPECT_EQ(framing.Frames, 5u);
    EXPECT_EQ(framing.FrameSize, 921600u);
    EXPECT_EQ(framing.RequirementsFlags, 0x80000003u);
    EXPECT_EQ(framing.PoolType, NonPagedPool);
}

TEST_F(ReadRequests, ReportsPictureAndDropCounts) {
    QueueReads(1);
    AdvanceHalfPeriods(3);  // one period dropped
    DeliverFrames(1);
    KSPROPERTY_DROPPEDFRAMES_CURRENT_S dropped{};
    ULONG bytes = 0;
    host::PropertyCall call{PROPSETID_VIDCAP_DROPPEDFRAMES, KSPROPERTY_DROPPEDFRAMES_CURRENT,
                            &dropped, sizeof(dropped), sizeof(dropped)};
    ASSERT_EQ(stream_->GetProperty(call, &bytes), STATUS_SUCCESS);
    EXPECT_EQ(bytes, sizeof(dropped));
    EXPECT_EQ(dropped.PictureNumber, 2);
    EXPECT_EQ(dropped.DropCount, 1);
    EXPECT_EQ(dropped.AverageFrameSize, 921600u);
}

// Stop while frames are being built and processed: every read comes back exactly once (the
// verifier stops the process otherwise) and nothing stays parked.
TEST_F(ReadRequests, StopRacingTheFramePathCompletesEveryReadOnce) {
    for (int round = 0; round < 20; ++round) {
        QueueReads(4);
        camera_->SendFrame(640, 480, 1);
        camera_->SendFrame(640, 480, 2);
        host::AdvanceClock(160000);
        ASSERT_EQ(stream_->SetState(KSSTATE_STOP), STATUS_SUCCESS);
        EXPECT_EQ(stream_->PendingReads(), 0u);
        EXPECT_EQ(Device().RingWriteIndex, 0);
        EXPECT_EQ(Stream().RingSlots[0], nullptr);
        StartRunning();
    }
    Completed();
    EXPECT_EQ(completed_.size(), 80u);
}

}  // namespace
}  // namespace vexacam_test
