// Registration, adapter request dispatch, cancellation and time-outs.
#include <gtest/gtest.h>

#include "driver/property_sets.h"
#include "driver/stream_description.h"
#include "driver_fixture.h"
#include "host/framework/client.h"

namespace driver_test {
namespace {

TEST(DriverEntry, RegistersTheAdapterRoutinesAndSizes) {
    host::ResetHost();
    std::unique_ptr<host::LoadedDriver> driver;
    ASSERT_EQ(host::LoadedDriver::Load(DriverEntry, &driver), STATUS_SUCCESS);
    const HW_INITIALIZATION_DATA& r = driver->Registration();
    EXPECT_EQ(r.HwInitializationDataSize, sizeof(HW_INITIALIZATION_DATA));
    EXPECT_EQ(r.HwInterrupt, nullptr);
    EXPECT_EQ(r.HwReceivePacket, &AdapterReceivePacket);
    EXPECT_EQ(r.HwCancelPacket, &AdapterCancelPacket);
    EXPECT_EQ(r.HwRequestTimeoutHandler, &AdapterTimeoutPacket);
    EXPECT_EQ(r.DeviceExtensionSize, sizeof(DeviceContext));
    EXPECT_EQ(r.PerRequestExtensionSize, 0u);
    EXPECT_EQ(r.PerStreamExtensionSize, 4u);
    EXPECT_EQ(r.FilterInstanceExtensionSize, 0u);
    EXPECT_EQ(r.BusMasterDMA, FALSE);
    EXPECT_EQ(r.BufferAlignment, 3u);
    EXPECT_EQ(r.TurnOffSynchronization, TRUE);
    EXPECT_EQ(r.DmaBufferSize, 0u);
    EXPECT_EQ(r.NumNameExtensions, 0u);
}

using AdapterTest = DriverTest;

TEST_F(AdapterTest, StreamInfoDescribesOneCaptureStream) {
    std::vector<uint64_t> buffer(kStreamDescriptorSize / 8 + 1, 0);
    auto* descriptor = reinterpret_cast<PHW_STREAM_DESCRIPTOR>(buffer.data());
    HW_STREAM_REQUEST_BLOCK srb = NewRequest(SRB_GET_STREAM_INFO);
    srb.CommandData.StreamBuffer = descriptor;
    ASSERT_EQ(Receive(srb), STATUS_SUCCESS);

    const HW_STREAM_HEADER& header = descriptor->StreamHeader;
    EXPECT_EQ(header.NumberOfStreams, 1u);
    EXPECT_EQ(header.SizeOfHwStreamInformation, sizeof(HW_STREAM_INFORMATION));
    EXPECT_EQ(header.NumDevPropArrayEntries, 3u);
    ASSERT_EQ(header.DevicePropertiesArray, DevicePropertySets);
    EXPECT_TRUE(IsEqualGUID(*header.DevicePropertiesArray[0].Set, PROPSETID_VIDCAP_VIDEOCONTROL));
    EXPECT_TRUE(IsEqualGUID(*header.DevicePropertiesArray[1].Set, CameraControlSet));
    EXPECT_TRUE(IsEqualGUID(*header.DevicePropertiesArray[2].Set, PROPSETID_VIDCAP_VIDEOPROCAMP));
    EXPECT_EQ(header.NumDevEventArrayEntries, 0u);
    EXPECT_EQ(header.NumDevMethodArrayEntries, 0);
    ASSERT_NE(header.Topology, nullptr);
    ASSERT_EQ(header.Topology->CategoriesCount, 2u);
    EXPECT_TRUE(IsEqualGUID(header.Topology->Categories[0], KSCATEGORY_VIDEO));
    EXPECT_TRUE(IsEqualGUID(header.Topology->Categories[1], KSCATEGORY_CAPTURE));
    EXPECT_EQ(header.Topology->TopologyNodesCount, 0u);
    EXPECT_EQ(header.Topology->TopologyConnectionsCount, 0u);

    const HW_STREAM_INFORMATION& info = descriptor->StreamInfo;
    EXPECT_EQ(info.NumberOfPossibleInstances, 1u);
    EXPECT_EQ(info.DataFlow, KSPIN_DATAFLOW_OUT);
    EXPECT_EQ(info.DataAccessible, TRUE);
    EXPECT_EQ(info.NumberOfFormatArrayEntries, 6u);
    EXPECT_EQ(info.StreamFormatsArray, CaptureFormats);
    EXPECT_EQ(info.NumStreamPropArrayEntries, 3u);
    EXPECT_TRUE(IsEqualGUID(*info.StreamPropertiesArray[0].Set, KSPROPSETID_Connection));
    EXPECT_TRUE(IsEqualGUID(*info.StreamPropertiesArray[1].Set, PROPSETID_VIDCAP_DROPPEDFRAMES));
    EXPECT_TRUE(IsEqualGUID(*info.StreamPropertiesArray[2].Set, PROPSETID_VIDCAP_VIDEOCONTROL));
    EXPECT_EQ(info.NumStreamEventArrayEntries, 0u);
    EXPECT_TRUE(IsEqualGUID(*info.Category, PINNAME_VIDEO_CAPTURE));
    EXPECT_TRUE(IsEqualGUID(*info.Name, PINNAME_VIDEO_CAPTURE));
    ASSERT_EQ(info.MediumsCount, 1u);
    EXPECT_TRUE(IsEqualGUID(info.Mediums[0].Set, KSMEDIUMSETID_Standard));
    EXPECT_EQ(info.Mediums[0].Id, 0u);
    EXPECT_EQ(info.Mediums[0].Flags, 0u);
    EXPECT_EQ(info.BridgeStream, FALSE);
}

TEST_F(AdapterTest, StreamTemplateOffersProgrammedIoAndOneFrameInfoPerHeader) {
    const HW_STREAM_OBJECT* t = StreamObjectTemplate(0);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(t->ReceiveDataPacket, nullptr);
    EXPECT_NE(t->ReceiveControlPacket, nullptr);
    EXPECT_EQ(t->Dma, FALSE);
    EXPECT_EQ(t->Pio, TRUE);
    EXPECT_EQ(t->Allocator, FALSE);
    EXPECT_EQ(t->StreamHeaderMediaSpecific, 64u);
    EXPECT_EQ(t->StreamHeaderWorkspace, 0u);
    EXPECT_EQ(t->HwClockObject.HwClockFunction, nullptr);
    EXPECT_EQ(t->HwEventRoutine, nullptr);
    EXPECT_EQ(StreamObjectTemplate(1), nullptr);
    EXPECT_EQ(StreamInformation(1), nullptr);
}

TEST_F(AdapterTest, CommandsWithoutHandlingAnswerNotImplemented) {
    const SRB_COMMAND commands[] = {
        SRB_OPEN_DEVICE_INSTANCE, SRB_CLOSE_DEVICE_INSTANCE, SRB_CHANGE_POWER_STATE,
        SRB_UNKNOWN_DEVICE_COMMAND, SRB_PAGING_OUT_DRIVER, SRB_SURPRISE_REMOVAL,
        SRB_READ_DATA, static_cast<SRB_COMMAND>(0x1FF),
    };
    for (SRB_COMMAND command : commands) {
        SCOPED_TRACE(command);
        HW_STREAM_REQUEST_BLOCK srb = NewRequest(command);
        EXPECT_EQ(Receive(srb), STATUS_NOT_IMPLEMENTED);
    }
}

TEST_F(AdapterTest, InitializationCompleteSucceedsWithoutWork) {
    HW_STREAM_REQUEST_BLOCK srb = NewRequest(SRB_INITIALIZATION_COMPLETE);
    EXPECT_EQ(Receive(srb), STATUS_SUCCESS);
}

TEST_F(AdapterTest, ClosingAStreamWithoutContextSucceedsAndFreesNothing) {
    HW_STREAM_OBJECT object{};
    object.StreamNumber = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        HW_STREAM_REQUEST_BLOCK srb = NewRequest(SRB_CLOSE_STREAM, &object);
        EXPECT_EQ(Receive(srb), STATUS_SUCCESS);
        EXPECT_EQ(device_->Stream, nullptr);
    }
}

// A device with an open stream record whose read queue the test fills by hand.
class CancelTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        stream_ = std::make_unique<StreamContext>();
        device_->Stream = stream_.get();
        object_.StreamNumber = 0;
        other_.StreamNumber = 1;
    }
    void TearDown() override {
        device_->Stream = nullptr;
        DriverTest::TearDown();
    }

    HW_STREAM_REQUEST_BLOCK NewRead(PHW_STREAM_OBJECT object, KSSTREAM_HEADER* header) {
        HW_STREAM_REQUEST_BLOCK srb = NewRequest(SRB_READ_DATA, object);
        header->DataUsed = 1234;
        srb.CommandData.DataBufferArray = header;
        srb.Status = STATUS_SUCCESS;
        host::VerifierRequestStarted(&srb);
        return srb;
    }

    std::vector<host::framework::ForeignCompletion> Cancel(HW_STREAM_REQUEST_BLOCK& srb) {
        AdapterCancelPacket(&srb);
        return host::framework::TakeForeignCompletions();
    }

    std::unique_ptr<StreamContext> stream_;
    HW_STREAM_OBJECT object_{};
    HW_STREAM_OBJECT other_{};
};

