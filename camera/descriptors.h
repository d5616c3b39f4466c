// The camera's USB descriptors: a vendor-class device with one configuration of one interface
// whose bulk endpoints are, in order, CommandBlock OUT, video IN and StatusBlock IN.
#pragma once

#include <cstdint>
#include <vector>

#include "camera/camera_options.h"

namespace camera {

constexpr UCHAR kCommandEndpoint = 0x01;  // bulk OUT
constexpr UCHAR kVideoEndpoint = 0x82;    // bulk IN
constexpr UCHAR kStatusEndpoint = 0x83;   // bulk IN
constexpr USHORT kBulkPacketSize = 512;   // high-speed bulk
constexpr UCHAR kConfigurationValue = 1;
constexpr USHORT kVendorId = 0x5643;
constexpr USHORT kProductId = 0x0A01;

USB_DEVICE_DESCRIPTOR CameraDeviceDescriptor();
// The whole configuration (configuration, interface and endpoint descriptors) as the device
// returns it; with ConfigurationShape::Truncated wTotalLength claims more than is here.
std::vector<UCHAR> CameraConfigurationDescriptor(uint32_t endpoints, ConfigurationShape shape);

}  // namespace camera
