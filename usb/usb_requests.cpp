#include "usb/usb_requests.h"

#include "driver/device_context.h"
#include "platform/io.h"

namespace {

// Sends an argument-only internal device-control request to Target and waits for it. The IRP
// belongs to the I/O manager, which signals Done and frees it on completion.
NTSTATUS CallLowerDriverSync(PDEVICE_OBJECT Target, ULONG IoControlCode, PVOID Argument1) {
    KEVENT Done;
    KeInitializeEvent(&Done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK IoStatus = {};
    PIRP Irp = IoBuildDeviceIoControlRequest(IoControlCode, Target, nullptr, 0, nullptr, 0, TRUE,
                                             &Done, &IoStatus);
    if (Irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    IoGetNextIrpStackLocation(Irp)->Parameters.Others.Argument1 = Argument1;

    NTSTATUS Status = IofCallDriver(Target, Irp);
    if (Status == STATUS_PENDING) {
        KeWaitForSingleObject(&Done, Executive, KernelMode, FALSE, nullptr);
        Status = IoStatus.Status;
    }
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
