// The driver's trace: one line for each time it gives up on something, none while streaming
// goes well.
#include <functional>
#include <string>

#include "host/kernel/debug_log.h"
#include "stream/live_stream_fixture.h"
#include "stream/scripted_camera.h"

namespace vexacam_test {
namespace {

class Trace : public LiveStreamTest<ScriptedCamera> {
protected:
    void SetUp() override {
        LiveStreamTest::SetUp();
        OpenAdvertised(k640x480);
        StartRunning();
        host::ClearDebugLog();
    }
    void StreamFrames(int count) {
        for (int frame = 0; frame < count; ++frame) {
            QueueReads(1);
            camera_->SendFrame(640, 480, static_cast<UCHAR>(frame));
            host::RunUntilIdle();
            AdvanceHalfPeriods(2);
        }
        AdvanceHalfPeriods(2);  // the last frame's period
        Completed();
    }
};

TEST_F(Trace, NormalStreamingWritesNothing) {
    StreamFrames(30);
    EXPECT_EQ(completed_.size(), 30u);
    EXPECT_TRUE(host::DebugLogLines().empty()) << host::DebugLogLines().front();
}

struct GiveUpCase {
    const char* Why;
    std::function<void(Trace&)> Event;
    const char* Line;  // what the one line says
};

class GiveUp : public Trace, public ::testing::WithParamInterface<GiveUpCase> {
public:
    ScriptedCamera& Camera() { return *camera_; }
    host::StreamClient& Stream() { return *stream_; }
    std::vector<uint64_t> Reads(int count) { return QueueReads(count); }
};

TEST_P(GiveUp, LeavesExactlyOneLine) {
    const GiveUpCase& c = GetParam();
    c.Event(*this);
    host::RunUntilIdle();
    const std::vector<std::string> lines = host::DebugLogLines();
    ASSERT_EQ(lines.size(), 1u) << c.Why;
    EXPECT_NE(lines[0].find(c.Line), std::string::npos) << c.Why << ": " << lines[0];
    EXPECT_EQ(lines[0].rfind("vexacam: ", 0), 0u) << lines[0];
}

INSTANTIATE_TEST_SUITE_P(
    Events, GiveUp,
    ::testing::Values(
        GiveUpCase{"a failed video transfer and its recovery",
                   [](Trace& fixture) {
                       static_cast<GiveUp&>(fixture).Camera().Send(307200, USBD_STATUS_XACT_ERROR);
                   },
                   ": recovered"},
        GiveUpCase{"a CommandBlock the camera refuses",
                   [](Trace& fixture) {
                       GiveUp& test = static_cast<GiveUp&>(fixture);
                       test.Camera().StallCommands(true);
                       test.Stream().SetState(KSSTATE_STOP);
                   },
                   "CommandBlock transfer failed"},
        GiveUpCase{"a format change while streaming",
                   [](Trace& fixture) {
                       const KS_DATAFORMAT_VIDEOINFOHEADER format = AdvertisedFormat(k800x600);
                       static_cast<GiveUp&>(fixture).Stream().SetFormat(&format.DataFormat);
                   },
                   "format change refused"},
        GiveUpCase{"a read beyond the sixteen the queue holds",
                   [](Trace& fixture) { static_cast<GiveUp&>(fixture).Reads(17); },
                   "read refused"}));

}  // namespace
}  // namespace vexacam_test
