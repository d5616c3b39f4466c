#include "tools/exposure_settle.h"

namespace vexacam::tools {

bool ExposureSettle::Observe(uint32_t exposal) {
    ++frames_;
    steady_ = (frames_ > 1 && exposal == last_) ? steady_ + 1 : 0;
    last_ = exposal;
    if (steady_ >= kSteadyFrames) settled_ = true;
    return settled_ || frames_ >= limit_;
}

}  // namespace vexacam::tools
