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
    uint32_t Skipped = 0;           // delivered before the first kept picture
    std::string SkipReason;         // "settle", "asked", "not settled" or "" (none skipped)
    uint32_t Delivered = 0;         // pictures the driver delivered while the capture kept them
    uint32_t Saved = 0;             // of those, written
    uint32_t Unsaved = 0;           // of those, dropped unsaved because the writer fell behind
    int64_t FramePeriods = 0;       // the driver's count of frame periods while keeping pictures
    int64_t Dropped = 0;            // the driver's count of those periods without a picture
    double AverageIntervalMs = 0;   // between presentation times of kept pictures
    double CaptureSeconds = 0;      // first kept picture's presentation time to the last's, plus a period
    int64_t CapturePeriods = 0;     // frame periods from the first kept picture's to the last's
    double ElapsedSeconds = 0;      // wall clock while keeping pictures
    double CpuMsPerFrame = 0;       // driver and simulated camera, writing excluded
    double WriteMsPerFrame = 0;     // encoding and writing the files
    std::string Directory;          // "" with standard output
    std::vector<std::string> PictureKinds;  // "bmp", "png"
    std::string Video;
    bool StandardOutput = false;
    uint32_t RawFrames = 0;
    uint32_t ReplayChecked = 0;     // pictures made again from their raw frames, byte for byte
    std::vector<std::pair<std::string, int64_t>> Settings;  // as the driver reads them back
    bool Interrupted = false;
    std::string Failure;            // empty when everything asked for was done
};

void PrintSummary(std::FILE* out, const CaptureSummary& summary);
// One line, no trailing newline.
std::string SummaryJson(const CaptureSummary& summary);

}  // namespace vexacam::tools
