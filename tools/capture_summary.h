// What a capture did, for people (a few lines) and for scripts (one JSON object).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace vexacam::tools {

struct CaptureSummary {
    uint32_t Width = 0;
    uint32_t Height = 0;
    int64_t FrameInterval = 0;      // the driver's, 100 ns
    double CameraFramesPerSecond = 0;
    uint32_t Delivered = 0;         // pictures the driver delivered and the capture kept
    int64_t FramePeriods = 0;       // the driver's count of frame periods while running
    int64_t Dropped = 0;            // the driver's count of periods without a picture
    double AverageIntervalMs = 0;   // between presentation times of kept pictures
    double ElapsedSeconds = 0;      // from run to the last kept picture
    double CpuMsPerFrame = 0;       // driver and simulated camera, writing excluded
    double WriteMsPerFrame = 0;     // encoding and writing the files
    std::string Directory;
    std::vector<std::string> PictureKinds;  // "bmp", "png"
    std::string Video;
    uint32_t RawFrames = 0;
    std::vector<std::pair<std::string, int64_t>> Settings;  // as the driver reads them back
    std::string Failure;            // empty when everything asked for was done
};

void PrintSummary(std::FILE* out, const CaptureSummary& summary);
// One line, no trailing newline.
std::string SummaryJson(const CaptureSummary& summary);

}  // namespace vexacam::tools
