#include "tools/raw_frame_ring.h"

namespace vexacam::tools {

RawFrameRing::RawFrameRing(camera::SimulatedCamera& camera) : camera_(camera) {
    camera_.ObserveFrames([this](uint64_t, const uint8_t* pixels, size_t size) { Observe(pixels, size); });
}

RawFrameRing::~RawFrameRing() { camera_.ObserveFrames(nullptr); }

void RawFrameRing::Observe(const uint8_t* pixels, size_t size) {
    RawFrame frame{0, std::make_shared<const std::vector<uint8_t>>(pixels, pixels + size)};
    std::lock_guard<std::mutex> hold(lock_);
    frame.Sequence = ++sequence_;
    bytes_ += size;
    frames_.push_back(std::move(frame));
    while (bytes_ > kBytesKept && frames_.size() > 1) {
        bytes_ -= frames_.front().Pixels->size();
        frames_.pop_front();
    }
}

uint64_t RawFrameRing::Newest() {
    std::lock_guard<std::mutex> hold(lock_);
    return sequence_;
}

std::vector<RawFrame> RawFrameRing::Between(uint64_t after, uint64_t upTo) {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<RawFrame> frames;
    for (const RawFrame& frame : frames_) {
        if (frame.Sequence > after && frame.Sequence <= upTo) frames.push_back(frame);
    }
    return frames;
}

void RawFrameRing::Release(uint64_t upTo) {
    std::lock_guard<std::mutex> hold(lock_);
    while (!frames_.empty() && frames_.front().Sequence <= upTo) {
        bytes_ -= frames_.front().Pixels->size();
        frames_.pop_front();
    }
}

}  // namespace vexacam::tools
