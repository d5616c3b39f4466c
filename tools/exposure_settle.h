// When the driver's automatic exposure has settled, judged as a person watching the picture
// would: the exposure it holds has stopped changing. The driver proposes a new exposure every
// fourth frame it processes and the camera applies it to frames read out afterwards, while up
// to four finished pictures and two raw frames are still on their way; so the exposure must
// stay put for twelve delivered pictures (three proposals) before the pictures show it. A
// scene the exposure cannot reach (too dark at the longest exposure) settles as well, and the
// wait is bounded.
#pragma once

#include <cstdint>

namespace vexacam::tools {

class ExposureSettle {
public:
    static constexpr uint32_t kSteadyFrames = 12;
    static constexpr uint32_t kFrameLimit = 150;

    explicit ExposureSettle(uint32_t frameLimit = kFrameLimit) : limit_(frameLimit) {}

    // After each delivered picture, the exposure the driver holds now. True once the exposure
    // has settled or the limit is reached: the next picture is the first to keep.
    bool Observe(uint32_t exposal);

    bool Settled() const { return settled_; }
    uint32_t Frames() const { return frames_; }

private:
    uint32_t limit_;
    uint32_t frames_ = 0;
    uint32_t steady_ = 0;
    uint32_t last_ = 0;
    bool settled_ = false;
};

}  // namespace vexacam::tools
