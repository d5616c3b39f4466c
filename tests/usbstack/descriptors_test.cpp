// Descriptor requests through the stack, and the usbd parsing and URB-building helpers.
#include "usbstack/usb_test_support.h"

namespace usbtest {
namespace {

using camera::CameraOptions;

class DescriptorTest : public CameraFixture {};

TEST_F(DescriptorTest, DeviceDescriptorIsEighteenBytesOfAVendorDevice) {
    Plug();
    std::vector<UCHAR> bytes = ReadDescriptor(pdo_, USB_DEVICE_DESCRIPTOR_TYPE, 18);
    ASSERT_EQ(bytes.size(), 18u);
    auto* device = reinterpret_cast<PUSB_DEVICE_DESCRIPTOR>(bytes.data());
    EXPECT_EQ(device->bLength, 18);
    EXPECT_EQ(device->bDescriptorType, USB_DEVICE_DESCRIPTOR_TYPE);
    EXPECT_EQ(device->bNumConfigurations, 1);
    EXPECT_EQ(device->idVendor, camera::kVendorId);
}

TEST_F(DescriptorTest, ConfigurationLayoutFollowsEndpointCount) {
    struct Case {
        uint32_t Endpoints;
        USHORT TotalLength;
        std::vector<UCHAR> Addresses;
    };
    const Case cases[] = {
        {3, 39, {0x01, 0x82, 0x83}},  // command OUT, video IN, status IN
        {2, 32, {0x01, 0x82}},        // no status pipe: 32 bytes, fetched by drivers with 48
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Endpoints);
        CameraOptions options;
        options.Endpoints = c.Endpoints;
        Plug(options);
        // The first 25 bytes only (what a driver asks for before it knows the total).
        std::vector<UCHAR> head = ReadDescriptor(pdo_, USB_CONFIGURATION_DESCRIPTOR_TYPE, 25);
        ASSERT_GE(head.size(), 9u);
        EXPECT_EQ(reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(head.data())->wTotalLength,
                  c.TotalLength);
        std::vector<UCHAR> all =
            ReadDescriptor(pdo_, USB_CONFIGURATION_DESCRIPTOR_TYPE, c.TotalLength + 16);
        ASSERT_EQ(all.size(), c.TotalLength);
        auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(all.data());
        PUSB_INTERFACE_DESCRIPTOR interface = USBD_ParseConfigurationDescriptorEx(
            configuration, configuration, -1, -1, -1, -1, -1);
        ASSERT_NE(interface, nullptr);
        ASSERT_EQ(interface->bNumEndpoints, c.Addresses.size());
        auto* endpoint = reinterpret_cast<PUSB_ENDPOINT_DESCRIPTOR>(interface + 1);
        for (size_t i = 0; i < c.Addresses.size(); ++i) {
            EXPECT_EQ(endpoint[i].bEndpointAddress, c.Addresses[i]);
            EXPECT_EQ(endpoint[i].bmAttributes, USB_ENDPOINT_TYPE_BULK);
        }
        camera_.reset();
    }
}

TEST_F(DescriptorTest, HostileConfigurationsAreServedAsTheyAre) {
    CameraOptions options;
    options.Configuration = camera::ConfigurationShape::Truncated;
    Plug(options);
    std::vector<UCHAR> bytes = ReadDescriptor(pdo_, USB_CONFIGURATION_DESCRIPTOR_TYPE, 100);
    ASSERT_EQ(bytes.size(), 39u);  // the device sends less than it claims
    EXPECT_EQ(reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data())->wTotalLength, 55);
    camera_.reset();

    options.Configuration = camera::ConfigurationShape::NoInterface;
    Plug(options);
    bytes = ReadDescriptor(pdo_, USB_CONFIGURATION_DESCRIPTOR_TYPE, 100);
    auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1),
              nullptr);
}

TEST_F(DescriptorTest, UnknownDescriptorStalls) {
    Plug();
    USBD_STATUS status;
    EXPECT_TRUE(ReadDescriptor(pdo_, USB_STRING_DESCRIPTOR_TYPE, 64, &status).empty());
    EXPECT_EQ(status, USBD_STATUS_STALL_PID);
}

