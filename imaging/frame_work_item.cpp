// ProcessFrame: the frame work item around the stage sequence.
#include "imaging/frame_work_item.h"

#include "driver/stream_data_queue.h"
#include "driver/stream_data_ring.h"
#include "imaging/process_frame.h"
#include "usb/frame_building.h"
#include "usb/streaming.h"

static bool StreamRunning(const StreamContext* Stream) {
    return Stream != nullptr && ReadOnce(Stream->State) != KSSTATE_STOP;
}

// Parks the finished request for the frame timer and gives its raw buffer back. A stopped
// stream gets its request back cancelled and keeps its raw indices (the next start resets
// them); a full ring loses the frame. Decided under DeviceLock, like the flushes.
static void HandOffFinishedRequest(DeviceContext* Device, StreamContext* Stream,
                                   PHW_STREAM_REQUEST_BLOCK Request) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Device->DeviceLock, &oldIrql);
    bool parked = false;
    if (StreamRunning(Stream)) {
        parked = ParkFinishedRequest(Device, Stream, Request);
        WriteOnce(Device->RawReleaseIndex,
                  static_cast<LONG>((Device->RawReleaseIndex + 1) % kRawFrameCount));
    }
    KeReleaseSpinLock(&Device->DeviceLock, oldIrql);
    if (!parked) CancelReadRequest(Request);
}

// The read's buffer must still hold a whole picture: the format may have changed since the
// request was queued.
static bool RequestHoldsPicture(ULONG ImageSize, PHW_STREAM_REQUEST_BLOCK Request) {
    return Request->CommandData.DataBufferArray->FrameExtent >= ImageSize;
}

// Work-item routine; see the header. The stream and its raw buffers outlive this routine:
// stop, close and uninitialize wait for FrameWorkIdle, which the gate release sets last.
void ProcessFrame(PDEVICE_OBJECT DeviceObject, PVOID Context) {
    FrameWorkContext* work = static_cast<FrameWorkContext*>(Context);
    DeviceContext* device = work->Device;
    PHW_STREAM_REQUEST_BLOCK request = work->Request;
    PIO_WORKITEM item = work->WorkItem;
    WriteOnce(device->CurrentFrame, work->RawFrame);
    ExFreePool(work);
    IoFreeWorkItem(item);

    StreamContext* stream = ReadOnce(device->Stream);
    PUCHAR raw = ReadOnce(device->CurrentFrame);
    const ULONG imageSize = ReadOnce(device->ImageSize);
    if (!StreamRunning(stream) || raw == nullptr || !RequestHoldsPicture(imageSize, request)) {
        CancelReadRequest(request);
    } else {
        PKSSTREAM_HEADER header = request->CommandData.DataBufferArray;
        header->DataUsed = imageSize;
        RunFrameStages(device, raw, static_cast<PUCHAR>(header->Data), header->FrameExtent);
        HandOffFinishedRequest(device, stream, request);
    }
    ReleaseFrameWorkGate(device, stream);
}
