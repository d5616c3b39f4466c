// SRB_INITIALIZE_DEVICE and SRB_UNINITIALIZE_DEVICE through the stream-class framework: the
// adapter comes up against the camera, refuses a hostile one, and the driver unloads with no
// pool outstanding (the unload stops the process otherwise).
#include <gtest/gtest.h>

#include <memory>

#include "driver/adapter.h"
#include "driver/device_context.h"
#include "host/framework/client.h"
#include "tests/usb/camera_fixture.h"

namespace usb_test {
namespace {

TEST_F(CameraTest, AdapterComesUpAgainstTheCameraAndUnloadsWithoutLeaks) {
    Attach();
    std::unique_ptr<host::LoadedDriver> driver;
    ASSERT_EQ(host::LoadedDriver::Load(DriverEntry, &driver), STATUS_SUCCESS);
    for (int cycle = 0; cycle < 2; ++cycle) {
        std::unique_ptr<host::AdapterClient> adapter;
        ASSERT_EQ(driver->CreateAdapter(camera_->PhysicalDeviceObject(), &adapter), STATUS_SUCCESS);
        auto* device = static_cast<DeviceContext*>(adapter->DeviceExtension());
        EXPECT_EQ(device->LowerDevice, camera_->PhysicalDeviceObject());
        EXPECT_EQ(device->Command.FrameWidth, 2048u);
        EXPECT_NE(device->RawFrames[kRawFrameCount - 1], nullptr);
        EXPECT_EQ(adapter->Uninitialize(), STATUS_SUCCESS);
    }
    driver.reset();  // the unload's leak check
}

TEST_F(CameraTest, AdapterRefusesACameraWithoutAnInterface) {
    camera::CameraOptions options;
    options.Configuration = camera::ConfigurationShape::NoInterface;
    Attach(options);
    std::unique_ptr<host::LoadedDriver> driver;
    ASSERT_EQ(host::LoadedDriver::Load(DriverEntry, &driver), STATUS_SUCCESS);
    std::unique_ptr<host::AdapterClient> adapter;
    EXPECT_EQ(driver->CreateAdapter(camera_->PhysicalDeviceObject(), &adapter),
              STATUS_DEVICE_DATA_ERROR);
    adapter.reset();
    driver.reset();
}

}  // namespace
}  // namespace usb_test
