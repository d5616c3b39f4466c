// Which raw frame each delivered picture was made from, and in what state: the picture is made
// again from the raw frames read out after the previous picture's source and before it
// arrived, through the driver's own stage sequence offline, until one gives the picture byte
// for byte. That pins the raw frame (the
// driver skips frames while it is busy) and proves the record: a picture that matches is one
// `vexacam process --replay` makes again.
//
// The state follows the driver's: the settings the capture put in force, a one-push white
// balance computed by the first frame processed after the request (its tables then stay),
// and the busy marker of a pending one-push exposure, seen in the picture itself.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/offline_device.h"
#include "tools/raw_frame_ring.h"
#include "tools/render_state.h"

namespace vexacam::tools {

class ReplayMatcher {
public:
    // Device: the pipeline at the capture's size, its calibration loaded as the driver's was.
    ReplayMatcher(OfflineDevice& device, RawFrameRing& ring, RenderState initial);

    struct Result {
        bool Found = false;
        RawFrame Raw;       // the source frame
        RenderState State;  // the state the picture was made in
    };
    // The next delivered picture, in delivery order; Newest is the ring's newest frame when it
    // arrived (its source was read out before).
    Result Match(const std::vector<uint8_t>& picture, uint64_t newest);

private:
    bool Try(const std::vector<uint8_t>& raw, const std::vector<uint8_t>& picture, RenderState* state);
    void TakeWhiteBalance();

    OfflineDevice& device_;
    RawFrameRing& ring_;
    RenderState state_;
    uint64_t lastSource_ = 0;  // frames up to this one are spent
    uint64_t lastGap_ = 1;     // between the last two sources: where the next one is looked for first
};

}  // namespace vexacam::tools
