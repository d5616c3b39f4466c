// CaptureReceiveDataPacket: accepting read requests into the queue.
#include "driver/stream_data.h"

#include "driver/stream_data_queue.h"
#include "usb/trace.h"

static void CompleteAtOnce(PHW_STREAM_REQUEST_BLOCK Srb, NTSTATUS Status) {
    Srb->Status = Status;
    StreamClassStreamNotification(StreamRequestComplete, Srb->StreamObject, Srb);
}

// A read must bring one stream header whose buffer can hold a whole picture of the current
// format; the frame path writes ImageSize bytes into it without looking again.
static NTSTATUS CheckReadBuffer(const DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Srb) {
    PKSSTREAM_HEADER header = Srb->CommandData.DataBufferArray;
    if (Srb->NumberOfBuffers == 0 || header == nullptr || header->Data == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    if (header->FrameExtent < ReadOnce(Device->ImageSize)) return STATUS_BUFFER_TOO_SMALL;
    return STATUS_SUCCESS;
}

void STREAMAPI CaptureReceiveDataPacket(PHW_STREAM_REQUEST_BLOCK Srb) {
    DeviceContext* device = static_cast<DeviceContext*>(Srb->HwDeviceExtension);
    if (Srb->Command != SRB_READ_DATA) {
        CompleteAtOnce(Srb, STATUS_NOT_IMPLEMENTED);
        return;
    }
    NTSTATUS bufferStatus = CheckReadBuffer(device, Srb);

    // The state test runs under DeviceLock so that a stop, which sets the state before it
    // flushes under the same lock, never leaves a request queued behind its flush.
    KIRQL oldIrql;
    KeAcquireSpinLock(&device->DeviceLock, &oldIrql);
    StreamContext* stream = device->Stream;
    NTSTATUS status = STATUS_CANCELLED;
    if (stream != nullptr && ReadOnce(stream->State) == KSSTATE_RUN) {
        status = bufferStatus;
        if (NT_SUCCESS(status)) {
            Srb->Status = STATUS_SUCCESS;
            if (!QueueReadRequest(stream, Srb)) {
                status = kReadQueueFullStatus;
                TRACE_EVENT("read refused: %u reads are already waiting",
                            static_cast<unsigned>(kReadQueueSlots));
            }
        }
    }
    KeReleaseSpinLock(&device->DeviceLock, oldIrql);
    if (!NT_SUCCESS(status)) CompleteAtOnce(Srb, status);
}
