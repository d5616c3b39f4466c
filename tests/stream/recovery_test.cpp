// Recovery from failed video transfers, and the end of streaming when the camera is unplugged.
#include "host/kernel/clock.h"
#include "host/kernel/host_reset.h"
#include "host/usb/usb_function.h"
#include "stream/live_stream_fixture.h"
#include "stream/scripted_camera.h"

namespace vexacam_test {
namespace {

struct ErrorCase {
    const char* Kind;
    USBD_STATUS Status;
};

const ErrorCase kErrorCases[] = {
    {"invalid parameter", USBD_STATUS_INVALID_PARAMETER},
    {"babble", USBD_STATUS_BABBLE_DETECTED},
    {"transaction error", USBD_STATUS_XACT_ERROR},
    {"any other failure (stall)", USBD_STATUS_STALL_PID},
    {"any other failure (device not responding)", USBD_STATUS_DEV_NOT_RESPONDING},
};

class TransferErrors : public LiveStreamTest<ScriptedCamera>,
                       public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(TransferErrors, ResetPortAndPipeThenStreamingResumes) {
    const ErrorCase& c = GetParam();
    OpenAdvertised(k640x480);
    StartRunning();
    QueueReads(2);
    camera_->Send(307200, c.Status);
    host::RunUntilIdle();
    host::usb::UsbDeviceCounters counters = host::usb::GetUsbDeviceCounters(camera_->Pdo());
    EXPECT_EQ(counters.PortResets, 1u) << c.Kind;
    EXPECT_EQ(Device().ResetRequest, 0) << c.Kind;

    camera_->SendFrame(640, 480, 0x30);
    AdvanceHalfPeriods(4);
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 1u) << c.Kind;
    EXPECT_EQ(reads[0].Status, STATUS_SUCCESS) << c.Kind;
    EXPECT_EQ(buffers_[0]->Bytes[0] != 0xEE, true) << c.Kind;
}

INSTANTIATE_TEST_SUITE_P(Kinds, TransferErrors, ::testing::ValuesIn(kErrorCases));

class StreamingFaults : public LiveStreamTest<ScriptedCamera> {};

// The frame's last transfer arrives while two are still expected: dropped; the port was reset
// before the reader thread submitted again, and the next frame assembles.
TEST_F(StreamingFaults, DropsTheFrameAnErrorInterruptedAndAssemblesTheNext) {
    OpenAdvertised(k2048x1536);
    StartRunning();
    QueueReads(2);
    for (int i = 0; i < 3; ++i) camera_->Send(kTransferBytes);
    camera_->Send(kTransferBytes, USBD_STATUS_XACT_ERROR);
    host::RunUntilIdle();
    EXPECT_EQ(host::usb::GetUsbDeviceCounters(camera_->Pdo()).PortResets, 1u);
    for (int i = 0; i < 2; ++i) camera_->Send(kTransferBytes);
    camera_->Send(0);
    host::RunUntilIdle();
    EXPECT_EQ(Device().RingWriteIndex, 0);
    camera_->SendFrame(2048, 1536, 0x20);
    host::RunUntilIdle();
    EXPECT_EQ(Device().RingWriteIndex, 1);
}

// A port that cannot be reset would fail every later transfer: the stream ends as on an
// unplug, its reads cancelled, instead of streaming on as if the recovery had worked.
TEST_F(StreamingFaults, RecoveryThatCannotResetThePortEndsStreaming) {
    OpenAdvertised(k640x480);
    StartRunning();
    QueueReads(2);
    host::usb::FailPortResets(camera_->Pdo(), true);
    camera_->Send(307200, USBD_STATUS_XACT_ERROR);
    host::RunUntilIdle();
    EXPECT_EQ(Stream().State, KSSTATE_STOP);
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 2u);
    for (const host::CompletedRead& read : reads) EXPECT_EQ(read.Status, STATUS_CANCELLED);
    EXPECT_EQ(host::LiveSystemThreadCount(), 0u);
}

TEST_F(StreamingFaults, UnplugEndsStreamingAndCancelsEveryPendingRead) {
    OpenAdvertised(k640x480);
    StartRunning();
    QueueReads(4);
    camera_->SendFrame(640, 480, 0x10);  // parked in the ring
    host::RunUntilIdle();
    ASSERT_EQ(Device().RingWriteIndex, 1);
    host::usb::UnplugSimulatedUsbDevice(camera_->Pdo());
    host::RunUntilIdle();
    EXPECT_EQ(Stream().State, KSSTATE_STOP);
    std::vector<host::CompletedRead> reads = Completed();
    ASSERT_EQ(reads.size(), 4u);
    for (const host::CompletedRead& read : reads) {
        EXPECT_EQ(read.Status, STATUS_CANCELLED);
        EXPECT_EQ(read.DataUsed, 0u);
    }
    QueueReads(1);
    reads = Completed();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Status, STATUS_CANCELLED);
}

}  // namespace
}  // namespace vexacam_test
