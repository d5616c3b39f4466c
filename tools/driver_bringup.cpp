#include "tools/driver_bringup.h"

#include <cerrno>
#include <cstring>

#include "host/framework/linked_driver.h"
#include "host/files/machine_root.h"
#include "tools/command.h"
#include "tools/status_text.h"

namespace vexacam::tools {

void UseMachineRoot(const std::string& path, bool create) {
    if (!path.empty()) host::SetMachineRoot(path);
    if (create && !host::MakeDirectories(host::MachineRoot())) {
        FailUsage("cannot create the machine root " + host::MachineRoot() + ": " + std::strerror(errno));
    }
}

DriverOnCamera::DriverOnCamera() {
    const NTSTATUS status = host::LoadedDriver::LoadLinked(&driver_);
    if (!NT_SUCCESS(status)) FailRuntime("the driver did not load (status " + StatusText(status) + ")");
}

DriverOnCamera::~DriverOnCamera() {
    adapter_.reset();
    driver_.reset();
    camera_.reset();
}

void DriverOnCamera::Attach(const camera::CameraOptions& options) {
    camera_ = std::make_unique<camera::SimulatedCamera>(options);
    const NTSTATUS status = driver_->CreateAdapter(camera_->PhysicalDeviceObject(), &adapter_);
    if (!NT_SUCCESS(status)) {
        FailRuntime("the driver did not come up for the camera (status " + StatusText(status) + ")");
    }
}

NTSTATUS DriverOnCamera::Close() {
    NTSTATUS result = STATUS_SUCCESS;
    if (adapter_ != nullptr) {
        result = adapter_->Uninitialize();
        adapter_.reset();
    }
    driver_.reset();
    return result;
}

}  // namespace vexacam::tools
