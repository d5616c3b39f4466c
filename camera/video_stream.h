// The camera's video endpoint: frames waiting for the host, and how one bulk IN transfer is
// filled from them. The endpoint is a byte stream of 512-byte packets; a transfer ends when
// its buffer is full or a short packet arrives, and a frame whose size is a whole number of
// packets is closed by a zero-length packet. So with 512 KiB transfers a frame arrives as
// whole transfers and one short (possibly empty) one, and no transfer spans two frames.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "camera/camera_options.h"
#include "host/usb/usb_function.h"

namespace camera {

struct QueuedFrame {
    uint64_t Number = 0;
    std::vector<uint8_t> Pixels;
};

class VideoStream {
public:
    // Buffers for `capacity` frames of up to `largestFrame` bytes are made now, as the
    // camera's frame memory exists before the first read-out: a read-out never waits for
    // memory the process has not yet touched.
    VideoStream(uint32_t capacity, size_t largestFrame);

    bool HasRoom() const { return queue_.size() < capacity_; }
    // A buffer of `size` bytes for the next frame, recycled when possible.
    std::vector<uint8_t> TakeBuffer(size_t size);
    void Push(QueuedFrame frame) { queue_.push_back(std::move(frame)); }
    // Drops every queued frame and the one being sent: the next data starts a frame.
    void Flush();
    size_t QueuedFrames() const { return queue_.size(); }

    // Fills one transfer. Video faults from `faults` are attached to a frame when its first
    // transfer goes out. Sets *disconnect when a disconnect fault fires.
    host::usb::InTransferResult Transfer(uint8_t* buffer, uint32_t capacity,
                                         std::vector<FaultSpec>* faults, bool* disconnect);
    uint64_t FramesSent() const { return framesSent_; }

private:
    struct Sending {
        bool Active = false;
        uint64_t SendBytes = 0;  // frame size after length faults
        uint64_t Cursor = 0;
        uint32_t Transfers = 0;  // transfers of this frame so far
        std::vector<FaultSpec> TransferFaults;
    };

    void StartSending(std::vector<FaultSpec>* faults);
    void FinishFrame();
    void CopyOut(uint8_t* buffer, uint64_t length) const;

    uint32_t capacity_;
    std::deque<QueuedFrame> queue_;
    std::vector<std::vector<uint8_t>> spare_;
    Sending sending_;
    uint64_t framesSent_ = 0;
};

}  // namespace camera
