// The simulated camera at 62.5 frames per second, the 640 x 480 format's rate, shaped for
// LiveStreamTest (which asks its camera for Pdo()).
#pragma once

#include "camera/simulated_camera.h"

namespace vexacam_test {

class VgaRateCamera : public camera::SimulatedCamera {
public:
    VgaRateCamera() : SimulatedCamera(Options()) {}
    PDEVICE_OBJECT Pdo() const { return PhysicalDeviceObject(); }

private:
    static camera::CameraOptions Options() {
        camera::CameraOptions options;
        options.FramesPerSecond = 62.5;
        return options;
    }
};

}  // namespace vexacam_test
