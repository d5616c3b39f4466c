// Transfer framing: which sequences of transfer lengths make a frame, and how building
// realigns after a bad one. Frames handed off land in the FrameRing (at most four here).
#include "host/kernel/clock.h"
#include "host/usb/usb_function.h"
#include "stream/live_stream_fixture.h"
#include "stream/scripted_camera.h"

namespace vexacam_test {
namespace {

constexpr ULONG kFull = kTransferBytes;

struct FramingCase {
    const char* Why;
    int Format;
    std::vector<ScriptedTransfer> Transfers;
    LONG FramesHandedOff;
};

class FrameBuilding : public LiveStreamTest<ScriptedCamera>,
                      public ::testing::WithParamInterface<FramingCase> {};

std::vector<ScriptedTransfer> Repeat(ULONG length, int count) {
    return std::vector<ScriptedTransfer>(count, ScriptedTransfer{length});
}
std::vector<ScriptedTransfer> Join(std::initializer_list<std::vector<ScriptedTransfer>> parts) {
    std::vector<ScriptedTransfer> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}
std::vector<ScriptedTransfer> FullFrame() { return Join({Repeat(kFull, 6), Repeat(0, 1)}); }

const FramingCase kFramingCases[] = {
    {"six full transfers and a zero-length one make a 2048 x 1536 frame", k2048x1536,
     FullFrame(), 1},
    {"a seventh full transfer where the zero-length one is due drops the frame", k2048x1536,
     Repeat(kFull, 7), 0},
    {"after a seventh full transfer the next frame assembles", k2048x1536,
     Join({Repeat(kFull, 7), FullFrame()}), 1},
    {"1600 x 1200 is three full transfers and 347,136 bytes", k1600x1200,
     Join({Repeat(kFull, 3), Repeat(347136, 1)}), 1},
    {"a last transfer one byte too long drops the frame, the next one assembles", k1024x768,
     Join({Repeat(kFull, 1), Repeat(262145, 1), Repeat(kFull, 1), Repeat(262144, 1)}), 1},
    {"a short transfer early drops the frame", k1280x1024,
     Join({Repeat(kFull, 1), Repeat(262144, 1)}), 0},
    {"640 x 480 is one short transfer per frame", k640x480, Repeat(307200, 3), 3},
    {"a full transfer at 640 x 480 is dropped", k640x480,
     Join({Repeat(kFull, 1), Repeat(307200, 1)}), 1},
    {"800 x 600 is one short transfer of 480,000 bytes", k800x600, Repeat(480000, 2), 2},
};

TEST_P(FrameBuilding, HandsOffOnlyFramesOfTheExpectedTransferSizes) {
    const FramingCase& c = GetParam();
    OpenAdvertised(c.Format);
    StartRunning();
    QueueReads(4);
    for (const ScriptedTransfer& t : c.Transfers) {
        camera_->Send({t});
        host::RunUntilIdle();
    }
    EXPECT_EQ(Device().RingWriteIndex, c.FramesHandedOff) << c.Why;
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameBuilding, ::testing::ValuesIn(kFramingCases));

class FrameAlignment : public LiveStreamTest<ScriptedCamera> {
protected:
    void SendAll(const std::vector<ScriptedTransfer>& transfers) {
        for (const ScriptedTransfer& t : transfers) camera_->Send({t});
        host::RunUntilIdle();
    }
};

// The count of a frame cut short by a stop carries into the next start: the first frame after
// it is miscounted and dropped, building is aligned again from the one after.
TEST_F(FrameAlignment, RealignsAtTheFrameAfterAStopInTheMiddleOfAFrame) {
    OpenAdvertised(k2048x1536);
    StartRunning();
    SendAll(Repeat(kFull, 3));
    ASSERT_EQ(stream_->SetState(KSSTATE_STOP), STATUS_SUCCESS);
    EXPECT_EQ(Device().TransfersLeft, 4u);
    StartRunning();
    QueueReads(2);
    SendAll(FullFrame());
    EXPECT_EQ(Device().RingWriteIndex, 0);
    SendAll(FullFrame());
    EXPECT_EQ(Device().RingWriteIndex, 1);
}

TEST_F(FrameAlignment, KeepsFillingTheFirstRawBufferWhileNoReadIsPending) {
    OpenAdvertised(k640x480);
    StartRunning();
    SendAll(Repeat(307200, 3));
    EXPECT_EQ(Device().FillingFrame, Device().RawFrames[0]);
    EXPECT_EQ(Device().RawWriteIndex, 1);
    EXPECT_EQ(Device().RingWriteIndex, 0);
}

// A frame completed while the work item still runs is dropped; each delivered frame moves to
// the next raw buffer and the work item releases the one before.
TEST_F(FrameAlignment, MovesToTheNextRawBufferForEachDeliveredFrame) {
    OpenAdvertised(k640x480);
    StartRunning();
    QueueReads(3);
    for (int frame = 0; frame < 3; ++frame) {
        SendAll(Repeat(307200, 1));
        EXPECT_EQ(Device().RawWriteIndex, frame + 1);
        EXPECT_EQ(Device().RawReleaseIndex, frame);
    }
    EXPECT_EQ(Device().WorkItemsInFlight, 0);
}

}  // namespace
}  // namespace vexacam_test
