// A Matroska file of the delivered pictures through FFmpeg's libraries: lossless FFV1 (planar
// GBR, so every byte of the picture comes back), each picture stamped with its own
// presentation time, so gaps in delivery are gaps on screen, not a faster film.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/video_file.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace vexacam::tools {

class MkvFile : public VideoFile {
public:
    static std::unique_ptr<MkvFile> Create(const std::string& path, uint32_t width, uint32_t height,
                                           int64_t frameInterval, std::string* problem);
    ~MkvFile() override;

    std::string AddFrame(const uint8_t* bottomUpBgr, int64_t period, int64_t presentationTime) override;
    std::string AddRepeat(int64_t period, int64_t presentationTime) override;
    std::string Finish() override;

private:
    MkvFile() = default;
    // Sends Frame (null: the end) to the encoder and writes what comes out.
    std::string Encode(AVFrame* frame);
    std::string Failure(const char* what, int error) const;

    std::string path_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    int64_t frameInterval_ = 0;
    int64_t firstTime_ = -1;
    int64_t repeatTime_ = -1;  // a period after the last picture that still shows it
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVStream* stream_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    bool headerWritten_ = false;
    bool finished_ = false;
};

}  // namespace vexacam::tools
