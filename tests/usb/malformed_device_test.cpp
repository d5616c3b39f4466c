// Bring-up against devices whose descriptors are wrong in ways the simulated camera does not
// offer, or whose descriptor requests stall: initialization must fail with an error and leave
// nothing allocated.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/kernel/pool.h"
#include "tests/usb/device_fixture.h"
#include "tests/usb/scripted_usb_device.h"

namespace usb_test {
namespace {

struct FailingDevice {
    std::string name;
    std::vector<UCHAR> configuration;
    UCHAR stalled_descriptor;  // 0: none
    NTSTATUS expected;         // 0: any error status
};

std::vector<FailingDevice> FailingDevices() {
    return {
        {"InterfaceWithoutEndpoints", CameraConfiguration(0), 0, STATUS_DEVICE_DATA_ERROR},
        {"ConfigurationTooShortForItsHeader", std::vector<UCHAR>{9, 2, 9}, 0,
         STATUS_DEVICE_DATA_ERROR},
        {"DeviceDescriptorStalls", CameraConfiguration(3), USB_DEVICE_DESCRIPTOR_TYPE, 0},
        {"ConfigurationDescriptorStalls", CameraConfiguration(3), USB_CONFIGURATION_DESCRIPTOR_TYPE,
         0},
    };
}

class MalformedDevice : public DeviceTest, public ::testing::WithParamInterface<FailingDevice> {};

TEST_P(MalformedDevice, FailsInitializationAndLeaksNothing) {
    const FailingDevice& c = GetParam();
    ScriptedUsbDevice camera(c.configuration);
    if (c.stalled_descriptor != 0) camera.StallDescriptor(c.stalled_descriptor);

    NTSTATUS status = Initialize(camera.Pdo());

    EXPECT_FALSE(NT_SUCCESS(status));
    if (c.expected != 0) {
        EXPECT_EQ(status, c.expected);
    }
    EXPECT_EQ(host::PoolLeakReport(), "");
    EXPECT_EQ(host::usb::GetUsbDeviceCounters(camera.Pdo()).SelectConfigurations, 0u);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS) << "teardown after a failed bring-up is harmless";
    EXPECT_EQ(host::PoolLeakReport(), "");
}

INSTANTIATE_TEST_SUITE_P(Devices, MalformedDevice, ::testing::ValuesIn(FailingDevices()),
                         [](const auto& param_info) { return param_info.param.name; });

TEST_F(DeviceTest, ConfigurationIsFetchedWithSixteenBytesBeyondItsTotalLength) {
    ScriptedUsbDevice camera(CameraConfiguration(2));  // wTotalLength 32
    ASSERT_EQ(Initialize(camera.Pdo()), STATUS_SUCCESS);

    // The driver's three requests; the stack reads the configuration again when it selects it.
    std::vector<DescriptorRequest> requests = camera.DescriptorRequests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests[0].Type, USB_DEVICE_DESCRIPTOR_TYPE);
    EXPECT_EQ(requests[0].Capacity, 18u);
    EXPECT_EQ(requests[1].Type, USB_CONFIGURATION_DESCRIPTOR_TYPE);
    EXPECT_EQ(requests[1].Capacity, 25u);
    EXPECT_EQ(requests[2].Type, USB_CONFIGURATION_DESCRIPTOR_TYPE);
    EXPECT_EQ(requests[2].Capacity, 48u);
    EXPECT_EQ(Uninitialize(), STATUS_SUCCESS);
}

}  // namespace
}  // namespace usb_test
