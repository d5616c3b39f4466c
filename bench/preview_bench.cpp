// The preview's cost per picture: scaling the delivered picture into the preview size,
// counting its histogram and encoding it with TurboJPEG, as the server's encoder thread does
// once per picture however many viewers watch.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "tools/serve/preview_encoder.h"

namespace {

using vexacam::tools::ChannelHistogram;
using vexacam::tools::FitPreview;
using vexacam::tools::PreviewEncoder;
using vexacam::tools::PreviewSize;

// A test-chart-like picture: a grid of coloured patches on a gradient, with sensor-like noise,
// so the encoder meets edges, flat areas and grain as in a camera's picture.
std::vector<uint8_t> ChartPicture(uint32_t width, uint32_t height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0, 2.0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t patch = (x * 6 / width) + 6 * (y * 4 / height);
            const bool border = (x * 6 % width) < width / 60 || (y * 4 % height) < height / 40;
            for (uint32_t c = 0; c < 3; ++c) {
                double level = border ? 20 : 40 + ((patch * (c + 3) * 37) % 180) + 30.0 * x / width;
                level += noise(random);
                pixels[(static_cast<size_t>(y) * width + x) * 3 + c] = static_cast<uint8_t>(level < 0 ? 0 : level > 255 ? 255 : level);
            }
        }
    }
    return pixels;
}

void BM_PreviewScaleAndEncode(benchmark::State& state) {
    const uint32_t width = static_cast<uint32_t>(state.range(0));
    const uint32_t height = static_cast<uint32_t>(state.range(1));
    const PreviewSize limit{static_cast<uint32_t>(state.range(2)), static_cast<uint32_t>(state.range(3))};
    const std::vector<uint8_t> picture = ChartPicture(width, height);
    const PreviewSize shown = FitPreview(width, height, limit);
    PreviewEncoder encoder;
    ChannelHistogram histogram{};
    size_t bytes = 0;
    for (auto _ : state) {
        encoder.Scale(picture.data(), width, height, shown, &histogram);
        bytes = encoder.Encode().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["jpeg_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_PreviewScaleAndEncode)
    ->Args({640, 480, 640, 480})
    ->Args({2048, 1536, 640, 480})
    ->Args({2048, 1536, 2048, 1536})
    ->ArgNames({"width", "height", "preview_w", "preview_h"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
