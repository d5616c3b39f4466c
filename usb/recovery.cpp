// RecoverFromTransferError: port status, abort, drain, port reset, pipe reset.
#include "usb/recovery.h"

#include "usb/streaming_pipes.h"
#include "usb/usb_requests.h"

static bool StreamRunning(const DeviceContext* Device) {
    StreamContext* stream = ReadOnce(Device->Stream);
    return stream != nullptr && ReadOnce(stream->State) != KSSTATE_STOP;
}

static ULONG CountFreeSlots(DeviceContext* Device) {
    ULONG free = 0;
    for (ULONG i = 0; i < kTransferSlotCount; ++i) {
        if (ReadOnce(Device->TransferSlots[i].Busy) == 0) ++free;
    }
    return free;
}

// The aborted transfers complete on the bus driver's side; sleep between counts rather than
// spin against it.
static void WaitForFreeSlots(DeviceContext* Device) {
    while (CountFreeSlots(Device) < kRecoveryFreeSlots && StreamRunning(Device)) {
        LARGE_INTEGER interval;
        interval.QuadPart = kRecoveryPollInterval;
        KeDelayExecutionThread(KernelMode, FALSE, &interval);
    }
}

void RecoverFromTransferError(DeviceContext* Device) {
    ULONG portStatus = 0;
    NTSTATUS status = GetUsbPortStatus(Device->LowerDevice, &portStatus);
    if (!NT_SUCCESS(status) || (portStatus & USBD_PORT_CONNECTED) == 0) {
        // The camera is gone: the reader thread leaves at its next wake.
        StreamContext* stream = ReadOnce(Device->Stream);
        if (stream != nullptr) WriteOnce(stream->State, KSSTATE_STOP);
        return;
    }
    AbortPipe(Device, kVideoPipe);
    WaitForFreeSlots(Device);
    ResetUsbPort(Device);
    ResetPipeAndClearStall(Device, kVideoPipe);
    // Errors reported by the aborted transfers belong to this recovery.
    InterlockedExchange(&Device->ResetRequest, 0);
}
