#include "tools/replay_matcher.h"

#include <algorithm>
#include <cstdlib>

namespace vexacam::tools {
namespace {

bool SameTables(const GainTables& tables, const RenderState& state) {
    const auto value = [&state](const char* name) { return state.Settings.at(name); };
    return tables.Red == TableOfGain(value("R_Gain")) && tables.Green == TableOfGain(value("G_Gain")) &&
           tables.Blue == TableOfGain(value("B_Gain"));
}

}  // namespace

ReplayMatcher::ReplayMatcher(OfflineDevice& device, RawFrameRing& ring, RenderState initial)
    : device_(device), ring_(ring), state_(std::move(initial)) {}

// The gain values a white balance leaves are those GetGain reads from its tables; the tables
// themselves go into the state only when their values would not build them again.
void ReplayMatcher::TakeWhiteBalance() {
    const GainTables tables = device_.Tables();
    const std::pair<const char*, const GainTable*> gains[] = {
        {"R_Gain", &tables.Red}, {"G_Gain", &tables.Green}, {"B_Gain", &tables.Blue}};
    for (const auto& [name, table] : gains) {
        uint32_t value = 0;
        if (GainOfTable(*table, &value)) state_.Settings[name] = value;
    }
    state_.Tables.reset();
    if (!SameTables(tables, state_)) state_.Tables = tables;
    state_.WhiteBalancePending = false;
}

bool ReplayMatcher::Try(const std::vector<uint8_t>& raw, const std::vector<uint8_t>& picture, RenderState* state) {
    const std::vector<uint8_t> base = device_.RenderBase(raw, *state);
    for (bool busy : {false, true}) {
        std::vector<uint8_t> drawn = base;
        state->ExposurePending = busy;
        device_.DrawOverlays(&drawn, *state);
        if (drawn == picture) return true;
    }
    return false;
}

ReplayMatcher::Result ReplayMatcher::Match(const std::vector<uint8_t>& picture, uint64_t newest) {
    std::vector<RawFrame> candidates = ring_.Between(lastSource_, newest);
    // The driver skips about as many frames as last time (it is about as busy): that frame
    // is tried first, then its neighbours outwards.
    const int64_t expected = static_cast<int64_t>(lastSource_ + lastGap_);
    std::stable_sort(candidates.begin(), candidates.end(), [expected](const RawFrame& a, const RawFrame& b) {
        return std::llabs(static_cast<int64_t>(a.Sequence) - expected) < std::llabs(static_cast<int64_t>(b.Sequence) - expected);
    });
    Result result;
    for (const RawFrame& candidate : candidates) {
        // A frame processed before the request reached the driver makes the same picture
        // without it: that reading goes first, so the request is taken by the frame that
        // needed it.
        RenderState state = state_;
        state.WhiteBalancePending = false;
        bool found = Try(*candidate.Pixels, picture, &state);
        if (!found && state_.WhiteBalancePending) {
            state.WhiteBalancePending = true;
            found = Try(*candidate.Pixels, picture, &state);
            if (found) TakeWhiteBalance();
        }
        if (!found) continue;
        state_.ExposurePending = state.ExposurePending;
        if (lastSource_ > 0) lastGap_ = candidate.Sequence - lastSource_;
        lastSource_ = candidate.Sequence;
        ring_.Release(lastSource_);
        result.Found = true;
        result.Raw = candidate;
        result.State = state;
        return result;
    }
    result.State = state_;
    return result;
}

}  // namespace vexacam::tools
