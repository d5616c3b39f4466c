// The host USB stack's device objects: creation, unplugging, the internal device-control
// dispatch routine that receives the driver's IRPs, and port requests.
#include "host/usb/usb_device.h"

#include "host/verifier/verifier.h"

namespace host::usb {
namespace {

NTSTATUS CompleteIrp(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    host::AtIrql dispatch(DISPATCH_LEVEL);
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS HandleSubmitUrb(UsbDevice* device, PIRP irp) {
    PURB urb = static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
    if (urb == nullptr) return CompleteIrp(irp, STATUS_INVALID_PARAMETER);
    switch (urb->UrbHeader.Function) {
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
        return HandleGetDescriptor(device, irp, urb);
    case URB_FUNCTION_SELECT_CONFIGURATION:
        host::VerifyPassiveLevel("URB_FUNCTION_SELECT_CONFIGURATION");
        return HandleSelectConfiguration(device, irp, urb);
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
        return HandleBulkTransfer(device, irp, urb);
    case URB_FUNCTION_ABORT_PIPE:
        return HandlePipeRequest(device, irp, urb);
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL:
    case URB_FUNCTION_SYNC_RESET_PIPE:
    case URB_FUNCTION_SYNC_CLEAR_STALL:
        host::VerifyPassiveLevel("URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL");
        return HandlePipeRequest(device, irp, urb);
    default:
        return CompleteWithUsbdStatus(irp, urb, USBD_STATUS_INVALID_URB_FUNCTION);
    }
}

NTSTATUS HandleResetPort(UsbDevice* device, PIRP irp) {
    host::VerifyPassiveLevel("IOCTL_INTERNAL_USB_RESET_PORT");
    {
        std::lock_guard<std::mutex> lock(device->Lock);
        if (!device->Connected) return CompleteIrp(irp, STATUS_DEVICE_NOT_CONNECTED);
        if (device->FailPortResets) return CompleteIrp(irp, STATUS_IO_DEVICE_ERROR);
        device->Counters.PortResets++;
        for (Pipe& pipe : device->Pipes) pipe.Halted = false;
        device->Function->ResetPort();
    }
    return CompleteIrp(irp, STATUS_SUCCESS);
}

NTSTATUS HandleGetPortStatus(UsbDevice* device, PIRP irp) {
    host::VerifyPassiveLevel("IOCTL_INTERNAL_USB_GET_PORT_STATUS");
    PULONG portStatus =
        static_cast<PULONG>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
    if (portStatus == nullptr) return CompleteIrp(irp, STATUS_INVALID_PARAMETER);
    ULONG bits = 0;
    {
        std::lock_guard<std::mutex> lock(device->Lock);
        device->Counters.PortStatusQueries++;
        if (device->Connected) bits = USBD_PORT_ENABLED | USBD_PORT_CONNECTED;
    }
    *portStatus = bits;
    return CompleteIrp(irp, STATUS_SUCCESS);
}

// The hub driver's IRP_MJ_INTERNAL_DEVICE_CONTROL routine: IoCallDriver on the device's
// physical device object, at IRQL <= DISPATCH_LEVEL.
NTSTATUS NTAPI DispatchInternalDeviceControl(PDEVICE_OBJECT deviceObject, PIRP irp) {
    UsbDevice* device = DeviceFromPdo(deviceObject);
    switch (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_INTERNAL_USB_SUBMIT_URB:
        return HandleSubmitUrb(device, irp);
    case IOCTL_INTERNAL_USB_RESET_PORT:
        return HandleResetPort(device, irp);
    case IOCTL_INTERNAL_USB_GET_PORT_STATUS:
        return HandleGetPortStatus(device, irp);
    default:
        return CompleteIrp(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

// Every other major function: the stack accepts none.
NTSTATUS NTAPI DispatchUnsupported(PDEVICE_OBJECT deviceObject, PIRP irp) {
    return CompleteIrp(irp, STATUS_INVALID_DEVICE_REQUEST);
}

PDRIVER_OBJECT HubDriver() {
    static DRIVER_OBJECT driver = [] {
        DRIVER_OBJECT d{};
        for (PDRIVER_DISPATCH& routine : d.MajorFunction) routine = DispatchUnsupported;
        d.MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = DispatchInternalDeviceControl;
        return d;
    }();
    return &driver;
}

}  // namespace

UsbDevice* DeviceFromPdo(PDEVICE_OBJECT pdo) { return static_cast<UsbDevice*>(pdo->DeviceExtension); }

Pipe* FindOpenPipe(UsbDevice* device, USBD_PIPE_HANDLE handle) {
    for (Pipe& pipe : device->Pipes) {
        if (&pipe == handle && pipe.Open) return &pipe;
    }
    return nullptr;
}

NTSTATUS NtStatusFromUsbd(USBD_STATUS status) {
    switch (status) {
    case USBD_STATUS_SUCCESS:
        return STATUS_SUCCESS;
    case USBD_STATUS_CANCELED:
        return STATUS_CANCELLED;
    case USBD_STATUS_INVALID_PARAMETER:
    case USBD_STATUS_INVALID_PIPE_HANDLE:
    case USBD_STATUS_INVALID_URB_FUNCTION:
        return STATUS_INVALID_PARAMETER;
    case USBD_STATUS_DEVICE_GONE:
        return STATUS_DEVICE_NOT_CONNECTED;
    case USBD_STATUS_INSUFFICIENT_RESOURCES:
        return STATUS_INSUFFICIENT_RESOURCES;
    default:
        return USBD_SUCCESS(status) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
    }
}

NTSTATUS CompleteWithUsbdStatus(PIRP irp, PURB urb, USBD_STATUS status) {
    if (urb != nullptr) urb->UrbHeader.Status = status;
    return CompleteIrp(irp, NtStatusFromUsbd(status));
}

PDEVICE_OBJECT CreateSimulatedUsbDevice(UsbFunction* function) {
    UsbDevice* device = new UsbDevice;
    device->Function = function;
    device->Pdo.Type = 3;  // IO_TYPE_DEVICE
    device->Pdo.Size = sizeof(DEVICE_OBJECT);
    device->Pdo.DriverObject = HubDriver();
    device->Pdo.DeviceExtension = device;
    device->Pdo.DeviceType = FILE_DEVICE_USB;
    device->Pdo.StackSize = 1;
    return &device->Pdo;
}

void UnplugSimulatedUsbDevice(PDEVICE_OBJECT pdo) {
    UsbDevice* device = DeviceFromPdo(pdo);
    {
        std::lock_guard<std::mutex> lock(device->Lock);
        device->Connected = false;
        FailWaitingTransfers(device, USBD_STATUS_DEVICE_GONE);
    }
    ServiceAllPipes(device);
}

void DestroySimulatedUsbDevice(PDEVICE_OBJECT pdo) {
    UnplugSimulatedUsbDevice(pdo);
    delete DeviceFromPdo(pdo);
}

void NotifyEndpointReady(PDEVICE_OBJECT pdo, UCHAR endpointAddress) {
    UsbDevice* device = DeviceFromPdo(pdo);
    Pipe* target = nullptr;
    {
        std::lock_guard<std::mutex> lock(device->Lock);
        for (Pipe& pipe : device->Pipes) {
            if (pipe.Open && pipe.EndpointAddress == endpointAddress) target = &pipe;
        }
    }
    if (target != nullptr) ServicePipe(device, target);
}

UsbDeviceCounters GetUsbDeviceCounters(PDEVICE_OBJECT pdo) {
    UsbDevice* device = DeviceFromPdo(pdo);
    std::lock_guard<std::mutex> lock(device->Lock);
    return device->Counters;
}

void FailPortResets(PDEVICE_OBJECT pdo, bool on) {
    UsbDevice* device = DeviceFromPdo(pdo);
    std::lock_guard<std::mutex> lock(device->Lock);
    device->FailPortResets = on;
}

ULONG PendingTransferCount(PDEVICE_OBJECT pdo, UCHAR endpointAddress) {
    UsbDevice* device = DeviceFromPdo(pdo);
    std::lock_guard<std::mutex> lock(device->Lock);
    ULONG count = 0;
    for (Pipe& pipe : device->Pipes) {
        if (pipe.Open && pipe.EndpointAddress == endpointAddress) count += pipe.Waiting.size();
    }
    return count;
}

}  // namespace host::usb
