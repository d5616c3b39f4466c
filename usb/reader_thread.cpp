// ReaderThread: the only submitter of streaming transfers.
#include "driver/stream_data_queue.h"
#include "usb/frame_building.h"
#include "usb/recovery.h"
#include "usb/streaming.h"
#include "usb/streaming_pipes.h"

static bool StreamRunning(const DeviceContext* Device) {
    StreamContext* stream = ReadOnce(Device->Stream);
    return stream != nullptr && ReadOnce(stream->State) != KSSTATE_STOP;
}

// Lowest free slot first; null when all ten are claimed or in flight.
static TransferSlot* ClaimTransferSlot(DeviceContext* Device) {
    for (ULONG i = 0; i < kTransferSlotCount; ++i) {
        if (InterlockedCompareExchange(&Device->TransferSlots[i].Busy, 1, 0) == 0) {
            return &Device->TransferSlots[i];
        }
    }
    return nullptr;
}

// Re-arms the slot's request for a full 512 KiB read on the video pipe and sends it down.
static void SubmitTransfer(DeviceContext* Device, TransferSlot* Slot) {
    _URB_BULK_OR_INTERRUPT_TRANSFER& transfer = Slot->Urb->UrbBulkOrInterruptTransfer;
    transfer.Hdr.Status = USBD_STATUS_SUCCESS;
    transfer.TransferBufferLength = kTransferBytes;
    transfer.TransferBuffer = Slot->Buffer;
    transfer.TransferBufferMDL = nullptr;
    transfer.TransferFlags = USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK;
    PIRP irp = Slot->Irp;
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.Others.Argument1 = Slot->Urb;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    IoSetCompletionRoutine(irp, TransferCompletion, Device, TRUE, TRUE, TRUE);
    IofCallDriver(Device->LowerDevice, irp);
}

// On the way out: no transfer may still run when the queue is flushed, and no work item may
// park a request behind the flush, so the pipes go first and the work item is waited for.
static void LeaveReaderThread(DeviceContext* Device) {
    AbortPipe(Device, kVideoPipe);
    AbortPipe(Device, kCommandPipe);
    StreamContext* stream = ReadOnce(Device->Stream);
    if (stream == nullptr) return;
    WaitForFrameWorkIdle(stream);
    KIRQL oldIrql;
    KeAcquireSpinLock(&Device->DeviceLock, &oldIrql);
    FlushStreamRequests(Device, stream);
    KeReleaseSpinLock(&Device->DeviceLock, oldIrql);
}

// System thread started by StartStreaming, PASSIVE_LEVEL. Sleeps until a transfer may be
// submitted or StopEvent asks it to leave; recovers from transfer errors between submissions.
void ReaderThread(PVOID StartContext) {
    DeviceContext* device = static_cast<DeviceContext*>(StartContext);
    PVOID wakers[2] = {&device->FreeSlotSemaphore, &device->StopEvent};
    for (;;) {
        KeWaitForMultipleObjects(2, wakers, WaitAny, Executive, KernelMode, FALSE, nullptr,
                                 nullptr);
        if (!StreamRunning(device)) break;
        TransferSlot* slot = ClaimTransferSlot(device);
        const LONG errorKind = InterlockedExchange(&device->ResetRequest, 0);
        if (errorKind != 0) RecoverFromTransferError(device, errorKind);
        if (slot == nullptr || !StreamRunning(device)) continue;
        SubmitTransfer(device, slot);
    }
    LeaveReaderThread(device);
    PsTerminateSystemThread(STATUS_SUCCESS);
}
