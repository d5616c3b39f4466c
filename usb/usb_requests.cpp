#include "usb/usb_requests.h"

#include "driver/device_context.h"
#include "platform/io.h"
#include "usb/trace.h"

namespace {

// The request's end, signalled by its completion routine. The IRP is ours until then, so a
// request that outlives its time limit can be cancelled without racing its completion.
IO_COMPLETION_ROUTINE SignalRequestDone;
NTSTATUS SignalRequestDone(PDEVICE_OBJECT, PIRP, PVOID Context) {
    KeSetEvent(static_cast<PKEVENT>(Context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Sends an argument-only internal device-control request to Target and waits for it, at most
// kUsbRequestTimeLimit; then it is cancelled, its cancellation waited for, and the result is
// STATUS_IO_TIMEOUT.
NTSTATUS CallLowerDriverSync(PDEVICE_OBJECT Target, ULONG IoControlCode, PVOID Argument1) {
    PIRP Irp = IoAllocateIrp(Target->StackSize, FALSE);
    if (Irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    KEVENT Done;
    KeInitializeEvent(&Done, NotificationEvent, FALSE);
    Irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    Irp->IoStatus.Information = 0;
    PIO_STACK_LOCATION Stack = IoGetNextIrpStackLocation(Irp);
    Stack->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    Stack->Parameters.DeviceIoControl.IoControlCode = IoControlCode;
    Stack->Parameters.Others.Argument1 = Argument1;
    IoSetCompletionRoutine(Irp, SignalRequestDone, &Done, TRUE, TRUE, TRUE);

    IofCallDriver(Target, Irp);
    LARGE_INTEGER Limit;
    Limit.QuadPart = -kUsbRequestTimeLimit;
    NTSTATUS Status;
    if (KeWaitForSingleObject(&Done, Executive, KernelMode, FALSE, &Limit) == STATUS_TIMEOUT) {
        IoCancelIrp(Irp);
        KeWaitForSingleObject(&Done, Executive, KernelMode, FALSE, nullptr);
        TRACE_EVENT("USB request %08X not answered within the time limit; cancelled",
                    static_cast<unsigned>(IoControlCode));
        Status = STATUS_IO_TIMEOUT;
    } else {
        Status = Irp->IoStatus.Status;
    }
    IoFreeIrp(Irp);
    return Status;
}

}  // namespace

// Called by the bring-up, the command protocol and the streaming engine at PASSIVE_LEVEL.
NTSTATUS SubmitUrbSync(DeviceContext* Device, PURB Urb) {
    return CallLowerDriverSync(Device->LowerDevice, IOCTL_INTERNAL_USB_SUBMIT_URB, Urb);
}

// Called by the streaming engine's error recovery at PASSIVE_LEVEL.
NTSTATUS ResetUsbPort(DeviceContext* Device) {
    return CallLowerDriverSync(Device->LowerDevice, IOCTL_INTERNAL_USB_RESET_PORT, nullptr);
}

// Called by the streaming engine's error recovery at PASSIVE_LEVEL.
NTSTATUS GetUsbPortStatus(PDEVICE_OBJECT DeviceObject, PULONG PortStatus) {
    *PortStatus = 0;
    return CallLowerDriverSync(DeviceObject, IOCTL_INTERNAL_USB_GET_PORT_STATUS, PortStatus);
}
