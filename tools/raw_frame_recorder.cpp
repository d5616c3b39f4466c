#include "tools/raw_frame_recorder.h"

#include <algorithm>
#include <cstdio>

#include "tools/whole_file.h"

namespace vexacam::tools {
namespace {

// Frames waiting to be written; more are counted as lost rather than held in memory.
constexpr size_t kQueueLimit = 32;

std::string RawFileName(uint32_t number) {
    char name[32];
    std::snprintf(name, sizeof(name), "raw-%04u.raw", number);
    return name;
}

}  // namespace

RawFrameRecorder::RawFrameRecorder(camera::SimulatedCamera& camera, std::string directory)
    : camera_(camera),
      directory_(std::move(directory)),
      queue_([this](uint32_t number, const std::vector<uint8_t>& pixels) {
          return WriteWholeFile(directory_ + "/" + RawFileName(number), pixels);
      }) {
    camera_.ObserveFrames([this](uint64_t, const uint8_t* pixels, size_t size) { Observe(pixels, size); });
}

RawFrameRecorder::~RawFrameRecorder() { Finish(); }

void RawFrameRecorder::Start() {
    std::lock_guard<std::mutex> hold(lock_);
    recording_ = true;
}

void RawFrameRecorder::Stop() {
    std::lock_guard<std::mutex> hold(lock_);
    recording_ = false;
}

uint32_t RawFrameRecorder::Saved() const { return queue_.Written(); }

void RawFrameRecorder::Observe(const uint8_t* pixels, size_t size) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!recording_ || finishing_) return;
    if (queue_.Queued() >= kQueueLimit) {
        lost_ += 1;
        return;
    }
    std::vector<uint8_t> frame = queue_.TakeBuffer(size);
    std::copy(pixels, pixels + size, frame.begin());
    queue_.Push(++taken_, std::move(frame));
}

std::string RawFrameRecorder::Finish() {
    camera_.ObserveFrames(nullptr);
    {
        std::lock_guard<std::mutex> hold(lock_);
        finishing_ = true;
    }
    queue_.Finish();
    std::lock_guard<std::mutex> hold(lock_);
    if (lost_ > 0) queue_.NoteFailure(std::to_string(lost_) + " raw frames could not be written in time");
    return queue_.Failure();
}

}  // namespace vexacam::tools
