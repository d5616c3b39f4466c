// The driver loaded in the host, an adapter brought up for a simulated camera, and the capture
// stream opened at one of the advertised sizes with the format the data intersection answers.
// Everything goes through the host's client API: the program sees the driver as an
// application sees a capture device.
//
// Teardown order is the framework's: stream, adapter, driver (whose unload checks for pool
// leaks), and the camera last, since the adapter is bound to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/camera_options.h"
#include "camera/simulated_camera.h"
#include "host/framework/client.h"

namespace vexacam::tools {

struct FrameSize {
    uint32_t Width = 640;
    uint32_t Height = 480;
};

// "WxH" -> size. Empty string on success, otherwise the one-line reason.
std::string ParseFrameSize(const std::string& text, FrameSize* size);

struct SessionOptions {
    std::string MachineRoot;   // empty: the environment's choice
    FrameSize Size;
    camera::CameraOptions Camera;
    bool CameraRateGiven = false;  // otherwise the camera runs at the format's frame rate
};

// Parses --camera OPTION=VALUE texts into options. Empty string or the one-line reason.
std::string ParseCameraOptions(const std::vector<std::string>& texts, SessionOptions* options);

class CaptureSession {
public:
    // Brings everything up and opens the stream (stopped). Returns 0, or kUsageError when the
    // size is not advertised, or kRuntimeError; *problem then says what went wrong.
    static int Open(const SessionOptions& options, std::unique_ptr<CaptureSession>* session,
                    std::string* problem);
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    host::AdapterClient& Adapter() { return *adapter_; }
    host::StreamClient& Stream() { return *stream_; }
    camera::SimulatedCamera& Camera() { return *camera_; }

    uint32_t Width() const { return size_.Width; }
    uint32_t Height() const { return size_.Height; }
    // From the opened format: the driver's frame interval (100 ns) and picture size.
    LONGLONG FrameInterval() const { return frameInterval_; }
    ULONG ImageSize() const { return imageSize_; }
    double CameraFramesPerSecond() const { return cameraFramesPerSecond_; }

    // Stop -> pause (the camera starts) -> run.
    NTSTATUS Run();
    NTSTATUS Stop();
    // The driver's own counts for the stream: frame periods and the periods without a frame.
    NTSTATUS DroppedFrames(LONGLONG* pictureNumber, LONGLONG* dropCount);
    // Closes the stream, shuts the adapter down (the settings reach the registry) and unloads
    // the driver. Returns the first failure.
    NTSTATUS Close();

private:
    CaptureSession() = default;

    std::unique_ptr<camera::SimulatedCamera> camera_;
    std::unique_ptr<host::LoadedDriver> driver_;
    std::unique_ptr<host::AdapterClient> adapter_;
    std::unique_ptr<host::StreamClient> stream_;
    FrameSize size_;
    LONGLONG frameInterval_ = 0;
    ULONG imageSize_ = 0;
    double cameraFramesPerSecond_ = 0;
};

}  // namespace vexacam::tools
