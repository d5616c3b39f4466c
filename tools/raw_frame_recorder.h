// Saves the raw Bayer frames the simulated camera reads out while a capture runs, as the
// camera hands them to the USB side: <dir>/raw-0001.raw ... (Width x Height bytes, row 0
// first), the input `vexacam process` takes. They are numbered in read-out order; the driver
// turns most of them into the delivered pictures, and skips those that arrive while it is busy.
//
// The camera calls the observer on its own thread with its lock held, so frames are copied
// there and written on the recorder's thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "camera/simulated_camera.h"
#include "tools/write_queue.h"

namespace vexacam::tools {

class RawFrameRecorder {
public:
    RawFrameRecorder(camera::SimulatedCamera& camera, std::string directory);
    ~RawFrameRecorder();  // detaches from the camera and finishes
    RawFrameRecorder(const RawFrameRecorder&) = delete;
    RawFrameRecorder& operator=(const RawFrameRecorder&) = delete;

    // Frames read out between Start and Stop are saved.
    void Start();
    void Stop();
    // Writes what is queued and stops the thread. The first failure, or "".
    std::string Finish();
    uint32_t Saved() const;

private:
    void Observe(const uint8_t* pixels, size_t size);

    camera::SimulatedCamera& camera_;
    std::string directory_;

    mutable std::mutex lock_;  // guards everything below
    bool recording_ = false;
    bool finishing_ = false;
    uint32_t taken_ = 0;  // frames numbered so far
    uint32_t lost_ = 0;   // frames that found the queue full
    WriteQueue queue_;    // last: its thread stops before the rest goes
};

}  // namespace vexacam::tools
