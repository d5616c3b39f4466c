// An uncompressed RGB24 AVI (RIFF, one video stream, an idx1 index) of the driver's pictures,
// as media players, ffmpeg and ffprobe open it. Each frame is a bottom-up DIB, which is the
// driver's output buffer as it stands.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vexacam::tools {

// Files stay below 1 GiB, where every reader of the original format agrees.
constexpr uint64_t kAviSizeLimit = uint64_t{1} << 30;

class AviFile {
public:
    // Starts the file. FrameInterval is the driver's, in 100 ns units. Null with *problem set
    // on failure.
    static std::unique_ptr<AviFile> Create(const std::string& path, uint32_t width,
                                           uint32_t height, int64_t frameInterval,
                                           std::string* problem);
    ~AviFile();
    AviFile(const AviFile&) = delete;
    AviFile& operator=(const AviFile&) = delete;

    // The file size that Frames frames give, headers and index included.
    static uint64_t FileSizeFor(uint32_t width, uint32_t height, uint64_t frames);

    // Appends one picture (bottom-up rows of 3 x Width bytes). Refused, with the file still
    // valid once finished, when it would take the file past kAviSizeLimit.
    std::string AddFrame(const uint8_t* bottomUpBgr);
    // Writes the index and the frame counts. The file is playable only after this.
    std::string Finish();
    uint32_t Frames() const { return static_cast<uint32_t>(frameSizes_.size()); }

private:
    AviFile() = default;
    std::string Fail(const std::string& what);

    std::FILE* file_ = nullptr;
    std::string path_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t frameBytes_ = 0;  // rows padded to 4 bytes
    std::vector<uint32_t> frameSizes_;
    std::vector<uint8_t> padded_;
    bool finished_ = false;
};

}  // namespace vexacam::tools