TEST_F(CancelTest, QueuedReadCompletesCancelledOnceAndLeavesNoGap) {
    KSSTREAM_HEADER header{};
    HW_STREAM_REQUEST_BLOCK srb = NewRead(&object_, &header);
    stream_->ReadQueue[5] = &srb;
    stream_->ReadIndex = 5;
    stream_->WriteIndex = 6;

    std::vector<host::framework::ForeignCompletion> done = Cancel(srb);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_TRUE(done[0].StreamNotification);
    EXPECT_EQ(done[0].Status, STATUS_CANCELLED);
    EXPECT_EQ(header.DataUsed, 0u);
    EXPECT_EQ(stream_->ReadQueue[5], nullptr);
    EXPECT_EQ(stream_->ReadIndex, 5);
    EXPECT_EQ(stream_->WriteIndex, 5) << "the queue closes up: it is empty again";

    EXPECT_TRUE(Cancel(srb).empty()) << "a second cancel finds nothing";
    host::VerifierForgetRequest(&srb);
}

TEST_F(CancelTest, ReadTakenByTheFramePathIsLeftToIt) {
    KSSTREAM_HEADER header{};
    HW_STREAM_REQUEST_BLOCK srb = NewRead(&object_, &header);
    stream_->RingSlots[2] = &srb;  // parked in the frame ring, not in the queue
    EXPECT_TRUE(Cancel(srb).empty());
    EXPECT_EQ(stream_->RingSlots[2], &srb);
    EXPECT_EQ(header.DataUsed, 1234u);
    EXPECT_EQ(srb.Status, STATUS_SUCCESS);
    host::VerifierForgetRequest(&srb);
}

