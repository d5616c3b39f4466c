#include "tools/raw_frame_recorder.h"

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
    : camera_(camera), directory_(std::move(directory)) {
    thread_ = std::thread(&RawFrameRecorder::WriteLoop, this);
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

uint32_t RawFrameRecorder::Saved() const {
    std::lock_guard<std::mutex> hold(lock_);
    return saved_;
}

void RawFrameRecorder::Observe(const uint8_t* pixels, size_t size) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!recording_ || finishing_) return;
    if (queue_.size() >= kQueueLimit) {
        lost_ += 1;
        return;
    }
    queue_.emplace_back(++taken_, std::vector<uint8_t>(pixels, pixels + size));
    changed_.notify_all();
}

std::string RawFrameRecorder::Finish() {
    camera_.ObserveFrames(nullptr);
    {
        std::lock_guard<std::mutex> hold(lock_);
        finishing_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> hold(lock_);
    if (failure_.empty() && lost_ > 0) {
        failure_ = std::to_string(lost_) + " raw frames could not be written in time";
    }
    return failure_;
}

void RawFrameRecorder::WriteLoop() {
    for (;;) {
        std::pair<uint32_t, std::vector<uint8_t>> next;
        {
            std::unique_lock<std::mutex> hold(lock_);
            changed_.wait(hold, [this] { return finishing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            next = std::move(queue_.front());
            queue_.pop_front();
            if (!failure_.empty()) continue;
        }
        const std::string problem = WriteWholeFile(directory_ + "/" + RawFileName(next.first), next.second);
        std::lock_guard<std::mutex> hold(lock_);
        if (problem.empty()) saved_ += 1;
        if (failure_.empty()) failure_ = problem;
    }
}

}  // namespace vexacam::tools
