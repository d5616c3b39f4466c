// The one place the program brings the driver up: the machine's state directory, the driver
// loaded into the host (the one linked into the program, or the kernel image named with
// --driver-image), and an adapter for a simulated camera, reached only through the
// framework's client, as an application reaches a capture device.
//
// Teardown order is the framework's: adapter, then driver (whose unload checks for pool
// leaks), and the camera last, since the adapter is bound to it.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "camera/camera_options.h"
#include "camera/simulated_camera.h"
#include "host/framework/client.h"

namespace vexacam::tools {

// Points the host at the machine directory (empty: the environment's choice). With Create,
// the directory is made when missing, and a directory that cannot be made is a usage error;
// commands that only read leave the disk alone.
void UseMachineRoot(const std::string& path, bool create);

// The program-wide --driver-image PATH, given before the command: every driver brought up
// afterwards is that kernel image, loaded by the host's image loader (32-bit build only).
void AddDriverImageOption(CLI::App& program);

class DriverOnCamera {
public:
    // Loads the driver; a failure ends the command (status 1) with the reason.
    DriverOnCamera();
    ~DriverOnCamera();
    DriverOnCamera(const DriverOnCamera&) = delete;
    DriverOnCamera& operator=(const DriverOnCamera&) = delete;

    // Brings an adapter up for a new simulated camera; a failure ends the command (status 1).
    void Attach(const camera::CameraOptions& options = camera::CameraOptions());

    host::LoadedDriver& Driver() { return *driver_; }
    host::AdapterClient& Adapter() { return *adapter_; }
    camera::SimulatedCamera& Camera() { return *camera_; }

    // Shuts the adapter down (the driver saves its settings then) and unloads the driver.
    // The first failure, or STATUS_SUCCESS.
    NTSTATUS Close();

private:
    std::unique_ptr<camera::SimulatedCamera> camera_;
    std::unique_ptr<host::LoadedDriver> driver_;
    std::unique_ptr<host::AdapterClient> adapter_;
};

}  // namespace vexacam::tools
