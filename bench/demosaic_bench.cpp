// Demosaic variants, edge repair and overlays at each vector level, beside memcpy of the picture
// and (when OpenCV is installed) its bilinear Bayer-to-BGR conversion on one thread.
#include <string>

#include "bench_support.h"
#include "imaging/stage_bodies.h"
#include "imaging/demosaic.h"
#include "imaging/overlays.h"
#include "imaging/repair_edges.h"

#if defined(VEXACAM_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace vexacam::bench {
namespace {

typedef VOID VARIANT(ULONG, ULONG, PUCHAR, const UCHAR*);

template <VARIANT Variant>
void BM_Variant(benchmark::State& state, VECTOR_LEVEL level) {
    const ULONG width = ULONG(state.range(0)), height = ULONG(state.range(1));
    const auto frame = RandomBytes(size_t(width) * height);
    std::vector<uint8_t> picture(size_t(width) * height * 3);
    SelectStageBodies(level);
    for (auto _ : state) {
        Variant(width, height, picture.data(), frame.data());
        benchmark::DoNotOptimize(picture.data());
        benchmark::ClobberMemory();
    }
    SelectStageBodies(VectorLevelAvx512);
}

void BM_RepairEdges(benchmark::State& state) {
    const ULONG width = ULONG(state.range(0)), height = ULONG(state.range(1));
    auto picture = RandomBytes(size_t(width) * height * 3);
    for (auto _ : state) {
        RepairEdges(width, height, picture.data(), 1, 3);
        benchmark::ClobberMemory();
    }
}

void BM_Overlays(benchmark::State& state) {
    const ULONG width = ULONG(state.range(0)), height = ULONG(state.range(1));
    auto picture = RandomBytes(size_t(width) * height * 3);
    for (auto _ : state) {
        DrawBusyMarker(width, height, picture.data());
        DrawCrosshair(width, height, picture.data(), 0, 0, 1);
        benchmark::ClobberMemory();
    }
}

#if defined(VEXACAM_HAVE_OPENCV)
void BM_OpenCvBilinearBayerToBgr(benchmark::State& state) {
    const int width = int(state.range(0)), height = int(state.range(1));
    auto frame = RandomBytes(size_t(width) * height);
    cv::setNumThreads(1);
    cv::Mat raw(height, width, CV_8UC1, frame.data()), picture(height, width, CV_8UC3);
    for (auto _ : state) {
        cv::cvtColor(raw, picture, cv::COLOR_BayerBG2BGR);
        benchmark::DoNotOptimize(picture.data);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OpenCvBilinearBayerToBgr)->Apply(FrameSizes);
#endif

BENCHMARK(BM_MemcpyOfPicture)->Apply(FrameSizes);
BENCHMARK(BM_RepairEdges)->Apply(FrameSizes);
BENCHMARK(BM_Overlays)->Apply(FrameSizes);

int RegisterVariants() {
    ForEachLevel(BM_Variant<ColourUpright>, "ColourUpright");
    ForEachLevel(BM_Variant<ColourMirrored>, "ColourMirrored");
    ForEachLevel(BM_Variant<ColourFlipped>, "ColourFlipped");
    ForEachLevel(BM_Variant<ColourRotated>, "ColourRotated");
    ForEachLevel(BM_Variant<GreyUpright>, "GreyUpright");
    ForEachLevel(BM_Variant<GreyMirrored>, "GreyMirrored");
    ForEachLevel(BM_Variant<GreyFlipped>, "GreyFlipped");
    ForEachLevel(BM_Variant<GreyRotated>, "GreyRotated");
    return 0;
}
const int registered = RegisterVariants();

}  // namespace
}  // namespace vexacam::bench

BENCHMARK_MAIN();
