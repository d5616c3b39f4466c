// Test helpers that talk to a device through the host USB stack the way a driver does:
// synchronous URBs on an event, and asynchronous transfers whose completions are recorded.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "camera/descriptors.h"
#include "camera/simulated_camera.h"
#include "host/kernel/clock.h"
#include "usb/command_block.h"
#include "host/kernel/host_reset.h"
#include "host/kernel/pool.h"
#include "host/usb/usb_function.h"
#include "platform/io.h"
#include "platform/usb.h"

namespace usbtest {

// Sends an internal device-control request and waits for it, as a driver's synchronous
// helper does. Returns the final status.
inline NTSTATUS CallSync(PDEVICE_OBJECT pdo, ULONG code, PVOID argument1) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildDeviceIoControlRequest(code, pdo, nullptr, 0, nullptr, 0, TRUE, &event,
                                             &ioStatus);
    if (irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = argument1;
    NTSTATUS status = IoCallDriver(pdo, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
        status = ioStatus.Status;
    }
    return status;
}

inline NTSTATUS SubmitUrb(PDEVICE_OBJECT pdo, PURB urb) {
    return CallSync(pdo, IOCTL_INTERNAL_USB_SUBMIT_URB, urb);
}

inline ULONG PortStatus(PDEVICE_OBJECT pdo) {
    ULONG bits = 0xFFFFFFFF;
    EXPECT_EQ(CallSync(pdo, IOCTL_INTERNAL_USB_GET_PORT_STATUS, &bits), STATUS_SUCCESS);
    return bits;
}

inline std::vector<UCHAR> ReadDescriptor(PDEVICE_OBJECT pdo, UCHAR type, ULONG length,
                                         USBD_STATUS* urbStatus = nullptr) {
    std::vector<UCHAR> buffer(length);
    URB urb{};
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), type, 0, 0,
                                 buffer.data(), nullptr, length, nullptr);
    SubmitUrb(pdo, &urb);
    if (urbStatus != nullptr) *urbStatus = urb.UrbHeader.Status;
    buffer.resize(urb.UrbControlDescriptorRequest.TransferBufferLength);
    return buffer;
}

// The selected interface's pipes, in endpoint order.
struct Configured {
    std::vector<USBD_PIPE_INFORMATION> Pipes;
    NTSTATUS Status = STATUS_UNSUCCESSFUL;
    USBD_STATUS UrbStatus = USBD_STATUS_SUCCESS;
};

inline Configured SelectFirstInterface(PDEVICE_OBJECT pdo, ULONG videoMaximum = 0x200000) {
    Configured result;
    std::vector<UCHAR> configuration = ReadDescriptor(pdo, USB_CONFIGURATION_DESCRIPTOR_TYPE, 4096);
    auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(configuration.data());
    PUSB_INTERFACE_DESCRIPTOR interface =
        USBD_ParseConfigurationDescriptorEx(descriptor, descriptor, -1, -1, -1, -1, -1);
    if (interface == nullptr) return result;
    USBD_INTERFACE_LIST_ENTRY list[2] = {{interface, nullptr}, {nullptr, nullptr}};
    PURB urb = USBD_CreateConfigurationRequestEx(descriptor, list);
    if (urb == nullptr) return result;
    PUSBD_INTERFACE_INFORMATION info = list[0].Interface;
    for (ULONG i = 0; i < info->NumberOfPipes; ++i) {
        info->Pipes[i].MaximumTransferSize = i == 1 ? videoMaximum : 128;
    }
    result.Status = SubmitUrb(pdo, urb);
    result.UrbStatus = urb->UrbHeader.Status;
    for (ULONG i = 0; i < info->NumberOfPipes; ++i) result.Pipes.push_back(info->Pipes[i]);
    ExFreePool(urb);
    return result;
}

inline void BuildBulk(_URB_BULK_OR_INTERRUPT_TRANSFER* urb, USBD_PIPE_HANDLE pipe, PVOID buffer,
                      ULONG length, ULONG flags) {
    std::memset(urb, 0, sizeof *urb);
    urb->Hdr.Length = sizeof *urb;
    urb->Hdr.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
    urb->PipeHandle = pipe;
    urb->TransferFlags = flags;
    urb->TransferBufferLength = length;
    urb->TransferBuffer = buffer;
}

inline USBD_STATUS BulkSync(PDEVICE_OBJECT pdo, USBD_PIPE_HANDLE pipe, PVOID buffer, ULONG length,
                            ULONG flags, ULONG* transferred = nullptr) {
    URB urb;
    BuildBulk(&urb.UrbBulkOrInterruptTransfer, pipe, buffer, length, flags);
    SubmitUrb(pdo, &urb);
    if (transferred != nullptr) *transferred = urb.UrbBulkOrInterruptTransfer.TransferBufferLength;
    return urb.UrbHeader.Status;
}

inline USBD_STATUS PipeRequest(PDEVICE_OBJECT pdo, USBD_PIPE_HANDLE pipe, USHORT function) {
    URB urb{};
    urb.UrbPipeRequest.Hdr.Length = sizeof(_URB_PIPE_REQUEST);
    urb.UrbPipeRequest.Hdr.Function = function;
    urb.UrbPipeRequest.PipeHandle = pipe;
    SubmitUrb(pdo, &urb);
    return urb.UrbHeader.Status;
}

inline void SendBlock(PDEVICE_OBJECT pdo, USBD_PIPE_HANDLE commandPipe, CommandBlock block) {
    BulkSync(pdo, commandPipe, &block, sizeof block, USBD_SHORT_TRANSFER_OK);
}

