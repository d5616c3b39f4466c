// Stream state changes of the capture stream. The camera starts on the way to pause, not at
// run: pause counts nothing and delivers nothing, but frames queued in an earlier run are still
// filled, so run can deliver at once.
#include "driver/capture_stream.h"
#include "driver/frame_handoff.h"
#include "driver/frame_timer.h"
#include "driver/stream_control.h"
#include "usb/command_fields.h"
#include "usb/streaming.h"
#include "usb/trace.h"

static NTSTATUS SendRunCode(DeviceContext* Device, UCHAR RunCode) {
    StoreCommandByte(Device, COMMAND_FIELD(RunCode), RunCode);
    return SendCommandBlock(Device);
}

// The driver's side always stops: a camera that cannot be told to stop must still not keep a
// reader thread, its transfers and the queued reads. The request reports that the stop code
// did not reach the camera (the failed send has left its trace line).
static NTSTATUS StopCapture(DeviceContext* Device) {
    const NTSTATUS status = SendRunCode(Device, kRunCodeStop);
    StopCaptureEngine(Device);
    return status;
}

// The camera is told to run before anything else starts: a run code it never got leaves the
// stream in its old state, with the old run code back in the block.
static NTSTATUS StartCapture(DeviceContext* Device, StreamContext* Stream, KSSTATE OldState,
                             KSSTATE NewState) {
    const UCHAR oldRunCode = LoadCommandByte(Device, COMMAND_FIELD(RunCode));
    NTSTATUS status = SendRunCode(Device, kRunCodeRun);
    if (!NT_SUCCESS(status)) {
        StoreCommandByte(Device, COMMAND_FIELD(RunCode), oldRunCode);
        return status;
    }
    // Fresh counters and a new StartTime: presentation times count from this transition.
    WriteOnce(Stream->PictureNumber, 0);
    WriteOnce(Stream->DropCount, 0);
    WriteOnce(Stream->FrameFlags, 0u);
    WriteOnce(Stream->NextDueTime, 0);
    WriteOnce(Stream->DiscontinuityPending, 0u);
    WriteOnce(Stream->StartTime, static_cast<LONGLONG>(KeQueryInterruptTime()));
    WriteOnce(Stream->State, NewState);
    ArmFrameTimer(Device, ReadOnce(Stream->AvgTimePerFrame));
    // A pause after acquire finds the engine still running, with its frames in the ring.
    if (Device->ReaderThread == nullptr) ResetFrameHandOff(Device);
    status = StartStreaming(Device);
    if (!NT_SUCCESS(status)) {
        // Without a reader thread no frame would ever come: fall back to the old state.
        TRACE_EVENT("start failed: streaming did not start (%08X)", TraceStatus(status));
        WriteOnce(Stream->State, KSSTATE_STOP);
        StopCapture(Device);
        WriteOnce(Stream->State, OldState);
    }
    return status;
}

NTSTATUS SetCaptureStreamState(DeviceContext* Device, StreamContext* Stream, KSSTATE NewState) {
    const KSSTATE oldState = ReadOnce(Stream->State);
    if (NewState == KSSTATE_STOP) {
        WriteOnce(Stream->State, NewState);
        return StopCapture(Device);
    }
    if ((NewState == KSSTATE_PAUSE || NewState == KSSTATE_RUN) &&
        (oldState == KSSTATE_STOP || oldState == KSSTATE_ACQUIRE)) {
        // A client may go to run without passing pause; the camera must start all the same,
        // or the stream would run without frames and its reads wait for ever.
        return StartCapture(Device, Stream, oldState, NewState);
    }
    WriteOnce(Stream->State, NewState);
    return STATUS_SUCCESS;
}
