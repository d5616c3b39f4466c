// Abort and reset requests on the command and video pipes.
#include "usb/streaming_pipes.h"

#include "usb/usb_requests.h"

static void SendPipeRequest(DeviceContext* Device, ULONG PipeIndex, USHORT Function) {
    USBD_PIPE_HANDLE pipe = Device->PipeHandles[PipeIndex];
    if (pipe == nullptr) return;
    URB urb;
    RtlZeroMemory(&urb, sizeof(urb));
    urb.UrbPipeRequest.Hdr.Length = sizeof(struct _URB_PIPE_REQUEST);
    urb.UrbPipeRequest.Hdr.Function = Function;
    urb.UrbPipeRequest.PipeHandle = pipe;
    SubmitUrbSync(Device, &urb);
}

void AbortPipe(DeviceContext* Device, ULONG PipeIndex) {
    SendPipeRequest(Device, PipeIndex, URB_FUNCTION_ABORT_PIPE);
}

void ResetPipeAndClearStall(DeviceContext* Device, ULONG PipeIndex) {
    SendPipeRequest(Device, PipeIndex, URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL);
}

void AbortAndResetPipe(DeviceContext* Device, ULONG PipeIndex) {
    AbortPipe(Device, PipeIndex);
    ResetPipeAndClearStall(Device, PipeIndex);
}
