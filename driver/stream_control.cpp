// CaptureReceiveControlPacket: every non-data request of the capture stream.
#include "driver/stream_control.h"

#include "controls/settings_store.h"
#include "driver/capture_stream_format.h"
#include "driver/formats.h"
#include "driver/stream_properties.h"
#include "usb/trace.h"

static void GetStreamState(const StreamContext* Stream, PHW_STREAM_REQUEST_BLOCK Srb) {
    KSSTATE state = ReadOnce(Stream->State);
    Srb->CommandData.StreamState = state;
    Srb->ActualBytesTransferred = sizeof(KSSTATE);
    // A paused capture stream produces no data; the framework learns that from this status.
    if (state == KSSTATE_PAUSE) Srb->Status = STATUS_NO_DATA_DETECTED;
}

// A proposal is answered as a setting of the same format would be.
static bool FormatAcceptable(const StreamContext* Stream, PHW_STREAM_REQUEST_BLOCK Srb) {
    PKSDATAFORMAT format = Srb->CommandData.OpenFormat;
    return VerifyFormat(format, Srb->StreamObject->StreamNumber) &&
           FormatIsServable(format, ReadOnce(Stream->AvgTimePerFrame));
}

// SRB_SET_DATA_FORMAT: a format the pipeline cannot serve leaves the current one in force.
// While the engine runs the frame path reads the geometry and the calibration tables a change
// would rewrite, so the change waits for a stop. Called with StreamControlLock held, so no
// start or stop runs meanwhile.
static NTSTATUS SetDataFormat(DeviceContext* Device, StreamContext* Stream,
                              PHW_STREAM_REQUEST_BLOCK Srb) {
    if (ReadOnce(Stream->State) != KSSTATE_STOP || Device->ReaderThread != nullptr) {
        TRACE_EVENT("format change refused: the stream is not stopped");
        return STATUS_INVALID_DEVICE_STATE;
    }
    if (!FormatAcceptable(Stream, Srb) || !ChangeFormat(Device, Srb, Stream)) {
        TRACE_EVENT("format change refused: a format the stream cannot serve");
        return STATUS_NO_MATCH;
    }
    return STATUS_SUCCESS;
}

static void AcquireStreamControl(DeviceContext* Device) {
    KeWaitForSingleObject(&Device->StreamControlLock, Executive, KernelMode, FALSE, nullptr);
}

static void ReleaseStreamControl(DeviceContext* Device) {
    KeSetEvent(&Device->StreamControlLock, IO_NO_INCREMENT, FALSE);
}

void STREAMAPI CaptureReceiveControlPacket(PHW_STREAM_REQUEST_BLOCK Srb) {
    DeviceContext* device = static_cast<DeviceContext*>(Srb->HwDeviceExtension);
    StreamContext* stream = ReadOnce(device->Stream);
    Srb->Status = STATUS_SUCCESS;
    if (stream == nullptr) {
        Srb->Status = STATUS_INVALID_PARAMETER;
    } else {
        switch (Srb->Command) {
            case SRB_GET_STREAM_STATE:
                GetStreamState(stream, Srb);
                break;
            case SRB_SET_STREAM_STATE:
                AcquireStreamControl(device);
                Srb->Status = SetCaptureStreamState(device, stream, Srb->CommandData.StreamState);
                ReleaseStreamControl(device);
                break;
            case SRB_GET_STREAM_PROPERTY:
                GetStreamProperty(device, stream, Srb);
                break;
            case SRB_INDICATE_MASTER_CLOCK:
                break;  // the stream keeps its own time; the clock is not used
            case SRB_PROPOSE_DATA_FORMAT:
                if (!FormatAcceptable(stream, Srb)) Srb->Status = STATUS_NO_MATCH;
                break;
            case SRB_SET_DATA_FORMAT:
                AcquireStreamControl(device);
                Srb->Status = SetDataFormat(device, stream, Srb);
                ReleaseStreamControl(device);
                break;
            default:
                Srb->Status = STATUS_NOT_IMPLEMENTED;
                break;
        }
    }
    StreamClassStreamNotification(StreamRequestComplete, Srb->StreamObject, Srb);
}
