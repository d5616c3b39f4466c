// Whether a frame is fit to calibrate from, judged before the driver's tables replace the old
// files. A gain map needs an evenly lit grey card: a flat, unclipped, well-exposed frame. A
// defect table needs the lens capped: a dark frame in which few pixels stand out.
//
// The thresholds come from the simulated camera's three scenes, measured at 640x480, 1280x1024
// and 2048x1536, and from what a real grey card and a capped lens give:
//   grey card    centre mean 131..146 once exposure has settled, nothing clipped, texture
//                0.002..0.006 (a smooth fall-off to the corners, noise averaged out)
//   capped lens  mean 2 at the defect capture's exposure; 1 to 12 pixels stand out (the
//                sensor's hot pixels)
//   chart        texture 0.10..0.12 (patch edges), 6..24% of samples clipped; as a dark frame
//                mean 198..214 and 11,037..12,159 pixels "stand out"
// A real card is as smooth as the simulated one but not perfectly even (texture up to about
// 0.01); a real sensor has hot pixels in the tens to hundreds per million.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexacam::tools {

struct RawFrameStats {
    double CentreMean = 0;       // mean sample of the central half, 0..255
    double ClippedFraction = 0;  // samples at 250 and above, of the whole frame
    double Texture = 0;          // mean step between neighbouring 16 x 16 blocks, relative to the mean
};

// Statistics of a raw Bayer frame of Width x Height samples.
RawFrameStats MeasureRawFrame(const std::vector<uint8_t>& raw, uint32_t width, uint32_t height);

// Limits, public so that the help text and the tests quote the same numbers.
struct CalibrationLimits {
    static constexpr double kGainMapMinimumMean = 64;   // a quarter of full scale
    static constexpr double kGainMapMaximumMean = 220;  // headroom for the bright centre
    static constexpr double kGainMapMaximumClipped = 0.001;
    static constexpr double kGainMapMaximumTexture = 0.03;
    static constexpr double kDefectsMaximumMean = 24;
    static constexpr double kDefectsMaximumFraction = 0.001;  // of the pixels
    static constexpr uint32_t kDefectsAlwaysAllowed = 64;
};

// "" when the frame suits a gain map, otherwise what was wrong and the scene that is needed.
std::string CheckGainMapScene(const RawFrameStats& stats);
// "" when the dark frame and the table it gave suit a defect table, otherwise why not.
std::string CheckDefectScene(const RawFrameStats& darkest, uint32_t defects, uint32_t width, uint32_t height);

}  // namespace vexacam::tools
