// Adapter request dispatch, cancellation and time-outs.
#include "driver/adapter.h"

#include "controls/property_sets.h"
#include "driver/capture_stream.h"
#include "driver/data_intersection.h"
#include "driver/device_context.h"
#include "driver/device_lifecycle.h"
#include "driver/stream_data_queue.h"
#include "driver/stream_description.h"

namespace {

DeviceContext* DeviceOf(PHW_STREAM_REQUEST_BLOCK Srb) {
    return static_cast<DeviceContext*>(Srb->HwDeviceExtension);
}

// SRB_CLOSE_STREAM.
void CloseStream(PHW_STREAM_REQUEST_BLOCK Srb) {
    if (Srb->StreamObject == nullptr || Srb->StreamObject->StreamNumber != kCaptureStreamNumber) {
        return;  // no other stream has an entry to clear
    }
    CloseCaptureStream(DeviceOf(Srb));
}

void CompleteCancelledRead(PHW_STREAM_REQUEST_BLOCK Srb) {
    const bool carriesData = Srb->Command == SRB_READ_DATA || Srb->Command == SRB_WRITE_DATA;
    if (carriesData && Srb->CommandData.DataBufferArray != nullptr) {
        Srb->CommandData.DataBufferArray->DataUsed = 0;
    }
    Srb->Status = STATUS_CANCELLED;
    StreamClassStreamNotification(StreamRequestComplete, Srb->StreamObject, Srb);
}

// Removes Srb from the read queue under DeviceLock; false when it is not there (taken by the
// frame path, parked in the frame ring, or no stream open). The requests behind it close up,
// so the others are still served in the order they came, and a full queue never stalls on
// an empty oldest slot.
bool RemoveFromReadQueue(DeviceContext* Device, PHW_STREAM_REQUEST_BLOCK Srb) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Device->DeviceLock, &oldIrql);
    StreamContext* stream = Device->Stream;
    const bool found = stream != nullptr && RemoveReadRequest(stream, Srb);
    KeReleaseSpinLock(&Device->DeviceLock, oldIrql);
    return found;
}

}  // namespace

// Called by the framework for every adapter request, PASSIVE_LEVEL, not serialised.
void STREAMAPI AdapterReceivePacket(PHW_STREAM_REQUEST_BLOCK Srb) {
    DeviceContext* device = DeviceOf(Srb);
    Srb->Status = STATUS_SUCCESS;
    switch (Srb->Command) {
        case SRB_GET_STREAM_INFO:
            WriteStreamDescriptor(Srb->CommandData.StreamBuffer);
            break;
        case SRB_OPEN_STREAM:
            OpenCaptureStream(Srb);
            break;
        case SRB_CLOSE_STREAM:
            CloseStream(Srb);
            break;
        case SRB_GET_DEVICE_PROPERTY:
            GetDeviceProperty(Srb);
            break;
        case SRB_SET_DEVICE_PROPERTY:
            SetDeviceProperty(Srb);
            break;
        case SRB_INITIALIZE_DEVICE:
            Srb->Status = InitializeAdapter(device, Srb->CommandData.ConfigInfo);
            break;
        case SRB_UNINITIALIZE_DEVICE:
            Srb->Status = UninitializeAdapter(device);
            break;
        case SRB_GET_DATA_INTERSECTION:
            ComputeDataIntersection(Srb);
            break;
        case SRB_INITIALIZATION_COMPLETE:
            break;
        default:
            Srb->Status = STATUS_NOT_IMPLEMENTED;
            break;
    }
    StreamClassDeviceNotification(DeviceRequestComplete, Srb->HwDeviceExtension, Srb);
}

// Called by the framework when a pending request is cancelled, PASSIVE_LEVEL or
// DISPATCH_LEVEL. Only stream requests can be pending: adapter requests complete at once.
void STREAMAPI AdapterCancelPacket(PHW_STREAM_REQUEST_BLOCK Srb) {
    if (Srb->StreamObject == nullptr) return;
    if (Srb->StreamObject->StreamNumber != kCaptureStreamNumber) {
        CompleteCancelledRead(Srb);
        return;
    }
    if (RemoveFromReadQueue(DeviceOf(Srb), Srb)) CompleteCancelledRead(Srb);
}

// Called by the framework when a pending request's time-out count reaches zero. A read may
// wait as long as it takes, so the count simply starts again.
void STREAMAPI AdapterTimeoutPacket(PHW_STREAM_REQUEST_BLOCK Srb) {
    Srb->TimeoutCounter = Srb->TimeoutOriginal;
}
