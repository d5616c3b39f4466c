// Opening and closing the capture stream.
#include "driver/capture_stream.h"

#include "controls/settings_store.h"
#include "driver/capture_stream_format.h"
#include "driver/formats.h"
#include "driver/frame_handoff.h"
#include "driver/frame_timer.h"
#include "driver/stream_description.h"
#include "usb/streaming.h"
#include "usb/trace.h"

constexpr ULONG kTagStreamContext = MakePoolTag("VxSc");

static void InstallStreamRoutines(PHW_STREAM_OBJECT Object) {
    const HW_STREAM_OBJECT* source = StreamObjectTemplate(Object->StreamNumber);
    Object->Dma = source->Dma;
    Object->Pio = source->Pio;
    Object->Allocator = source->Allocator;
    Object->HwClockObject = source->HwClockObject;
    Object->HwEventRoutine = source->HwEventRoutine;
    Object->ReceiveDataPacket = source->ReceiveDataPacket;
    Object->ReceiveControlPacket = source->ReceiveControlPacket;
    Object->StreamHeaderWorkspace = source->StreamHeaderWorkspace;
    Object->StreamHeaderMediaSpecific = source->StreamHeaderMediaSpecific;
}

static void PublishStream(DeviceContext* Device, StreamContext* Stream) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Device->DeviceLock, &oldIrql);
    WriteOnce(Device->Stream, Stream);
    KeReleaseSpinLock(&Device->DeviceLock, oldIrql);
}

void OpenCaptureStream(PHW_STREAM_REQUEST_BLOCK Srb) {
    DeviceContext* device = static_cast<DeviceContext*>(Srb->HwDeviceExtension);
    PHW_STREAM_OBJECT object = Srb->StreamObject;
    PKSDATAFORMAT format = Srb->CommandData.OpenFormat;
    if (object->StreamNumber != kCaptureStreamNumber || ReadOnce(device->Stream) != nullptr) {
        Srb->Status = STATUS_INVALID_PARAMETER;
        return;
    }
    if (!VerifyFormat(format, object->StreamNumber) || !FormatIsServable(format, 0)) {
        TRACE_EVENT("open refused: a format the stream cannot serve");
        Srb->Status = STATUS_INVALID_PARAMETER;
        return;
    }
    StreamContext* stream = static_cast<StreamContext*>(
        ExAllocatePoolWithTag(NonPagedPool, sizeof(StreamContext), kTagStreamContext));
    if (stream == nullptr) {
        Srb->Status = STATUS_INSUFFICIENT_RESOURCES;
        return;
    }
    RtlZeroMemory(stream, sizeof(StreamContext));
    KeInitializeEvent(&stream->FrameWorkIdle, NotificationEvent, TRUE);
    if (!LoadSettings(device, Srb, stream)) {
        ExFreePool(stream);
        return;
    }
    stream->State = KSSTATE_STOP;
    stream->StreamObject = object;
    PublishStream(device, stream);
    InstallStreamRoutines(object);
}

void StopCaptureEngine(DeviceContext* Device) {
    StopStreaming(Device);
    CancelWaitingReads(Device);
    SaveSettings(Device);
}

void StopAndFlushStream(DeviceContext* Device) {
    StreamContext* stream = ReadOnce(Device->Stream);
    if (stream == nullptr) return;
    WriteOnce(stream->State, KSSTATE_STOP);
    StopCaptureEngine(Device);
}

void CloseCaptureStream(DeviceContext* Device) {
    StreamContext* stream = ReadOnce(Device->Stream);
    if (stream == nullptr) return;
    StopAndFlushStream(Device);
    // Taken out under DeviceLock, so a cancel scanning the queue is done with the record.
    PublishStream(Device, nullptr);
    StopFrameTimer(Device);
    ExFreePool(stream);
}
