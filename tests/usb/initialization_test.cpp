// What InitializeCamera leaves behind on a working camera, and that teardown gives it all back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "driver/stream_description.h"
#include "host/kernel/pool.h"
#include "host/verifier/verifier.h"
#include "platform/io.h"
#include "tests/usb/camera_fixture.h"
#include "usb/streaming.h"

namespace usb_test {
namespace {

TEST_F(CameraTest, CommandBlockHoldsTheCameraDefaults) {
    BringUp();
    const CommandBlock& c = Device().Command;
    EXPECT_EQ(c.BlockLength, 44);
    EXPECT_EQ(c.CommandCode, 14);
    EXPECT_EQ(c.Fixed, 1u);
    EXPECT_EQ(c.FrameWidth, 2048u);
    EXPECT_EQ(c.FrameHeight, 1536u);
    EXPECT_EQ(c.WindowX, 0u);
    EXPECT_EQ(c.WindowY, 0u);
    EXPECT_EQ(c.Exposal, 100u);
    EXPECT_EQ(c.AllGain[0], 25);
    EXPECT_EQ(c.AllGain[1], 25);
    EXPECT_EQ(c.AllGain[2], 25);
    EXPECT_EQ(c.Control, 1);
    EXPECT_EQ(c.RunCode, 14);
    EXPECT_EQ(c.OptionA, 1);
    EXPECT_EQ(c.OptionB, 1);
    EXPECT_EQ(c.OptionValue, 0u);
    EXPECT_EQ(descriptor_size_, kStreamDescriptorSize);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

TEST_F(CameraTest, SettingsAndCalibrationStartAtTheirDefaults) {
    BringUp();
    const DeviceContext& d = Device();
    EXPECT_EQ(d.Image.VideoModel, 1);
    EXPECT_EQ(d.Image.LightModel, 2);
    EXPECT_EQ(d.Image.Contrast, 16);
    EXPECT_EQ(d.Image.CrossMid, 1u);
    EXPECT_EQ(d.Image.Saturntion, 8u);
    EXPECT_EQ(d.Sharp, 1u);
    EXPECT_EQ(d.Pipeline.CaptureCountdown, 9);
    EXPECT_EQ(d.Pipeline.DefectCount, 0u);
    EXPECT_EQ(d.Stream, nullptr);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

TEST_F(CameraTest, PipelineTablesStartNeutral) {
    BringUp();
    const DeviceContext& d = Device();
    for (ULONG i = 0; i < 256; ++i) {
        ASSERT_EQ(d.Pipeline.RedGain[i], i);
        ASSERT_EQ(d.Pipeline.GreenGain[i], i);
        ASSERT_EQ(d.Pipeline.BlueGain[i], i);
        ASSERT_EQ(d.Pipeline.ToneTable[i], i);
    }
    for (ULONG i = 0; i < kGainMapEntries; ++i) ASSERT_EQ(d.Pipeline.GainMap[i], 64) << i;
    EXPECT_EQ(d.Pipeline.LogTable[0], 0.0);
    EXPECT_DOUBLE_EQ(d.Pipeline.LogTable[100], 2.0);
    EXPECT_DOUBLE_EQ(d.Pipeline.GammaTable[0], 0.375);
    EXPECT_DOUBLE_EQ(d.Pipeline.GammaTable[16], 1.0);
    EXPECT_DOUBLE_EQ(d.Pipeline.GammaTable[32], 3.0);
    EXPECT_EQ(d.Pipeline.GammaValue, 1.0);
    EXPECT_EQ(d.Pipeline.Gamma, 16);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

TEST_F(CameraTest, TransferSlotsArePreformattedAsVideoReads) {
    BringUp();
    const DeviceContext& d = Device();
    for (USBD_PIPE_HANDLE pipe : d.PipeHandles) EXPECT_NE(pipe, nullptr);
    for (const TransferSlot& slot : d.TransferSlots) {
        ASSERT_NE(slot.Irp, nullptr);
        EXPECT_EQ(slot.StackLocation, IoGetNextIrpStackLocation(slot.Irp));
        EXPECT_EQ(slot.Busy, 0);
        const auto& bulk = slot.Urb->UrbBulkOrInterruptTransfer;
        EXPECT_EQ(bulk.Hdr.Function, URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER);
        EXPECT_EQ(bulk.Hdr.Length, sizeof(bulk));
        EXPECT_EQ(bulk.PipeHandle, d.PipeHandles[kVideoPipe]);
        EXPECT_EQ(bulk.TransferFlags, ULONG(USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK));
        EXPECT_EQ(bulk.TransferBufferLength, kTransferBytes);
        EXPECT_EQ(bulk.TransferBuffer, slot.Buffer);
        EXPECT_EQ(slot.StackLocation->MajorFunction, IRP_MJ_INTERNAL_DEVICE_CONTROL);
        EXPECT_EQ(slot.StackLocation->Parameters.Others.Argument1, slot.Urb);
        EXPECT_EQ(slot.StackLocation->CompletionRoutine, &TransferCompletion);
        EXPECT_EQ(slot.StackLocation->Context, &d);
        EXPECT_EQ(slot.StackLocation->Control, 0xE0);
    }
    for (PUCHAR frame : d.RawFrames) {
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame[0], 0);
        EXPECT_EQ(frame[kRawFrameBytes - 1], 0);
    }
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

TEST_F(CameraTest, InitializeUninitializeCyclesLeaveNoPool) {
    Attach();
    for (int cycle = 0; cycle < 3; ++cycle) {
        ASSERT_EQ(Initialize(camera_->PhysicalDeviceObject()), STATUS_SUCCESS);
        ASSERT_EQ(Uninitialize(), STATUS_SUCCESS);
        EXPECT_EQ(host::PoolLeakReport(), "") << "cycle " << cycle;
    }
    host::VerifierCheckNoLeaks("after the bring-up cycles");
    for (const TransferSlot& slot : Device().TransferSlots) {
        EXPECT_EQ(slot.Irp, nullptr);
        EXPECT_EQ(slot.Urb, nullptr);
        EXPECT_EQ(slot.StackLocation, nullptr);
        EXPECT_EQ(slot.Buffer, nullptr);
    }
    EXPECT_EQ(Device().Pipeline.GainMap, nullptr);
    EXPECT_EQ(Device().Pipeline.GammaTable, nullptr);
}

struct HostileCamera {
    const char* name;
    camera::ConfigurationShape shape;
    uint32_t endpoints;
};

class HostileCameraTest : public CameraTest, public ::testing::WithParamInterface<HostileCamera> {};

TEST_P(HostileCameraTest, IsRefusedWithADataErrorAndNothingLeaks) {
    camera::CameraOptions options;
    options.Configuration = GetParam().shape;
    options.Endpoints = GetParam().endpoints;
    Attach(options);
    EXPECT_EQ(Initialize(camera_->PhysicalDeviceObject()), STATUS_DEVICE_DATA_ERROR);
    EXPECT_EQ(host::PoolLeakReport(), "");
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, HostileCameraTest,
    ::testing::Values(HostileCamera{"TruncatedConfiguration", camera::ConfigurationShape::Truncated,
                                    3},
                      HostileCamera{"NoInterface", camera::ConfigurationShape::NoInterface, 3},
                      HostileCamera{"CommandEndpointOnly", camera::ConfigurationShape::Normal, 1}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace usb_test
