// ReaderThread: the only submitter of streaming transfers.
#include "usb/recovery.h"
#include "usb/streaming.h"
#include "usb/streaming_pipes.h"
#include "usb/transfer_resources.h"

static bool EngineRunning(const DeviceContext* Device) { return StreamRunning(ReadOnce(Device->Stream)); }

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
    FormatSlotTransfer(Device, Slot, TransferCompletion);
    IofCallDriver(Device->LowerDevice, Slot->Irp);
}

// On the way out: no transfer may still run when the stream is told, so the pipes go first.
static void LeaveReaderThread(DeviceContext* Device) {
    AbortPipe(Device, kVideoPipe);
    AbortPipe(Device, kCommandPipe);
    Device->Client->StreamingEnded(Device);
}

// System thread started by StartStreaming, PASSIVE_LEVEL. Sleeps until a transfer may be
// submitted or StopEvent asks it to leave; recovers from transfer errors between submissions.
void ReaderThread(PVOID StartContext) {
    DeviceContext* device = static_cast<DeviceContext*>(StartContext);
    PVOID wakers[2] = {&device->FreeSlotSemaphore, &device->StopEvent};
    for (;;) {
        KeWaitForMultipleObjects(2, wakers, WaitAny, Executive, KernelMode, FALSE, nullptr,
                                 nullptr);
        if (!EngineRunning(device)) break;
        TransferSlot* slot = ClaimTransferSlot(device);
        const LONG errorKind = InterlockedExchange(&device->ResetRequest, 0);
        if (errorKind != 0) RecoverFromTransferError(device, errorKind);
        if (slot == nullptr || !EngineRunning(device)) continue;
        SubmitTransfer(device, slot);
    }
    LeaveReaderThread(device);
    PsTerminateSystemThread(STATUS_SUCCESS);
}
