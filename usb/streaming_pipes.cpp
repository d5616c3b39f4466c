// Abort and reset requests on the command and video pipes.
#include "usb/streaming_pipes.h"

#include "usb/usb_requests.h"

static NTSTATUS SendPipeRequest(DeviceContext* Device, ULONG PipeIndex, USHORT Function) {
    USBD_PIPE_HANDLE pipe = Device->PipeHandles[PipeIndex];
    if (pipe == nullptr) return STATUS_SUCCESS;
    URB urb;
    RtlZeroMemory(&urb, sizeof(urb));
    urb.UrbPipeRequest.Hdr.Length = sizeof(struct _URB_PIPE_REQUEST);
    urb.UrbPipeRequest.Hdr.Function = Function;
    urb.UrbPipeRequest.PipeHandle = pipe;
    NTSTATUS status = SubmitUrbSync(Device, &urb);
    if (NT_SUCCESS(status) && USBD_ERROR(urb.UrbHeader.Status)) status = STATUS_UNSUCCESSFUL;
    return status;
}

NTSTATUS AbortPipe(DeviceContext* Device, ULONG PipeIndex) {
    return SendPipeRequest(Device, PipeIndex, URB_FUNCTION_ABORT_PIPE);
}

NTSTATUS ResetPipeAndClearStall(DeviceContext* Device, ULONG PipeIndex) {
    return SendPipeRequest(Device, PipeIndex, URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL);
}

NTSTATUS AbortAndResetPipe(DeviceContext* Device, ULONG PipeIndex) {
    const NTSTATUS status = AbortPipe(Device, PipeIndex);
    if (!NT_SUCCESS(status)) return status;
    return ResetPipeAndClearStall(Device, PipeIndex);
}
