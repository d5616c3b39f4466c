// Configuration descriptors as a camera might send them, well-formed or not, for the
// bring-up tests.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/usb.h"

namespace usb_test {

constexpr UCHAR kCommandEndpoint = 0x01;
constexpr UCHAR kVideoEndpoint = 0x82;
constexpr UCHAR kStatusEndpoint = 0x83;

inline void AppendInterface(std::vector<UCHAR>& bytes, UCHAR number, UCHAR endpoints) {
    bytes.insert(bytes.end(),
                 {9, USB_INTERFACE_DESCRIPTOR_TYPE, number, 0, endpoints, 0xFF, 0, 0, 0});
}

inline void AppendEndpoint(std::vector<UCHAR>& bytes, UCHAR address) {
    bytes.insert(bytes.end(),
                 {7, USB_ENDPOINT_DESCRIPTOR_TYPE, address, USB_ENDPOINT_TYPE_BULK, 0x00, 0x02, 0});
}

// Sets wTotalLength to the bytes actually present (or to `claimed` when given).
inline void SetTotalLength(std::vector<UCHAR>& bytes, int claimed = -1) {
    uint16_t total = claimed < 0 ? static_cast<uint16_t>(bytes.size()) : uint16_t(claimed);
    bytes[2] = static_cast<UCHAR>(total & 0xFF);
    bytes[3] = static_cast<UCHAR>(total >> 8);
}

inline std::vector<UCHAR> ConfigurationHeader() {
    return {9, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, 1, 1, 0, USB_CONFIG_BUS_POWERED, 50};
}

// One interface with the camera's endpoints: CommandBlock OUT, video IN and, with three,
// StatusBlock IN.
inline std::vector<UCHAR> CameraConfiguration(UCHAR endpoints) {
    std::vector<UCHAR> bytes = ConfigurationHeader();
    AppendInterface(bytes, 0, endpoints);
    const UCHAR addresses[] = {kCommandEndpoint, kVideoEndpoint, kStatusEndpoint, 0x84};
    for (UCHAR index = 0; index < endpoints; ++index) AppendEndpoint(bytes, addresses[index]);
    SetTotalLength(bytes);
    return bytes;
}

inline std::vector<UCHAR> DeviceDescriptor() {
    return {18,   USB_DEVICE_DESCRIPTOR_TYPE,
            0x00, 0x02,
            0xFF, 0,
            0,    64,
            0x34, 0x12,
            0x78, 0x56,
            0x00, 0x01,
            0,    0,
            0,    1};
}

}  // namespace usb_test
