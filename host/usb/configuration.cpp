// Descriptor requests and select configuration of the host USB stack.
#include <vector>

#include "host/usb/usb_device.h"

namespace host::usb {
namespace {

constexpr ULONG kDescriptorLimit = 4096;

// The device's own configuration descriptor: only its first wTotalLength bytes count, and
// only what the device actually returned (Lock held).
std::vector<UCHAR> ReadDeviceConfiguration(UsbDevice* device) {
    std::vector<UCHAR> bytes(kDescriptorLimit);
    ULONG got = device->Function->GetDescriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0,
                                                bytes.data(), kDescriptorLimit);
    if (got < sizeof(USB_CONFIGURATION_DESCRIPTOR)) return {};
    ULONG total = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data())->wTotalLength;
    bytes.resize(total < got ? total : got);
    return bytes;
}

PUSB_INTERFACE_DESCRIPTOR FindInterface(std::vector<UCHAR>& configuration, UCHAR number,
                                        UCHAR alternate) {
    auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(configuration.data());
    // Parse over what the device returned, never past it.
    USHORT claimed = descriptor->wTotalLength;
    descriptor->wTotalLength = static_cast<USHORT>(configuration.size());
    PUSB_INTERFACE_DESCRIPTOR found =
        USBD_ParseConfigurationDescriptorEx(descriptor, descriptor, number, alternate, -1, -1, -1);
    descriptor->wTotalLength = claimed;
    return found;
}

// The endpoint descriptors that follow an interface descriptor, up to the next interface.
std::vector<USB_ENDPOINT_DESCRIPTOR> EndpointsOf(const std::vector<UCHAR>& configuration,
                                                 PUSB_INTERFACE_DESCRIPTOR interface) {
    std::vector<USB_ENDPOINT_DESCRIPTOR> endpoints;
    const UCHAR* end = configuration.data() + configuration.size();
    const UCHAR* at = reinterpret_cast<const UCHAR*>(interface) + interface->bLength;
    while (at + 2 <= end && at[0] != 0 && at[1] != USB_INTERFACE_DESCRIPTOR_TYPE) {
        if (at[1] == USB_ENDPOINT_DESCRIPTOR_TYPE && at[0] >= sizeof(USB_ENDPOINT_DESCRIPTOR) &&
            at + sizeof(USB_ENDPOINT_DESCRIPTOR) <= end) {
            USB_ENDPOINT_DESCRIPTOR endpoint;
            RtlCopyMemory(&endpoint, at, sizeof endpoint);
            endpoints.push_back(endpoint);
        }
        at += at[0];
    }
    return endpoints;
}

USBD_PIPE_TYPE PipeTypeOf(const USB_ENDPOINT_DESCRIPTOR& endpoint) {
    return static_cast<USBD_PIPE_TYPE>(endpoint.bmAttributes & USB_ENDPOINT_TYPE_MASK);
}

void CloseAllPipes(UsbDevice* device) {
    FailWaitingTransfers(device, USBD_STATUS_CANCELED);
    for (Pipe& pipe : device->Pipes) {
        pipe.Open = false;
        pipe.Halted = false;
    }
}

// Fills one interface entry of the URB and opens its pipes from `nextPipe` on (Lock held).
USBD_STATUS SelectInterface(UsbDevice* device, std::vector<UCHAR>& configuration,
                            PUSBD_INTERFACE_INFORMATION info, ULONG available, ULONG* nextPipe) {
    if (available < offsetof(USBD_INTERFACE_INFORMATION, Pipes) || info->Length > available) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    PUSB_INTERFACE_DESCRIPTOR interface =
        FindInterface(configuration, info->InterfaceNumber, info->AlternateSetting);
    if (interface == nullptr) return USBD_STATUS_INVALID_PARAMETER;
    std::vector<USB_ENDPOINT_DESCRIPTOR> endpoints = EndpointsOf(configuration, interface);
    if (info->Length < GET_USBD_INTERFACE_SIZE(endpoints.size()) ||
        *nextPipe + endpoints.size() > kMaxPipes) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    info->Class = interface->bInterfaceClass;
    info->SubClass = interface->bInterfaceSubClass;
    info->Protocol = interface->bInterfaceProtocol;
    info->InterfaceHandle = device;
    info->NumberOfPipes = static_cast<ULONG>(endpoints.size());
    for (size_t i = 0; i < endpoints.size(); ++i) {
        Pipe& pipe = device->Pipes[(*nextPipe)++];
        USBD_PIPE_INFORMATION& out = info->Pipes[i];
        pipe.Open = true;
        pipe.Halted = false;
        pipe.EndpointAddress = endpoints[i].bEndpointAddress;
        pipe.PipeType = PipeTypeOf(endpoints[i]);
        pipe.MaximumTransferSize = out.MaximumTransferSize;
        out.MaximumPacketSize = endpoints[i].wMaxPacketSize;
        out.EndpointAddress = endpoints[i].bEndpointAddress;
        out.Interval = endpoints[i].bInterval;
        out.PipeType = pipe.PipeType;
        out.PipeHandle = &pipe;
    }
    return USBD_STATUS_SUCCESS;
}

