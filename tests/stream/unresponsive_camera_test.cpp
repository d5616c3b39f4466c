// A camera that stops answering on one pipe: every request that talks to it returns within the
// driver's time limit with STATUS_IO_TIMEOUT, and the stream can still be stopped, closed and
// the device unloaded with nothing leaked.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "controls/camera_control_ids.h"
#include "host/kernel/debug_log.h"
#include "stream/live_stream_fixture.h"
#include "stream/vga_rate_camera.h"
#include "usb/usb_requests.h"

namespace vexacam_test {
namespace {

// Host time an operation may show beyond the limit itself: the clock keeps stepping while the
// request is on its way to its wait and while it is cancelled (real time on a loaded machine).
constexpr LONGLONG kSlack = host::kSecond;

class UnresponsiveCamera : public LiveStreamTest<VgaRateCamera> {
protected:
    void SetUp() override {
        LiveStreamTest::SetUp();
        OpenAdvertised(k640x480);
        // Nothing else may hold the control channel: no automatic exposure, no pending change.
        Device().Image.AEing = 0;
        Device().SettingsChanged = 0;
        StartRunning();
        QueueReads(2);
        AdvanceHalfPeriods(8);
    }

    void Silence(camera::Endpoint where) {
        camera::FaultSpec fault;
        fault.Kind = camera::FaultKind::Unresponsive;
        fault.Where = where;
        camera_->InjectFault(fault);
    }

    // Runs `operation` on a thread of its own while the manual clock moves on in small steps,
    // as time would; returns the host time that passed until it returned. An operation that
    // is still waiting after four time limits hangs: the thread cannot be ended, so the test
    // program stops.
    template <typename Fn>
    LONGLONG HostTimeTaken(Fn operation) {
        std::atomic<bool> done{false};
        const LONGLONG start = host::Now();
        std::thread worker([&] {
            operation();
            done = true;
        });
        while (!done) {
            // Past the limit the operation has work to finish, not time to wait for: give it
            // real time before the clock moves on.
            const bool pastLimit = host::Now() - start >= kUsbRequestTimeLimit;
            std::this_thread::sleep_for(std::chrono::milliseconds(pastLimit ? 50 : 1));
            if (done) break;
            if (host::Now() - start > 4 * kUsbRequestTimeLimit) {
                std::fprintf(stderr, "the operation hangs on the unresponsive camera\n");
                std::abort();
            }
            host::AdvanceClock(10 * host::kMillisecond);
        }
        worker.join();
        return host::Now() - start;
    }

    bool TraceMentions(const std::string& text) {
        for (const std::string& line : host::DebugLogLines()) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    }
};

struct SilentPipeCase {
    const char* Why;
    camera::Endpoint Where;
};

class SilentPipe : public UnresponsiveCamera,
                   public ::testing::WithParamInterface<SilentPipeCase> {};

TEST_P(SilentPipe, CameraValueGetFailsWithTimeoutWithinTheLimit) {
    Silence(GetParam().Where);
    ULONG value = 0x5A5A5A5A;
    NTSTATUS status = STATUS_SUCCESS;
    const LONGLONG taken = HostTimeTaken([&] {
        status = adapter_->GetProperty({CameraControlSet, kControlCameraValue, &value, sizeof(value)});
    });
    EXPECT_EQ(status, STATUS_IO_TIMEOUT) << GetParam().Why;
    EXPECT_GE(taken, kUsbRequestTimeLimit) << GetParam().Why;
    EXPECT_LE(taken, kUsbRequestTimeLimit + kSlack) << GetParam().Why;
    EXPECT_EQ(value, 0x5A5A5A5Au) << "a failed get writes nothing";
    EXPECT_TRUE(TraceMentions("not answered within the time limit")) << GetParam().Why;
    EXPECT_EQ(Device().Command.CommandCode, kCommandApply) << "the query code is put back";
}

INSTANTIATE_TEST_SUITE_P(
    Pipes, SilentPipe,
    ::testing::Values(SilentPipeCase{"the CommandBlock pipe takes nothing", camera::Endpoint::Command},
                      SilentPipeCase{"the StatusBlock pipe sends nothing", camera::Endpoint::Status}));

// After a get has timed out, the stop and the close still return within the limit; the stop
// says the camera did not get its code, the close succeeds, and TearDown unloads the driver
// with its pool checked.
TEST_F(UnresponsiveCamera, StopAndCloseReturnWithinTheLimit) {
    Silence(camera::Endpoint::Command);
    ULONG value = 0;
    HostTimeTaken([&] {
        adapter_->GetProperty({CameraControlSet, kControlCameraValue, &value, sizeof(value)});
    });
    NTSTATUS stopped = STATUS_SUCCESS;
    EXPECT_LE(HostTimeTaken([&] { stopped = stream_->SetState(KSSTATE_STOP); }),
              kUsbRequestTimeLimit + kSlack);
    EXPECT_EQ(stopped, STATUS_IO_TIMEOUT);
    EXPECT_EQ(host::LiveSystemThreadCount(), 0u) << "the reader thread is gone";
    for (const host::CompletedRead& read : Completed()) {
        EXPECT_NE(read.Status, STATUS_PENDING);
    }
    EXPECT_EQ(stream_->PendingReads(), 0u) << "no read is left waiting";
    NTSTATUS closed = STATUS_UNSUCCESSFUL;
    EXPECT_LE(HostTimeTaken([&] { closed = stream_->Close(); }), kUsbRequestTimeLimit + kSlack);
    EXPECT_EQ(closed, STATUS_SUCCESS);
    stream_.reset();
}

}  // namespace
}  // namespace vexacam_test
