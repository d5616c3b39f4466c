// RecoverFromTransferError: port status, abort, drain, port reset, pipe reset.
#include "usb/recovery.h"

#include "usb/streaming_pipes.h"
#include "usb/trace.h"
#include "usb/usb_requests.h"


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
    while (CountFreeSlots(Device) < kRecoveryFreeSlots && StreamRunning(ReadOnce(Device->Stream))) {
        LARGE_INTEGER interval;
        interval.QuadPart = kRecoveryPollInterval;
        KeDelayExecutionThread(KernelMode, FALSE, &interval);
    }
}

// The reader thread leaves at its next wake and cancels the reads on its way out.
static void EndStreaming(DeviceContext* Device) {
    StreamContext* stream = ReadOnce(Device->Stream);
    if (stream != nullptr) WriteOnce(stream->State, KSSTATE_STOP);
}

void RecoverFromTransferError(DeviceContext* Device, LONG Kind) {
    ULONG portStatus = 0;
    NTSTATUS status = GetUsbPortStatus(Device->LowerDevice, &portStatus);
    if (!NT_SUCCESS(status) || (portStatus & USBD_PORT_CONNECTED) == 0) {
        TRACE_EVENT("transfer error kind %d and the camera is gone: streaming ended",
                    static_cast<int>(Kind));
        EndStreaming(Device);
        return;
    }
    status = AbortPipe(Device, kVideoPipe);
    if (NT_SUCCESS(status)) {
        WaitForFreeSlots(Device);
        status = ResetUsbPort(Device);
    }
    if (NT_SUCCESS(status)) status = ResetPipeAndClearStall(Device, kVideoPipe);
    // Errors reported by the aborted transfers belong to this recovery.
    InterlockedExchange(&Device->ResetRequest, 0);
    if (!NT_SUCCESS(status)) {
        // A pipe or port the stack cannot reset would fail every transfer from now on.
        TRACE_EVENT("transfer error kind %d: recovery failed with %08X, streaming ended",
                    static_cast<int>(Kind), TraceStatus(status));
        EndStreaming(Device);
        return;
    }
    TRACE_EVENT("transfer error kind %d: recovered (port and video pipe reset)",
                static_cast<int>(Kind));
}
