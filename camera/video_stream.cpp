// Framing of the video endpoint and the faults that bend it.
#include "camera/video_stream.h"

#include <algorithm>
#include <cstring>

#include "camera/descriptors.h"

namespace camera {
namespace {

constexpr uint64_t kWholeTransfer = 0x80000;

USBD_STATUS FaultStatus(const FaultSpec& fault) {
    switch (fault.Kind) {
    case FaultKind::Stall:
        return USBD_STATUS_STALL_PID;
    case FaultKind::Disconnect:
        return USBD_STATUS_DEVICE_GONE;
    default:
        return fault.Status;
    }
}

}  // namespace

VideoStream::VideoStream(uint32_t capacity, size_t largestFrame) : capacity_(capacity) {
    spare_.reserve(capacity);
    for (uint32_t i = 0; i < capacity; ++i) spare_.emplace_back(largestFrame);
}

std::vector<uint8_t> VideoStream::TakeBuffer(size_t size) {
    std::vector<uint8_t> buffer;
    if (!spare_.empty()) {
        buffer = std::move(spare_.back());
        spare_.pop_back();
    }
    buffer.resize(size);
    return buffer;
}

void VideoStream::Flush() {
    while (!queue_.empty()) {
        spare_.push_back(std::move(queue_.front().Pixels));
        queue_.pop_front();
    }
    sending_ = Sending{};
}

void VideoStream::StartSending(std::vector<FaultSpec>* faults) {
    const QueuedFrame& frame = queue_.front();
    sending_ = Sending{};
    sending_.Active = true;
    sending_.SendBytes = frame.Pixels.size();
    for (auto it = faults->begin(); it != faults->end();) {
        if (it->Where != Endpoint::Video || it->Frame > frame.Number) {
            ++it;
            continue;
        }
        if (it->Kind == FaultKind::ShortFrame) sending_.SendBytes -= std::min<uint64_t>(1, sending_.SendBytes);
        if (it->Kind == FaultKind::LongFrame) sending_.SendBytes += 1;
        if (it->Kind == FaultKind::ExtraTransfer) sending_.SendBytes += kWholeTransfer;
        if (it->Kind == FaultKind::TransferError || it->Kind == FaultKind::Stall ||
            it->Kind == FaultKind::Disconnect) {
            sending_.TransferFaults.push_back(*it);
        }
        it = faults->erase(it);
    }
}

void VideoStream::FinishFrame() {
    spare_.push_back(std::move(queue_.front().Pixels));
    queue_.pop_front();
    sending_ = Sending{};
}

// Bytes past the frame's pixels (a "long" fault) go out as zeros.
void VideoStream::CopyOut(uint8_t* buffer, uint64_t length) const {
    const std::vector<uint8_t>& pixels = queue_.front().Pixels;
    uint64_t fromPixels = 0;
    if (sending_.Cursor < pixels.size()) fromPixels = std::min<uint64_t>(length, pixels.size() - sending_.Cursor);
    if (fromPixels != 0) std::memcpy(buffer, pixels.data() + sending_.Cursor, fromPixels);
    if (length > fromPixels) std::memset(buffer + fromPixels, 0, length - fromPixels);
}

host::usb::InTransferResult VideoStream::Transfer(uint8_t* buffer, uint32_t capacity,
                                                  std::vector<FaultSpec>* faults,
                                                  bool* disconnect) {
    host::usb::InTransferResult result;
    if (queue_.empty()) return result;  // nothing to send: the host's request waits
    if (!sending_.Active) StartSending(faults);
    result.Ready = true;
    sending_.Transfers++;

    uint64_t remaining = sending_.SendBytes - sending_.Cursor;
    uint64_t length = std::min<uint64_t>(capacity, remaining);
    CopyOut(buffer, length);
    sending_.Cursor += length;
    // A short packet (or the zero-length one after a whole-packet frame) ends the transfer and
    // the frame; a transfer that filled up exactly leaves the closing packet for the next.
    bool frameDone = remaining < capacity ||
                     (remaining == capacity && remaining % kBulkPacketSize != 0);
    result.Length = static_cast<ULONG>(length);

    for (const FaultSpec& fault : sending_.TransferFaults) {
        if (fault.Transfer != sending_.Transfers) continue;
        result.Status = FaultStatus(fault);
        result.Length = 0;  // what this transfer carried is lost
        if (fault.Kind == FaultKind::Disconnect) *disconnect = true;
        if (fault.Kind != FaultKind::TransferError) frameDone = true;  // the rest never comes
    }
    if (frameDone) {
        if (result.Status == USBD_STATUS_SUCCESS) framesSent_++;
        FinishFrame();
    }
    return result;
}

}  // namespace camera
