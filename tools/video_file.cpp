#include "tools/video_file.h"

#include "tools/avi_file.h"
#include "tools/command.h"
#include "tools/mkv_file.h"

namespace vexacam::tools {
namespace {

bool EndsWith(const std::string& text, const char* ending) {
    const std::string tail(ending);
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void CheckVideoName(const std::string& path) {
    if (!EndsWith(path, ".avi") && !EndsWith(path, ".mkv")) {
        FailUsage("--video " + path + ": name the file .avi (uncompressed RGB24) or .mkv (lossless FFV1)");
    }
}

std::unique_ptr<VideoFile> CreateVideoFile(const std::string& path, uint32_t width, uint32_t height,
                                           int64_t frameInterval, std::string* problem) {
    if (EndsWith(path, ".mkv")) return MkvFile::Create(path, width, height, frameInterval, problem);
    return AviFile::Create(path, width, height, frameInterval, problem);
}

}  // namespace vexacam::tools
