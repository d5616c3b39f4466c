// What a simulated camera is set up with: frame rate, interface shape, buffering, scene
// settings and the faults to inject. Tools set it from OPTION=VALUE text (`--camera fps=15`).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "camera/scene.h"
#include "platform/usb.h"

namespace camera {

enum class FaultKind {
    TransferError,  // one transfer fails with `Status`; the data it would have carried is lost
    Stall,          // the endpoint halts (USBD_STATUS_STALL_PID) until its pipe is reset
    ShortFrame,     // the frame is sent one byte short
    LongFrame,      // the frame is sent one byte long
    ExtraTransfer,  // one more whole transfer of data is sent before the frame's last one
    Disconnect,     // the camera drops off the bus
    Unresponsive,   // the endpoint stops answering (NAKs every transfer) and never recovers
};

enum class Endpoint { Command, Video, Status };

struct FaultSpec {
    FaultKind Kind = FaultKind::TransferError;
    USBD_STATUS Status = USBD_STATUS_XACT_ERROR;  // for TransferError
    Endpoint Where = Endpoint::Video;
    // Video faults hit the first frame sent whose number is at least `Frame` (frames are
    // numbered from 1 as the sensor produces them; 0 = the next frame sent), at its
    // `Transfer`th transfer (1-based). Command and status faults hit the `Transfer`th transfer
    // on that endpoint from now. An unresponsive video endpoint stops answering at once.
    uint64_t Frame = 0;
    uint32_t Transfer = 1;
};

// Malformed configuration descriptors, for testing how a driver copes with a hostile device.
enum class ConfigurationShape {
    Normal,
    Truncated,    // wTotalLength claims 16 bytes more than the device returns
    NoInterface,  // only the configuration descriptor
};

struct CameraOptions {
    double FramesPerSecond = 30.0;
    uint32_t Endpoints = 3;     // 3: command, video, status; 2: no status pipe; 1: command only
    uint32_t BufferedFrames = 2;  // frames the camera holds for the host before dropping new ones
    uint32_t Seed = 1;          // noise, defect positions
    double NoiseSigma = 1.5;    // read noise in grey levels
    ConfigurationShape Configuration = ConfigurationShape::Normal;
    SceneKind Scene = SceneKind::Chart;  // the ball moves only in the chart scene
    std::vector<FaultSpec> Faults;
};

// Applies one OPTION=VALUE pair. Options: fps=<rate>, endpoints=1|2|3, buffer=<frames>,
// seed=<n>, noise=<sigma>, config=normal|truncated|no-interface, scene=chart|flat|dark,
// fault=<kind>[@<frame>[.<transfer>]] with kind one of invalid-parameter, babble, xact,
// not-responding, crc, other, stall, short, long, extra, disconnect, unresponsive (video
// endpoint) or command-stall, status-stall, command-error, status-error,
// command-unresponsive, status-unresponsive (the @ number is then the transfer count on that
// endpoint). Returns false with a one-line reason on bad input.
bool ApplyCameraOption(std::string_view text, CameraOptions* options, std::string* error);

// The fault kinds fault= takes, for help texts and messages: "invalid-parameter, babble, ...".
std::string FaultKindNames();

// The status a transfer-error kind name stands for; false if the name is not one.
bool TransferErrorStatus(std::string_view name, USBD_STATUS* status);

// "chart", "flat" or "dark".
bool ParseScene(std::string_view value, SceneKind* scene);
const char* SceneName(SceneKind scene);

}  // namespace camera