// The block a driver sends after initialization, with a run code and frame size.
inline CommandBlock DefaultBlock(ULONG width = 2048, ULONG height = 1536, UCHAR runCode = kRunCodeRun) {
    CommandBlock block{};
    block.BlockLength = 44;
    block.CommandCode = kCommandApply;
    block.Fixed = 1;
    block.FrameWidth = width;
    block.FrameHeight = height;
    block.Exposal = 1000;
    block.AllGain[0] = block.AllGain[1] = block.AllGain[2] = 25;
    block.Control = 1;
    block.RunCode = runCode;
    block.OptionA = block.OptionB = 1;
    return block;
}

// What one transfer completion looked like.
struct Completion {
    int Slot;
    NTSTATUS Status;
    USBD_STATUS UrbStatus;
    ULONG Length;
    KIRQL Irql;
};

// Reusable asynchronous bulk IN transfers, completed into a shared log.
class TransferSet {
public:
    TransferSet(PDEVICE_OBJECT pdo, int count, ULONG length = 0x80000) : pdo_(pdo) {
        for (int i = 0; i < count; ++i) {
            auto slot = std::make_unique<Slot>();
            slot->Owner = this;
            slot->Index = i;
            slot->Irp = IoAllocateIrp(static_cast<CCHAR>(pdo->StackSize + 1), FALSE);
            slot->Buffer.resize(length);
            slots_.push_back(std::move(slot));
        }
    }
    ~TransferSet() {
        StopSubmitting();
        for (auto& slot : slots_) IoCancelIrp(slot->Irp);  // whatever still waits
        host::RunUntilIdle();
        for (auto& slot : slots_) IoFreeIrp(slot->Irp);
    }

    void Submit(int index, USBD_PIPE_HANDLE pipe) {
        Slot& slot = *slots_[index];
        BuildBulk(&slot.Urb.UrbBulkOrInterruptTransfer, pipe, slot.Buffer.data(),
                  static_cast<ULONG>(slot.Buffer.size()),
                  USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
        IoReuseIrp(slot.Irp, STATUS_SUCCESS);
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(slot.Irp);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
        next->Parameters.Others.Argument1 = &slot.Urb;
        IoSetCompletionRoutine(slot.Irp, Completed, &slot, TRUE, TRUE, TRUE);
        IoCallDriver(pdo_, slot.Irp);
    }
    void SubmitAll(USBD_PIPE_HANDLE pipe) {
        for (int i = 0; i < static_cast<int>(slots_.size()); ++i) Submit(i, pipe);
    }
    PIRP Irp(int index) { return slots_[index]->Irp; }
    const std::vector<UCHAR>& Data(int index) { return slots_[index]->Buffer; }

    std::vector<Completion> Log() {
        std::lock_guard<std::mutex> lock(mutex_);
        return log_;
    }
    std::vector<ULONG> Lengths() {
        std::vector<ULONG> lengths;
        for (const Completion& c : Log()) lengths.push_back(c.Length);
        return lengths;
    }
    // Resubmits each slot as soon as it completes (a streaming reader), until stopped.
    void KeepSubmitting(USBD_PIPE_HANDLE pipe) { resubmitPipe_.store(pipe); }
    void StopSubmitting() { resubmitPipe_.store(nullptr); }

private:
    struct Slot {
        TransferSet* Owner;
        int Index;
        PIRP Irp;
        URB Urb;
        std::vector<UCHAR> Buffer;
    };

    static NTSTATUS NTAPI Completed(PDEVICE_OBJECT, PIRP irp, PVOID context) {
        Slot* slot = static_cast<Slot*>(context);
        TransferSet* owner = slot->Owner;
        {
            std::lock_guard<std::mutex> lock(owner->mutex_);
            owner->log_.push_back({slot->Index, irp->IoStatus.Status, slot->Urb.UrbHeader.Status,
                                   slot->Urb.UrbBulkOrInterruptTransfer.TransferBufferLength,
                                   KeGetCurrentIrql()});
        }
        USBD_PIPE_HANDLE pipe = owner->resubmitPipe_.load();
        if (pipe != nullptr && NT_SUCCESS(irp->IoStatus.Status)) owner->Submit(slot->Index, pipe);
        return STATUS_MORE_PROCESSING_REQUIRED;
    }

    PDEVICE_OBJECT pdo_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::mutex mutex_;
    std::vector<Completion> log_;
    std::atomic<USBD_PIPE_HANDLE> resubmitPipe_{nullptr};
};

// A fresh host on the manual clock with one camera, configured, for each test.
class CameraFixture : public ::testing::Test {
protected:
    void SetUp() override {
        host::ResetHost();
        host::UseManualClock();
    }
    void TearDown() override {
        camera_.reset();
        host::RunUntilIdle();
        EXPECT_EQ(host::PoolLeakReport(), "");
    }
    void Plug(const camera::CameraOptions& options = camera::CameraOptions()) {
        camera_ = std::make_unique<camera::SimulatedCamera>(options);
        pdo_ = camera_->PhysicalDeviceObject();
    }
    Configured PlugAndConfigure(const camera::CameraOptions& options = camera::CameraOptions()) {
        Plug(options);
        Configured configured = SelectFirstInterface(pdo_);
        EXPECT_EQ(configured.Status, STATUS_SUCCESS);
        return configured;
    }
    LONGLONG Period(double fps = 30.0) { return std::llround(host::kSecond / fps); }

    std::unique_ptr<camera::SimulatedCamera> camera_;
    PDEVICE_OBJECT pdo_ = nullptr;
};

}  // namespace usbtest
