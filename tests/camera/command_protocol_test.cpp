// The CommandBlock as the camera receives it and the StatusBlock replies.
#include "usbstack/usb_test_support.h"

namespace usbtest {
namespace {

class CommandProtocolTest : public CameraFixture {
protected:
    StatusBlock ReadStatus(const Configured& configured) {
        StatusBlock status{};
        BulkSync(pdo_, configured.Pipes[2].PipeHandle, &status, sizeof status,
                 USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
        return status;
    }
    static ULONG LongAt(const StatusBlock& status, size_t offset) {
        ULONG value;
        std::memcpy(&value, status.Bytes + offset, sizeof value);
        return value;
    }
};

TEST_F(CommandProtocolTest, RecordsEveryBlockByteForByte) {
    Configured configured = PlugAndConfigure();
    CommandBlock first = DefaultBlock(640, 480, kRunCodeStop);
    first.OptionValue = 0xA5A5A5A5;
    CommandBlock second = first;
    second.CommandCode = 77;  // unknown codes are recorded too
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, first);
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, second);
    // The camera reads the bytes by its own description; written back they are the bytes sent.
    std::vector<camera::CommandBlock> received = camera_->ReceivedCommandBlocks();
    ASSERT_EQ(received.size(), 2u);
    uint8_t bytes[camera::kCommandBlockBytes];
    camera::EncodeCommandBlock(received[0], bytes);
    EXPECT_EQ(std::memcmp(bytes, &first, sizeof first), 0);
    camera::EncodeCommandBlock(received[1], bytes);
    EXPECT_EQ(std::memcmp(bytes, &second, sizeof second), 0);
    // A transfer that is not a whole block is not a block.
    BulkSync(pdo_, configured.Pipes[0].PipeHandle, &first, 47, 0);
    EXPECT_EQ(camera_->ReceivedCommandBlocks().size(), 2u);
    EXPECT_EQ(camera_->Counters().MalformedBlocks, 1u);
}

TEST_F(CommandProtocolTest, QueriesAnswerInTheStatusBlockWithoutApplyingAnything) {
    Configured configured = PlugAndConfigure();
    CommandBlock block = DefaultBlock(800, 600, kRunCodeStop);
    block.WindowX = 624;
    block.WindowY = 468;
    block.OptionValue = 1234;
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, block);

    CommandBlock query = block;
    query.CommandCode = kCommandReadWindow;
    query.FrameWidth = 640;   // a query carries the driver's current fields; none apply
    query.RunCode = kRunCodeRun;
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, query);
    StatusBlock status = ReadStatus(configured);
    EXPECT_EQ(LongAt(status, 4), 600u);   // FrameHeight
    EXPECT_EQ(LongAt(status, 8), 800u);   // FrameWidth
    EXPECT_EQ(LongAt(status, 12), 624u);  // WindowX
    EXPECT_EQ(LongAt(status, 16), 468u);  // WindowY
    EXPECT_EQ(status.Bytes[1], kCommandReadWindow);
    EXPECT_FALSE(camera_->Counters().Running);

    query.CommandCode = kCommandReadValue;
    query.OptionValue = 99;
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, query);
    EXPECT_EQ(LongAt(ReadStatus(configured), 4), 1234u);  // the value in force, not the query's
}

TEST_F(CommandProtocolTest, WriteWindowAppliesOnlyTheWindow) {
    Configured configured = PlugAndConfigure();
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, DefaultBlock(2048, 1536, kRunCodeStop));
    CommandBlock write = DefaultBlock(1024, 768, kRunCodeRun);
    write.CommandCode = kCommandWriteWindow;
    write.WindowX = 512;
    write.WindowY = 384;
    write.Exposal = 4321;
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, write);
    camera::CameraCounters counters = camera_->Counters();
    EXPECT_EQ(counters.Geometry.Width, 1024u);
    EXPECT_EQ(counters.Geometry.WindowX, 512u);
    EXPECT_EQ(counters.Exposal, 1000u);  // exposure and run code untouched
    EXPECT_FALSE(counters.Running);
}

