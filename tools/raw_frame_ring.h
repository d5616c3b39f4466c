// The raw Bayer frames the simulated camera reads out while a capture runs, kept in memory
// until the capture has found which of them each delivered picture was made from. The driver
// skips frames that arrive while it is busy, and how many it skips depends on how long its
// processing takes, so neither read-out order nor timing says which raw frame a picture came
// from: every frame read out after the last one found is kept (within a memory bound) until the
// next is found.
//
// The camera calls the observer on its own thread with its lock held, so a frame is only
// copied there.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "camera/simulated_camera.h"

namespace vexacam::tools {

struct RawFrame {
    uint64_t Sequence = 0;  // read-out order, from 1
    std::shared_ptr<const std::vector<uint8_t>> Pixels;
};

class RawFrameRing {
public:
    // Bytes of frames kept at most; beyond it the oldest go (and a picture made from one of
    // them is recorded as not replayed). 128 frames of 2048 x 1536.
    static constexpr size_t kBytesKept = size_t{384} << 20;

    explicit RawFrameRing(camera::SimulatedCamera& camera);
    ~RawFrameRing();  // detaches from the camera
    RawFrameRing(const RawFrameRing&) = delete;
    RawFrameRing& operator=(const RawFrameRing&) = delete;

    // The newest frame's sequence number (0 before the first).
    uint64_t Newest();
    // The frames kept with After < Sequence <= UpTo, oldest first.
    std::vector<RawFrame> Between(uint64_t after, uint64_t upTo);
    // Forgets the frames up to and including UpTo.
    void Release(uint64_t upTo);

private:
    void Observe(const uint8_t* pixels, size_t size);

    camera::SimulatedCamera& camera_;
    std::mutex lock_;  // guards everything below
    std::deque<RawFrame> frames_;
    size_t bytes_ = 0;
    uint64_t sequence_ = 0;
};

}  // namespace vexacam::tools