TEST_F(CancelTest, NoStreamRecordMeansNothingToFind) {
    device_->Stream = nullptr;
    KSSTREAM_HEADER header{};
    HW_STREAM_REQUEST_BLOCK srb = NewRead(&object_, &header);
    EXPECT_TRUE(Cancel(srb).empty());
    host::VerifierForgetRequest(&srb);
}

TEST_F(CancelTest, RequestOfAnotherStreamNumberCompletesCancelledAtOnce) {
    KSSTREAM_HEADER header{};
    HW_STREAM_REQUEST_BLOCK srb = NewRead(&other_, &header);
    std::vector<host::framework::ForeignCompletion> done = Cancel(srb);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].Status, STATUS_CANCELLED);
    EXPECT_EQ(header.DataUsed, 0u);
    host::VerifierForgetRequest(&srb);
}

TEST_F(AdapterTest, TimeOutRestartsTheCountAndLeavesTheRequestPending) {
    HW_STREAM_OBJECT object{};
    HW_STREAM_REQUEST_BLOCK srb = NewRequest(SRB_READ_DATA, &object);
    srb.TimeoutOriginal = 15;
    srb.TimeoutCounter = 0;
    srb.Status = STATUS_PENDING;
    AdapterTimeoutPacket(&srb);
    EXPECT_EQ(srb.TimeoutCounter, 15u);
    EXPECT_EQ(srb.Status, STATUS_PENDING);
    EXPECT_TRUE(host::framework::TakeForeignCompletions().empty());
}

}  // namespace
}  // namespace driver_test
