// The camera's side of the CommandBlock / StatusBlock protocol.
#include <cstring>

#include "camera/descriptors.h"
#include "camera/simulated_camera.h"

namespace camera {
namespace {

void PutLong(StatusBlock* status, size_t offset, uint32_t value) {
    std::memcpy(status->Bytes + offset, &value, sizeof value);
}

bool GeometryFits(const CommandBlock& block) {
    return block.FrameWidth >= 1 && block.FrameWidth <= kSensorColumns && block.FrameHeight >= 1 &&
           block.FrameHeight <= kSensorRows && block.WindowX < kSensorColumns &&
           block.WindowY < kSensorRows;
}

}  // namespace

void SimulatedCamera::ReceiveCommandBlock(const CommandBlock& block) {
    received_.push_back(block);
    counters_.BlocksReceived++;
    status_.Bytes[0] = 'V';
    status_.Bytes[1] = block.CommandCode;
    uint16_t count = static_cast<uint16_t>(counters_.BlocksReceived);
    std::memcpy(status_.Bytes + 2, &count, sizeof count);

    switch (block.CommandCode) {
    case kCommandApply:
        applied_.Exposal = block.Exposal;
        std::memcpy(applied_.AllGain, block.AllGain, sizeof applied_.AllGain);
        applied_.Control = block.Control;
        applied_.OptionA = block.OptionA;
        applied_.OptionB = block.OptionB;
        applied_.OptionValue = block.OptionValue;
        ApplyGeometry(block);
        sensor_.Configure(sensor_.Geometry(), applied_.Exposal, applied_.AllGain[0]);
        counters_.Exposal = applied_.Exposal;
        counters_.Gain = applied_.AllGain[0];
        ApplyRunCode(block.RunCode);
        break;
    case kCommandWriteWindow:
        ApplyGeometry(block);
        break;
    case kCommandReadWindow:
    case kCommandReadValue:
        ReplyToQuery(block);
        break;
    default:
        break;
    }
}

// The read-out mode in force decides whether the window is doubled.
void SimulatedCamera::ApplyGeometry(const CommandBlock& block) {
    if (!GeometryFits(block)) {
        counters_.RejectedGeometry++;
        return;
    }
    applied_.FrameHeight = block.FrameHeight;
    applied_.FrameWidth = block.FrameWidth;
    applied_.WindowX = block.WindowX;
    applied_.WindowY = block.WindowY;
    sensor_.Configure(MakeGeometry(applied_.FrameWidth, applied_.FrameHeight, applied_.WindowX,
                                   applied_.WindowY, applied_.Control & 3),
                      applied_.Exposal, applied_.AllGain[0]);
    counters_.Geometry = sensor_.Geometry();
}

void SimulatedCamera::ApplyRunCode(UCHAR runCode) {
    if (runCode == kRunCodeRun && !counters_.Running) {
        StartFrames();
    } else if (runCode == kRunCodeStop && counters_.Running) {
        // Stop ends the run at a frame boundary: what was not sent is discarded.
        counters_.Running = false;
        generation_++;
        video_.Flush();
    }
    applied_.RunCode = runCode;
}

void SimulatedCamera::ReplyToQuery(const CommandBlock& block) {
    if (block.CommandCode == kCommandReadWindow) {
        PutLong(&status_, 4, applied_.FrameHeight);
        PutLong(&status_, 8, applied_.FrameWidth);
        PutLong(&status_, 12, applied_.WindowX);
        PutLong(&status_, 16, applied_.WindowY);
    } else {
        PutLong(&status_, 4, applied_.OptionValue);
    }
    PutLong(&status_, 20, static_cast<uint32_t>(counters_.FramesProduced));
    PutLong(&status_, 24, applied_.Exposal);
    status_.Bytes[28] = applied_.AllGain[0];
    status_.Bytes[29] = applied_.Control;
    status_.Bytes[30] = counters_.Running ? 1 : 0;
}

// An unresponsive fault silences the endpoint from its transfer on: that transfer and every
// later one wait for an answer that never comes (USBD_STATUS_PENDING).
USBD_STATUS SimulatedCamera::TakeEndpointFault(Endpoint where) {
    uint64_t count = where == Endpoint::Command ? commandTransfers_ : statusTransfers_;
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->Where != where || it->Frame != count) continue;
        if (it->Kind == FaultKind::Unresponsive) {
            (where == Endpoint::Command ? commandUnresponsive_ : statusUnresponsive_) = true;
            faults_.erase(it);
            return USBD_STATUS_PENDING;
        }
        USBD_STATUS status = it->Kind == FaultKind::Stall ? USBD_STATUS_STALL_PID : it->Status;
        faults_.erase(it);
        return status;
    }
    return USBD_STATUS_SUCCESS;
}

host::usb::InTransferResult SimulatedCamera::ReadStatus(UCHAR* buffer, ULONG capacity) {
    host::usb::InTransferResult result;
    if (statusUnresponsive_) return result;
    statusTransfers_++;
    const USBD_STATUS fault = TakeEndpointFault(Endpoint::Status);
    if (fault == USBD_STATUS_PENDING) return result;
    result.Ready = true;
    result.Status = fault;
    if (result.Status != USBD_STATUS_SUCCESS) return result;
    if (capacity < kStatusBlockBytes) {
        result.Status = USBD_STATUS_BUFFER_OVERRUN;  // the 64-byte packet does not fit
        return result;
    }
    std::memcpy(buffer, status_.Bytes, kStatusBlockBytes);
    result.Length = kStatusBlockBytes;
    return result;
}

}  // namespace camera
