#include "tools/serve/recording.h"

#include <cstring>

#include "tools/render_state.h"

namespace vexacam::tools {
namespace {

CaptureOutputs VideoOnly(const std::string& path) {
    CaptureOutputs outputs;
    outputs.Bmp = false;
    outputs.VideoPath = path;
    return outputs;
}

}  // namespace

Recording::Recording(const std::string& path, const CaptureGeometry& geometry, BufferPool& buffers)
    : geometry_(geometry), buffers_(buffers), writer_(VideoOnly(path), geometry, buffers, nullptr) {}

Recording::~Recording() { Finish(); }

void Recording::Add(const DeliveredPicture& picture) {
    if (pictures_ == 0) {
        firstPeriod_ = picture.PictureNumber;
        firstTime_ = picture.PresentationTime;
    }
    DeliveredPicture copy;
    copy.PictureNumber = picture.PictureNumber - firstPeriod_;
    copy.PresentationTime = picture.PresentationTime - firstTime_;
    copy.Duration = picture.Duration;
    copy.Pixels = buffers_.Take(picture.Pixels.size());
    std::memcpy(copy.Pixels.data(), picture.Pixels.data(), picture.Pixels.size());
    lastPeriod_ = copy.PictureNumber;
    writer_.Push(++pictures_, copy, RenderState());
    if (!copy.Pixels.empty()) buffers_.Give(std::move(copy.Pixels));  // not queued: the writer was full
}

std::string Recording::Finish() { return writer_.Finish(); }

void Recording::Fill(RecordingFigures* figures) const {
    const WriterCounts counts = writer_.Counts();
    figures->Saved = counts.Saved;
    figures->Unsaved = counts.Unsaved;
    figures->Seconds = static_cast<double>(lastPeriod_ + 1) * static_cast<double>(geometry_.FrameInterval) / 1e7;
}

}  // namespace vexacam::tools
