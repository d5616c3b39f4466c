#include "tools/serve/preview_encoder.h"

#include <turbojpeg.h>

#include <algorithm>

namespace vexacam::tools {

PreviewSize FitPreview(uint32_t width, uint32_t height, PreviewSize limit) {
    if (width <= limit.Width && height <= limit.Height) return {width, height};
    // Whichever side limits the scale decides it; the other follows, rounded.
    const uint64_t byWidth = static_cast<uint64_t>(limit.Width) * height;
    const uint64_t byHeight = static_cast<uint64_t>(limit.Height) * width;
    PreviewSize shown;
    if (byWidth <= byHeight) {
        shown.Width = limit.Width;
        shown.Height = static_cast<uint32_t>((byWidth + width / 2) / width);
    } else {
        shown.Height = limit.Height;
        shown.Width = static_cast<uint32_t>((byHeight + height / 2) / height);
    }
    shown.Width = std::max<uint32_t>(shown.Width, 1);
    shown.Height = std::max<uint32_t>(shown.Height, 1);
    return shown;
}

PreviewEncoder::PreviewEncoder(int quality) : handle_(tjInitCompress()), quality_(quality) {}

PreviewEncoder::~PreviewEncoder() {
    if (handle_ != nullptr) tjDestroy(static_cast<tjhandle>(handle_));
}

void PreviewEncoder::Scale(const uint8_t* bottomUpBgr, uint32_t width, uint32_t height, PreviewSize shown,
                           ChannelHistogram* histogram) {
    shown_ = shown;
    scaled_.resize(static_cast<size_t>(shown.Width) * shown.Height * 3);
    for (auto& channel : *histogram) channel.fill(0);
    const size_t sourcePitch = static_cast<size_t>(width) * 3;
    // Nearest source pixel of each shown one; the columns are worked out once per picture.
    std::vector<uint32_t> columns(shown.Width);
    for (uint32_t x = 0; x < shown.Width; ++x) {
        columns[x] = static_cast<uint32_t>((static_cast<uint64_t>(x) * width + width / 2) / shown.Width) * 3;
    }
    constexpr int kShift = 8 - 6;  // 256 levels into 64 bins
    static_assert(kHistogramBins == 64);
    for (uint32_t y = 0; y < shown.Height; ++y) {
        const uint64_t sourceY = (static_cast<uint64_t>(y) * height + height / 2) / shown.Height;
        const uint8_t* row = bottomUpBgr + (height - 1 - sourceY) * sourcePitch;  // top row first
        uint8_t* out = scaled_.data() + static_cast<size_t>(y) * shown.Width * 3;
        for (uint32_t x = 0; x < shown.Width; ++x, out += 3) {
            const uint8_t* pixel = row + columns[x];
            out[0] = pixel[0];
            out[1] = pixel[1];
            out[2] = pixel[2];
            ++(*histogram)[0][pixel[0] >> kShift];
            ++(*histogram)[1][pixel[1] >> kShift];
            ++(*histogram)[2][pixel[2] >> kShift];
        }
    }
}

std::string PreviewEncoder::Encode() {
    if (handle_ == nullptr || scaled_.empty()) return "";
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(static_cast<tjhandle>(handle_), scaled_.data(), static_cast<int>(shown_.Width),
                                   static_cast<int>(shown_.Width * 3), static_cast<int>(shown_.Height), TJPF_BGR, &jpeg,
                                   &size, TJSAMP_420, quality_, TJFLAG_FASTDCT);
    std::string bytes;
    if (result == 0 && jpeg != nullptr) bytes.assign(reinterpret_cast<const char*>(jpeg), size);
    tjFree(jpeg);
    return bytes;
}

}  // namespace vexacam::tools
