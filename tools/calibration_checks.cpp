#include "tools/calibration_checks.h"

#include <cstdio>
#include <cmath>
#include <cstdlib>

namespace vexacam::tools {
namespace {

constexpr uint32_t kBlock = 16;

std::string Format(const char* format, double a, double b = 0) {
    char text[160];
    std::snprintf(text, sizeof(text), format, a, b);
    return text;
}

}  // namespace

RawFrameStats MeasureRawFrame(const std::vector<uint8_t>& raw, uint32_t width, uint32_t height) {
    RawFrameStats stats;
    if (width < 4 * kBlock || height < 4 * kBlock || raw.size() < size_t{width} * height) return stats;
    uint64_t clipped = 0;
    for (size_t i = 0; i < size_t{width} * height; ++i) clipped += raw[i] >= 250;
    stats.ClippedFraction = static_cast<double>(clipped) / (double{1} * width * height);
    // Block means over the central half; a block is square and even-sized, so each holds the
    // same mix of Bayer colours and the noise averages out.
    const uint32_t columns = (width / 2) / kBlock, rows = (height / 2) / kBlock;
    std::vector<double> means(size_t{columns} * rows, 0);
    for (uint32_t by = 0; by < rows; ++by) {
        for (uint32_t bx = 0; bx < columns; ++bx) {
            uint64_t sum = 0;
            for (uint32_t y = 0; y < kBlock; ++y) {
                const uint8_t* row = raw.data() + size_t{height / 4 + by * kBlock + y} * width + width / 4 + bx * kBlock;
                for (uint32_t x = 0; x < kBlock; ++x) sum += row[x];
            }
            means[size_t{by} * columns + bx] = static_cast<double>(sum) / (kBlock * kBlock);
        }
    }
    double total = 0, steps = 0;
    uint32_t pairs = 0;
    for (uint32_t by = 0; by < rows; ++by) {
        for (uint32_t bx = 0; bx < columns; ++bx) {
            const double mean = means[size_t{by} * columns + bx];
            total += mean;
            if (bx + 1 < columns) steps += std::abs(means[size_t{by} * columns + bx + 1] - mean), ++pairs;
            if (by + 1 < rows) steps += std::abs(means[size_t{by + 1} * columns + bx] - mean), ++pairs;
        }
    }
    stats.CentreMean = total / static_cast<double>(means.size());
    stats.Texture = pairs == 0 ? 0 : steps / pairs / (stats.CentreMean > 1 ? stats.CentreMean : 1);
    return stats;
}

std::string CheckGainMapScene(const RawFrameStats& s) {
    using L = CalibrationLimits;
    const char* need = "; a gain map needs an evenly lit grey card filling the picture";
    if (s.CentreMean < L::kGainMapMinimumMean) {
        return Format("the frame is too dark (centre mean %.0f of 255, at least %.0f wanted)", s.CentreMean,
                      L::kGainMapMinimumMean) + need;
    }
    if (s.CentreMean > L::kGainMapMaximumMean || s.ClippedFraction > L::kGainMapMaximumClipped) {
        return Format("the frame is overexposed (centre mean %.0f of 255, %.2f%% of samples clipped)", s.CentreMean,
                      100 * s.ClippedFraction) + need;
    }
    if (s.Texture > L::kGainMapMaximumTexture) {
        return Format("the frame is not flat (texture %.3f, at most %.3f for a plain card)", s.Texture,
                      L::kGainMapMaximumTexture) + need;
    }
    return "";
}

std::string CheckDefectScene(const RawFrameStats& darkest, uint32_t defects, uint32_t width, uint32_t height) {
    using L = CalibrationLimits;
    const char* need = "; a defect table needs the lens capped (a dark frame)";
    if (darkest.CentreMean > L::kDefectsMaximumMean) {
        return Format("the frame is not dark (mean %.0f of 255 at the capture's exposure, at most %.0f)",
                      darkest.CentreMean, L::kDefectsMaximumMean) + need;
    }
    const double allowed = L::kDefectsMaximumFraction * width * height;
    if (defects > L::kDefectsAlwaysAllowed && defects > allowed) {
        return Format("%.0f pixels stood out, far more than a sensor's defects (at most %.0f)", defects, allowed) + need;
    }
    return "";
}

}  // namespace vexacam::tools
