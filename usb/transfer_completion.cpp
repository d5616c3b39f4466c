// TransferCompletion: every streaming transfer ends here, good or bad.
#include "usb/frame_building.h"
#include "usb/streaming.h"

static TransferSlot* FindTransferSlot(DeviceContext* Device, PIRP Irp) {
    for (ULONG i = 0; i < kTransferSlotCount; ++i) {
        if (Device->TransferSlots[i].Irp == Irp) return &Device->TransferSlots[i];
    }
    return nullptr;
}

// Remembers the kind of the failure for the reader thread's recovery; the data is dropped and
// the frame count left as it is, so the frame in assembly fails at its last transfer.
static void RecordTransferError(DeviceContext* Device, USBD_STATUS UrbStatus) {
    LONG kind = 4;
    if (UrbStatus == USBD_STATUS_INVALID_PARAMETER) kind = 1;
    if (UrbStatus == USBD_STATUS_BABBLE_DETECTED) kind = 2;
    if (UrbStatus == USBD_STATUS_XACT_ERROR) kind = 3;
    InterlockedExchange(&Device->ResetRequest, kind);
}

// A complete frame goes to the stream when the buffer after it is free; one the stream does
// not take stays in FillingFrame, and the next frame is assembled over it.
static void BuildFrame(DeviceContext* Device, const TransferSlot* Slot,
                       const _URB_BULK_OR_INTERRUPT_TRANSFER& Transfer) {
    ClaimRawFrame(Device);
    if (AppendTransfer(Device, Slot->Buffer, Transfer.TransferBufferLength) !=
            FrameProgress::Complete ||
        !RawFrameCanBeHandedOn(Device)) {
        return;
    }
    if (Device->Client->FrameAssembled(Device, ReadOnce(Device->FillingFrame))) {
        RawFrameHandedOn(Device);
    }
}

NTSTATUS TransferCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
    DeviceContext* device = static_cast<DeviceContext*>(Context);
    if (!StreamRunning(ReadOnce(device->Stream))) {
        // Stopping: the slot stays claimed until StopStreaming releases every slot.
        KeReleaseSemaphore(&device->FreeSlotSemaphore, IO_NO_INCREMENT, 1, FALSE);
        return STATUS_MORE_PROCESSING_REQUIRED;
    }
    TransferSlot* slot = FindTransferSlot(device, Irp);
    if (slot == nullptr) return STATUS_MORE_PROCESSING_REQUIRED;

    const _URB_BULK_OR_INTERRUPT_TRANSFER& transfer = slot->Urb->UrbBulkOrInterruptTransfer;
    if (!NT_SUCCESS(Irp->IoStatus.Status) || transfer.Hdr.Status < 0) {
        RecordTransferError(device, transfer.Hdr.Status);
    } else if (transfer.Hdr.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER) {
        BuildFrame(device, slot, transfer);
    }
    InterlockedExchange(&slot->Busy, 0);
    KeReleaseSemaphore(&device->FreeSlotSemaphore, IO_NO_INCREMENT, 1, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}
