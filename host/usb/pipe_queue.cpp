// Per-pipe request queues: IN transfers wait for device data, OUT transfers for a device that
// takes them, and every finished request of a pipe is completed in submission order, one at a time, at DISPATCH_LEVEL, by whichever thread
// finds the pipe idle (the submitter, the device's callback, a cancel). A completion routine
// that submits again only queues: the thread already completing the pipe picks it up.
#include "host/usb/usb_device.h"

#include "host/verifier/verifier.h"

namespace host::usb {
namespace {

DRIVER_CANCEL CancelWaitingTransfer;

PURB UrbOf(PIRP irp) {
    return static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
}

void CountCompletion(UsbDevice* device, USBD_STATUS status) {
    if (status == USBD_STATUS_CANCELED) {
        device->Counters.TransfersCancelled++;
    } else if (USBD_ERROR(status)) {
        device->Counters.TransfersFailed++;
    } else {
        device->Counters.TransfersCompleted++;
    }
}

// The device answered an IN transfer: a halting status stalls the pipe, a vanished device
// fails everything.
void ApplyDeviceStatus(UsbDevice* device, Pipe* pipe, USBD_STATUS status) {
    if (status == USBD_STATUS_DEVICE_GONE) {
        device->Connected = false;
        device->LostWhileServicing = true;
        FailWaitingTransfers(device, USBD_STATUS_DEVICE_GONE);
    } else if (USBD_HALTED(status)) {
        pipe->Halted = true;
    }
}

// Takes the oldest waiting transfer away from cancellation; false if its cancel routine has
// already started (it will remove the transfer itself).
bool ClaimOldestWaiting(Pipe* pipe) {
    return IoSetCancelRoutine(pipe->Waiting.front(), nullptr) != nullptr;
}

// Gives a claimed transfer back to cancellation, or cancels it now if IoCancelIrp ran meanwhile.
bool ReleaseClaim(PIRP irp) {
    IoSetCancelRoutine(irp, CancelWaitingTransfer);
    return !(ReadOnce(irp->Cancel) && IoSetCancelRoutine(irp, nullptr) != nullptr);
}

// Offers the transfer to the device: data for an IN endpoint, or the data of an OUT one.
InTransferResult Exchange(UsbDevice* device, Pipe* pipe, _URB_BULK_OR_INTERRUPT_TRANSFER& transfer) {
    if (USB_ENDPOINT_DIRECTION_IN(pipe->EndpointAddress)) {
        return device->Function->BulkIn(pipe->EndpointAddress,
                                        static_cast<UCHAR*>(transfer.TransferBuffer),
                                        transfer.TransferBufferLength);
    }
    const USBD_STATUS status = device->Function->BulkOut(
        pipe->EndpointAddress, static_cast<const UCHAR*>(transfer.TransferBuffer),
        transfer.TransferBufferLength);
    if (status == USBD_STATUS_PENDING) return InTransferResult{};
    return {true, status, transfer.TransferBufferLength};
}

// Lock held.
void MatchWaitingTransfers(UsbDevice* device, Pipe* pipe) {
    while (!pipe->Waiting.empty()) {
        PIRP irp = pipe->Waiting.front();
        if (!ClaimOldestWaiting(pipe)) return;
        USBD_STATUS failure = USBD_STATUS_SUCCESS;
        if (!device->Connected) failure = USBD_STATUS_DEVICE_GONE;
        if (pipe->Halted) failure = USBD_STATUS_ENDPOINT_HALTED;
        if (failure != USBD_STATUS_SUCCESS) {
            pipe->Waiting.pop_front();
            FinishOnPipe(device, pipe, irp, failure);
            continue;
        }
        _URB_BULK_OR_INTERRUPT_TRANSFER& transfer = UrbOf(irp)->UrbBulkOrInterruptTransfer;
        ULONG capacity = transfer.TransferBufferLength;
        InTransferResult result = Exchange(device, pipe, transfer);
        if (!result.Ready) {
            if (!ReleaseClaim(irp)) {
                pipe->Waiting.pop_front();
                FinishOnPipe(device, pipe, irp, USBD_STATUS_CANCELED);
                continue;
            }
            return;
        }
        pipe->Waiting.pop_front();
        transfer.TransferBufferLength = result.Length <= capacity ? result.Length : capacity;
        FinishOnPipe(device, pipe, irp, result.Status);
        ApplyDeviceStatus(device, pipe, result.Status);
    }
}

// Runs as the IRP's cancel routine, with the cancel spin lock held, at DISPATCH_LEVEL.
void CancelWaitingTransfer(PDEVICE_OBJECT deviceObject, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    UsbDevice* device = DeviceFromPdo(deviceObject);
    Pipe* owner = nullptr;
    {
        std::lock_guard<std::mutex> lock(device->Lock);
        for (Pipe& pipe : device->Pipes) {
            for (auto it = pipe.Waiting.begin(); it != pipe.Waiting.end(); ++it) {
                if (*it != irp) continue;
                pipe.Waiting.erase(it);
                FinishOnPipe(device, &pipe, irp, USBD_STATUS_CANCELED);
                owner = &pipe;
                break;
            }
            if (owner != nullptr) break;
        }
    }
    if (owner != nullptr) ServicePipe(device, owner);
}

}  // namespace

void FinishOnPipe(UsbDevice* device, Pipe* pipe, PIRP irp, USBD_STATUS status) {
    PURB urb = UrbOf(irp);
    urb->UrbHeader.Status = status;
    if (USBD_ERROR(status) && urb->UrbHeader.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER) {
        urb->UrbBulkOrInterruptTransfer.TransferBufferLength = 0;
    }
    irp->IoStatus.Status = NtStatusFromUsbd(status);
    irp->IoStatus.Information = 0;
    if (urb->UrbHeader.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER) {
        CountCompletion(device, status);
    }
    pipe->Finished.push_back(irp);
}

void FailWaitingOnPipe(UsbDevice* device, Pipe* pipe, USBD_STATUS status) {
    std::deque<PIRP> kept;
    while (!pipe->Waiting.empty()) {
        PIRP irp = pipe->Waiting.front();
        pipe->Waiting.pop_front();
        if (IoSetCancelRoutine(irp, nullptr) == nullptr) {
            kept.push_back(irp);  // being cancelled: its cancel routine finishes it
            continue;
        }
        FinishOnPipe(device, pipe, irp, status);
    }
    pipe->Waiting.swap(kept);
}

void FailWaitingTransfers(UsbDevice* device, USBD_STATUS status) {
    for (Pipe& pipe : device->Pipes) FailWaitingOnPipe(device, &pipe, status);
}

void QueueWaitingTransfer(UsbDevice* device, Pipe* pipe, PIRP irp) {
    IoMarkIrpPending(irp);
    pipe->Waiting.push_back(irp);
    IoSetCancelRoutine(irp, CancelWaitingTransfer);
    if (ReadOnce(irp->Cancel) && IoSetCancelRoutine(irp, nullptr) != nullptr) {
        pipe->Waiting.pop_back();
        FinishOnPipe(device, pipe, irp, USBD_STATUS_CANCELED);
    }
}

void ServicePipe(UsbDevice* device, Pipe* pipe) {
    std::unique_lock<std::mutex> lock(device->Lock);
    if (pipe->Completing) return;  // that thread will see what was just queued
    pipe->Completing = true;
    for (;;) {
        MatchWaitingTransfers(device, pipe);
        if (pipe->Finished.empty()) break;
        PIRP irp = pipe->Finished.front();
        pipe->Finished.pop_front();
        lock.unlock();
        {
            host::AtIrql dispatch(DISPATCH_LEVEL);
            IoCompleteRequest(irp, IO_NO_INCREMENT);
        }
        lock.lock();
    }
    pipe->Completing = false;
    if (device->LostWhileServicing) {
        device->LostWhileServicing = false;
        lock.unlock();
        ServiceAllPipes(device);  // the other pipes' failed transfers
    }
}

void ServiceAllPipes(UsbDevice* device) {
    for (Pipe& pipe : device->Pipes) ServicePipe(device, &pipe);
}

}  // namespace host::usb
