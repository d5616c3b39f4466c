// Bulk transfers and pipe requests (abort, reset) of the host USB stack.
#include "host/usb/usb_device.h"

namespace host::usb {
namespace {

// Why a bulk transfer on an open pipe is refused before it reaches the device (Lock held).
USBD_STATUS CheckBulkTransfer(UsbDevice* device, const _URB_BULK_OR_INTERRUPT_TRANSFER& transfer,
                              const Pipe& pipe) {
    if (!device->Connected) return USBD_STATUS_DEVICE_GONE;
    if (pipe.PipeType != UsbdPipeTypeBulk && pipe.PipeType != UsbdPipeTypeInterrupt) {
        return USBD_STATUS_INVALID_PIPE_HANDLE;
    }
    // The host stack moves data only through TransferBuffer, one URB at a time.
    if (transfer.UrbLink != nullptr || transfer.TransferBufferMDL != nullptr) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    if (transfer.TransferBufferLength != 0 && transfer.TransferBuffer == nullptr) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    if (pipe.MaximumTransferSize != USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE &&
        transfer.TransferBufferLength > pipe.MaximumTransferSize) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    if (pipe.Halted) return USBD_STATUS_ENDPOINT_HALTED;
    return USBD_STATUS_SUCCESS;
}

// Lock held. A device that NAKs the data, or transfers already waiting ahead of this one,
// leave it waiting on the pipe.
void SendOut(UsbDevice* device, Pipe* pipe, PIRP irp, _URB_BULK_OR_INTERRUPT_TRANSFER& transfer) {
    if (!pipe->Waiting.empty()) {
        QueueWaitingTransfer(device, pipe, irp);
        return;
    }
    USBD_STATUS status = device->Function->BulkOut(
        pipe->EndpointAddress, static_cast<const UCHAR*>(transfer.TransferBuffer),
        transfer.TransferBufferLength);
    if (status == USBD_STATUS_PENDING) {
        QueueWaitingTransfer(device, pipe, irp);
        return;
    }
    FinishOnPipe(device, pipe, irp, status);
    if (status == USBD_STATUS_DEVICE_GONE) {
        device->Connected = false;
        FailWaitingTransfers(device, USBD_STATUS_DEVICE_GONE);
    } else if (USBD_HALTED(status)) {
        pipe->Halted = true;
    }
}

}  // namespace

NTSTATUS HandleBulkTransfer(UsbDevice* device, PIRP irp, PURB urb) {
    _URB_BULK_OR_INTERRUPT_TRANSFER& transfer = urb->UrbBulkOrInterruptTransfer;
    if (transfer.Hdr.Length < sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER)) {
        return CompleteWithUsbdStatus(irp, urb, USBD_STATUS_INVALID_PARAMETER);
    }
    Pipe* pipe = nullptr;
    bool connected;
    {
        std::lock_guard<std::mutex> lock(device->Lock);
        pipe = FindOpenPipe(device, transfer.PipeHandle);
        if (pipe != nullptr) {
            // Even a refusal joins the pipe's queue: completions keep submission order.
            IoMarkIrpPending(irp);
            USBD_STATUS refusal = CheckBulkTransfer(device, transfer, *pipe);
            if (refusal != USBD_STATUS_SUCCESS) {
                FinishOnPipe(device, pipe, irp, refusal);
            } else if (USB_ENDPOINT_DIRECTION_IN(pipe->EndpointAddress)) {
                QueueWaitingTransfer(device, pipe, irp);
            } else {
                SendOut(device, pipe, irp, transfer);
            }
        }
        connected = device->Connected;
    }
    if (pipe == nullptr) {
        transfer.TransferBufferLength = 0;
        return CompleteWithUsbdStatus(irp, urb, USBD_STATUS_INVALID_PIPE_HANDLE);
    }
    if (!connected) {
        ServiceAllPipes(device);
    } else {
        ServicePipe(device, pipe);
    }
    return STATUS_PENDING;
}

NTSTATUS HandlePipeRequest(UsbDevice* device, PIRP irp, PURB urb) {
    if (urb->UrbHeader.Length < sizeof(_URB_PIPE_REQUEST)) {
        return CompleteWithUsbdStatus(irp, urb, USBD_STATUS_INVALID_PARAMETER);
    }
    Pipe* pipe = nullptr;
    {
        std::lock_guard<std::mutex> lock(device->Lock);
        if (!device->Connected) {
            urb->UrbHeader.Status = USBD_STATUS_DEVICE_GONE;
        } else if ((pipe = FindOpenPipe(device, urb->UrbPipeRequest.PipeHandle)) == nullptr) {
            urb->UrbHeader.Status = USBD_STATUS_INVALID_PIPE_HANDLE;
        } else if (urb->UrbHeader.Function == URB_FUNCTION_ABORT_PIPE) {
            // The aborted transfers complete first, then the abort request itself.
            device->Counters.PipeAborts++;
            FailWaitingOnPipe(device, pipe, USBD_STATUS_CANCELED);
            IoMarkIrpPending(irp);
            FinishOnPipe(device, pipe, irp, USBD_STATUS_SUCCESS);
        } else {
            device->Counters.PipeResets++;
            pipe->Halted = false;
            device->Function->ResetEndpoint(pipe->EndpointAddress);
            urb->UrbHeader.Status = USBD_STATUS_SUCCESS;
            pipe = nullptr;
        }
    }
    if (urb->UrbHeader.Function != URB_FUNCTION_ABORT_PIPE || pipe == nullptr) {
        return CompleteWithUsbdStatus(irp, urb, urb->UrbHeader.Status);
    }
    ServicePipe(device, pipe);
    return STATUS_PENDING;
}

}  // namespace host::usb
