#include "tools/progress_display.h"

#include <algorithm>
#include <string>

namespace vexacam::tools {
namespace {

constexpr int kBarWidth = 30;
constexpr double kRedrawSeconds = 0.05;

}  // namespace

ProgressDisplay::ProgressDisplay(std::FILE* out, uint32_t targetFrames, double targetSeconds,
                                 bool terminal)
    : out_(out), targetFrames_(targetFrames), targetSeconds_(targetSeconds), terminal_(terminal) {}

double ProgressDisplay::Fraction(uint32_t frames, double elapsed) const {
    const double fraction = targetFrames_ > 0 ? static_cast<double>(frames) / targetFrames_
                                              : (targetSeconds_ > 0 ? elapsed / targetSeconds_ : 0);
    return std::clamp(fraction, 0.0, 1.0);
}

void ProgressDisplay::Draw(uint32_t frames, double elapsed) {
    const int filled = static_cast<int>(Fraction(frames, elapsed) * kBarWidth);
    const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
    if (targetFrames_ > 0) {
        std::fprintf(out_, "\r[%s] %u/%u frames %5.1f s", bar.c_str(), frames, targetFrames_, elapsed);
    } else {
        std::fprintf(out_, "\r[%s] %u frames %5.1f/%.1f s", bar.c_str(), frames, elapsed, targetSeconds_);
    }
    std::fflush(out_);
    drewBar_ = true;
    lastDrawn_ = elapsed;
}

void ProgressDisplay::Update(uint32_t frames, double elapsed) {
    if (terminal_) {
        if (lastDrawn_ < 0 || elapsed - lastDrawn_ >= kRedrawSeconds) Draw(frames, elapsed);
        return;
    }
    const int step = targetFrames_ > 0 ? static_cast<int>(Fraction(frames, elapsed) * 10)
                                       : static_cast<int>(elapsed);
    if (step == lastStep_) return;
    lastStep_ = step;
    lastPrinted_ = frames;
    std::fprintf(out_, "captured %u frames in %.1f s\n", frames, elapsed);
    std::fflush(out_);
}

void ProgressDisplay::Finish(uint32_t frames, double elapsed) {
    if (terminal_) {
        Draw(frames, elapsed);
        std::fputc('\n', out_);
    } else if (lastPrinted_ != frames) {
        std::fprintf(out_, "captured %u frames in %.1f s\n", frames, elapsed);
    }
    std::fflush(out_);
}

}  // namespace vexacam::tools
