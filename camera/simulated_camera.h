// The simulated USB camera: attached to the host USB stack as a physical device object, it
// answers descriptor requests, takes CommandBlocks on its OUT endpoint at any time, replies to
// queries through the StatusBlock and, while running, produces raw RGGB frames at its frame
// rate on the host clock (the manual clock in tests) and sends them on the video endpoint.
//
// CommandBlock handling (48-byte blocks; other lengths are counted and ignored):
//   CommandCode 14  applies every parameter: frame size and window, Exposal, AllGain[0],
//                   Control, RunCode (14 starts frame output, 254 stops it and discards the
//                   frames not yet sent), OptionA, OptionB, OptionValue.
//   CommandCode 4   applies FrameHeight, FrameWidth, WindowX and WindowY only.
//   CommandCode 3   StatusBlock bytes 4..19 = FrameHeight, FrameWidth, WindowX, WindowY in
//                   force (the order of CommandBlock bytes 16..31); nothing is applied.
//   CommandCode 5   StatusBlock bytes 4..7 = the OptionValue in force; nothing is applied.
//   other codes     recorded, otherwise ignored.
// A frame size outside 1..2048 x 1..1536 or a window origin off the sensor leaves the previous
// geometry in force; sensor positions past the sensor edge read black.
// StatusBlock: byte 0 = 'V', byte 1 = last CommandCode, bytes 2..3 = blocks received, then the
// reply above; at each query bytes 20..23 = frames produced, 24..27 = Exposal in force,
// byte 28 = gain, byte 29 = Control, byte 30 = 1 while running. Every status read returns the
// current 64 bytes (zeros before the first query).
// Parameters apply to frames produced after the block; frames already waiting keep theirs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "camera/camera_options.h"
#include "camera/sensor.h"
#include "camera/video_stream.h"
#include "host/kernel/clock.h"
#include "host/usb/usb_function.h"
#include "camera/command_bytes.h"

namespace camera {

struct CameraCounters {
    uint64_t BlocksReceived = 0;
    uint64_t MalformedBlocks = 0;   // OUT transfers that were not 48 bytes
    uint64_t RejectedGeometry = 0;  // blocks whose frame size or window was refused
    uint64_t FramesProduced = 0;    // sensor read-outs while running
    uint64_t FramesDropped = 0;     // read-outs with no room left in the camera's buffer
    uint64_t FramesSent = 0;        // frames completely sent without error
    bool Running = false;
    ReadoutGeometry Geometry;
    uint32_t Exposal = 0;
    uint8_t Gain = 0;
};

class SimulatedCamera : public host::usb::UsbFunction {
public:
    explicit SimulatedCamera(const CameraOptions& options = CameraOptions());
    ~SimulatedCamera() override;
    SimulatedCamera(const SimulatedCamera&) = delete;
    SimulatedCamera& operator=(const SimulatedCamera&) = delete;

    PDEVICE_OBJECT PhysicalDeviceObject() const { return pdo_; }

    std::vector<CommandBlock> ReceivedCommandBlocks() const;
    void ClearReceivedCommandBlocks();
    StatusBlock CurrentStatusBlock() const;
    CameraCounters Counters() const;
    void InjectFault(const FaultSpec& fault);
    // Drops off the bus now (also what a disconnect fault does).
    void Unplug();
    // Points the camera at another scene (a grey card, the lens cap) from the next read-out on.
    void ShowScene(SceneKind scene);
    SceneKind Scene() const;
    // Called with each raw frame as it joins the camera's buffer for the host (number from 1,
    // pixels, size), on the camera's thread with its lock held: copy and return.
    using FrameObserver = std::function<void(uint64_t, const uint8_t*, size_t)>;
    void ObserveFrames(FrameObserver observer);

    // host::usb::UsbFunction, called by the USB stack with its lock held.
    ULONG GetDescriptor(UCHAR type, UCHAR index, UCHAR* buffer, ULONG capacity) override;
    void SetConfiguration(UCHAR value) override;
    USBD_STATUS BulkOut(UCHAR endpointAddress, const UCHAR* data, ULONG length) override;
    host::usb::InTransferResult BulkIn(UCHAR endpointAddress, UCHAR* buffer,
                                       ULONG capacity) override;
    void ResetEndpoint(UCHAR endpointAddress) override;
    void ResetPort() override;

private:
    // Command protocol (command_protocol.cpp); lock_ held.
    void ReceiveCommandBlock(const CommandBlock& block);
    void ApplyGeometry(const CommandBlock& block);
    void ApplyRunCode(UCHAR runCode);
    void ReplyToQuery(const CommandBlock& block);
    USBD_STATUS TakeEndpointFault(Endpoint where);
    host::usb::InTransferResult ReadStatus(UCHAR* buffer, ULONG capacity);

    // Frame pacing (simulated_camera.cpp).
    void StartFrames();
    void ScheduleFrame(uint64_t generation, uint64_t index);
    void ProduceFrame(uint64_t generation, uint64_t index,
                      const std::shared_ptr<host::CallbackId>& id);
    void ProduceFrameLocked();

    CameraOptions options_;
    LONGLONG framePeriod_;
    std::vector<UCHAR> configuration_;
    PDEVICE_OBJECT pdo_ = nullptr;

    mutable std::mutex lock_;  // guards everything below
    bool connected_ = true;
    bool destroyed_ = false;
    CommandBlock applied_{};   // the parameters in force
    StatusBlock status_{};
    std::vector<CommandBlock> received_;
    std::vector<FaultSpec> faults_;
    uint64_t commandTransfers_ = 0;
    uint64_t statusTransfers_ = 0;
    bool commandUnresponsive_ = false;  // an unresponsive fault silenced the endpoint
    bool statusUnresponsive_ = false;
    bool videoUnresponsive_ = false;
    Sensor sensor_;
    VideoStream video_;
    CameraCounters counters_;
    uint64_t generation_ = 0;     // bumped at each start and stop: stale frame callbacks die
    LONGLONG startTime_ = 0;
    std::set<host::CallbackId> scheduled_;
    FrameObserver frameObserver_;
};

}  // namespace camera
