// ProcessFrame: the frame work item around the stage sequence.
#include "driver/frame_work_item.h"

#include "controls/calibration.h"
#include "driver/frame_handoff.h"
#include "driver/stream_data_queue.h"
#include "driver/stream_data_ring.h"
#include "imaging/process_frame.h"
#include "usb/command_fields.h"
#include "usb/frame_building.h"

namespace {

DeviceContext* DeviceOf(PVOID Context) { return static_cast<DeviceContext*>(Context); }

ULONG ReadExposal(PVOID Context) {
    return LoadCommandUlong(DeviceOf(Context), COMMAND_FIELD(Exposal));
}

VOID SendExposal(PVOID Context, ULONG Exposal) {
    StoreCommandUlong(DeviceOf(Context), COMMAND_FIELD(Exposal), Exposal);
    SendCommandBlock(DeviceOf(Context));
}

VOID KeepGainMap(PVOID Context, ULONG Width, ULONG Height) {
    SaveGainMap(DeviceOf(Context), Width, Height);
}

VOID KeepDefectTable(PVOID Context, ULONG Width) { SaveDefectTable(DeviceOf(Context), Width); }

// The device as the stage sequence reaches it: the camera's exposure and the calibration files.
const FrameDeviceCalls kCameraCalls = {ReadExposal, SendExposal, KeepGainMap, KeepDefectTable};

FrameShape CurrentShape(const DeviceContext* Device) {
    return {LoadCommandUlong(Device, COMMAND_FIELD(FrameWidth)),
            LoadCommandUlong(Device, COMMAND_FIELD(FrameHeight)), ReadOnce(Device->BitCount),
            ReadOnce(Device->ImageSize)};
}

// Property changes that need the camera reach it once per processed frame, after the frame.
void SendPendingSettings(DeviceContext* Device) {
    if (ReadOnce(Device->SettingsChanged) != 1) return;
    SendCommandBlock(Device);
    WriteOnce(Device->SettingsChanged, UCHAR{0});
}

// Parks the finished request for the frame timer and gives its raw buffer back. A stopped
// stream gets its request back cancelled and keeps its raw indices (the next start resets
// them); a full ring loses the frame. Decided under DeviceLock, like the flushes.
void HandOffFinishedRequest(DeviceContext* Device, StreamContext* Stream,
                            PHW_STREAM_REQUEST_BLOCK Request) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Device->DeviceLock, &oldIrql);
    bool parked = false;
    if (StreamRunning(Stream)) {
        parked = ParkFinishedRequest(Device, Stream, Request);
        ReleaseRawFrame(Device);
    }
    KeReleaseSpinLock(&Device->DeviceLock, oldIrql);
    if (!parked) CancelReadRequest(Request);
}

// The read's buffer must still hold a whole picture: the format may have changed since the
// request was queued.
bool RequestHoldsPicture(ULONG ImageSize, PHW_STREAM_REQUEST_BLOCK Request) {
    return Request->CommandData.DataBufferArray->FrameExtent >= ImageSize;
}

}  // namespace

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
    const FrameShape shape = CurrentShape(device);
    if (!StreamRunning(stream) || raw == nullptr || !RequestHoldsPicture(shape.ImageSize, request)) {
        CancelReadRequest(request);
    } else {
        PKSSTREAM_HEADER header = request->CommandData.DataBufferArray;
        header->DataUsed = shape.ImageSize;
        const FrameDevice camera = {&kCameraCalls, device};
        RunFrameStages(shape, &device->Image, &device->Pipeline, camera, raw,
                       static_cast<PUCHAR>(header->Data), header->FrameExtent);
        SendPendingSettings(device);
        HandOffFinishedRequest(device, stream, request);
    }
    ReleaseFrameWorkGate(device, stream);
}
