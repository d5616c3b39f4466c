// Sends from the frame path and the property queries run on different threads; the control
// channel must keep them apart so that no send carries a query code and every query reads its
// own reply.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "controls/control_actions.h"
#include "tests/usb/camera_fixture.h"
#include "usb/command_block.h"
#include "usb/command_sequences.h"

namespace usb_test {
namespace {

struct WindowReply {
    ULONG FrameHeight, FrameWidth, WindowX, WindowY;
};

TEST_F(CameraTest, ConcurrentSendsNeverCarryAQueryCodeAndQueriesReadTheirOwnReply) {
    BringUp();
    Device().Command.OptionValue = 0xABCD0123;  // unlike any window value
    SendCommandBlock(&Device());
    camera_->ClearReceivedCommandBlocks();

    // The frame path sends for as long as the queries run, so the two overlap throughout.
    constexpr int kRounds = 300;
    std::atomic<bool> querying{true};
    std::atomic<int> sends{0};
    std::thread frame_path([this, &querying, &sends] {
        while (querying.load()) {
            SendCommandBlock(&Device());
            sends.fetch_add(1);
        }
    });
    while (sends.load() == 0) std::this_thread::yield();
    int wrong_values = 0;
    int wrong_windows = 0;
    for (int i = 0; i < kRounds; ++i) {
        ULONG value = 0;
        QueryCameraValue(&Device(), &value);
        wrong_values += value != 0xABCD0123u;
        WindowReply window = {};
        QueryCameraWindow(&Device(), &window);
        wrong_windows += window.FrameHeight != 1536 || window.FrameWidth != 2048;
    }
    querying.store(false);
    frame_path.join();

    int applies = 0, value_queries = 0, window_queries = 0;
    for (const camera::CommandBlock& block : camera_->ReceivedCommandBlocks()) {
        applies += block.CommandCode == kCommandApply;
        value_queries += block.CommandCode == kCommandReadValue;
        window_queries += block.CommandCode == kCommandReadWindow;
    }
    EXPECT_EQ(applies, sends.load());
    EXPECT_EQ(value_queries, kRounds);
    EXPECT_EQ(window_queries, kRounds);
    EXPECT_EQ(wrong_values, 0);
    EXPECT_EQ(wrong_windows, 0);
    EXPECT_EQ(Device().Command.CommandCode, kCommandApply);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

// A property set writes Exposal while the frame path sends the block: every block the camera
// receives carries one of the two values whole, never half of each.
TEST_F(CameraTest, SendsNeverCarryAFieldHalfWrittenByAPropertySet) {
    BringUp();
    Device().Image.AEing = 0;
    constexpr ULONG kLow = 0x0000FFFF;
    constexpr ULONG kHigh = 0xFFFF0000;
    SetManualExposure(&Device(), kLow);
    camera_->ClearReceivedCommandBlocks();
    std::atomic<bool> sending{true};
    std::atomic<ULONG> rounds{0};
    std::thread property_sets([this, &sending, &rounds] {
        while (sending.load()) {
            SetManualExposure(&Device(), (rounds.fetch_add(1) & 1) != 0 ? kHigh : kLow);
        }
    });
    while (rounds.load() == 0) std::this_thread::yield();
    constexpr int kSends = 5000;
    for (int i = 0; i < kSends; ++i) SendCommandBlock(&Device());
    sending.store(false);
    property_sets.join();
    int torn = 0;
    for (const camera::CommandBlock& block : camera_->ReceivedCommandBlocks()) {
        torn += block.Exposal != kLow && block.Exposal != kHigh;
    }
    EXPECT_EQ(torn, 0) << "of " << kSends << " sends";
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

}  // namespace
}  // namespace usb_test