// Lock held.
USBD_STATUS SelectConfiguration(UsbDevice* device, PURB urb) {
    _URB_SELECT_CONFIGURATION& select = urb->UrbSelectConfiguration;
    CloseAllPipes(device);
    if (select.ConfigurationDescriptor == nullptr) {
        device->ConfigurationValue = 0;
        device->Function->SetConfiguration(0);
        select.ConfigurationHandle = nullptr;
        return USBD_STATUS_SUCCESS;
    }
    std::vector<UCHAR> configuration = ReadDeviceConfiguration(device);
    if (configuration.empty()) return USBD_STATUS_INVALID_PARAMETER;
    UCHAR value = select.ConfigurationDescriptor->bConfigurationValue;
    if (value != reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(configuration.data())
                     ->bConfigurationValue) {
        return USBD_STATUS_INVALID_PARAMETER;
    }
    ULONG interfaces = select.ConfigurationDescriptor->bNumInterfaces;
    PUCHAR at = reinterpret_cast<PUCHAR>(&select.Interface);
    PUCHAR end = reinterpret_cast<PUCHAR>(urb) + urb->UrbHeader.Length;
    ULONG nextPipe = 0;
    for (ULONG i = 0; i < interfaces; ++i) {
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(at);
        USBD_STATUS status = SelectInterface(device, configuration, info,
                                             static_cast<ULONG>(end > at ? end - at : 0), &nextPipe);
        if (USBD_ERROR(status)) {
            CloseAllPipes(device);
            return status;
        }
        at += info->Length;
    }
    device->ConfigurationValue = value;
    device->Function->SetConfiguration(value);
    select.ConfigurationHandle = device;
    return USBD_STATUS_SUCCESS;
}

}  // namespace

NTSTATUS HandleGetDescriptor(UsbDevice* device, PIRP irp, PURB urb) {
    _URB_CONTROL_DESCRIPTOR_REQUEST& request = urb->UrbControlDescriptorRequest;
    USBD_STATUS status = USBD_STATUS_SUCCESS;
    if (request.Hdr.Length < sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST) ||
        request.TransferBuffer == nullptr || request.TransferBufferLength == 0) {
        status = USBD_STATUS_INVALID_PARAMETER;
    } else {
        std::lock_guard<std::mutex> lock(device->Lock);
        if (!device->Connected) {
            status = USBD_STATUS_DEVICE_GONE;
        } else {
            ULONG got = device->Function->GetDescriptor(
                request.DescriptorType, request.Index, static_cast<UCHAR*>(request.TransferBuffer),
                request.TransferBufferLength);
            if (got == 0) status = USBD_STATUS_STALL_PID;
            request.TransferBufferLength = got;
        }
    }
    if (USBD_ERROR(status)) request.TransferBufferLength = 0;
    return CompleteWithUsbdStatus(irp, urb, status);
}

NTSTATUS HandleSelectConfiguration(UsbDevice* device, PIRP irp, PURB urb) {
    USBD_STATUS status;
    if (urb->UrbHeader.Length < offsetof(_URB_SELECT_CONFIGURATION, Interface)) {
        status = USBD_STATUS_INVALID_PARAMETER;
    } else {
        std::lock_guard<std::mutex> lock(device->Lock);
        device->Counters.SelectConfigurations++;
        status = device->Connected ? SelectConfiguration(device, urb) : USBD_STATUS_DEVICE_GONE;
    }
    ServiceAllPipes(device);  // transfers cancelled by closing the old pipes
    return CompleteWithUsbdStatus(irp, urb, status);
}

}  // namespace host::usb
