// The configuration descriptor comes from an untrusted device: the driver must refuse one that
// would make it read outside what it received or configure fewer than the two pipes it uses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/usb/descriptor_bytes.h"
#include "usb/usb_configuration.h"

namespace {

using usb_test::AppendEndpoint;
using usb_test::AppendInterface;
using usb_test::CameraConfiguration;
using usb_test::ConfigurationHeader;
using usb_test::SetTotalLength;

struct DescriptorCase {
    std::string name;
    std::vector<UCHAR> bytes;
    ULONG received;  // bytes the device returned; 0 = all of `bytes`
    bool usable;
};

std::vector<UCHAR> Truncated(std::vector<UCHAR> bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

std::vector<UCHAR> WithByte(std::vector<UCHAR> bytes, size_t offset, UCHAR value) {
    bytes[offset] = value;
    return bytes;
}

std::vector<UCHAR> WithoutInterface() {
    std::vector<UCHAR> bytes = ConfigurationHeader();
    AppendEndpoint(bytes, usb_test::kCommandEndpoint);
    SetTotalLength(bytes);
    return bytes;
}

// The interface claims three endpoints but only two follow before the next interface.
std::vector<UCHAR> MissingEndpointBeforeNextInterface() {
    std::vector<UCHAR> bytes = ConfigurationHeader();
    AppendInterface(bytes, 0, 3);
    AppendEndpoint(bytes, usb_test::kCommandEndpoint);
    AppendEndpoint(bytes, usb_test::kVideoEndpoint);
    AppendInterface(bytes, 1, 1);
    AppendEndpoint(bytes, usb_test::kStatusEndpoint);
    SetTotalLength(bytes);
    return bytes;
}

std::vector<DescriptorCase> Cases() {
    const std::vector<UCHAR> three = CameraConfiguration(3);  // 39 bytes
    const std::vector<UCHAR> two = CameraConfiguration(2);    // 32 bytes
    return {
        {"ThreeEndpoints", three, 0, true},
        {"TwoEndpoints", two, 0, true},
        {"FourEndpointsStillHaveTheFirstTwo", CameraConfiguration(4), 0, true},
        {"ReceivedLessThanTotalLength", three, 38, false},
        {"TotalLengthBeyondTheBytes", Truncated(three, 30), 30, false},
        {"NoInterface", WithoutInterface(), 0, false},
        {"OneEndpoint", CameraConfiguration(1), 0, false},
        {"NoEndpoint", CameraConfiguration(0), 0, false},
        {"InterfaceClaimsMoreEndpointsThanPresent", WithByte(two, 13, 3), 0, false},
        {"EndpointMissingBeforeNextInterface", MissingEndpointBeforeNextInterface(), 0, false},
        {"ZeroLengthDescriptorWouldLoopForever", WithByte(three, 18, 0), 0, false},
        {"ShortInterfaceDescriptor", WithByte(three, 9, 5), 0, false},
        {"EndpointRunsPastTotalLength", WithByte(three, 32, 9), 0, false},
        {"TotalLengthBelowHeader", WithByte(three, 2, 4), 0, false},
        {"HeaderOnlyPartlyReceived", three, 8, false},
        {"NotAConfigurationDescriptor", WithByte(three, 1, USB_DEVICE_DESCRIPTOR_TYPE), 0, false},
    };
}

class DescriptorValidation : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(DescriptorValidation, AcceptsOnlyWholeConfigurationsWithTwoEndpoints) {
    DescriptorCase c = GetParam();
    ULONG received = c.received != 0 ? c.received : static_cast<ULONG>(c.bytes.size());
    // Room behind the bytes, as the driver asks for more than wTotalLength.
    std::vector<UCHAR> buffer(c.bytes);
    buffer.resize(c.bytes.size() + 16, 0xEE);
    PUSB_INTERFACE_DESCRIPTOR found = FindUsableInterface(
        reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(buffer.data()), received);
    EXPECT_EQ(found != nullptr, c.usable);
    if (found != nullptr) {
        EXPECT_EQ(reinterpret_cast<UCHAR*>(found), buffer.data() + 9) << "the first interface";
    }
}

INSTANTIATE_TEST_SUITE_P(Configurations, DescriptorValidation, ::testing::ValuesIn(Cases()),
                         [](const auto& param_info) { return param_info.param.name; });

}  // namespace
