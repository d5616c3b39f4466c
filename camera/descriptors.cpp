// The camera's descriptor bytes.
#include "camera/descriptors.h"

#include <cstring>

namespace camera {
namespace {

template <typename T>
void Append(std::vector<UCHAR>* bytes, const T& record) {
    const UCHAR* raw = reinterpret_cast<const UCHAR*>(&record);
    bytes->insert(bytes->end(), raw, raw + sizeof(T));
}

USB_ENDPOINT_DESCRIPTOR BulkEndpoint(UCHAR address) {
    USB_ENDPOINT_DESCRIPTOR endpoint{};
    endpoint.bLength = sizeof(USB_ENDPOINT_DESCRIPTOR);
    endpoint.bDescriptorType = USB_ENDPOINT_DESCRIPTOR_TYPE;
    endpoint.bEndpointAddress = address;
    endpoint.bmAttributes = USB_ENDPOINT_TYPE_BULK;
    endpoint.wMaxPacketSize = kBulkPacketSize;
    endpoint.bInterval = 0;
    return endpoint;
}

}  // namespace

USB_DEVICE_DESCRIPTOR CameraDeviceDescriptor() {
    USB_DEVICE_DESCRIPTOR device{};
    device.bLength = sizeof(USB_DEVICE_DESCRIPTOR);
    device.bDescriptorType = USB_DEVICE_DESCRIPTOR_TYPE;
    device.bcdUSB = 0x0200;
    device.bDeviceClass = 0xFF;  // vendor specific: no class driver claims it
    device.bMaxPacketSize0 = 64;
    device.idVendor = kVendorId;
    device.idProduct = kProductId;
    device.bcdDevice = 0x0100;
    device.bNumConfigurations = 1;
    return device;
}

std::vector<UCHAR> CameraConfigurationDescriptor(uint32_t endpoints, ConfigurationShape shape) {
    static const UCHAR kAddresses[] = {kCommandEndpoint, kVideoEndpoint, kStatusEndpoint};
    if (endpoints > 3) endpoints = 3;
    USB_CONFIGURATION_DESCRIPTOR configuration{};
    configuration.bLength = sizeof(USB_CONFIGURATION_DESCRIPTOR);
    configuration.bDescriptorType = USB_CONFIGURATION_DESCRIPTOR_TYPE;
    configuration.bNumInterfaces = shape == ConfigurationShape::NoInterface ? 0 : 1;
    configuration.bConfigurationValue = kConfigurationValue;
    configuration.bmAttributes = USB_CONFIG_BUS_POWERED;
    configuration.MaxPower = 250;  // 500 mA

    std::vector<UCHAR> bytes;
    Append(&bytes, configuration);
    if (shape != ConfigurationShape::NoInterface) {
        USB_INTERFACE_DESCRIPTOR interface{};
        interface.bLength = sizeof(USB_INTERFACE_DESCRIPTOR);
        interface.bDescriptorType = USB_INTERFACE_DESCRIPTOR_TYPE;
        interface.bNumEndpoints = static_cast<UCHAR>(endpoints);
        interface.bInterfaceClass = 0xFF;
        Append(&bytes, interface);
        for (uint32_t i = 0; i < endpoints; ++i) Append(&bytes, BulkEndpoint(kAddresses[i]));
    }
    USHORT total = static_cast<USHORT>(bytes.size());
    if (shape == ConfigurationShape::Truncated) total = static_cast<USHORT>(total + 16);
    std::memcpy(bytes.data() + offsetof(USB_CONFIGURATION_DESCRIPTOR, wTotalLength), &total,
                sizeof total);
    return bytes;
}

}  // namespace camera
