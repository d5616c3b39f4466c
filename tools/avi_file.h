// An uncompressed RGB24 AVI (RIFF, one video stream, an idx1 index) of the driver's pictures,
// as media players, ffmpeg and ffprobe open it. Each frame is a bottom-up DIB, which is the
// driver's output buffer as it stands. The file has one frame per frame period: a period
// without a picture is an empty chunk, which players take as "show the previous frame
// again", so the film lasts as long as the capture.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/video_file.h"

namespace vexacam::tools {

// Files stay below 1 GiB, where every reader of the original format agrees.
constexpr uint64_t kAviSizeLimit = uint64_t{1} << 30;

class AviFile : public VideoFile {
public:
    // Starts the file. FrameInterval is the driver's, in 100 ns units. Null with *problem set
    // on failure.
    static std::unique_ptr<AviFile> Create(const std::string& path, uint32_t width,
                                           uint32_t height, int64_t frameInterval,
                                           std::string* problem);
    ~AviFile() override;
    AviFile(const AviFile&) = delete;
    AviFile& operator=(const AviFile&) = delete;

    // The file size that Frames frames give, headers and index included.
    static uint64_t FileSizeFor(uint32_t width, uint32_t height, uint64_t frames);

    // Appends one picture (bottom-up rows of 3 x Width bytes), after an empty chunk for each
    // period since the last picture. Refused, with the file still valid once finished, when it
    // would take the file past kAviSizeLimit.
    std::string AddFrame(const uint8_t* bottomUpBgr, int64_t period, int64_t presentationTime) override;
    std::string AddRepeat(int64_t period, int64_t presentationTime) override;
    // Writes the index and the frame counts. The file is playable only after this.
    std::string Finish() override;
    uint32_t Frames() const { return static_cast<uint32_t>(frameSizes_.size()); }

private:
    AviFile() = default;
    std::string Fail(const std::string& what);
    std::string AddChunk(const uint8_t* data, uint32_t size);

    std::FILE* file_ = nullptr;
    std::string path_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t frameBytes_ = 0;  // rows padded to 4 bytes
    std::vector<uint32_t> frameSizes_;  // per chunk; 0 for a period without a picture
    uint64_t fileBytes_ = 0;            // as it will be once finished
    int64_t lastPeriod_ = -1;
    std::vector<uint8_t> padded_;
    bool finished_ = false;
};

}  // namespace vexacam::tools
