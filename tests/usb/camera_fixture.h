// Tests that bring the driver up against the simulated camera through the host USB stack.
#pragma once

#include <memory>

#include "camera/simulated_camera.h"
#include "tests/usb/device_fixture.h"

namespace usb_test {

class CameraTest : public DeviceTest {
  protected:
    void TearDown() override {
        camera_.reset();
        DeviceTest::TearDown();
    }

    camera::SimulatedCamera& Attach(const camera::CameraOptions& options = {}) {
        camera_ = std::make_unique<camera::SimulatedCamera>(options);
        return *camera_;
    }

    // Attaches a camera with `endpoints` endpoints and brings the driver up against it.
    camera::SimulatedCamera& BringUp(uint32_t endpoints = 3) {
        camera::CameraOptions options;
        options.Endpoints = endpoints;
        Attach(options);
        EXPECT_EQ(Initialize(camera_->PhysicalDeviceObject()), STATUS_SUCCESS);
        return *camera_;
    }

    std::unique_ptr<camera::SimulatedCamera> camera_;
};

}  // namespace usb_test
