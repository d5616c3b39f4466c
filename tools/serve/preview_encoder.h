// Turns a delivered picture into what a viewer of the preview gets: the picture fitted into
// the preview size (never enlarged), its histogram per colour channel, and a JPEG of it made
// with TurboJPEG. Large formats are scaled down before encoding, so a 2048 x 1536 stream
// costs the encoder no more than the preview size it shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vexacam::tools {

struct PreviewSize {
    uint32_t Width = 640;
    uint32_t Height = 480;
};

// The size a Width x Height picture is shown at: fitted into Limit, aspect kept, at least 1.
PreviewSize FitPreview(uint32_t width, uint32_t height, PreviewSize limit);

constexpr size_t kHistogramBins = 64;
// Blue, green and red counts of the shown pixels, kHistogramBins bins each.
using ChannelHistogram = std::array<std::array<uint32_t, kHistogramBins>, 3>;

class PreviewEncoder {
public:
    explicit PreviewEncoder(int quality = 80);
    ~PreviewEncoder();
    PreviewEncoder(const PreviewEncoder&) = delete;
    PreviewEncoder& operator=(const PreviewEncoder&) = delete;

    // Scales the picture (bottom-up BGR rows of 3 x Width bytes) to Shown and counts its
    // histogram. The scaled picture stays in the encoder for Encode.
    void Scale(const uint8_t* bottomUpBgr, uint32_t width, uint32_t height, PreviewSize shown,
               ChannelHistogram* histogram);
    // The scaled picture as a baseline JPEG; "" when TurboJPEG failed.
    std::string Encode();

private:
    void* handle_;  // tjhandle
    int quality_;
    PreviewSize shown_;
    std::vector<uint8_t> scaled_;  // top-down BGR rows of the shown size
};

}  // namespace vexacam::tools
