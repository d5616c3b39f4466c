// The camera's control channel as the camera sees it: the bytes of each send, the query
// replies, CommandCode restored to 14, and window writes the driver must refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/usb/camera_fixture.h"
#include "usb/command_block.h"
#include "usb/command_sequences.h"

namespace usb_test {
namespace {

struct Window {
    ULONG FrameHeight, FrameWidth, WindowX, WindowY;
};

std::vector<UCHAR> BytesOf(const CommandBlock& block) {
    const UCHAR* p = reinterpret_cast<const UCHAR*>(&block);
    return std::vector<UCHAR>(p, p + sizeof(block));
}

class CommandSequenceTest : public CameraTest {
  protected:
    // The one block the camera received since the last clear, as the camera read it, in the
    // wire layout again.
    CommandBlock OnlyBlockReceived() {
        std::vector<camera::CommandBlock> blocks = camera_->ReceivedCommandBlocks();
        EXPECT_EQ(blocks.size(), 1u);
        camera_->ClearReceivedCommandBlocks();
        CommandBlock wire{};
        if (!blocks.empty()) camera::EncodeCommandBlock(blocks.back(), reinterpret_cast<uint8_t*>(&wire));
        return wire;
    }

    // The live block as it stands, with another CommandCode.
    CommandBlock LiveBlockWithCode(UCHAR code) {
        CommandBlock expected = Device().Command;
        expected.CommandCode = code;
        return expected;
    }
};

TEST_F(CommandSequenceTest, SendCarriesTheWholeLiveBlock) {
    BringUp();
    SendCommandBlock(&Device());
    EXPECT_EQ(BytesOf(OnlyBlockReceived()), BytesOf(Device().Command));
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

TEST_F(CommandSequenceTest, ReadWindowSendsCodeThreeAndReturnsTheCameraWindow) {
    BringUp();
    SendCommandBlock(&Device());  // the camera takes the default geometry
    camera_->ClearReceivedCommandBlocks();

    Window reply = {};
    QueryCameraWindow(&Device(), &reply);

    EXPECT_EQ(BytesOf(OnlyBlockReceived()), BytesOf(LiveBlockWithCode(kCommandReadWindow)));
    EXPECT_EQ(reply.FrameHeight, 1536u);
    EXPECT_EQ(reply.FrameWidth, 2048u);
    EXPECT_EQ(reply.WindowX, 0u);
    EXPECT_EQ(reply.WindowY, 0u);
    EXPECT_EQ(Device().Command.CommandCode, kCommandApply);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

TEST_F(CommandSequenceTest, ReadValueSendsCodeFiveAndReturnsTheCameraValue) {
    BringUp();
    Device().Command.OptionValue = 0x12345678;
    SendCommandBlock(&Device());
    camera_->ClearReceivedCommandBlocks();

    ULONG value = 0;
    QueryCameraValue(&Device(), &value);

    EXPECT_EQ(BytesOf(OnlyBlockReceived()), BytesOf(LiveBlockWithCode(kCommandReadValue)));
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_EQ(Device().Command.CommandCode, kCommandApply);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

TEST_F(CommandSequenceTest, WriteWindowSendsCodeFourAndTheNextSendKeepsTheWindow) {
    BringUp();
    Device().Command.FrameWidth = 640;  // as a 640 x 480 format leaves it
    Device().Command.FrameHeight = 480;
    const Window window = {480, 640, 768, 576};  // the far corner of a doubled window

    ASSERT_EQ(WriteCameraWindow(&Device(), &window), STATUS_SUCCESS);

    CommandBlock sent = OnlyBlockReceived();
    EXPECT_EQ(sent.CommandCode, kCommandWriteWindow);
    EXPECT_EQ(std::memcmp(reinterpret_cast<UCHAR*>(&sent) + 16, &window, 16), 0);
    EXPECT_EQ(Device().Command.CommandCode, kCommandApply);
    EXPECT_EQ(Device().Command.WindowX, 768u);
    EXPECT_EQ(Device().Command.WindowY, 576u);

    SendCommandBlock(&Device());
    CommandBlock next = OnlyBlockReceived();
    EXPECT_EQ(next.CommandCode, kCommandApply);
    EXPECT_EQ(std::memcmp(reinterpret_cast<UCHAR*>(&next) + 16, &window, 16), 0);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

struct RefusedWindow {
    std::string name;
    UCHAR control;
    Window window;
};

class RefusedWindowTest : public CommandSequenceTest,
                          public ::testing::WithParamInterface<RefusedWindow> {};

TEST_P(RefusedWindowTest, IsRefusedAndNothingIsSentOrChanged) {
    BringUp();
    Device().Command.FrameWidth = 640;
    Device().Command.FrameHeight = 480;
    Device().Command.Control = GetParam().control;
    const CommandBlock before = Device().Command;

    EXPECT_EQ(WriteCameraWindow(&Device(), &GetParam().window), STATUS_INVALID_PARAMETER);

    EXPECT_TRUE(camera_->ReceivedCommandBlocks().empty());
    EXPECT_EQ(BytesOf(Device().Command), BytesOf(before));
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, RefusedWindowTest,
    ::testing::Values(RefusedWindow{"WiderThanTheFrame", 0, {480, 800, 0, 0}},
                      RefusedWindow{"TallerThanTheFrame", 0, {600, 640, 0, 0}},
                      RefusedWindow{"LargerThanTheSensor", 0, {1537, 640, 0, 0}},
                      RefusedWindow{"PastTheRightEdge", 0, {480, 640, 1409, 0}},
                      RefusedWindow{"PastTheBottomEdge", 0, {480, 640, 0, 1057}},
                      RefusedWindow{"DoubledWindowPastTheRightEdge", 1, {480, 640, 769, 0}},
                      RefusedWindow{"DoubledWindowPastTheBottomEdge", 1, {480, 640, 0, 577}},
                      RefusedWindow{"OffsetThatWrapsAround", 0, {480, 640, 0xFFFFFF00u, 0}}),
    [](const auto& param_info) { return param_info.param.name; });

TEST_F(CommandSequenceTest, UndoubledWindowMayReachTheSensorEdge) {
    BringUp();
    Device().Command.FrameWidth = 640;
    Device().Command.FrameHeight = 480;
    Device().Command.Control = 0;
    const Window window = {480, 640, 2048 - 640, 1536 - 480};
    EXPECT_EQ(WriteCameraWindow(&Device(), &window), STATUS_SUCCESS);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

TEST_F(CommandSequenceTest, WithoutAStatusPipeQueriesStillSendAndReturnTheOldStatus) {
    BringUp(2);
    EXPECT_EQ(Device().PipeHandles[kStatusPipe], nullptr);
    for (UCHAR i = 0; i < sizeof(StatusBlock); ++i) Device().Status.Bytes[i] = i;
    const StatusBlock before = Device().Status;

    ReadStatusBlock(&Device());
    EXPECT_EQ(std::memcmp(&Device().Status, &before, sizeof(before)), 0);

    UCHAR reply[kWindowValueBytes] = {};
    QueryCameraWindow(&Device(), reply);
    EXPECT_EQ(OnlyBlockReceived().CommandCode, kCommandReadWindow);
    EXPECT_EQ(std::memcmp(reply, &before.Bytes[4], sizeof(reply)), 0);
    EXPECT_EQ(std::memcmp(&Device().Status, &before, sizeof(before)), 0);
    EXPECT_EQ(Device().Command.CommandCode, kCommandApply);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

}  // namespace
}  // namespace usb_test
