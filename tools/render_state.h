// What the picture of one raw frame depends on besides the frame itself: the stored settings
// in force (by registry value name), the colour gain tables when they are not the ones their
// values build (after a one-push white balance), the calibration files, and the two one-shot
// requests as the frame met them: a white balance pending when its processing began (the
// frame computes it), a one-push exposure pending when it was drawn (its busy marker shows).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace vexacam::tools {

using GainTable = std::array<uint8_t, 256>;

struct GainTables {
    GainTable Red{};
    GainTable Green{};
    GainTable Blue{};
    bool operator==(const GainTables&) const = default;
};

struct RenderState {
    std::map<std::string, uint32_t> Settings;  // registry value name -> value
    std::optional<GainTables> Tables;          // overrides R_Gain, G_Gain, B_Gain
    bool WhiteBalancePending = false;
    bool ExposurePending = false;  // the busy marker
    bool GainMapCapture = false;   // offline only: capture a gain map from this frame first
};

}  // namespace vexacam::tools
