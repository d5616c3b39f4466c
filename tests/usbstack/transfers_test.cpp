// Select configuration, bulk transfers, abort, reset and port requests through the host stack.
#include "usbstack/usb_test_support.h"

#include "host/verifier/verifier.h"

namespace usbtest {
namespace {

using camera::CameraOptions;
using host::usb::GetUsbDeviceCounters;
using host::usb::PendingTransferCount;
using host::usb::UsbDeviceCounters;
using camera::FaultKind;
using camera::FaultSpec;

class TransferTest : public CameraFixture {};

TEST_F(TransferTest, SelectConfigurationReturnsPipesInEndpointOrder) {
    Configured configured = PlugAndConfigure();
    ASSERT_EQ(configured.Pipes.size(), 3u);
    const UCHAR addresses[] = {0x01, 0x82, 0x83};
    const ULONG maximum[] = {128, 0x200000, 128};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(configured.Pipes[i].EndpointAddress, addresses[i]);
        EXPECT_EQ(configured.Pipes[i].PipeType, UsbdPipeTypeBulk);
        EXPECT_EQ(configured.Pipes[i].MaximumPacketSize, camera::kBulkPacketSize);
        EXPECT_EQ(configured.Pipes[i].MaximumTransferSize, maximum[i]);  // the caller's choice
        EXPECT_NE(configured.Pipes[i].PipeHandle, nullptr);
    }
    EXPECT_EQ(GetUsbDeviceCounters(pdo_).SelectConfigurations, 1u);
}

TEST_F(TransferTest, TwoEndpointCameraHasNoStatusPipe) {
    CameraOptions options;
    options.Endpoints = 2;
    Configured configured = PlugAndConfigure(options);
    ASSERT_EQ(configured.Pipes.size(), 2u);
    EXPECT_EQ(configured.Pipes[1].EndpointAddress, 0x82);
}

TEST_F(TransferTest, RefusedTransfersFailAtOnceWithTheirReason) {
    Configured configured = PlugAndConfigure();
    USBD_PIPE_HANDLE command = configured.Pipes[0].PipeHandle;
    std::vector<UCHAR> buffer(0x80000);
    int bogus = 0;
    struct Case {
        const char* Why;
        USBD_PIPE_HANDLE Pipe;
        ULONG Length;
        USBD_STATUS Expected;
    };
    const Case cases[] = {
        {"longer than the pipe's maximum transfer size", command, 129, USBD_STATUS_INVALID_PARAMETER},
        {"a handle the stack never gave out", &bogus, 48, USBD_STATUS_INVALID_PIPE_HANDLE},
        {"a null handle", nullptr, 48, USBD_STATUS_INVALID_PIPE_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        URB urb;
        BuildBulk(&urb.UrbBulkOrInterruptTransfer, c.Pipe, buffer.data(), c.Length, 0);
        EXPECT_EQ(SubmitUrb(pdo_, &urb), STATUS_INVALID_PARAMETER);
        EXPECT_EQ(urb.UrbHeader.Status, c.Expected);
    }
    EXPECT_TRUE(camera_->ReceivedCommandBlocks().empty());
}

TEST_F(TransferTest, VideoTransfersCompleteInSubmissionOrderAtDispatchLevel) {
    Configured configured = PlugAndConfigure();
    TransferSet transfers(pdo_, 10);
    transfers.SubmitAll(configured.Pipes[1].PipeHandle);
    EXPECT_EQ(PendingTransferCount(pdo_, 0x82), 10u);
    SendBlock(pdo_, configured.Pipes[0].PipeHandle, DefaultBlock());
    EXPECT_TRUE(transfers.Log().empty());  // nothing before the first read-out

    host::AdvanceClock(Period());
    std::vector<Completion> log = transfers.Log();
    ASSERT_EQ(log.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(log[i].Slot, i);
        EXPECT_EQ(log[i].Irql, DISPATCH_LEVEL);
        EXPECT_EQ(log[i].Status, STATUS_SUCCESS);
    }
    EXPECT_EQ(PendingTransferCount(pdo_, 0x82), 3u);
}

TEST_F(TransferTest, AbortCancelsPendingTransfersBeforeItCompletes) {
    Configured configured = PlugAndConfigure();
    TransferSet transfers(pdo_, 3);
    transfers.SubmitAll(configured.Pipes[1].PipeHandle);
    EXPECT_EQ(PipeRequest(pdo_, configured.Pipes[1].PipeHandle, URB_FUNCTION_ABORT_PIPE),
              USBD_STATUS_SUCCESS);
    std::vector<Completion> log = transfers.Log();  // complete by the time the abort returns
    ASSERT_EQ(log.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(log[i].Slot, i);
        EXPECT_EQ(log[i].Status, STATUS_CANCELLED);
        EXPECT_EQ(log[i].UrbStatus, USBD_STATUS_CANCELED);
        EXPECT_EQ(log[i].Length, 0u);
    }
    EXPECT_EQ(PendingTransferCount(pdo_, 0x82), 0u);
}

TEST_F(TransferTest, CancelledIrpLeavesTheOthersWaiting) {
    Configured configured = PlugAndConfigure();
    TransferSet transfers(pdo_, 3);
    transfers.SubmitAll(configured.Pipes[1].PipeHandle);
    EXPECT_TRUE(IoCancelIrp(transfers.Irp(1)));
    std::vector<Completion> log = transfers.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Slot, 1);
    EXPECT_EQ(log[0].Status, STATUS_CANCELLED);
    EXPECT_EQ(PendingTransferCount(pdo_, 0x82), 2u);
}

TEST_F(TransferTest, StallHaltsThePipeUntilItIsReset) {
    Configured configured = PlugAndConfigure();
    USBD_PIPE_HANDLE command = configured.Pipes[0].PipeHandle;
    FaultSpec stall;
    stall.Kind = FaultKind::Stall;
    stall.Where = camera::Endpoint::Command;
    camera_->InjectFault(stall);
    CommandBlock block = DefaultBlock();
    EXPECT_EQ(BulkSync(pdo_, command, &block, 48, 0), USBD_STATUS_STALL_PID);
    EXPECT_EQ(BulkSync(pdo_, command, &block, 48, 0), USBD_STATUS_ENDPOINT_HALTED);
    EXPECT_TRUE(camera_->ReceivedCommandBlocks().empty());
    EXPECT_EQ(PipeRequest(pdo_, command, URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL),
              USBD_STATUS_SUCCESS);
    EXPECT_EQ(BulkSync(pdo_, command, &block, 48, 0), USBD_STATUS_SUCCESS);
    EXPECT_EQ(camera_->ReceivedCommandBlocks().size(), 1u);
}

TEST_F(TransferTest, UnplugFailsPendingAndLaterRequestsAndThePortReportsIt) {
    Configured configured = PlugAndConfigure();
    EXPECT_EQ(PortStatus(pdo_), ULONG{USBD_PORT_ENABLED | USBD_PORT_CONNECTED});
    TransferSet transfers(pdo_, 2);
    transfers.SubmitAll(configured.Pipes[1].PipeHandle);
    camera_->Unplug();
    std::vector<Completion> log = transfers.Log();
    ASSERT_EQ(log.size(), 2u);
    for (const Completion& c : log) {
        EXPECT_EQ(c.UrbStatus, USBD_STATUS_DEVICE_GONE);
        EXPECT_EQ(c.Status, STATUS_DEVICE_NOT_CONNECTED);
    }
    EXPECT_EQ(PortStatus(pdo_), 0u);
    CommandBlock block = DefaultBlock();
    EXPECT_EQ(BulkSync(pdo_, configured.Pipes[0].PipeHandle, &block, 48, 0),
              USBD_STATUS_DEVICE_GONE);
    EXPECT_EQ(CallSync(pdo_, IOCTL_INTERNAL_USB_RESET_PORT, nullptr), STATUS_DEVICE_NOT_CONNECTED);
}

TEST_F(TransferTest, PortResetAndStatusAreCounted) {
    PlugAndConfigure();
    EXPECT_EQ(CallSync(pdo_, IOCTL_INTERNAL_USB_RESET_PORT, nullptr), STATUS_SUCCESS);
    PortStatus(pdo_);
    UsbDeviceCounters counters = GetUsbDeviceCounters(pdo_);
    EXPECT_EQ(counters.PortResets, 1u);
    EXPECT_EQ(counters.PortStatusQueries, 1u);
}

TEST_F(TransferTest, SynchronousRequestAtDispatchLevelStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Plug();
    EXPECT_DEATH(
        {
            host::AtIrql dispatch(DISPATCH_LEVEL);
            ULONG bits = 0;
            PIRP irp = IoAllocateIrp(2, FALSE);
            PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
            next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
            next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_GET_PORT_STATUS;
            next->Parameters.Others.Argument1 = &bits;
            IoCallDriver(pdo_, irp);
        },
        "vexacam verifier: .*IOCTL_INTERNAL_USB_GET_PORT_STATUS");
}

}  // namespace
}  // namespace usbtest
