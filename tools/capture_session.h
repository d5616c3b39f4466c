// The capture stream of the driver on a simulated camera, opened at one of the advertised
// sizes with the format the data intersection answers. Everything goes through the host's
// client API: the program sees the driver as an application sees a capture device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/camera_options.h"
#include "tools/driver_bringup.h"

namespace vexacam::tools {

struct FrameSize {
    uint32_t Width = 640;
    uint32_t Height = 480;
};

// "WxH" -> size; a bad text ends the command (status 2) with a line saying what is wrong.
FrameSize ParseFrameSize(const std::string& text, const char* option);

struct SessionOptions {
    FrameSize Size;
    camera::CameraOptions Camera;
    bool CameraRateGiven = false;  // otherwise the camera runs at the format's frame rate
};

// Parses --camera OPTION=VALUE texts into options; a bad one ends the command (status 2).
void ParseCameraOptions(const std::vector<std::string>& texts, SessionOptions* options);

class CaptureSession {
public:
    // Brings everything up and opens the stream (stopped). A size the driver does not
    // advertise ends the command with status 2, anything else that fails with status 1.
    explicit CaptureSession(const SessionOptions& options);
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    host::AdapterClient& Adapter() { return device_.Adapter(); }
    host::StreamClient& Stream() { return *stream_; }
    camera::SimulatedCamera& Camera() { return device_.Camera(); }

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
    DriverOnCamera device_;
    std::unique_ptr<host::StreamClient> stream_;  // before the adapter goes
    FrameSize size_;
    LONGLONG frameInterval_ = 0;
    ULONG imageSize_ = 0;
    double cameraFramesPerSecond_ = 0;
};

}  // namespace vexacam::tools
