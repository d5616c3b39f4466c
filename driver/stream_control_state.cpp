// Stream state changes of the capture stream. The camera starts on the way to pause, not at
// run: pause counts nothing and delivers nothing, but frames queued in an earlier run are still
// filled, so run can deliver at once.
#include "driver/frame_timer.h"
#include "driver/stream_control.h"
#include "usb/command_lock.h"
#include "usb/streaming.h"

static void SendRunCode(DeviceContext* Device, UCHAR RunCode) {
    StoreCommandBytes(Device, offsetof(CommandBlock, RunCode), &RunCode, sizeof(RunCode));
    SendCommandBlock(Device);
}

static void StopCapture(DeviceContext* Device) {
    SendRunCode(Device, kRunCodeStop);
    StopStreaming(Device);
}

// Fresh counters and a new StartTime: presentation times count from this transition.
static NTSTATUS StartCapture(DeviceContext* Device, StreamContext* Stream) {
    WriteOnce(Stream->PictureNumber, 0);
    WriteOnce(Stream->DropCount, 0);
    WriteOnce(Stream->FrameFlags, 0u);
    WriteOnce(Stream->NextDueTime, 0);
    WriteOnce(Stream->DiscontinuityPending, 0u);
    ArmFrameTimer(Device, ReadOnce(Stream->AvgTimePerFrame));
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);
    WriteOnce(Stream->StartTime, now.QuadPart);
    SendRunCode(Device, kRunCodeRun);
    NTSTATUS status = StartStreaming(Device);
    if (!NT_SUCCESS(status)) {
        // Without a reader thread no frame would ever come: say so and fall back to stop.
        WriteOnce(Stream->State, KSSTATE_STOP);
        StopCapture(Device);
    }
    return status;
}

NTSTATUS SetCaptureStreamState(DeviceContext* Device, StreamContext* Stream, KSSTATE NewState) {
    KSSTATE oldState = ReadOnce(Stream->State);
    WriteOnce(Stream->State, NewState);
    if (NewState == KSSTATE_STOP) {
        StopCapture(Device);
    } else if ((NewState == KSSTATE_PAUSE || NewState == KSSTATE_RUN) &&
               (oldState == KSSTATE_STOP || oldState == KSSTATE_ACQUIRE)) {
        // A client may go to run without passing pause; the camera must start all the same,
        // or the stream would run without frames and its reads wait for ever.
        return StartCapture(Device, Stream);
    }
    return STATUS_SUCCESS;
}