TEST_F(CommandProtocolTest, GeometryOffTheSensorIsRefused) {
    Configured configured = PlugAndConfigure();
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, DefaultBlock(640, 480, kRunCodeStop));
    const CommandBlock refused[] = {DefaultBlock(4096, 480, kRunCodeStop),
                                    DefaultBlock(640, 0, kRunCodeStop),
                                    [] {
                                        CommandBlock b = DefaultBlock(640, 480, kRunCodeStop);
                                        b.WindowX = 2048;
                                        return b;
                                    }()};
    for (const CommandBlock& block : refused) SendBlock(pdo_, configured.Pipes[0].PipeHandle, block);
    camera::CameraCounters counters = camera_->Counters();
    EXPECT_EQ(counters.RejectedGeometry, 3u);
    EXPECT_EQ(counters.Geometry.Width, 640u);
    EXPECT_EQ(counters.Geometry.Height, 480u);
}

TEST_F(CommandProtocolTest, ReadoutModeOneDoublesTheSmallDimensions) {
    Configured configured = PlugAndConfigure();
    struct Case {
        ULONG Width, Height;
        UCHAR Control;
        bool DoubleColumns, DoubleRows;
    };
    const Case cases[] = {
        {1024, 768, 1, true, true},
        {1280, 768, 1, false, true},
        {640, 480, 0, false, false},
        {640, 480, 3, false, false},  // mode 3 is not mode 1
    };
    for (const Case& c : cases) {
        CommandBlock block = DefaultBlock(c.Width, c.Height, kRunCodeStop);
        block.Control = c.Control;
        SendBlock(pdo_, configured.Pipes[0].PipeHandle, block);
        camera::ReadoutGeometry g = camera_->Counters().Geometry;
        EXPECT_EQ(g.DoubleColumns, c.DoubleColumns) << c.Width << "x" << c.Height;
        EXPECT_EQ(g.DoubleRows, c.DoubleRows) << c.Width << "x" << c.Height;
    }
}

TEST_F(CommandProtocolTest, StatusReadIntoASmallBufferOverruns) {
    Configured configured = PlugAndConfigure();
    UCHAR small[32];
    EXPECT_EQ(BulkSync(pdo_, configured.Pipes[2].PipeHandle, small, sizeof small, 3),
              USBD_STATUS_BUFFER_OVERRUN);
}

TEST(CameraOptionsTest, ParsesOptionValuePairsAndNamesWhatIsWrong) {
    struct Case {
        const char* Text;
        bool Ok;
    };
    const Case cases[] = {
        {"fps=15", true},          {"fps=0", false},        {"fps=abc", false},
        {"endpoints=2", true},     {"endpoints=4", false},  {"buffer=3", true},
        {"config=truncated", true}, {"config=odd", false},  {"fault=xact@4.2", true},
        {"fault=babble", true},    {"fault=sparks", false}, {"fault=short@x", false},
        {"fault=command-stall@2", true}, {"noise=2.5", true}, {"speed=3", false},
        {"fps", false},
    };
    for (const Case& c : cases) {
        camera::CameraOptions options;
        std::string error;
        EXPECT_EQ(camera::ApplyCameraOption(c.Text, &options, &error), c.Ok) << c.Text;
        EXPECT_EQ(error.empty(), c.Ok) << c.Text;
    }
    camera::CameraOptions options;
    std::string error;
    ASSERT_TRUE(camera::ApplyCameraOption("fault=xact@4.2", &options, &error));
    ASSERT_EQ(options.Faults.size(), 1u);
    EXPECT_EQ(options.Faults[0].Status, USBD_STATUS_XACT_ERROR);
    EXPECT_EQ(options.Faults[0].Frame, 4u);
    EXPECT_EQ(options.Faults[0].Transfer, 2u);
}

}  // namespace
}  // namespace usbtest
