// The simulated camera's life cycle, its USB endpoints and frame pacing.
#include "camera/simulated_camera.h"

#include <cmath>
#include <cstring>

#include "camera/descriptors.h"

namespace camera {

SimulatedCamera::SimulatedCamera(const CameraOptions& options)
    : options_(options),
      framePeriod_(std::llround(host::kSecond / options.FramesPerSecond)),
      configuration_(CameraConfigurationDescriptor(options.Endpoints, options.Configuration)),
      sensor_(options.Seed, options.NoiseSigma, options.Scene),
      video_(options.BufferedFrames, size_t{kSensorColumns} * kSensorRows) {
    if (framePeriod_ < 1) framePeriod_ = 1;
    for (const FaultSpec& fault : options.Faults) InjectFault(fault);
    // Power-on state: the full sensor, stopped, nothing exposed until the first block.
    applied_.FrameWidth = kSensorColumns;
    applied_.FrameHeight = kSensorRows;
    applied_.RunCode = kRunCodeStop;
    sensor_.Configure(MakeGeometry(kSensorColumns, kSensorRows, 0, 0, 0), 0, 0);
    counters_.Geometry = sensor_.Geometry();
    pdo_ = host::usb::CreateSimulatedUsbDevice(this);
}

SimulatedCamera::~SimulatedCamera() {
    std::set<host::CallbackId> pending;
    {
        std::lock_guard<std::mutex> lock(lock_);
        destroyed_ = true;
        pending.swap(scheduled_);
    }
    // Without the lock: a frame callback running right now may be waiting for it.
    for (host::CallbackId id : pending) host::CancelScheduled(id);
    host::usb::DestroySimulatedUsbDevice(pdo_);
}

std::vector<CommandBlock> SimulatedCamera::ReceivedCommandBlocks() const {
    std::lock_guard<std::mutex> lock(lock_);
    return received_;
}

void SimulatedCamera::ClearReceivedCommandBlocks() {
    std::lock_guard<std::mutex> lock(lock_);
    received_.clear();
}

StatusBlock SimulatedCamera::CurrentStatusBlock() const {
    std::lock_guard<std::mutex> lock(lock_);
    return status_;
}

CameraCounters SimulatedCamera::Counters() const {
    std::lock_guard<std::mutex> lock(lock_);
    CameraCounters counters = counters_;
    counters.FramesSent = video_.FramesSent();
    return counters;
}

void SimulatedCamera::InjectFault(const FaultSpec& fault) {
    std::lock_guard<std::mutex> lock(lock_);
    if (fault.Kind == FaultKind::Unresponsive && fault.Where == Endpoint::Video) {
        videoUnresponsive_ = true;
        return;
    }
    FaultSpec armed = fault;
    // Command and status faults count transfers from now on.
    if (fault.Where == Endpoint::Command) armed.Frame = commandTransfers_ + fault.Transfer;
    if (fault.Where == Endpoint::Status) armed.Frame = statusTransfers_ + fault.Transfer;
    if (fault.Where != Endpoint::Video && fault.Kind == FaultKind::TransferError &&
        fault.Status == USBD_STATUS_SUCCESS) {
        armed.Status = USBD_STATUS_XACT_ERROR;
    }
    faults_.push_back(armed);
}

void SimulatedCamera::ObserveFrames(FrameObserver observer) {
    std::lock_guard<std::mutex> lock(lock_);
    frameObserver_ = std::move(observer);
}

void SimulatedCamera::Unplug() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        connected_ = false;
        generation_++;
        counters_.Running = false;
        video_.Flush();
    }
    host::usb::UnplugSimulatedUsbDevice(pdo_);
}

void SimulatedCamera::ShowScene(SceneKind scene) {
    std::lock_guard<std::mutex> lock(lock_);
    sensor_.SetScene(scene);
    // Rendered now rather than at the next read-out, which would then come late.
    sensor_.Prepare();
}

SceneKind SimulatedCamera::Scene() const {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_.Scene();
}

ULONG SimulatedCamera::GetDescriptor(UCHAR type, UCHAR index, UCHAR* buffer, ULONG capacity) {
    if (index != 0) return 0;
    if (type == USB_DEVICE_DESCRIPTOR_TYPE) {
        USB_DEVICE_DESCRIPTOR device = CameraDeviceDescriptor();
        ULONG length = capacity < sizeof device ? capacity : sizeof device;
        std::memcpy(buffer, &device, length);
        return length;
    }
    if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE) {
        ULONG length = capacity < configuration_.size() ? capacity
                                                        : static_cast<ULONG>(configuration_.size());
        std::memcpy(buffer, configuration_.data(), length);
        return length;
    }
    return 0;
}

