// The whole per-frame stage sequence at its default settings and with every stage on, beside
// memcpy of the picture, at each vector level.
#include <cstdlib>

#include "bench_support.h"
#include "imaging/pipeline_tables.h"
#include "imaging/process_frame.h"
#include "imaging/stage_bodies.h"
#include "imaging/tone_table.h"

namespace vexacam::bench {
namespace {

// No camera: the exposure stays where it is, captures stay in memory.
ULONG FixedExposal(PVOID) { return 100; }
VOID SendNowhere(PVOID, ULONG) {}
VOID KeepNoGainMap(PVOID, ULONG, ULONG) {}
VOID KeepNoDefects(PVOID, ULONG) {}
const FrameDeviceCalls kNoCamera = {FixedExposal, SendNowhere, KeepNoGainMap, KeepNoDefects};

// What a fresh device holds for the sequence, for a 24-bit picture of Width x Height.
struct BenchDevice {
    ImageSettings Image;
    ImagePipeline* Pipeline;
    FrameShape Shape;
    BenchDevice(ULONG width, ULONG height) {
        SetImageSettingDefaults(&Image);
        Pipeline = static_cast<ImagePipeline*>(std::calloc(1, sizeof(ImagePipeline)));
        AllocatePipelineTables(Pipeline);
        Shape = {width, height, 24, width * height * 3};
    }
    ~BenchDevice() {
        FreePipelineTables(Pipeline);
        std::free(Pipeline);
    }
};

// Flat field with varied gains, gamma index 20, contrast 20 after colour separation,
// saturation 12, 1,000 defects and the crosshair.
void EveryStageOn(BenchDevice* device, ULONG width, ULONG height) {
    ImagePipeline& pipeline = *device->Pipeline;
    device->Image.LightAVG = 1;
    for (ULONG i = 0; i < width * height; ++i) pipeline.GainMap[i] = static_cast<SHORT>(56 + i % 17);
    BuildToneTable(&pipeline.GammaValue, pipeline.GammaTable[20], pipeline.ToneTable, pipeline.LogTable);
    pipeline.Gamma = 20;
    device->Image.Contrast = 20;
    device->Image.ColorAdjustType = 2;
    device->Image.Saturntion = 12;
    for (ULONG i = 0; i < 1000; ++i) {
        pipeline.DefectTable[i].X = static_cast<USHORT>(2 + (i * 37) % (width - 4));
        pipeline.DefectTable[i].Y = static_cast<USHORT>(2 + (i * 53) % (height - 4));
    }
    pipeline.DefectCount = 1000;
    device->Image.CrossLine = 1;
}

void RunSequence(benchmark::State& state, VECTOR_LEVEL level, bool everyStage) {
    const ULONG width = ULONG(state.range(0)), height = ULONG(state.range(1));
    BenchDevice bench(width, height);
    if (everyStage) EveryStageOn(&bench, width, height);
    const auto frame = RandomBytes(size_t(width) * height);
    std::vector<uint8_t> raw(kGainMapEntries), picture(size_t(width) * height * 3);
    const FrameDevice noCamera = {&kNoCamera, nullptr};
    SelectStageBodies(level);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(raw.data(), frame.data(), frame.size());
        state.ResumeTiming();
        RunFrameStages(bench.Shape, &bench.Image, bench.Pipeline, noCamera, raw.data(),
                       picture.data(), ULONG(picture.size()));
        benchmark::ClobberMemory();
    }
    SelectStageBodies(VectorLevelAvx512);
}

void BM_SequenceDefaults(benchmark::State& state, VECTOR_LEVEL level) { RunSequence(state, level, false); }
void BM_SequenceEveryStageOn(benchmark::State& state, VECTOR_LEVEL level) { RunSequence(state, level, true); }

BENCHMARK(BM_MemcpyOfPicture)->Apply(FrameSizes);

int Register() {
    ForEachLevel(BM_SequenceDefaults, "SequenceDefaults");
    ForEachLevel(BM_SequenceEveryStageOn, "SequenceEveryStageOn");
    return 0;
}
const int registered = Register();

}  // namespace
}  // namespace vexacam::bench

BENCHMARK_MAIN();
