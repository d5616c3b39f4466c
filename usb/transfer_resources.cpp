#include "usb/transfer_resources.h"

#include "driver/device_context.h"
#include "platform/kernel.h"
#include "platform/usb.h"
#include "usb/pool_tags.h"

namespace {

constexpr USHORT kBulkUrbLength = sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER);

NTSTATUS AllocateTransferSlot(DeviceContext* Device, TransferSlot* Slot) {
    CCHAR StackSize = static_cast<CCHAR>(Device->LowerDevice->StackSize + 1);
    Slot->Irp = IoAllocateIrp(StackSize, FALSE);
    if (Slot->Irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    Slot->StackLocation = IoGetNextIrpStackLocation(Slot->Irp);
    Slot->Urb =
        static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, kBulkUrbLength, kTagTransferUrb));
    if (Slot->Urb == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    RtlZeroMemory(Slot->Urb, kBulkUrbLength);
    Slot->Buffer = static_cast<PUCHAR>(
        ExAllocatePoolWithTag(NonPagedPool, kTransferBytes, kTagTransferBuffer));
    if (Slot->Buffer == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    return STATUS_SUCCESS;
}

NTSTATUS AllocateRawFrames(DeviceContext* Device) {
    for (ULONG Index = 0; Index < kRawFrameCount; ++Index) {
        PUCHAR Frame =
            static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPool, kRawFrameBytes, kTagRawFrame));
        if (Frame == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
        RtlZeroMemory(Frame, kRawFrameBytes);
        Device->RawFrames[Index] = Frame;
    }
    return STATUS_SUCCESS;
}

}  // namespace

// Part of InitializeCamera (SRB_INITIALIZE_DEVICE), PASSIVE_LEVEL.
NTSTATUS AllocateTransferResources(DeviceContext* Device) {
    for (ULONG Index = 0; Index < kTransferSlotCount; ++Index) {
        if (!NT_SUCCESS(AllocateTransferSlot(Device, &Device->TransferSlots[Index]))) {
            ReleaseTransferResources(Device);
            return STATUS_INSUFFICIENT_RESOURCES;
        }
    }
    if (!NT_SUCCESS(AllocateRawFrames(Device))) {
        ReleaseTransferResources(Device);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    return STATUS_SUCCESS;
}

VOID FormatSlotTransfer(DeviceContext* Device, TransferSlot* Slot,
                        PIO_COMPLETION_ROUTINE Completion) {
    Slot->Irp->IoStatus.Status = STATUS_SUCCESS;
    Slot->Irp->IoStatus.Information = 0;
    RtlZeroMemory(Slot->Urb, kBulkUrbLength);
    UsbBuildInterruptOrBulkTransferRequest(Slot->Urb, kBulkUrbLength,
                                           Device->PipeHandles[kVideoPipe], Slot->Buffer, nullptr,
                                           kTransferBytes,
                                           USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK,
                                           nullptr);
    PIO_STACK_LOCATION Stack = IoGetNextIrpStackLocation(Slot->Irp);
    Stack->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    Stack->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    Stack->Parameters.Others.Argument1 = Slot->Urb;
    IoSetCompletionRoutine(Slot->Irp, Completion, Device, TRUE, TRUE, TRUE);
}

// Part of InitializeCamera, before any stream exists; the reader thread re-arms the same fields
// before each submission.
VOID PreformatTransferSlots(DeviceContext* Device, PIO_COMPLETION_ROUTINE Completion) {
    for (ULONG Index = 0; Index < kTransferSlotCount; ++Index) {
        FormatSlotTransfer(Device, &Device->TransferSlots[Index], Completion);
        InterlockedExchange(&Device->TransferSlots[Index].Busy, 0);
    }
}

// Called by InitializeCamera on failure and by UninitializeCamera after the reader thread has
// ended and no transfer is in flight; PASSIVE_LEVEL.
VOID ReleaseTransferResources(DeviceContext* Device) {
    for (ULONG Index = 0; Index < kRawFrameCount; ++Index) {
        if (Device->RawFrames[Index] != nullptr) ExFreePool(Device->RawFrames[Index]);
        Device->RawFrames[Index] = nullptr;
    }
    for (ULONG Index = 0; Index < kTransferSlotCount; ++Index) {
        TransferSlot* Slot = &Device->TransferSlots[Index];
        if (Slot->Urb != nullptr) ExFreePool(Slot->Urb);
        Slot->Urb = nullptr;
        Slot->StackLocation = nullptr;
        if (Slot->Irp != nullptr) IoFreeIrp(Slot->Irp);
        Slot->Irp = nullptr;
        if (Slot->Buffer != nullptr) ExFreePool(Slot->Buffer);
        Slot->Buffer = nullptr;
    }
}