// A configuration with two interfaces and some noise between them, for the parser.
std::vector<UCHAR> TwoInterfaceConfiguration() {
    std::vector<UCHAR> bytes = {
        9, 2, 0, 0, 2, 1, 0, 0x80, 50,    // configuration (total patched below)
        5, 0x24, 1, 2, 3,                 // class-specific descriptor to skip
        9, 4, 0, 0, 1, 0xFF, 1, 2, 0,     // interface 0 alt 0, vendor class
        7, 5, 0x81, 2, 0, 2, 0,           // its endpoint
        9, 4, 1, 1, 0, 0x0E, 0, 0, 0,     // interface 1 alt 1, video class
    };
    bytes[2] = static_cast<UCHAR>(bytes.size());
    return bytes;
}

TEST(ParseConfigurationDescriptorTest, FindsTheInterfaceEveryGivenFieldMatches) {
    std::vector<UCHAR> bytes = TwoInterfaceConfiguration();
    auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
    struct Case {
        const char* Why;
        LONG Number, Alternate, Class;
        int ExpectedOffset;  // -1: none
    };
    const Case cases[] = {
        {"all wildcards give the first interface", -1, -1, -1, 14},
        {"by number", 1, -1, -1, 30},
        {"by alternate setting", -1, 1, -1, 30},
        {"by class", -1, -1, 0x0E, 30},
        {"no interface has that number", 2, -1, -1, -1},
        {"number and class contradict", 0, -1, 0x0E, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        PUSB_INTERFACE_DESCRIPTOR found = USBD_ParseConfigurationDescriptorEx(
            configuration, configuration, c.Number, c.Alternate, c.Class, -1, -1);
        if (c.ExpectedOffset < 0) {
            EXPECT_EQ(found, nullptr);
        } else {
            EXPECT_EQ(reinterpret_cast<UCHAR*>(found), bytes.data() + c.ExpectedOffset);
        }
    }
    // Searching on from the descriptor after the first interface finds the second.
    EXPECT_EQ(reinterpret_cast<UCHAR*>(USBD_ParseConfigurationDescriptorEx(
                  configuration, bytes.data() + 23, -1, -1, -1, -1, -1)),
              bytes.data() + 30);
}

TEST(ParseConfigurationDescriptorTest, StopsAtAZeroLengthDescriptorOrTheTotalLength) {
    std::vector<UCHAR> bytes = TwoInterfaceConfiguration();
    bytes[9] = 0;  // a zero bLength would otherwise loop forever
    auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1),
              nullptr);

    bytes = TwoInterfaceConfiguration();
    configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
    configuration->wTotalLength = 20;  // the interface at 14 does not fit in 20 bytes
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1),
              nullptr);
}

class CreateConfigurationRequestTest : public CameraFixture {};

TEST_F(CreateConfigurationRequestTest, SizesTheUrbForEveryPipeOfTheListedInterfaces) {
    std::vector<UCHAR> bytes = camera::CameraConfigurationDescriptor(3, camera::ConfigurationShape::Normal);
    auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
    PUSB_INTERFACE_DESCRIPTOR interface =
        USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1);
    USBD_INTERFACE_LIST_ENTRY list[2] = {{interface, nullptr}, {nullptr, nullptr}};
    PURB urb = USBD_CreateConfigurationRequestEx(configuration, list);
    ASSERT_NE(urb, nullptr);
    EXPECT_EQ(urb->UrbHeader.Function, URB_FUNCTION_SELECT_CONFIGURATION);
    EXPECT_EQ(urb->UrbHeader.Length, GET_SELECT_CONFIGURATION_REQUEST_SIZE(1, 3));
    EXPECT_EQ(urb->UrbSelectConfiguration.ConfigurationDescriptor, configuration);
    ASSERT_EQ(list[0].Interface, &urb->UrbSelectConfiguration.Interface);
    EXPECT_EQ(list[0].Interface->Length, GET_USBD_INTERFACE_SIZE(3));
    EXPECT_EQ(list[0].Interface->NumberOfPipes, 3u);
    for (ULONG i = 0; i < 3; ++i) {
        EXPECT_EQ(list[0].Interface->Pipes[i].MaximumTransferSize, USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE);
    }
    ExFreePool(urb);
}

TEST_F(CreateConfigurationRequestTest, ReturnsNullWhenThePoolFails) {
    std::vector<UCHAR> bytes = camera::CameraConfigurationDescriptor(3, camera::ConfigurationShape::Normal);
    auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
    USBD_INTERFACE_LIST_ENTRY list[2] = {
        {USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1), nullptr},
        {nullptr, nullptr}};
    host::FailNthAllocation(1);
    EXPECT_EQ(USBD_CreateConfigurationRequestEx(configuration, list), nullptr);
}

}  // namespace
}  // namespace usbtest
