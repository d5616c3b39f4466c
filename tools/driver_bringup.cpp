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

namespace {

std::string& DriverImagePath() {
    static std::string path;
    return path;
}

}  // namespace

void AddDriverImageOption(CLI::App& program) {
    program
        .add_option("--driver-image", DriverImagePath(),
                    "Run the kernel driver image (vexacam.sys) instead of the built-in driver "
                    "(32-bit build)")
        ->check(CLI::ExistingFile);
}

DriverOnCamera::DriverOnCamera() {
    if (!DriverImagePath().empty()) {
        std::string problem;
        const NTSTATUS status = host::LoadedDriver::LoadImage(DriverImagePath(), &driver_, &problem);
        if (!problem.empty()) FailRuntime(problem);
        if (!NT_SUCCESS(status)) FailRuntime("the driver image did not load (status " + StatusText(status) + ")");
        return;
    }
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