void SimulatedCamera::SetConfiguration(UCHAR value) {}

USBD_STATUS SimulatedCamera::BulkOut(UCHAR endpointAddress, const UCHAR* data, ULONG length) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!connected_) return USBD_STATUS_DEVICE_GONE;
    if (endpointAddress != kCommandEndpoint) return USBD_STATUS_STALL_PID;
    if (commandUnresponsive_) return USBD_STATUS_PENDING;
    commandTransfers_++;
    USBD_STATUS fault = TakeEndpointFault(Endpoint::Command);
    if (fault != USBD_STATUS_SUCCESS) return fault;
    if (length != kCommandBlockBytes) {
        counters_.MalformedBlocks++;
        return USBD_STATUS_SUCCESS;
    }
    ReceiveCommandBlock(DecodeCommandBlock(data));
    return USBD_STATUS_SUCCESS;
}

host::usb::InTransferResult SimulatedCamera::BulkIn(UCHAR endpointAddress, UCHAR* buffer,
                                                    ULONG capacity) {
    std::lock_guard<std::mutex> lock(lock_);
    host::usb::InTransferResult result;
    if (!connected_) {
        result.Ready = true;
        result.Status = USBD_STATUS_DEVICE_GONE;
        return result;
    }
    if (endpointAddress == kStatusEndpoint && options_.Endpoints >= 3) {
        return ReadStatus(buffer, capacity);
    }
    if (endpointAddress != kVideoEndpoint || videoUnresponsive_) return result;
    bool disconnect = false;
    result = video_.Transfer(buffer, capacity, &faults_, &disconnect);
    if (disconnect) {
        // The stack learns it from the status; the port reports it from now on.
        connected_ = false;
        generation_++;
        counters_.Running = false;
        video_.Flush();
    }
    return result;
}

void SimulatedCamera::ResetEndpoint(UCHAR endpointAddress) {
    std::lock_guard<std::mutex> lock(lock_);
    if (endpointAddress == kVideoEndpoint) video_.Flush();
}

void SimulatedCamera::ResetPort() {
    std::lock_guard<std::mutex> lock(lock_);
    video_.Flush();
}

// lock_ held. Frame n of a run is read out at start + n periods, so pacing never drifts.
void SimulatedCamera::StartFrames() {
    generation_++;
    startTime_ = host::Now();
    counters_.Running = true;
    // Whatever the settings left to render is done now, while the host is still starting its
    // reader, rather than at the first read-out, which would then come late.
    sensor_.Prepare();
    ScheduleFrame(generation_, 1);
}

void SimulatedCamera::ScheduleFrame(uint64_t generation, uint64_t index) {
    if (destroyed_) return;
    // The id is known only once ScheduleAt returns; the callback reads it under lock_.
    auto id = std::make_shared<host::CallbackId>(0);
    *id = host::ScheduleAt(startTime_ + static_cast<LONGLONG>(index) * framePeriod_,
                           [this, generation, index, id] { ProduceFrame(generation, index, id); });
    scheduled_.insert(*id);
}

// Runs on the host's callback thread at the frame's read-out time.
void SimulatedCamera::ProduceFrame(uint64_t generation, uint64_t index,
                                   const std::shared_ptr<host::CallbackId>& id) {
    bool produced = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!destroyed_ && generation == generation_ && counters_.Running) {
            produced = true;
            ProduceFrameLocked();
            ScheduleFrame(generation, index + 1);
        }
    }
    if (produced) host::usb::NotifyEndpointReady(pdo_, kVideoEndpoint);
    // Forgotten only now, so that destruction waits for this run to leave the USB stack.
    std::lock_guard<std::mutex> lock(lock_);
    scheduled_.erase(*id);
}

void SimulatedCamera::ProduceFrameLocked() {
    counters_.FramesProduced++;
    if (!video_.HasRoom()) {
        counters_.FramesDropped++;
        return;
    }
    QueuedFrame frame;
    frame.Number = counters_.FramesProduced;
    frame.Pixels = video_.TakeBuffer(sensor_.FrameBytes());
    sensor_.RenderFrame(frame.Number, frame.Pixels.data());
    if (frameObserver_) frameObserver_(frame.Number, frame.Pixels.data(), frame.Pixels.size());
    video_.Push(std::move(frame));
}

}  // namespace camera
