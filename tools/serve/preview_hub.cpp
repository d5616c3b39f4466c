#include "tools/serve/preview_hub.h"

#include <chrono>
#include <utility>

#include "tools/cpu_time.h"

namespace vexacam::tools {

PreviewHub::PreviewHub(BufferPool& buffers, PreviewSize limit)
    : buffers_(buffers), limit_(limit), encoder_([this] { EncodeLoop(); }) {}

PreviewHub::~PreviewHub() {
    Stop();
    buffers_.Give(std::move(pending_.Pixels));
    buffers_.Give(std::move(newest_.Pixels));
}

void PreviewHub::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    offered_.notify_all();
    encoded_.notify_all();
    if (encoder_.joinable()) encoder_.join();
}

void PreviewHub::Offer(std::vector<uint8_t>& pixels, uint32_t width, uint32_t height) {
    std::vector<uint8_t> replaced;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!pending_.Pixels.empty()) ++figures_.Replaced;
        replaced = std::move(pending_.Pixels);
        pending_.Pixels = std::move(pixels);
        pending_.Width = width;
        pending_.Height = height;
    }
    pixels.clear();
    buffers_.Give(std::move(replaced));
    offered_.notify_one();
}

bool PreviewHub::AddViewer(size_t limit) {
    std::lock_guard<std::mutex> hold(lock_);
    if (viewers_ >= limit) return false;
    ++viewers_;
    return true;
}

bool PreviewHub::Stopped() const {
    std::lock_guard<std::mutex> hold(lock_);
    return stopping_;
}

void PreviewHub::RemoveViewer() {
    std::lock_guard<std::mutex> hold(lock_);
    --viewers_;
}

size_t PreviewHub::Viewers() const {
    std::lock_guard<std::mutex> hold(lock_);
    return viewers_;
}

bool PreviewHub::WaitForFrame(uint64_t after, int timeoutMs, PreviewFrame* frame) {
    std::unique_lock<std::mutex> hold(lock_);
    encoded_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                      [&] { return stopping_ || (frame_.Sequence > after && frame_.Jpeg != nullptr); });
    if (stopping_ || frame_.Sequence <= after || frame_.Jpeg == nullptr) return false;
    *frame = frame_;
    return true;
}

bool PreviewHub::CopyNewest(FullPicture* picture) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (newest_.Pixels.empty()) return false;
    *picture = newest_;
    return true;
}

PreviewFigures PreviewHub::Figures() const {
    std::lock_guard<std::mutex> hold(lock_);
    return figures_;
}

void PreviewHub::EncodeLoop() {
    PreviewEncoder encoder;
    ChannelHistogram histogram{};
    uint32_t lastWidth = 0, lastHeight = 0;
    std::unique_lock<std::mutex> hold(lock_);
    while (true) {
        offered_.wait(hold, [&] { return stopping_ || !pending_.Pixels.empty(); });
        if (stopping_) return;
        FullPicture picture = std::move(pending_);
        pending_.Pixels.clear();
        if (viewers_ == 0) {  // nobody watches: only keep the picture for snapshots
            std::swap(newest_, picture);
            hold.unlock();
            buffers_.Give(std::move(picture.Pixels));
            hold.lock();
            continue;
        }
        hold.unlock();

        const double cpuBefore = ThreadCpuSeconds();
        const PreviewSize shown = FitPreview(picture.Width, picture.Height, limit_);
        encoder.Scale(picture.Pixels.data(), picture.Width, picture.Height, shown, &histogram);
        auto jpeg = std::make_shared<const std::string>(encoder.Encode());
        const double cpu = ThreadCpuSeconds() - cpuBefore;

        hold.lock();
        if (picture.Width != lastWidth || picture.Height != lastHeight) {
            figures_.Encoded = 0;  // the encoder's figures are of one picture size
            figures_.EncoderCpuSeconds = 0;
            lastWidth = picture.Width;
            lastHeight = picture.Height;
        }
        std::swap(newest_, picture);
        ++figures_.Encoded;
        figures_.EncoderCpuSeconds += cpu;
        figures_.ShownWidth = shown.Width;
        figures_.ShownHeight = shown.Height;
        figures_.Histogram = histogram;
        if (!jpeg->empty()) {
            frame_.Jpeg = std::move(jpeg);
            ++frame_.Sequence;
        }
        hold.unlock();
        buffers_.Give(std::move(picture.Pixels));  // the previous newest
        encoded_.notify_all();
        hold.lock();
    }
}

}  // namespace vexacam::tools
