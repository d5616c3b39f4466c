// A video of the delivered pictures, chosen by the file's extension: an uncompressed RGB24 AVI
// at the driver's frame interval (.avi), or a lossless FFV1 Matroska file with each picture's
// own presentation time (.mkv). Either lasts as long as the capture: a frame period without a
// picture (dropped by the driver, or not saved by the program) keeps the previous picture on
// screen for it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vexacam::tools {

class VideoFile {
public:
    virtual ~VideoFile() = default;
    // One picture (bottom-up BGR rows of 3 x width bytes), delivered in frame period Period
    // with the given presentation time (100 ns). Periods only grow. "" or why it failed.
    virtual std::string AddFrame(const uint8_t* bottomUpBgr, int64_t period, int64_t presentationTime) = 0;
    // A period in which a picture was delivered but not kept: the previous picture stays on
    // screen through it. "" or why it failed.
    virtual std::string AddRepeat(int64_t period, int64_t presentationTime) = 0;
    // Completes the file; it is playable only after this. "" or why it failed.
    virtual std::string Finish() = 0;
};

// ".avi" or ".mkv"; anything else ends the command (status 2) saying which are known.
void CheckVideoName(const std::string& path);

// Creates the file. FrameInterval is the driver's, 100 ns. Null with *problem set.
std::unique_ptr<VideoFile> CreateVideoFile(const std::string& path, uint32_t width, uint32_t height,
                                           int64_t frameInterval, std::string* problem);

}  // namespace vexacam::tools
